// Choosing the tokens of one attribute: the attribute-start token with the
// longest useful value prefix, and attribute-value tokens inside the value.
#pragma once

#include <cstdint>
#include <string_view>

#include "transform/wml_text_decoding.h"

namespace quillmark::wmlc {

struct TokenizedAttribute {
  std::string_view name;
  uint8_t startToken = kLiteral;  // kLiteral: the name goes in the string table
  uint32_t firstPiece = 0;        // its value after the start token's prefix,
  uint32_t endPiece = 0;          // as a range of the deck's pieces
};

// The cheapest tokens for attribute `name` with the decoded `value`: the
// start token and value tokens are chosen so that the inline text left over
// costs least. Returns the start token and appends the rest of the value,
// value tokens included, to `out`.
uint8_t TokenizeAttribute(std::string_view name, const Pieces& value, Pieces& out);

}  // namespace quillmark::wmlc
