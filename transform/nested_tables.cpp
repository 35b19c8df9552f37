#include "transform/nested_tables.h"

#include <string_view>
#include <vector>

#include "markup/name_list.h"
#include "transform/normalize_tree.h"
#include "transform/soft_breaks.h"

namespace quillmark {
namespace {

// True for a nested cell that gets markers: an open td or th start tag with
// content.
bool IsMarkedCell(const CXmlNode* node) {
  return node->IsStartTag() && !node->IsClosedTag() && node->GetFirstChild() != nullptr &&
         (node->IsTagNamed("td") || node->IsTagNamed("th"));
}

// True when the cell opens its row: it stands in a tr and only blank text
// and comments come before it there.
bool IsFirstCellOfRow(const CXmlNode* cell) {
  const CXmlNode* parent = cell->GetParent();
  if (parent == nullptr || !parent->IsTagNamed("tr")) return false;
  const CXmlNode* before = cell->GetPrev();
  // Every sibling after `before` and before the cell is blank text or a comment.
  while (before != nullptr && (before->IsComment() || (!before->IsTag() && IsBlank(before->GetText())))) {
    before = before->GetPrev();
  }
  return before == nullptr;
}

// Whether text stands before the node that follows `node` (as next sibling
// or first child), given `before`, the answer for `node` itself: a table, p
// or br tag ends the look-back, non-blank text answers yes, anything else is
// passed over.
bool TextBeforeNext(const CXmlNode* node, bool before) {
  if (node->IsTag()) {
    if (node->IsTagNamed("table") || node->IsTagNamed("p") || node->IsTagNamed("br")) return false;
    return before;
  }
  if (!node->IsComment() && !IsBlank(node->GetText())) return true;
  return before;
}

// Inserts a node made from `text` as the cell's first child. An open start
// tag gets its end tag (or becomes self-closing when the element is always
// empty), so a marker never leaves an element unclosed.
void PrependMarker(CXmlNode* cell, const char* text) {
  if (*text == '\0') return;
  CXmlNode* marker = cell->CreateNode(text);
  CXmlObject& record = *marker->GetElement();
  if (record.IsTag()) LowerCaseNames(record);
  if (marker->IsStartTag() && !marker->IsClosedTag()) {
    if (record.IsEmptyElement()) {
      record.MakeSelfClosing();
    } else {
      cell->PrependChild(cell->CreateNode(record.MakeEndTag()));
    }
  }
  cell->PrependChild(marker);
}

// What one look through the content found: the cells to mark and the
// self-closing tables to follow with a line break.
struct NestedMarks {
  std::vector<CXmlNode*> cells;
  std::vector<CXmlNode*> tables;
};

// Walks `first`, its following siblings and their descendants in document
// order. The look-back for text ends at the content's start: anything before
// it in the row or the table is removed by their content models. With
// `everyTable`, every nested table's end is marked, whatever stands before
// it: its break is a soft one, which stays only where content follows.
NestedMarks FindNestedMarks(CXmlNode* first, bool everyTable) {
  NestedMarks marks;
  std::vector<CXmlNode*> ancestors;
  // Look-back answer for the next sibling of each ancestor.
  std::vector<bool> answerAfter;
  bool before = false;
  CXmlNode* node = first;
  // `before` is the look-back answer for `node`; every node before it in
  // document order within the content has been examined.
  while (node != nullptr) {
    if (IsMarkedCell(node)) marks.cells.push_back(node);
    if ((before || everyTable) && node->IsClosedTag() && node->IsTagNamed("table")) marks.tables.push_back(node);
    before = TextBeforeNext(node, before);
    if (CXmlNode* child = node->GetFirstChild()) {
      ancestors.push_back(node);
      answerAfter.push_back(before);
      node = child;
      continue;
    }
    // Climb out of finished subtrees to the next sibling still to examine.
    while (node->GetNext() == nullptr && !ancestors.empty()) {
      node = ancestors.back();
      before = answerAfter.back();
      ancestors.pop_back();
      answerAfter.pop_back();
    }
    node = node->GetNext();
  }
  return marks;
}

}  // namespace

void MarkNestedTableCells(CXmlNode* first, const CWmlSettings& settings, SoftBreaks* breaks) {
  if (first == nullptr) return;
  // Every decision is taken on the content as it stands; the markers are
  // inserted afterwards, cells first, so none of them sways another.
  const NestedMarks marks = FindNestedMarks(first, breaks != nullptr);
  // A device's own marker text stays as it is; the plain break is soft.
  const bool softCellBreaks = breaks != nullptr && std::string_view(settings.cellBreakText) == "<br/>";
  for (CXmlNode* cell : marks.cells) {
    if (IsFirstCellOfRow(cell)) PrependMarker(cell, settings.cellLeadText);
    if (softCellBreaks) {
      cell->PrependChild(breaks->Make(cell));
    } else {
      PrependMarker(cell, settings.cellBreakText);
    }
  }
  for (CXmlNode* table : marks.tables) table->InsertAfter(breaks != nullptr ? breaks->Make(table) : table->CreateNode("<br/>"));
}

}  // namespace quillmark
