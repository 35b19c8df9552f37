#include "transform/linear_tables.h"

#include <vector>

#include "markup/name_list.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

constexpr char kFormControls[] = "input\0select\0textarea\0button\0";
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
  std::vector<CXmlNode*> entered{table};
  CXmlNode* node = table->GetFirstChild();
  // Every node before `node` within the nest has been looked at.
  while (node != nullptr) {
    if (IsOpenStartTag(node) && IsNameInList(node->GetName(), kTableParts)) parts.push_back(node);
    if (CXmlNode* child = node->GetFirstChild()) {
      entered.push_back(node);
      node = child;
      continue;
    }
    while (node->GetNext() == nullptr && entered.size() > 1) {
      node = entered.back();
      entered.pop_back();
    }
    node = node->GetNext();
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

// True for a start tag of a form control.
bool IsFormControl(const CXmlNode* node) {
  return node->IsStartTag() && IsNameInList(node->GetName(), kFormControls);
}

}  // namespace

void LineariseTables(CXmlNode* root, bool everyTable, SoftBreaks& breaks) {
  std::vector<CXmlNode*> chosen;
  std::vector<CXmlNode*> entered;
  // The outermost table among the entered nodes, and whether a control has
  // been met inside it so far.
  CXmlNode* outermost = nullptr;
  bool holdsControl = false;
  CXmlNode* node = root->GetFirstChild();
  // Every node before `node` in document order has been looked at.
  while (node != nullptr) {
    if (outermost != nullptr && IsFormControl(node)) holdsControl = true;
    if (CXmlNode* child = node->GetFirstChild()) {
      if (outermost == nullptr && IsTagNamedExactly(node, "table")) {
        outermost = node;
        holdsControl = false;
      }
      entered.push_back(node);
      node = child;
      continue;
    }
    // Climb out of finished subtrees; leaving the outermost table decides it.
    while (node->GetNext() == nullptr && !entered.empty()) {
      node = entered.back();
      entered.pop_back();
      if (node != outermost) continue;
      if (everyTable || holdsControl) chosen.push_back(node);
      outermost = nullptr;
    }
    node = node->GetNext();
  }
  for (CXmlNode* table : chosen) Linearise(table, breaks);
}

}  // namespace quillmark
