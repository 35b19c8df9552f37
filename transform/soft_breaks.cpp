#include "transform/soft_breaks.h"

#include <string_view>
#include <vector>

#include "markup/name_list.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {


// One paragraph being read: whether content has come since its start or its
// last break, and the soft break that waits for content to justify it.
struct Paragraph {
  bool seenContent = false;
  CXmlNode* pending = nullptr;
};

// What the walk does with a node's children.
enum class Descent { kSkip, kEnter, kEnterCell };

// Decides each break of one card as the walk reads the card in document
// order; the breaks that go are removed after the walk.
class BreakResolver {
 public:
  explicit BreakResolver(const SoftBreaks& breaks) : breaks_(breaks) {}

  Descent Visit(CXmlNode* node) {
    const char* ownName = node->GetName();
    if (ownName == nullptr) {
      // Text (comments hold no content).
      if (!node->IsComment() && !IsBlank(node->GetText())) Content();
      return Descent::kSkip;
    }
    const std::string_view name = node->GetNameView();
    if (name.empty() || !node->IsStartTag()) return Descent::kEnter;
    if (name == "br") {
      if (breaks_.IsSoft(node)) {
        SoftBreak(node);
      } else {
        HardBreak();
      }
      return Descent::kSkip;
    }
    // Tags that show something whatever text they hold; a table's cells are
    // paragraphs of their own, a select holds no breaks.
    if (name == "img" || name == "input" || name == "select") {
      Content();
      return Descent::kSkip;
    }
    if (name == "table") Content();
    return name == "td" ? Descent::kEnterCell : Descent::kEnter;
  }

  void OpenCell() { paragraphs_.emplace_back(); }
  void CloseCell() {
    Close();
    paragraphs_.pop_back();
  }

  // Ends the card and removes the breaks that separate nothing.
  void Finish() {
    Close();
    for (CXmlNode* node : doomed_) node->Destroy();
  }

 private:
  Paragraph& Current() { return paragraphs_.back(); }

  void Content() {
    Current().pending = nullptr;
    Current().seenContent = true;
  }
  void SoftBreak(CXmlNode* node) {
    if (!Current().seenContent || Current().pending != nullptr) {
      doomed_.push_back(node);
      return;
    }
    Current().pending = node;
  }
  void HardBreak() {
    Close();
    Current().pending = nullptr;
    Current().seenContent = false;
  }
  // A waiting break at the end of a paragraph is its last: it goes.
  void Close() {
    if (Current().pending != nullptr) doomed_.push_back(Current().pending);
  }

  const SoftBreaks& breaks_;
  std::vector<Paragraph> paragraphs_{1};
  std::vector<CXmlNode*> doomed_;
};

}  // namespace

CXmlNode* SoftBreaks::Make(CXmlNode* near) {
  CXmlNode* node = near->CreateNode("<br/>");
  Add(node);
  return node;
}

void SoftBreaks::ResolveIn(CXmlNode* card) const {
  if (nodes_.empty()) return;
  BreakResolver resolver(*this);
  // The entered nodes, outermost first, each with whether it opened a cell.
  std::vector<std::pair<CXmlNode*, bool>> entered;
  CXmlNode* node = card->GetFirstChild();
  // Every node before `node` in document order within the card was visited.
  while (node != nullptr) {
    const Descent descent = resolver.Visit(node);
    if (descent != Descent::kSkip && node->GetFirstChild() != nullptr) {
      const bool cell = descent == Descent::kEnterCell;
      if (cell) resolver.OpenCell();
      entered.emplace_back(node, cell);
      node = node->GetFirstChild();
      continue;
    }
    // Climb out of finished subtrees to the next sibling still to visit.
    while (node->GetNext() == nullptr && !entered.empty()) {
      node = entered.back().first;
      if (entered.back().second) resolver.CloseCell();
      entered.pop_back();
    }
    node = node->GetNext();
  }
  resolver.Finish();
}

}  // namespace quillmark
