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
  Pieces value;                   // what follows the start token's prefix
};

// The cheapest tokens for attribute `name` with the decoded `value`: the
// start token and value tokens are chosen so that the inline text left over
// costs least.
TokenizedAttribute TokenizeAttribute(std::string_view name, Pieces value);

}  // namespace quillmark::wmlc
