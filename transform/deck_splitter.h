// Cutting a deck to a phone's size limits: cards that compile above the card
// limit become chains of smaller cards, and a deck that compiles above the
// deck limit becomes parts, each a deck of its own, linked in order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark {

// Limits in bytes of compiled WMLC; 0 sets none. A card is measured as a deck
// holding only that card.
struct DeckLimits {
  int64_t maxCardSize = 0;
  int64_t maxDeckSize = 0;
  std::string_view nextLabel = "Next";
  std::string_view backLabel = "Back";

  bool Any() const { return maxCardSize > 0 || maxDeckSize > 0; }
};

// Where the host serves the parts of one page: part N is `pattern` with each
// "{n}" replaced by N; part 1 is `first` when that is given.
struct PartLinks {
  std::string_view first;
  std::string_view pattern;

  std::string Link(int64_t part) const;
};

// The parts of `deck` (the writer's text, in the encoding it declares), each
// a whole deck within the limits; the deck itself, unchanged, when it keeps
// to them. Cuts fall between words, between a line break and what follows,
// between table rows and between cards, never inside a link, a control or
// an option list, nor between a form control and the go that posts it; a
// piece that cannot be cut and is larger than a limit stands alone. A cut
// inside a table cell closes the table, and the next card opens it again
// with the row's earlier cells empty. No card is made that shows nothing.
// The cards of a chain keep the card's title; the first keeps its id, each
// links to the next with `nextLabel` and has a prev key with `backLabel`.
// The last card of a part links to the next part, and links to a card in
// another part lead to that part. Throws only when memory runs out.
std::vector<std::string> SplitDeck(std::string_view deck, const DeckLimits& limits, const PartLinks& links);

}  // namespace quillmark
