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

namespace {

// Moves every child of `from`, in order, to just after `placeholder`, an
// empty node the caller has linked where they go, which then goes: one
// splice, whatever the number of children.
void SpliceChildrenAt(CXmlNode* from, CXmlNode* placeholder) {
  from->MoveChildrenAfter(placeholder);
  placeholder->Destroy();
}

}  // namespace

void MoveChildrenInto(CXmlNode* from, CXmlNode* to) {
  if (from->GetFirstChild() == nullptr) return;
  CXmlNode* placeholder = to->CreateNode("");
  to->AppendChild(placeholder);
  SpliceChildrenAt(from, placeholder);
}

void MoveChildrenBefore(CXmlNode* from, CXmlNode* node) {
  if (from->GetFirstChild() == nullptr) return;
  CXmlNode* placeholder = node->CreateNode("");
  node->InsertBefore(placeholder);
  SpliceChildrenAt(from, placeholder);
}

void MoveFollowingSiblingsInto(CXmlNode* node, CXmlNode* to) {
  // Every sibling that followed node and precedes node's next is in `to`.
  while (CXmlNode* sibling = node->GetNext()) to->AppendChild(sibling);
}

void MovePrecedingSiblingsInto(CXmlNode* node, CXmlNode* to) {
  // Every sibling that preceded node and follows node's previous is in `to`.
  while (CXmlNode* sibling = node->GetPrev()) to->PrependChild(sibling);
}

bool IsTagNamedExactly(const CXmlNode* node, ListedName name) {
  return node->IsTag() && node->GetElement()->GetExactElementId() == name.id;
}

bool IsOpenStartTag(const CXmlNode* node) { return node->IsStartTag() && !node->IsClosedTag(); }

}  // namespace quillmark
