// The rewrite walk: turns every node of a normalised page into its WML form
// and, on the document root, builds the deck and cleans it up.
#pragma once

#include "markup/xml_node.h"

namespace quillmark {

// Rewrites `node`, its subtree and its following siblings in pre-order. On
// the root it then constructs the deck, runs CleanupTree and destroys the
// document context (the root's context is null on return).
void XHtmlToWml(CXmlNode* node);

}  // namespace quillmark
