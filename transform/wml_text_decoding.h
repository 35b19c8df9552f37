// Decoding the character data of a WML deck for compiling: references to
// characters of the deck's charset, white space as a WML user agent sees it,
// and WML variable references.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "transform/wml_tokens.h"

namespace quillmark::wmlc {

// One run of decoded content. `number` is the code point of an entity, the
// conversion of a variable (whose name is `text`) or an attribute-value token.
// Texts point into the deck's TextArena.
enum class PieceKind : uint8_t { kText, kEntity, kVariable, kValueToken };

struct Piece {
  PieceKind kind = PieceKind::kText;
  uint32_t number = 0;
  std::string_view text;
};

using Pieces = std::vector<Piece>;

// The decoded texts of one deck, in one block that never moves, so that
// pieces can point into it. Decoding never grows a text, so a block as
// large as the deck's text always suffices.
class TextArena {
 public:
  explicit TextArena(std::size_t capacity = 0)
      : bytes_(std::make_unique_for_overwrite<char[]>(capacity + 1)), capacity_(capacity) {}

  // Empties the block and makes it hold at least `capacity` bytes; a block
  // that is large enough already is kept.
  void Reset(std::size_t capacity) {
    if (capacity > capacity_) *this = TextArena(capacity);
    used_ = 0;
  }

  char* End() { return bytes_.get() + used_; }
  // Appends `text`; throws std::length_error when the block is full.
  void Append(std::string_view text);

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};
// How the raw white space of a run is treated.
struct WhitespaceRule {
  bool collapse = false;      // runs of white space become one space (see DecodeCharacters)
  bool trimLeading = false;   // white space at the start goes
  bool trimTrailing = false;  // white space at the end goes
};

// True when `raw` is nothing but white space (no references either).
bool IsRawWhitespace(std::string_view raw);

// Decodes character and entity references of `raw` into characters of the
// charset numbered `charset` (an IANA MIBenum), appending text to `arena`
// and pieces to `out`; a character the charset cannot hold becomes an
// entity piece. CR LF and a lone CR count as one raw line end. With
// `collapse`, white space is that of the decoded text, references to it
// included, as gateways' compilers see it: a run becomes one space, except
// that a run of exactly two characters keeps its second, as theirs do, and
// `rule` trims the ends. Without it, white space from references is kept
// as it stands and each raw white-space character becomes one space
// (attribute-value normalisation). A reference that is not well formed or
// names an unknown entity stays as text.
void DecodeCharacters(std::string_view raw, uint32_t charset, WhitespaceRule rule, TextArena& arena, Pieces& out);

// True when decoding `raw` under `rule` and splitting its variables gives
// one text piece of `raw`'s own bytes: it is not empty and holds no "&",
// "$", NUL, tab or line end, no three spaces together when `rule`
// collapses runs and no space at an end that `rule` trims. Such a run
// needs neither DecodeCharacters nor SplitVariables, and its piece may
// point into `raw`.
bool DecodesToItself(std::string_view raw, WhitespaceRule rule);

// Appends `pieces` to `out` with the WML variable references inside text
// pieces made variable pieces: "$name", "$(name)" and "$(name:conversion)"
// with the conversions e/escape, u/unesc and n/noesc; `plain` is the
// conversion of a reference that names none. "$$" becomes "$"; a "$" that
// starts no reference stays as text. The texts are rewritten in place.
void SplitVariables(const Pieces& pieces, Conversion plain, Pieces& out);

}  // namespace quillmark::wmlc
