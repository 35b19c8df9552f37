#include "transform/cleanup_tree.h"

#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "markup/name_list.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

// Tags next to which a space at the edge of a text is not shown.
constexpr char kSpaceAbsorbingTags[] = "wml\0p\0br\0table\0tr\0td\0";
constexpr ElementSet kSpaceAbsorbing{kSpaceAbsorbingTags};

// Whether `node` (not the root) is a tag next to which a space is not shown.
bool AbsorbsSpace(const CXmlNode* node) { return kSpaceAbsorbing.Holds(node->GetElement()->GetElementId()); }

// Tags that show something of their own in the line, as a word does: a
// picture (or its alt text) and a field. Read as HTML reads the page, a
// space beside one is shown ("a <img> b" is not "a <img>b").
constexpr ElementSet kShownInLine{"img\0input\0"};

// How the walks below read the tags they pass.
struct SpaceReading {
  bool tagsInLineShow = false;  // a tag of kShownInLine keeps the spaces beside it

  bool ShowsInLine(const CXmlNode* node) const {
    return tagsInLineShow && kShownInLine.Holds(node->GetElement()->GetElementId());
  }
};

bool IsEmptyText(const CXmlNode* node) {
  const char* text = node->GetText();
  return text != nullptr && *text == '\0';
}

// What the backward walks of the texts already trimmed found. A text left
// empty by its trim is passed over by every later walk, which then goes on
// exactly as that text's own walk went: its answer is the later walk's
// answer, as long as nothing that walk passed has changed since. Only the
// first child of a node is cleaned after later ones, so the answers found
// while a node's other children were cleaned are forgotten when its first
// child's turn comes. Without this, every text of " <img>" repeated walked
// back over all the ones before it.
class LeadingSpaceAnswers {
 public:
  // Walks this short are not worth remembering: one that reaches their text
  // goes on for at most as many steps.
  static constexpr int kShortWalk = 32;

  // The answer for the empty text `node`, or null when none is known.
  const bool* Find(const CXmlNode* node) const {
    if (answers_.empty()) return nullptr;
    const auto found = answers_.find(node);
    return found != answers_.end() ? &found->second : nullptr;
  }
  void Remember(const CXmlNode* node, bool redundant) {
    if (answers_.emplace(node, redundant).second) order_.push_back(node);
  }
  // A mark to Forget back to: the answers remembered after it go then.
  std::size_t Mark() const { return order_.size(); }
  void Forget(std::size_t mark) {
    for (std::size_t i = mark; i < order_.size(); ++i) answers_.erase(order_[i]);
    order_.resize(mark);
  }

 private:
  std::unordered_map<const CXmlNode*, bool> answers_;
  std::vector<const CXmlNode*> order_;  // the keys of answers_, oldest first
};

// True when a space at the start of `node`'s text repeats a break or space
// that the content before it already gives.
// `steps` becomes the number of nodes the walk passed.
bool LeadingSpaceIsRedundant(const CXmlNode* node, const LeadingSpaceAnswers& answers, const SpaceReading& reading,
                             int& steps) {
  steps = 0;
  // Every node between the candidate and `node` has empty text or is a tag
  // that leaves the decision to what comes before it.
  for (const CXmlNode* before = node->PreviousInDocument(); before != nullptr;
       before = before->PreviousInDocument(), ++steps) {
    if (before->IsRoot()) return true;
    if (IsEmptyText(before)) {
      if (const bool* known = answers.Find(before)) return *known;
      continue;
    }
    const std::string_view text = before->GetElement()->GetTextView();
    if (text.back() == ' ') return true;
    if (text.back() != '>' || reading.ShowsInLine(before)) return false;
    if (AbsorbsSpace(before)) return true;
  }
  return true;
}

// True when a space at the end of `node`'s text repeats a break or space that
// the content after it gives, or nothing follows.
bool TrailingSpaceIsRedundant(const CXmlNode* node, const SpaceReading& reading) {
  // Every node between `node` and the candidate has empty text or is a tag
  // that leaves the decision to what comes after it.
  for (const CXmlNode* after = node->NextInDocument(); after != nullptr;
       after = after->NextInDocument()) {
    if (IsEmptyText(after)) continue;
    const std::string_view text = after->GetElement()->GetTextView();
    if (text.front() == ' ') return true;
    if (text.front() != '<' || reading.ShowsInLine(after)) return false;
    if (AbsorbsSpace(after)) return true;
  }
  return true;
}

void TrimRedundantSpaces(CXmlNode* node, LeadingSpaceAnswers& answers, const SpaceReading& reading) {
  CXmlObject* element = node->GetElement();
  if (element == nullptr || element->GetTextView().empty()) return;
  std::string_view kept = element->GetTextView();
  // A text that ends up empty began with a space, so its walk was made.
  int steps = 0;
  const bool leading = kept.front() == ' ' && LeadingSpaceIsRedundant(node, answers, reading, steps);
  if (leading) {
    kept.remove_prefix(1);
    element->SetText(std::string(kept));
  }
  kept = element->GetTextView();
  if (!kept.empty() && kept.back() == ' ' && TrailingSpaceIsRedundant(node, reading)) {
    kept.remove_suffix(1);
    element->SetText(std::string(kept));
  }
  if (steps > LeadingSpaceAnswers::kShortWalk && element->GetTextView().empty()) answers.Remember(node, leading);
}

// Gives a select without children one empty option, or removes it when it is
// self-closing; returns false when the select went.
bool CompleteEmptySelect(CXmlNode* node) {
  if (!node->IsStartTag() || !node->IsTagNamed("select") || node->GetFirstChild() != nullptr) {
    return true;
  }
  if (node->IsClosedTag()) {
    node->Destroy();
    return false;
  }
  node->AppendChild(node->CreateNode("<option value=\"\">"));
  node->AppendChild(node->CreateNode("</option>"));
  return true;
}

// The cleanup of a node before its children; false when the node went.
bool CleanBeforeChildren(CXmlNode* node, LeadingSpaceAnswers& answers, const SpaceReading& reading) {
  if (node->GetParent() == nullptr) return true;
  TrimRedundantSpaces(node, answers, reading);
  return CompleteEmptySelect(node);
}

// The removals of a node after its children were cleaned.
void CleanAfterChildren(CXmlNode* node, bool stripComments) {
  if (node->GetParent() == nullptr) return;
  if (node->IsStrayEndTag()) {
    node->Destroy();
    return;
  }
  if (stripComments && node->IsComment()) {
    node->Destroy();
    return;
  }
  if (!node->IsBlankContent()) return;
  if (node->IsFormattingElement() || IsTagNamedExactly(node, "head")) DestroyWithEndTag(node);
}

// One node whose children are being cleaned: from the second to the last,
// then the first.
struct Frame {
  CXmlNode* node;
  CXmlNode* anchor;   // the next child to clean follows it; null before the first
  CXmlNode* pending;  // the child being cleaned, or null
  bool firstCleaned;  // the run reached the first child
  std::size_t answersMark;  // the leading-space answers from before the run

  // The next child to clean, or null when every child is clean. A child that
  // was cleaned and stayed becomes the anchor; one that went (perhaps with
  // its end tag) leaves the anchor where it was. The first child, cleaned
  // last, may change what the answers found during the run passed.
  CXmlNode* NextChild(LeadingSpaceAnswers& answers) {
    if (pending != nullptr && pending->GetParent() == node) anchor = pending;
    pending = nullptr;
    if (firstCleaned) return nullptr;
    CXmlNode* first = node->GetFirstChild();
    if (first == nullptr) return nullptr;
    if (anchor == nullptr) anchor = first;
    pending = anchor->GetNext();
    if (pending == nullptr) {
      pending = first;
      firstCleaned = true;
      answers.Forget(answersMark);
    }
    return pending;
  }
};

}  // namespace

void CleanupTree(CXmlNode* node, const CWmlSettings& settings) {
  const bool stripComments = settings.stripComments != 0;
  LeadingSpaceAnswers answers;
  const SpaceReading reading{settings.blockBreaks != 0};
  if (!CleanBeforeChildren(node, answers, reading)) return;
  std::vector<Frame> frames{{node, nullptr, nullptr, false, answers.Mark()}};
  // frames holds the ancestors whose children are being cleaned, outermost
  // first; the top frame's children before its next child are clean.
  while (!frames.empty()) {
    CXmlNode* child = frames.back().NextChild(answers);
    if (child == nullptr) {
      CXmlNode* finished = frames.back().node;
      frames.pop_back();
      CleanAfterChildren(finished, stripComments);
      continue;
    }
    if (CleanBeforeChildren(child, answers, reading)) {
      frames.push_back({child, nullptr, nullptr, false, answers.Mark()});
    }
  }
}

}  // namespace quillmark
