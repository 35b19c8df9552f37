// RecordText: one string of an element record, in 16 bytes.
//
// Its bytes come from the arena of the record that holds it; the record
// keeps that arena once for all its strings and names it on every call
// that allocates or frees. Once assigned, the bytes are always
// followed by a NUL, so c_str() is a C string. The class is plain data:
// copying it copies the pointer, and the holding record alone decides who
// owns the bytes (it moves a string by copying it and clearing the source)
// and releases them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "markup/record_arena.h"

namespace quillmark {

class RecordText {
 public:
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const char* c_str() const { return data_ != nullptr ? data_ : ""; }
  // Writable bytes (size() of them and the NUL); null before the first Assign.
  char* data() { return data_; }
  std::string_view View() const { return {c_str(), size_}; }
  operator std::string_view() const { return View(); }
  char operator[](std::size_t i) const { return data_[i]; }
  char front() const { return data_[0]; }
  char back() const { return data_[size_ - 1]; }

  // Makes the string `text`; always leaves room of its own, even for "".
  void Assign(RecordArena* arena, std::string_view text) {
    if (text.size() + 1 > capacity_) Replace(arena, text.size() + 1);
    if (!text.empty()) std::memmove(data_, text.data(), text.size());
    size_ = static_cast<uint32_t>(text.size());
    data_[size_] = '\0';
  }
  // Makes the string `before`, `middle` and `after` in a row, in one block.
  void AssignJoined(RecordArena* arena, std::string_view before, std::string_view middle, std::string_view after) {
    const std::size_t size = before.size() + middle.size() + after.size();
    if (size + 1 > capacity_) Replace(arena, size + 1);
    char* out = data_;
    for (std::string_view part : {before, middle, after}) {
      if (!part.empty()) std::memcpy(out, part.data(), part.size());
      out += part.size();
    }
    size_ = static_cast<uint32_t>(size);
    data_[size_] = '\0';
  }
  // Appends one byte.
  void Append(RecordArena* arena, char c);
  // Cuts the string to its first `size` bytes (size <= size()).
  void Shorten(std::size_t size);
  // Gives the bytes back to `arena`; the string is then as new.
  void Release(RecordArena* arena);

 private:
  // Makes room for `bytes` bytes, the NUL included, keeping the string.
  void Reserve(RecordArena* arena, std::size_t bytes);
  // Frees the bytes and takes room for `bytes` bytes of which the string
  // keeps none (it is assigned next).
  void Replace(RecordArena* arena, std::size_t bytes);

  char* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;  // bytes at data_, the NUL's included
};

}  // namespace quillmark
