// Markers for the cells of nested tables. A nested table is dissolved into
// the cell that holds it by the td content model, so its cells' texts would
// run together; each nested cell's content is first preceded by the device's
// `cellBreakText`, and the first cell of each nested row also by its
// `cellLeadText`.
#pragma once

#include "device/wml_settings.h"
#include "markup/xml_node.h"
#include "transform/soft_breaks.h"

namespace quillmark {

// Marks the nested cells found in `first`, its following siblings and their
// descendants (the content of one cell of an outermost table), and puts a
// line break after each self-closing table there that has text before it in
// that content. Each marker text is parsed as one piece of markup.
//
// Read as HTML reads the page (`breaks` not null), a nested table is a block
// of the cell that holds it: a soft break (see soft_breaks.h) follows its
// end, so that the text after it starts a line of its own instead of running
// on from its last cell, and the plain "<br/>" before each of its cells is a
// soft one too, so that none opens the cell or doubles another.
void MarkNestedTableCells(CXmlNode* first, const CWmlSettings& settings, SoftBreaks* breaks);

}  // namespace quillmark
