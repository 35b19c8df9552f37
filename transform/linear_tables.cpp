#include "transform/linear_tables.h"

#include <vector>

#include "markup/name_list.h"
#include "markup/tree_walk.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

constexpr std::string_view kFormControls[] = {"input", "select", "textarea", "button"};
// Tags that make up a table's structure; they go when it is linearised.
constexpr char kTableParts[] = "table\0thead\0tbody\0tfoot\0tr\0td\0th\0caption\0";
// Parts whose content becomes a line of its own.
constexpr char kLineParts[] = "tr\0caption\0";

bool IsCellTag(const CXmlNode* node) { return IsTagNamedExactly(node, "td") || IsTagNamedExactly(node, "th"); }

// Puts a blank before the content of every cell of the row but its first.
void SeparateCells(CXmlNode* row) {
  bool afterCell = false;
  // afterCell: a cell start tag stands among the row's children before `child`.
  for (CXmlNode* child = row->GetFirstChild(); child != nullptr; child = child->GetNext()) {
    if (!child->IsStartTag() || !IsCellTag(child)) continue;
    if (afterCell && !child->IsClosedTag()) child->PrependChild(child->CreateNode(" "));
    afterCell = true;
  }
}

// The open start tags of a nest's structure, in document order: the table
// itself, then every part below it.
std::vector<CXmlNode*> TableParts(CXmlNode* table) {
  std::vector<CXmlNode*> parts{table};
  // Every node before `node` within the nest has been looked at.
  for (CXmlNode* node = table->GetFirstChild(); node != nullptr; node = NextInSubtree(node, table)) {
    if (IsOpenStartTag(node) && IsNameInList(node->GetName(), kTableParts)) parts.push_back(node);
  }
  return parts;
}

// Turns one nest into lines. The decisions are taken on the nest as it
// stands; then each part is dissolved in place, which moves only its own
// children.
void Linearise(CXmlNode* table, SoftBreaks& breaks) {
  const std::vector<CXmlNode*> parts = TableParts(table);
  for (CXmlNode* part : parts) {
    if (IsTagNamedExactly(part, "tr")) SeparateCells(part);
  }
  for (CXmlNode* part : parts) {
    if (IsNameInList(part->GetName(), kLineParts)) {
      part->PrependChild(breaks.Make(part));
      part->AppendChild(breaks.Make(part));
    }
    // The tags go at once: a suppressed tag left for the walk would make it
    // take the tag before it for its start tag.
    if (CXmlNode* end = EndTagOf(part)) end->Destroy();
    part->MoveChildrenAfter(part);
    part->Destroy();
  }
}

}  // namespace

void TableLineariser::Visit(std::string_view name) {
  if (outermost_ == nullptr || holdsControl_) return;
  for (std::string_view control : kFormControls) {
    if (name == control) holdsControl_ = true;
  }
}

void TableLineariser::Enter(CXmlNode* node, std::string_view name) {
  if (outermost_ != nullptr || name != "table") return;
  outermost_ = node;
  holdsControl_ = false;
}

void TableLineariser::Leave(const CXmlNode* node) {
  if (node != outermost_) return;
  if (everyTable_ || holdsControl_) chosen_.push_back(outermost_);
  outermost_ = nullptr;
}

void TableLineariser::Finish(SoftBreaks& breaks) {
  for (CXmlNode* table : chosen_) Linearise(table, breaks);
  chosen_.clear();
}

}  // namespace quillmark
