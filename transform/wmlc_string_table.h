// The string table of a compiled deck: which strings go into it, and the
// writing of strings, variable names and literal names with or without it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "transform/wml_tokens.h"

namespace quillmark::wmlc {

// Appends `value` as a WBXML multi-byte integer.
void AppendMultiByte(std::string& out, uint32_t value);

// Filled in two phases: first every string the body will write is counted,
// then Choose() fixes the table, then the body is written through it. A
// string goes into the table when that makes the deck smaller: strings
// that repeat whole, and words or runs of a few words that repeat inside
// texts (a word is a run of letters and digits). Views passed to the
// counting calls must stay valid until the last write.
class StringTable {
 public:
  void CountText(std::string_view text);      // text, which may be split at spaces
  void CountVariable(std::string_view name);  // a variable's name, used whole
  void Require(std::string_view name);        // a literal tag or attribute name

  void Choose();

  // The table's bytes, each string followed by a zero.
  const std::string& Bytes() const { return bytes_; }

  void WriteText(std::string& out, std::string_view text) const;
  void WriteVariable(std::string& out, std::string_view name, Conversion conversion) const;
  // `token` (LITERAL with its content and attribute bits) and the name's index.
  void WriteLiteral(std::string& out, uint8_t token, std::string_view name) const;

 private:
  struct Uses {
    uint32_t whole = 0;   // uses as a whole string
    uint32_t edge = 0;    // uses at the start or end of a longer text
    uint32_t middle = 0;  // uses inside a longer text
    uint32_t variable = 0;  // uses as a variable's name
    uint32_t first = 0;   // order of first use, for a stable table
    bool required = false;
    bool chosen = false;
    int64_t offset = -1;  // in the table when not negative
  };

  Uses& UsesOf(std::string_view text);
  void CountParts(std::string_view text);
  bool Pays(std::string_view text, const Uses& uses, uint32_t referenceLength) const;
  void CountChosenUses();
  void Layout();
  // Reference length of `text` in the table being chosen, 0 when not in it.
  uint32_t ReferenceLength(std::string_view text) const;
  // Calls `reference(start, length)` for each part of `text` written as a
  // reference, in order; the rest is written inline.
  template <typename Visit>
  void ForEachReference(std::string_view text, Visit reference) const;

  std::unordered_map<std::string_view, Uses> uses_;
  std::vector<std::string_view> texts_;  // every counted text, in order
  std::size_t phraseCandidates_ = 0;
  std::string bytes_;
};

}  // namespace quillmark::wmlc
