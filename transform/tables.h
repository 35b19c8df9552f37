// The table rules of the rewrite walk. A WML table states its number of
// columns, holds only rows, every row only cells, and tables do not nest:
// the outermost table of each nest gets `columns`, spans are expanded into
// empty cells, short rows are padded, and nested tables dissolve into the
// text of the cell that holds them (see nested_tables.h).
//
// Rows may stand in row groups (thead, tbody, tfoot); the groups themselves
// are unwrapped like any unknown element, so their rows count as the table's.
#pragma once

#include <cstdint>

#include "markup/xml_node.h"
#include "transform/rewrite_context.h"

namespace quillmark {

// Cells a span may cover at most; a `colspan` of this or more counts this.
inline constexpr int32_t kMaxCellSpan = 64;
// Columns a table states at most: a wider table would make every short row
// pad to its width, a deck that grows with rows times widest row. Rows wider
// than this keep their cells; only the padding stops here.
inline constexpr int32_t kMaxTableColumns = kMaxCellSpan;

// The columns a cell covers: its `colspan`, 1 when absent or below 2, at
// most kMaxCellSpan.
int32_t CellSpan(const CXmlNode* cell);

// The widest row of the table: the largest sum of spans of the td and th
// start tags of a row that is a child of the table or of one of its row
// groups; 0 when there is no such row. With `rowSpans`, a row also spans
// the columns that cells of the rows above it cover (see row_spans.h).
int32_t CountTableColumns(const CXmlNode* table, bool rowSpans);

// Expands each cell's span into empty cells after it, applies the td pair to
// the cells, and appends empty cells until the row fills its table's
// `columns` (none when the row stands in no table or row group of one).
// With `spans`, the row first leaves empty the columns that cells of the
// rows above cover, and notes its own cells' spans there.
// With `cellsFilterLater`, the td pair is left to each cell's own end (see
// RewriteCell), so that the elements in the cell are rewritten first.
void PadTableRow(CXmlNode* row, RowSpans* spans, bool cellsFilterLater = false);

// table: depth counting, `columns` on an outermost table, the pair at the
// closed tag; a table left without rows is dropped.
// caption: read as HTML reads the page, at the closed tag the caption's
// content goes just before its table, which holds only rows; otherwise (and
// outside a table) the tags go as any unknown element's.
void RewriteCaption(CXmlNode* node, RewriteContext& walk);
void RewriteTable(CXmlNode* node, RewriteContext& walk);
// tr: in an outermost table, nested-cell markers, the pair keeping th cells
// and padding at the start tag; the pair at the closed tag.
void RewriteTr(CXmlNode* node, RewriteContext& walk);
// td, th: renamed "td"; the pair at an open start tag, no attributes on a
// closed tag.
void RewriteCell(CXmlNode* node, RewriteContext& walk);

}  // namespace quillmark
