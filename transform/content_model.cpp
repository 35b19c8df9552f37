#include "transform/content_model.h"

namespace quillmark {

CXmlNode* StartTagOf(CXmlNode* node) {
  if (node->IsStartTag()) return node;
  CXmlNode* previous = node->GetPrev();
  if (previous == nullptr || !previous->IsStartTag()) return nullptr;
  return previous;
}

void FilterChildren(CXmlNode* parent, const ContentModel& model) {
  const char* rule = model.children;
  const ElementSet& allowed = *model.childIds;
  const bool textAllowed = rule[0] == kTextAllowed;
  // A run of children that an unwrapped child had already accepted under
  // this same rule: [skipFirst, skipLast] is passed over untouched.
  CXmlNode* skipFirst = nullptr;
  CXmlNode* skipLast = nullptr;
  CXmlNode* child = parent->GetFirstChild();
  // child is the next child to decide; every child before it was decided.
  while (child != nullptr) {
    if (child == skipFirst) {
      child = skipLast->GetNext();
      skipFirst = skipLast = nullptr;
      continue;
    }
    CXmlNode* next = child->GetNext();
    if (child->IsComment() || (child->IsTag() && allowed.Holds(child->GetElement()->GetElementId()))) {
      child = next;
      continue;
    }
    if (!child->IsTag()) {
      if (!textAllowed) child->Destroy();
      child = next;
      continue;
    }
    if (textAllowed && child->GetFirstChild() != nullptr) {
      // The run stays contiguous only if nothing else moves before it is
      // reached; any later move cancels the skip.
      const bool accepted = child->ChildrenAcceptedBy() == rule;
      skipFirst = accepted ? child->GetFirstChild() : nullptr;
      skipLast = accepted ? child->GetLastChild() : nullptr;
      child->MoveChildrenAfter(next != nullptr ? next : child);
      next = child->GetNext();
    }
    child->Destroy();
    child = next;
  }
  parent->MarkChildrenAcceptedBy(rule);
}

CXmlNode* ApplyContentModel(CXmlNode* node, const ContentModel& model) {
  CXmlNode* start = StartTagOf(node);
  if (start == nullptr) return nullptr;
  if (start != node) node->GetElement()->ClearAttributes();
  FilterChildren(start, model);
  if (model.attributes != nullptr) start->GetElement()->RetainAttributes(model.attributes);
  return start;
}

}  // namespace quillmark
