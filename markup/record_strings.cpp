#include "markup/record_strings.h"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace quillmark {
namespace {

// `size` as a string size, which the record stores in 32 bits; the block
// (both strings and their NULs) must fit in 32 bits too.
uint32_t SizeOf(std::size_t size) {
  if (size > std::numeric_limits<uint32_t>::max() - std::size_t{4}) throw std::length_error("record text too long");
  return static_cast<uint32_t>(size);
}

// Copies `part` to `out` and returns the byte after it.
char* Put(char* out, std::string_view part) {
  if (!part.empty()) std::memcpy(out, part.data(), part.size());
  return out + part.size();
}

}  // namespace

bool RecordStrings::InBlock(std::string_view part) const {
  if (data_ == nullptr || part.empty()) return false;
  const auto begin = reinterpret_cast<std::uintptr_t>(data_);
  const auto at = reinterpret_cast<std::uintptr_t>(part.data());
  return at >= begin && at < begin + Room();
}

void RecordStrings::Assign(RecordArena* arena, std::initializer_list<std::string_view> textParts,
                           std::string_view name) {
  std::size_t textSize = 0;
  bool overlaps = InBlock(name);
  for (std::string_view part : textParts) {
    textSize += part.size();
    overlaps = overlaps || InBlock(part);
  }
  const uint32_t newTextSize = SizeOf(textSize);
  const uint32_t newNameSize = SizeOf(name.size());
  const std::size_t bytes = std::size_t{SizeOf(textSize + name.size())} + 2;
  // A part that lies in the block is read before the old block goes.
  const bool inPlace = bytes <= Room() && !overlaps;
  char* block = inPlace ? data_ : static_cast<char*>(arena->Allocate(bytes));
  char* out = block;
  for (std::string_view part : textParts) out = Put(out, part);
  *out++ = '\0';
  *Put(out, name) = '\0';
  if (!inPlace && data_ != nullptr) arena->Free(data_, Room());
  data_ = block;
  textSize_ = newTextSize;
  nameSize_ = newNameSize;
}

void RecordStrings::AssignText(RecordArena* arena, std::string_view text) {
  // The name lies in the block: held apart while the text changes (names
  // are short, so this copy mostly stays on the stack).
  const std::string name(Name());
  Assign(arena, {text}, name);
}

void RecordStrings::AssignName(RecordArena* arena, std::string_view name) {
  const uint32_t nameSize = SizeOf(name.size());
  const std::size_t bytes = std::size_t{SizeOf(std::size_t{textSize_} + nameSize)} + 2;
  if (data_ != nullptr && bytes <= Room()) {
    // The text stays where it is; the name may be part of the old one.
    char* out = data_ + textSize_ + 1;
    if (!name.empty()) std::memmove(out, name.data(), name.size());
    out[name.size()] = '\0';
    nameSize_ = nameSize;
    return;
  }
  Assign(arena, {Text()}, name);
}

void RecordStrings::ShortenText(std::size_t size) {
  if (data_ == nullptr || size >= textSize_) return;
  // The name and its NUL move up behind the shorter text.
  std::memmove(data_ + size + 1, data_ + textSize_ + 1, std::size_t{nameSize_} + 1);
  data_[size] = '\0';
  textSize_ = static_cast<uint32_t>(size);
}

void RecordStrings::ClearName() {
  if (data_ == nullptr) return;
  data_[textSize_ + 1] = '\0';
  nameSize_ = 0;
}

void RecordStrings::AppendToText(RecordArena* arena, char c) {
  const char byte[1] = {c};
  const std::string name(Name());
  Assign(arena, {Text(), std::string_view(byte, 1)}, name);
}

void RecordStrings::Release(RecordArena* arena) {
  if (data_ != nullptr) arena->Free(data_, Room());
  *this = RecordStrings();
}

}  // namespace quillmark
