#include "transform/page_structure.h"

#include <string_view>

#include "transform/block_breaks.h"
#include "transform/form_fields.h"
#include "transform/linear_tables.h"

namespace quillmark {
namespace {

bool IsCellName(std::string_view name) { return name == "td" || name == "th"; }

// A fieldset that disables every control it holds.
bool IsDisabledFieldset(const CXmlNode* node, std::string_view name) {
  return name == "fieldset" && node->IsStartTag() && node->GetElement()->GetAttribute("disabled") != nullptr;
}

}  // namespace

void PreparePageStructure(CXmlNode* root, const CWmlSettings& settings, SoftBreaks& breaks, ChosenOptions& chosen,
                          SectionCards& sections) {
  const bool blockBreaks = settings.blockBreaks != 0;
  ChoiceFinder choices(chosen);
  TableLineariser tables(settings.tables == 0);
  // The walk climbs by parent links, not a stack of its own: no part moves
  // a node that encloses the one visited, and a page nested a million deep
  // then costs no memory beyond its tree.
  int preDepth = 0;   // the pre elements that enclose `node`
  int cellDepth = 0;  // the table cells that enclose it
  int disabledDepth = 0;  // the disabled fieldsets that enclose it
  CXmlNode* node = root->GetFirstChild();
  // Every node before `node` in document order has been seen by each part.
  while (node != nullptr) {
    const char* ownName = node->GetName();
    const std::string_view name = node->GetNameView();
    if (ownName != nullptr) {
      if (blockBreaks) DisableControl(node, name, disabledDepth > 0);
      choices.Visit(node, name);
      tables.Visit(name);
      if (blockBreaks) MarkBlock(node, name, cellDepth > 0, breaks);
      if (blockBreaks && name == "a" && node->IsStartTag()) sections.NoteLink(node);
    } else if (blockBreaks && preDepth > 0 && !node->IsComment()) {
      node = SplitPreformattedText(node, breaks);
    }
    if (CXmlNode* child = node->GetFirstChild()) {
      if (name == "pre") ++preDepth;
      if (IsCellName(name)) ++cellDepth;
      if (IsDisabledFieldset(node, name)) ++disabledDepth;
      choices.Enter(node, name);
      tables.Enter(node, name);
      node = child;
      continue;
    }
    // Climb out of finished subtrees to the next sibling still to see.
    while (node->GetNext() == nullptr) {
      CXmlNode* parent = node->GetParent();
      if (parent == nullptr || parent == root) break;
      node = parent;
      if (node->GetNameView() == "pre") --preDepth;
      if (IsCellName(node->GetNameView())) --cellDepth;
      if (IsDisabledFieldset(node, node->GetNameView())) --disabledDepth;
      choices.Leave(node);
      tables.Leave(node);
    }
    node = node->GetNext();
  }
  choices.Finish();
  tables.Finish(breaks);
}

}  // namespace quillmark
