// Deck construction: once the rewrite walk is done, gives the document the
// shape of a WML deck: XML declaration, document type, one wml element,
// cards, and one paragraph in each card.
#pragma once

#include "transform/conversion.h"
#include "transform/section_cards.h"
#include "transform/soft_breaks.h"

namespace quillmark {

// Builds the deck below the conversion's root from the device settings and
// the page title its variables hold; each card's soft breaks are settled
// before the card gets its paragraph. Read as HTML reads the page, each
// card is first cut at its sections' marks, and a link to a card that the
// deck does not hold is its text alone.
void ConstructDeck(const Conversion& conversion, const SoftBreaks& breaks, SectionCards& sections);

}  // namespace quillmark
