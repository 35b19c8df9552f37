#include "transform/tables.h"

#include <algorithm>
#include <climits>
#include <string>

#include "base/leading_integer.h"
#include "markup/name_list.h"
#include "transform/content_model.h"
#include "transform/element_rules.h"
#include "transform/nested_tables.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// Elements that group the rows of a table without being rows themselves.
constexpr char kRowGroupList[] = "thead\0tbody\0tfoot\0";

// True for a td or th start tag.
bool IsCell(const CXmlNode* node) {
  return node->IsStartTag() && (IsTagNamedExactly(node, "td") || IsTagNamedExactly(node, "th"));
}

// True for a thead, tbody or tfoot start tag.
bool IsRowGroup(const CXmlNode* node) {
  return node->IsStartTag() && IsNameInList(node->GetName(), kRowGroupList);
}

// A count of columns, which sums of spans keep in 64 bits, as the 32 bits
// that widths and positions are passed in: at most INT32_MAX.
int32_t ClampedColumns(int64_t columns) { return static_cast<int32_t>(std::min<int64_t>(columns, INT32_MAX)); }

// The sum of the spans of a row's cells, at most INT32_MAX.
int32_t RowWidth(const CXmlNode* row) {
  int64_t width = 0;
  // width covers the cells before `child`.
  for (const CXmlNode* child = row->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (IsCell(child)) width += CellSpan(child);
  }
  return ClampedColumns(width);
}

// The widest of the rows among `parent`'s children, at least `widest`.
int32_t WidestRow(const CXmlNode* parent, int32_t widest) {
  // widest covers the rows before `child`.
  for (const CXmlNode* child = parent->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (child->IsStartTag() && IsTagNamedExactly(child, "tr")) widest = std::max(widest, RowWidth(child));
  }
  return widest;
}

// Where `row`'s cells end, each placed after the columns that cells of the
// rows above cover (`spans`, which the row then updates).
int32_t RowEdge(const CXmlNode* row, RowSpans& spans) {
  int64_t column = 0;
  // column is where the cells before `child` end.
  for (const CXmlNode* child = row->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (!IsCell(child)) continue;
    column += spans.TakeCoveredRun(ClampedColumns(column));
    const int32_t span = CellSpan(child);
    spans.Cover(ClampedColumns(column), span, child);
    column += span;
  }
  const int32_t edge = ClampedColumns(column);
  spans.EndRow(edge);
  return edge;
}

// The widest of the rows among `parent`'s children, at least `widest`,
// with the columns that row spans cover; the rows of one parent share
// their spans.
int32_t WidestRowWithSpans(const CXmlNode* parent, int32_t widest) {
  RowSpans spans;
  // widest covers the rows before `child`.
  for (const CXmlNode* child = parent->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (child->IsStartTag() && IsTagNamedExactly(child, "tr")) widest = std::max(widest, RowEdge(child, spans));
  }
  return widest;
}

// The table whose `columns` a row fills: its parent when that is a table, or
// the table of its row group; null otherwise.
const CXmlNode* TableOfRow(const CXmlNode* row) {
  const CXmlNode* parent = row->GetParent();
  if (parent != nullptr && IsRowGroup(parent)) parent = parent->GetParent();
  if (parent == nullptr || !parent->IsStartTag() || !IsTagNamedExactly(parent, "table")) return nullptr;
  return parent;
}

// The table's `columns` value, 0 when it has none.
int32_t ColumnsOf(const CXmlNode* table) {
  if (table == nullptr) return 0;
  const char* columns = table->GetElement()->GetAttribute("columns");
  return columns != nullptr ? std::max(LeadingInteger(columns), 0) : 0;
}

// `count` empty cells (1 to 64) as one record that the writer writes that
// many times: a padded row costs a node, not a node per cell.
static_assert(kMaxTableColumns <= CXmlObject::kMostCopies && kMaxCellSpan <= CXmlObject::kMostCopies);
CXmlNode* EmptyCells(CXmlNode* near, int32_t count) {
  CXmlNode* cells = near->CreateNode("<td/>");
  cells->GetElement()->SetCopies(count);
  return cells;
}

// Inserts span - 1 empty cells right after the cell (after its end tag when
// it has one); returns the last node of the cell and its new cells.
CXmlNode* ExpandSpan(CXmlNode* cell, int32_t span) {
  CXmlNode* last = cell->IsClosedTag() ? cell : EndTagOf(cell);
  if (last == nullptr) last = cell;
  CXmlNode* empty = EmptyCells(cell, span - 1);
  last->InsertAfter(empty);
  return empty;
}

// True when a table element holds at least one row.
bool HoldsRow(const CXmlNode* table) {
  // No child before `child` is a row.
  for (const CXmlNode* child = table->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (IsTagNamedExactly(child, "tr")) return true;
  }
  return false;
}

// A table without rows would be invalid WML and shows nothing: its tags are
// dropped with what remains in it.
void DropIfRowless(CXmlNode* start, CXmlNode* closedTag) {
  if (HoldsRow(start)) return;
  DestroyChildren(start);
  Suppress(start);
  Suppress(closedTag);
}

// A table nested below a cell at any depth (inside an element that the
// cell's content model kept, a formatting element say) is unwrapped as the
// cell's content model unwraps one standing in the cell itself; its rows and
// cells are then unwrapped by the content models of the elements around it,
// none of which allows them.
void DissolveNestedTable(CXmlNode* start, CXmlNode* closedTag) {
  Unwrap(start);
  Suppress(closedTag);
}

}  // namespace

int32_t CellSpan(const CXmlNode* cell) {
  const char* colspan = cell->GetElement()->GetAttribute("colspan");
  if (colspan == nullptr) return 1;
  return std::clamp(LeadingInteger(colspan), 1, kMaxCellSpan);
}

int32_t CountTableColumns(const CXmlNode* table, bool rowSpans) {
  const auto widestOf = rowSpans ? WidestRowWithSpans : WidestRow;
  int32_t widest = widestOf(table, 0);
  // widest covers the table's own rows and those of the groups before `child`.
  for (const CXmlNode* child = table->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (IsRowGroup(child)) widest = widestOf(child, widest);
  }
  return widest;
}

void PadTableRow(CXmlNode* row, RowSpans* spans, bool cellsFilterLater) {
  if (row->GetParent() == nullptr) return;
  const int64_t columns = ColumnsOf(TableOfRow(row));
  int64_t count = 0;
  const auto column = [&] { return ClampedColumns(count); };
  // count covers the cells before `child`, the added empty cells included.
  for (CXmlNode* child = row->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (!IsCell(child)) continue;
    // Empty cells added before are as wide as their copies.
    if (child->GetElement()->GetCopies() > 1) {
      count += child->GetElement()->GetCopies();
      continue;
    }
    // Where cells above reach down, the row leaves their columns empty.
    if (const int32_t covered = spans != nullptr ? spans->TakeCoveredRun(column()) : 0; covered > 0) {
      child->InsertBefore(EmptyCells(row, covered));
      count += covered;
    }
    const int32_t span = CellSpan(child);
    if (spans != nullptr) spans->Cover(column(), span, child);
    if (!cellsFilterLater) ApplyContentModel(child, wml::kTd);
    count += span;
    // The empty cells are passed over: each was counted with the span.
    if (span > 1) child = ExpandSpan(child, span);
  }
  if (spans != nullptr) spans->EndRow(column());
  // count is the width of the row so far.
  if (count < columns) row->AppendChild(EmptyCells(row, static_cast<int32_t>(columns - count)));
}

void RewriteTable(CXmlNode* node, RewriteContext& walk) {
  int32_t& depth = walk.Variables().tableDepth;
  if (!node->IsClosedTag()) {
    if (++depth == 1) {
      // WML forbids a table of no columns; a table of empty rows gets one.
      const int32_t columns = std::clamp(CountTableColumns(node, walk.ReadsAsHtml()), 1, kMaxTableColumns);
      walk.TableRowSpans() = RowSpans();
      node->GetElement()->SetAttribute("columns", std::to_string(columns).c_str());
    }
    return;
  }
  // A self-closing table never opened, so it leaves the depth alone.
  if (!node->IsStartTag() && depth > 0) --depth;
  CXmlNode* start = StartTagOf(node);
  if (start == nullptr) return;
  if (depth > 0 && walk.InsideCell()) {
    DissolveNestedTable(start, node);
    return;
  }
  ApplyContentModel(node, wml::kTable);
  DropIfRowless(start, node);
}

void RewriteCaption(CXmlNode* node, RewriteContext& walk) {
  CXmlNode* start = walk.ReadsAsHtml() && node->IsClosedTag() ? StartTagOf(node) : nullptr;
  CXmlNode* table = start != nullptr ? start->GetParent() : nullptr;
  if (table != nullptr && table->IsStartTag() && table->IsTagNamed("table")) MoveChildrenBefore(start, table);
  RewriteUnknownTag(node);
}

void RewriteTr(CXmlNode* node, RewriteContext& walk) {
  if (node->IsClosedTag()) {
    // Read as HTML, a row in a cell dissolves with its table into that
    // cell, whose filter keeps the row's text as a browser shows it.
    if (walk.ReadsAsHtml() && walk.InsideCell()) return;
    ApplyContentModel(node, wml::kTr);
    return;
  }
  if (walk.Variables().tableDepth != 1) return;
  // Each cell's content: the child list of every child of the row.
  for (CXmlNode* child = node->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    MarkNestedTableCells(child->GetFirstChild(), walk.Settings(), walk.ReadsAsHtml() ? &walk.Breaks() : nullptr);
  }
  ApplyContentModel(node, wml::kTrWithHeader);
  RowSpans* spans = walk.ReadsAsHtml() ? &walk.TableRowSpans() : nullptr;
  if (spans != nullptr) spans->EnterRowsOf(node->GetParent());
  PadTableRow(node, spans, walk.ReadsAsHtml());
}

void RewriteCell(CXmlNode* node, RewriteContext& walk) {
  CXmlObject& cell = *node->GetElement();
  cell.SetName("td");
  // Read as HTML, a cell's content is filtered at its end, once the rules of
  // the elements in it have run: a quotation, a superscript, a list's
  // numbers, an image map's links and an inline frame's link then survive
  // in a cell as they do outside tables. Otherwise the td pair unwraps them
  // before their rules see them.
  if (node->IsClosedTag()) {
    cell.ClearAttributes();
    if (walk.ReadsAsHtml()) ApplyContentModel(node, wml::kTd);
    return;
  }
  if (!walk.ReadsAsHtml()) ApplyContentModel(node, wml::kTd);
}

}  // namespace quillmark
