// Deck construction: once the rewrite walk is done, gives the document the
// shape of a WML deck: XML declaration, document type, one wml element,
// cards, and one paragraph in each card.
#pragma once

#include "device/working_variables.h"
#include "markup/xml_node.h"
#include "transform/soft_breaks.h"

namespace quillmark {

// Builds the deck below `root` from the device settings and the page title
// held in `variables`; each card's soft breaks are settled before the card
// gets its paragraph.
void ConstructDeck(CXmlNode* root, const CWorkingVariables& variables, const SoftBreaks& breaks);

}  // namespace quillmark
