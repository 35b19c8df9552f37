// The final cleanup of a finished deck: redundant spaces at tag boundaries,
// selects without options, stray end tags, comments (when the device strips
// them) and empty formatting elements.
#pragma once

#include "device/wml_settings.h"
#include "markup/xml_node.h"

namespace quillmark {

// Cleans `node` and everything below it. Each node is cleaned before its
// children (spaces, selects) and after them (removals); the children of a
// node are cleaned from the second to the last, then the first. Comments go
// when `settings` strip them.
void CleanupTree(CXmlNode* node, const CWmlSettings& settings);

}  // namespace quillmark
