// Markers for the cells of nested tables. A nested table is dissolved into
// the cell that holds it by the td content model, so its cells' texts would
// run together; each nested cell's content is first preceded by the device's
// `cellBreakText`, and the first cell of each nested row also by its
// `cellLeadText`.
#pragma once

#include "device/wml_settings.h"
#include "markup/xml_node.h"

namespace quillmark {

// Marks the nested cells found in `first`, its following siblings and their
// descendants (the content of one cell of an outermost table), and puts a
// line break after each self-closing table there that has text before it in
// that content. Each marker text is parsed as one piece of markup.
void MarkNestedTableCells(CXmlNode* first, const CWmlSettings& settings);

}  // namespace quillmark
