#include "transform/normalize_tree.h"

#include <string>

#include "base/case_folding.h"
#include "device/configuration.h"
#include "markup/name_list.h"
#include "markup/tree_walk.h"
#include "transform/tree_edits.h"

namespace quillmark {
namespace {

bool HasUpperCase(const char* text) {
  for (; *text != '\0'; ++text) {
    if (*text >= 'A' && *text <= 'Z') return true;
  }
  return false;
}

}  // namespace

void LowerCaseNames(CXmlObject& element) {
  const char* name = element.GetName();
  // A name spelt as its listed lower-case name has nothing to lower.
  if (name != nullptr && element.GetExactElementId() == kOtherElement && HasUpperCase(name)) {
    // SetName drops one leading "/", so a name that begins with one is
    // handed over behind an extra "/" to come out unchanged but lower-cased.
    const std::string lowered = LowerCasedAscii(name);
    element.SetName(((lowered.front() == '/') ? "/" + lowered : lowered).c_str());
  }
  for (int32_t i = 0; i < element.GetAttributeCount(); ++i) {
    const char* attributeName = element.GetAttributeName(i);
    if (!HasUpperCase(attributeName)) continue;
    const std::string value = element.GetAttributeValue(i);
    element.SetAttribute(LowerCasedAscii(attributeName).c_str(), value.c_str());
  }
}

namespace {

// An empty-element tag followed by its own end tag ("<br/></br>", or
// "<br></br>" once the first is made empty) is one element: the end tag goes.
void DropOwnEndTagOfEmptyTag(CXmlNode* node) {
  const char* text = node->GetText();
  if (!node->IsStartTag() || !node->IsClosedTag() || text[1] == '!' || text[1] == '?') return;
  CXmlNode* next = node->GetNext();
  if (next != nullptr && !next->IsStartTag() && next->ClosesElement(node)) next->Destroy();
}

// Gives one tag its normal shape (the pre-order step of the pre-pass).
void NormalizeTag(CXmlNode* node) {
  LowerCaseNames(*node->GetElement());
  if (node->IsEmptyElement() && !node->IsClosedTag()) node->MakeEmpty();
  DropOwnEndTagOfEmptyTag(node);
  if (!node->IsFinished()) node->InsertAfter(node->CreateNode(node->GetElement()->MakeEndTag()));
}

// Removes the node when it is a stray end tag or a blank formatting element
// (with its end tag); returns the sibling that follows what stayed or went.
CXmlNode* SweepNode(CXmlNode* node) {
  if (node->IsStrayEndTag()) {
    CXmlNode* next = node->GetNext();
    node->Destroy();
    return next;
  }
  if (node->IsTag() && node->IsFormattingElement() && node->IsBlankContent()) {
    const CXmlNode* end = EndTagOf(node);
    CXmlNode* next = end != nullptr ? end->GetNext() : node->GetNext();
    DestroyWithEndTag(node);
    return next;
  }
  return node->GetNext();
}

// Bottom-up removal of stray end tags and blank formatting elements.
void SweepTree(CXmlNode* root) {
  if (root->GetFirstChild() == nullptr) return;
  CXmlNode* node = FirstInPostOrder(root->GetFirstChild());
  // Every node before node in post-order has been swept; node's children too.
  while (node != root) {
    CXmlNode* parent = node->GetParent();
    CXmlNode* next = SweepNode(node);
    node = next != nullptr ? FirstInPostOrder(next) : parent;
  }
}

}  // namespace

void NormalizeTree(Conversion& conversion) {
  conversion.Reset();
  CXmlNode* root = &conversion.Root();
  CXmlNode* node = root->GetFirstChild();
  // Every node before node in document order has its normal shape.
  while (node != nullptr) {
    if (node->IsTag()) NormalizeTag(node);
    node = NextInSubtree(node, root);
  }
  SweepTree(root);
  conversion.Reset();
}

void NormalizeTree(CXmlNode* root) {
  Conversion conversion = Conversion::Of(*root);
  NormalizeTree(conversion);
}

}  // namespace quillmark
