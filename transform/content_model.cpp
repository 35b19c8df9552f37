#include "transform/content_model.h"

namespace quillmark {

CXmlNode* StartTagOf(CXmlNode* node) {
  if (node->IsStartTag()) return node;
  CXmlNode* previous = node->GetPrev();
  if (previous == nullptr || !previous->IsStartTag()) return nullptr;
  return previous;
}

namespace {

// The mark of children that hold no tag: every rule that allows text
// accepts them as they stand, whichever rule accepted them before.
constexpr char kTextOnly[] = "(text only)";

// Deciding a child draws this many bytes from the conversion budget. Real
// pages decide well under one child per page byte; a page whose filters
// decide the same content again at depth after depth (an option inside a
// link that holds a rule, repeated) fails by the budget in about a second
// per megabyte instead of taking many, while such a page of a thousand
// depths still converts.
constexpr int64_t kBudgetBytesPerDecidedChild = 1;
constexpr int64_t kFewChildren = 64;

}  // namespace

void FilterChildren(CXmlNode* parent, const ContentModel& model) {
  const char* rule = model.children;
  const ElementSet& allowed = *model.childIds;
  const bool textAllowed = rule[0] == kTextAllowed;
  // A run of children that an unwrapped child had already accepted under
  // this same rule, or that holds no tag: [skipFirst, skipLast] is passed
  // over untouched. Without the second, an option inside bold inside an
  // option, many deep, passed all the text below it again at each depth.
  CXmlNode* skipFirst = nullptr;
  CXmlNode* skipLast = nullptr;
  bool skipTextOnly = false;
  bool textOnly = true;  // no tag is among the children decided so far
  CXmlNode* child = parent->GetFirstChild();
  int64_t decided = 0;
  // child is the next child to decide; every child before it was decided.
  while (child != nullptr) {
    ++decided;
    if (child == skipFirst) {
      child = skipLast->GetNext();
      textOnly = textOnly && skipTextOnly;
      skipFirst = skipLast = nullptr;
      continue;
    }
    CXmlNode* next = child->GetNext();
    const bool tag = child->IsTag() != 0;
    if (child->IsComment() || (tag && allowed.Holds(child->GetElement()->GetElementId()))) {
      textOnly = textOnly && !tag;
      child = next;
      continue;
    }
    if (!tag) {
      if (!textAllowed) child->Destroy();
      child = next;
      continue;
    }
    if (textAllowed && child->GetFirstChild() != nullptr) {
      // The run stays contiguous only if nothing else moves before it is
      // reached; any later move cancels the skip.
      const char* accepted = child->ChildrenAcceptedBy();
      const bool skip = accepted == rule || accepted == kTextOnly;
      skipFirst = skip ? child->GetFirstChild() : nullptr;
      skipLast = skip ? child->GetLastChild() : nullptr;
      skipTextOnly = accepted == kTextOnly;
      child->MoveChildrenAfter(next != nullptr ? next : child);
      next = child->GetNext();
    }
    child->Destroy();
    child = next;
  }
  parent->MarkChildrenAcceptedBy(textAllowed && textOnly ? kTextOnly : rule);
  // Content that rises out of elements many deep is decided again at each
  // depth where a tag among it is refused: that work draws from the budget.
  // Filters of a few children, nearly all, are not worth the charge.
  if (decided >= kFewChildren) parent->GetRoot()->ChargeBudget(decided * kBudgetBytesPerDecidedChild);
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
