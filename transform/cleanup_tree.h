// The final cleanup of a finished deck: redundant spaces at tag boundaries,
// selects without options, stray end tags, comments (when the device strips
// them) and empty formatting elements.
#pragma once

#include "markup/xml_node.h"

namespace quillmark {

// Cleans `node` and everything below it. Each node is cleaned before its
// children (spaces, selects) and after them (removals); the children of a
// node are cleaned from the second to the last, then the first.
void CleanupTree(CXmlNode* node);

}  // namespace quillmark
