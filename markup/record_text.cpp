#include "markup/record_text.h"

#include <cstring>
#include <limits>
#include <stdexcept>

namespace quillmark {
namespace {

// `bytes` as a capacity, which a string stores in 32 bits.
uint32_t CapacityOf(std::size_t bytes) {
  if (bytes > std::numeric_limits<uint32_t>::max()) throw std::length_error("record text too long");
  return static_cast<uint32_t>(bytes);
}

}  // namespace

void RecordText::Reserve(RecordArena* arena, std::size_t bytes) {
  if (bytes <= capacity_) return;
  const uint32_t capacity = CapacityOf(bytes);
  auto* grown = static_cast<char*>(arena->Allocate(bytes));
  if (data_ != nullptr) {
    std::memcpy(grown, data_, size_ + 1);
    arena->Free(data_, capacity_);
  } else {
    grown[0] = '\0';
  }
  data_ = grown;
  capacity_ = capacity;
}

void RecordText::Replace(RecordArena* arena, std::size_t bytes) {
  const uint32_t capacity = CapacityOf(bytes);
  // The old bytes go first, none of them kept; the string is as new until
  // the room is taken, so that a failure leaves nothing to free twice.
  Release(arena);
  data_ = static_cast<char*>(arena->Allocate(bytes));
  data_[0] = '\0';
  capacity_ = capacity;
}

void RecordText::Append(RecordArena* arena, char c) {
  // Doubling, so that a string built a byte at a time costs linear time.
  if (size_ + std::size_t{2} > capacity_) Reserve(arena, 2 * (std::size_t{size_} + 1));
  data_[size_++] = c;
  data_[size_] = '\0';
}

void RecordText::Shorten(std::size_t size) {
  if (data_ == nullptr || size >= size_) return;
  size_ = static_cast<uint32_t>(size);
  data_[size_] = '\0';
}

void RecordText::Release(RecordArena* arena) {
  if (data_ != nullptr) arena->Free(data_, capacity_);
  *this = RecordText();
}

}  // namespace quillmark
