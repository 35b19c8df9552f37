// RecordStrings: the raw text and the name of one element record, in one
// block of the record's arena and 16 bytes of the record.
//
// The block holds the text, a NUL, the name and a NUL, so that each is a C
// string and a token costs one block for both. Nodes hold their record, so
// every byte the record keeps here is a byte of every node.
//
// The block is known to hold at least the two strings and their NULs (its
// room); a change that fits in that room is made in place, any other takes a
// new block. A document's arena keeps an outgrown block until the document
// goes, so only edits that grow a record pay for room they leave behind.
// Like RecordText, the class is plain data: copying it copies the pointer,
// and the holding record alone decides who owns the block and releases it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "markup/record_arena.h"

namespace quillmark {

class RecordStrings {
 public:
  std::size_t TextSize() const { return textSize_; }
  std::size_t NameSize() const { return nameSize_; }
  const char* TextCStr() const { return data_ != nullptr ? data_ : ""; }
  const char* NameCStr() const { return data_ != nullptr ? data_ + textSize_ + 1 : ""; }
  std::string_view Text() const { return {TextCStr(), textSize_}; }
  std::string_view Name() const { return {NameCStr(), nameSize_}; }
  // The text's bytes, writable (TextSize() of them and the NUL); null
  // before the first Assign.
  char* TextData() { return data_; }
  bool HoldsBlock() const { return data_ != nullptr; }

  // Makes the text the parts in a row, and the name `name`; always leaves a
  // block of its own, even for two empty strings.
  void Assign(RecordArena* arena, std::initializer_list<std::string_view> textParts, std::string_view name);
  void Assign(RecordArena* arena, std::string_view text, std::string_view name) { Assign(arena, {text}, name); }
  // Replaces the text and keeps the name.
  void AssignText(RecordArena* arena, std::string_view text);
  // Replaces the name and keeps the text.
  void AssignName(RecordArena* arena, std::string_view name);
  // Cuts the text to its first `size` bytes (size <= TextSize()); the name
  // moves up behind it.
  void ShortenText(std::size_t size);
  // Makes the name empty; the text stays.
  void ClearName();
  // Appends one byte to the text.
  void AppendToText(RecordArena* arena, char c);
  // Gives the block back to `arena`; the strings are then as new.
  void Release(RecordArena* arena);

 private:
  // Bytes the block is known to hold: both strings and their NULs.
  std::size_t Room() const { return data_ == nullptr ? 0 : std::size_t{textSize_} + nameSize_ + 2; }
  // True when `part` lies in the block (an empty part lies nowhere).
  bool InBlock(std::string_view part) const;

  char* data_ = nullptr;
  uint32_t textSize_ = 0;
  uint32_t nameSize_ = 0;
};

}  // namespace quillmark
