#include "transform/tree_edits.h"

namespace quillmark {

void Suppress(CXmlNode* node) { node->GetElement()->SetName(""); }

void Unwrap(CXmlNode* node) {
  node->MoveChildrenAfter(node);
  Suppress(node);
}

CXmlNode* EndTagOf(const CXmlNode* start) {
  CXmlNode* next = start->GetNext();
  if (next == nullptr || !next->IsTag() || next->IsStartTag()) return nullptr;
  return next;
}

void DestroyWithEndTag(CXmlNode* node) {
  if (CXmlNode* end = EndTagOf(node)) end->Destroy();
  node->Destroy();
}

void DestroyChildren(CXmlNode* node) {
  // Every child before the current first child has been removed.
  while (CXmlNode* child = node->GetFirstChild()) child->Destroy();
}

void MoveChildrenInto(CXmlNode* from, CXmlNode* to) {
  if (from->GetFirstChild() == nullptr) return;
  // The children are spliced after a placeholder at the end of `to`, which
  // then goes: one splice, whatever the number of children.
  CXmlNode* placeholder = to->CreateNode("");
  to->AppendChild(placeholder);
  from->MoveChildrenAfter(placeholder);
  placeholder->Destroy();
}

void MoveChildrenBefore(CXmlNode* from, CXmlNode* node) {
  if (from->GetFirstChild() == nullptr) return;
  // As MoveChildrenInto, after a placeholder just before `node`.
  CXmlNode* placeholder = node->CreateNode("");
  node->InsertBefore(placeholder);
  from->MoveChildrenAfter(placeholder);
  placeholder->Destroy();
}

void MoveFollowingSiblingsInto(CXmlNode* node, CXmlNode* to) {
  // Every sibling that followed node and precedes node's next is in `to`.
  while (CXmlNode* sibling = node->GetNext()) to->AppendChild(sibling);
}

bool IsTagNamedExactly(const CXmlNode* node, ListedName name) {
  return node->IsTag() && node->GetElement()->GetExactElementId() == name.id;
}

bool IsOpenStartTag(const CXmlNode* node) { return node->IsStartTag() && !node->IsClosedTag(); }

}  // namespace quillmark
