// Name lists and the blank-text test.
//
// A name list is one block of characters: names one after another, each
// closed by a NUL, the list closed by an empty name (a second NUL). A list
// whose first character is NUL is empty. Fixed lists are written as string
// literals with embedded NULs, e.g. "b\0i\0" (the literal's own terminator
// closes the list).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/case_folding.h"

namespace quillmark {

// 1 when name equals one of the list's names, ignoring case; a null list or
// a null name never matches.
int32_t IsNameInList(const char* name, const char* list);

// 1 when every byte of text, taken as unsigned, is 32 or less; "" is blank.
int32_t IsBlank(const char* text);

// A quick pre-test for a fixed name list: the lengths of its names and
// their first letters, folded as IsNameInList folds them. A name whose
// length or first letter no entry has is not in the list; any other name
// still needs IsNameInList.
class NameListFilter {
 public:
  constexpr explicit NameListFilter(const char* list) {
    // Each entry is closed by its own NUL; the empty entry closes the list.
    for (const char* entry = list; *entry != '\0';) {
      size_t length = 0;
      while (entry[length] != '\0') ++length;
      lengths_ |= uint64_t{1} << LengthBit(length);
      const auto first = static_cast<unsigned char>(ToUpperAscii(entry[0]));
      firsts_[first >> 6] |= uint64_t{1} << (first & 63);
      entry += length + 1;
    }
  }

  bool MayHold(std::string_view name) const {
    if (name.empty()) return false;  // every entry has a character
    if (((lengths_ >> LengthBit(name.size())) & 1) == 0) return false;
    const auto first = static_cast<unsigned char>(ToUpperAscii(name[0]));
    return ((firsts_[first >> 6] >> (first & 63)) & 1) != 0;
  }

 private:
  // Lengths from 63 up share the last bit.
  static constexpr unsigned LengthBit(size_t length) { return length < 63 ? static_cast<unsigned>(length) : 63; }

  uint64_t lengths_ = 0;
  uint64_t firsts_[4] = {};
};

}  // namespace quillmark
