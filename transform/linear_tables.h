// Tables that a deck cannot show as tables become lines of text.
//
// WML allows no form control in a table cell, and some phones show no
// tables at all. Such a table is linearised before the rewrite walk: each
// row (and a caption) becomes a line between soft breaks, the content of
// each cell after the first of its row follows a blank, and every table,
// row group, row and cell tag goes, so the controls stand in the paragraph
// like any others and keep their postfields. A nest of tables is linearised
// as a whole from its outermost table.
#pragma once

#include "markup/xml_node.h"
#include "transform/soft_breaks.h"

namespace quillmark {

// Linearises every outermost table below `root` that holds a form control
// (input, select, textarea, button), or every table when `everyTable`.
void LineariseTables(CXmlNode* root, bool everyTable, SoftBreaks& breaks);

}  // namespace quillmark
