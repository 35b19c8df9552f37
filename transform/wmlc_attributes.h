// Choosing the tokens of one attribute: the attribute-start token with the
// longest useful value prefix, and attribute-value tokens inside the value.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "transform/wml_text_decoding.h"

namespace quillmark::wmlc {

struct TokenizedAttribute {
  std::string_view name;
  uint8_t startToken = kLiteral;  // kLiteral: the name goes in the string table
  uint32_t firstPiece = 0;        // its value after the start token's prefix,
  uint32_t endPiece = 0;          // as a range of the deck's pieces
};

// Chooses the cheapest tokens for one attribute at a time; the scratch room
// of its choices is kept from one attribute to the next.
class AttributeTokenizer {
 public:
  // The cheapest tokens for attribute `name` with the decoded `value`: the
  // start token and value tokens are chosen so that the inline text left
  // over costs least. Returns the start token and appends the rest of the
  // value, value tokens included, to `out`.
  uint8_t Tokenize(std::string_view name, const Pieces& value, Pieces& out);

 private:
  // The cheapest split of `text` and of each of its suffixes into value
  // tokens and inline strings, worked out from the end.
  void Split(std::string_view text);
  // Appends the chosen split of text[from..] after Split(text).
  void AppendSplit(std::string_view text, std::size_t from, Pieces& out) const;
  // Appends text[from..] of an attribute's first text, split when it
  // holds a value token (after Split(text)).
  void AppendFirstText(std::string_view text, bool holdsToken, std::size_t from, Pieces& out);
  // Appends `value` to `out` with value tokens inside its text pieces.
  void AppendWithValueTokens(const Piece* value, const Piece* end, Pieces& out);

  // For each position i of the split text: `closed_[i]` is the cost of
  // text[i..] when no inline string is open at i, `open_[i]` when one is
  // open (its STR_I paid, its terminator not yet), `token_[i]` the value
  // token that starts the cheapest closed split (null: an inline string
  // starts there), `extends_[i]` whether an open string takes text[i].
  std::vector<uint32_t> closed_;
  std::vector<uint32_t> open_;
  std::vector<const AttributeValueToken*> token_;
  std::vector<uint8_t> extends_;
};

}  // namespace quillmark::wmlc
