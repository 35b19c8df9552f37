// StringPair: two strings of an element record, in one block of the
// record's arena and 16 bytes of the record: a record's raw text and its
// name, or an attribute's name and its value.
//
// The block holds the first string, a NUL, the second and a NUL, so that
// each is a C string and the two cost one block. Nodes hold their record,
// so every byte the record keeps here is a byte of every node.
//
// The block is known to hold at least the two strings and their NULs (its
// room); a change that fits in that room is made in place, any other takes a
// new block. A document's arena keeps an outgrown block until the document
// goes, so only edits that grow a string pay for room they leave behind.
// The class is plain data: copying it copies the pointer, and the holding
// record alone decides who owns the block and releases it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "markup/record_arena.h"

namespace quillmark {

class StringPair {
 public:
  std::size_t FirstSize() const { return firstSize_; }
  std::size_t SecondSize() const { return secondSize_; }
  const char* FirstCStr() const { return data_ != nullptr ? data_ : ""; }
  const char* SecondCStr() const { return data_ != nullptr ? data_ + firstSize_ + 1 : ""; }
  std::string_view First() const { return {FirstCStr(), firstSize_}; }
  std::string_view Second() const { return {SecondCStr(), secondSize_}; }
  // Each string's bytes, writable (its size of them and the NUL); null
  // before the first Assign.
  char* FirstData() { return data_; }
  char* SecondData() { return data_ != nullptr ? data_ + firstSize_ + 1 : nullptr; }
  bool HoldsBlock() const { return data_ != nullptr; }

  // Makes the first string the parts in a row, and the second `second`;
  // always leaves a block of its own, even for two empty strings. Either
  // may be part of the block's old strings.
  void Assign(RecordArena* arena, std::initializer_list<std::string_view> firstParts, std::string_view second);
  void Assign(RecordArena* arena, std::string_view first, std::string_view second) {
    // Most strings are assigned once, to a new record: nothing to reuse.
    if (data_ == nullptr) {
      AssignNew(arena, first, second);
      return;
    }
    Assign(arena, {first}, second);
  }
  // Replaces one string and keeps the other.
  void AssignFirst(RecordArena* arena, std::string_view first);
  void AssignSecond(RecordArena* arena, std::string_view second);
  // Cuts the first string to its first `size` bytes (size <= FirstSize());
  // the second moves up behind it.
  void ShortenFirst(std::size_t size);
  // Makes the second string empty; the first stays.
  void ClearSecond();
  // Gives the block back to `arena`; the strings are then as new.
  void Release(RecordArena* arena);

 private:
  // Bytes the block is known to hold: both strings and their NULs.
  std::size_t Room() const { return data_ == nullptr ? 0 : std::size_t{firstSize_} + secondSize_ + 2; }
  // Assign for strings that hold no block yet.
  void AssignNew(RecordArena* arena, std::string_view first, std::string_view second);
  // True when `part` lies in the block (an empty part lies nowhere).
  bool InBlock(std::string_view part) const;

  char* data_ = nullptr;
  uint32_t firstSize_ = 0;
  uint32_t secondSize_ = 0;
};

}  // namespace quillmark
