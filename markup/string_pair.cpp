#include "markup/string_pair.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace quillmark {
namespace {

// The bytes of a block for two strings of `total` bytes together, their
// NULs included; sizes are stored in 32 bits, so the block must fit in 32
// bits too (and with it each string's size).
std::size_t BlockBytes(std::size_t total) {
  if (total > std::numeric_limits<uint32_t>::max() - std::size_t{4}) throw std::length_error("record text too long");
  return total + 2;
}

// Copies `part` to `out` and returns the byte after it.
char* Put(char* out, std::string_view part) {
  if (!part.empty()) std::memcpy(out, part.data(), part.size());
  return out + part.size();
}

}  // namespace

bool StringPair::InBlock(std::string_view part) const {
  if (data_ == nullptr || part.empty()) return false;
  const auto begin = reinterpret_cast<std::uintptr_t>(data_);
  const auto at = reinterpret_cast<std::uintptr_t>(part.data());
  return at >= begin && at < begin + Room();
}

void StringPair::Assign(RecordArena* arena, std::initializer_list<std::string_view> firstParts,
                        std::string_view second) {
  std::size_t firstSize = 0;
  bool overlaps = InBlock(second);
  for (std::string_view part : firstParts) {
    firstSize += part.size();
    overlaps = overlaps || InBlock(part);
  }
  const std::size_t bytes = BlockBytes(firstSize + second.size());
  // A part that lies in the block is read before the old block goes.
  const bool inPlace = bytes <= Room() && !overlaps;
  char* block = inPlace ? data_ : static_cast<char*>(arena->Allocate(bytes));
  char* out = block;
  for (std::string_view part : firstParts) out = Put(out, part);
  *out++ = '\0';
  *Put(out, second) = '\0';
  if (!inPlace && data_ != nullptr) arena->Free(data_, Room());
  data_ = block;
  firstSize_ = static_cast<uint32_t>(firstSize);
  secondSize_ = static_cast<uint32_t>(second.size());
}

void StringPair::AssignNew(RecordArena* arena, std::string_view first, std::string_view second) {
  const std::size_t bytes = BlockBytes(first.size() + second.size());
  char* block = static_cast<char*>(arena->Allocate(bytes));
  *Put(block, first) = '\0';
  *Put(block + first.size() + 1, second) = '\0';
  data_ = block;
  firstSize_ = static_cast<uint32_t>(first.size());
  secondSize_ = static_cast<uint32_t>(second.size());
}

void StringPair::AssignFirst(RecordArena* arena, std::string_view first) {
  if (BlockBytes(first.size() + secondSize_) > Room() || InBlock(first)) {
    Assign(arena, {first}, Second());
    return;
  }
  // The second string and its NUL move to behind the new first one.
  std::memmove(data_ + first.size() + 1, data_ + firstSize_ + 1, std::size_t{secondSize_} + 1);
  *Put(data_, first) = '\0';
  firstSize_ = static_cast<uint32_t>(first.size());
}

void StringPair::AssignSecond(RecordArena* arena, std::string_view second) {
  if (BlockBytes(firstSize_ + second.size()) > Room()) {
    Assign(arena, {First()}, second);
    return;
  }
  // The first string stays where it is; the new second may be part of the
  // old one.
  char* out = data_ + firstSize_ + 1;
  if (!second.empty()) std::memmove(out, second.data(), second.size());
  out[second.size()] = '\0';
  secondSize_ = static_cast<uint32_t>(second.size());
}

void StringPair::ShortenFirst(std::size_t size) {
  if (data_ == nullptr || size >= firstSize_) return;
  // The second string and its NUL move up behind the shorter first one.
  std::memmove(data_ + size + 1, data_ + firstSize_ + 1, std::size_t{secondSize_} + 1);
  data_[size] = '\0';
  firstSize_ = static_cast<uint32_t>(size);
}

void StringPair::ClearSecond() {
  if (data_ == nullptr) return;
  data_[firstSize_ + 1] = '\0';
  secondSize_ = 0;
}

void StringPair::Release(RecordArena* arena) {
  if (data_ != nullptr) arena->Free(data_, Room());
  *this = StringPair();
}

}  // namespace quillmark
