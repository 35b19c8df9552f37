// Reading the markup of a deck the writer produced: a flat list of tags and
// texts that point into the deck's bytes, for cutting the deck into cards
// and parts without parsing it again.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace quillmark {

enum class MarkupKind : unsigned char { kStart, kEnd, kEmpty, kText, kOther };

// One tag or text run. `text` is its bytes in the deck, `name` the tag's name
// (empty for texts and for comments, declarations and processing
// instructions, which are kOther).
struct MarkupToken {
  MarkupKind kind = MarkupKind::kText;
  std::string_view name;
  std::string_view text;
  std::size_t end = 0;  // index of the matching end tag of a start tag
};

// The tokens of `deck` in order; a start tag's `end` is the index of its end
// tag (its own index when the deck leaves it open). The deck is well formed
// as the writer leaves it; markup that is not stays text, and end tags that
// close nothing are kept unmatched. Linear in the deck's length.
std::vector<MarkupToken> ReadDeckMarkup(std::string_view deck);

// The value of attribute `name` in the tag `tag` (without its quotes, with
// its references as they stand); empty when the tag has none.
std::string_view AttributeOf(std::string_view tag, std::string_view name);

}  // namespace quillmark
