// The rewrite walk: turns every node of a normalised page into its WML form
// and, on the document root, builds the deck and cleans it up.
#pragma once

#include "markup/xml_node.h"
#include "transform/conversion.h"

namespace quillmark {

// Rewrites the conversion's document in pre-order, then constructs the deck
// and runs CleanupTree. The conversion's counters and title are reset first.
void XHtmlToWml(Conversion& conversion);

// Rewrites `node`, its subtree and its following siblings in pre-order, for
// the document's conversion as it stands (see Conversion::Of). On the root
// it does what XHtmlToWml(conversion) does, then destroys the document
// context (the root's context is null on return).
void XHtmlToWml(CXmlNode* node);

}  // namespace quillmark
