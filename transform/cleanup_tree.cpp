#include "transform/cleanup_tree.h"

#include <cstring>
#include <string>
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

bool IsEmptyText(const CXmlNode* node) {
  const char* text = node->GetText();
  return text != nullptr && *text == '\0';
}

// True when a space at the start of `node`'s text repeats a break or space
// that the content before it already gives.
bool LeadingSpaceIsRedundant(const CXmlNode* node) {
  // Every node between the candidate and `node` has empty text or is a tag
  // that leaves the decision to what comes before it.
  for (const CXmlNode* before = node->PreviousInDocument(); before != nullptr;
       before = before->PreviousInDocument()) {
    if (before->IsRoot()) return true;
    if (IsEmptyText(before)) continue;
    const std::string_view text = before->GetElement()->GetTextView();
    if (text.back() == ' ') return true;
    if (text.back() != '>') return false;
    if (AbsorbsSpace(before)) return true;
  }
  return true;
}

// True when a space at the end of `node`'s text repeats a break or space that
// the content after it gives, or nothing follows.
bool TrailingSpaceIsRedundant(const CXmlNode* node) {
  // Every node between `node` and the candidate has empty text or is a tag
  // that leaves the decision to what comes after it.
  for (const CXmlNode* after = node->NextInDocument(); after != nullptr;
       after = after->NextInDocument()) {
    if (IsEmptyText(after)) continue;
    const std::string_view text = after->GetElement()->GetTextView();
    if (text.front() == ' ') return true;
    if (text.front() != '<') return false;
    if (AbsorbsSpace(after)) return true;
  }
  return true;
}

void TrimRedundantSpaces(CXmlNode* node) {
  CXmlObject* element = node->GetElement();
  if (element == nullptr || element->GetTextView().empty()) return;
  std::string_view kept = element->GetTextView();
  if (kept.front() == ' ' && LeadingSpaceIsRedundant(node)) {
    kept.remove_prefix(1);
    element->SetText(std::string(kept));
  }
  kept = element->GetTextView();
  if (!kept.empty() && kept.back() == ' ' && TrailingSpaceIsRedundant(node)) {
    kept.remove_suffix(1);
    element->SetText(std::string(kept));
  }
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
bool CleanBeforeChildren(CXmlNode* node) {
  if (node->GetParent() == nullptr) return true;
  TrimRedundantSpaces(node);
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

  // The next child to clean, or null when every child is clean. A child that
  // was cleaned and stayed becomes the anchor; one that went (perhaps with
  // its end tag) leaves the anchor where it was.
  CXmlNode* NextChild() {
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
    }
    return pending;
  }
};

}  // namespace

void CleanupTree(CXmlNode* node, const CWmlSettings& settings) {
  const bool stripComments = settings.stripComments != 0;
  if (!CleanBeforeChildren(node)) return;
  std::vector<Frame> frames{{node, nullptr, nullptr, false}};
  // frames holds the ancestors whose children are being cleaned, outermost
  // first; the top frame's children before its next child are clean.
  while (!frames.empty()) {
    CXmlNode* child = frames.back().NextChild();
    if (child == nullptr) {
      CXmlNode* finished = frames.back().node;
      frames.pop_back();
      CleanAfterChildren(finished, stripComments);
      continue;
    }
    if (CleanBeforeChildren(child)) frames.push_back({child, nullptr, nullptr, false});
  }
}

}  // namespace quillmark
