#include "markup/xml_node.h"

#include <cstring>

#include "markup/document_state.h"
#include "markup/name_list.h"

namespace quillmark {

namespace {

// Follows merged sibling records to the representative, halving the path.
SiblingGroup* Representative(SiblingGroup* group) {
  // group leads to the same representative as the argument did.
  while (SiblingGroup* merged = group->Merged()) {
    if (SiblingGroup* next = merged->Merged()) group->MergeInto(next);
    group = group->Merged();
  }
  return group;
}

}  // namespace

// ---- construction -------------------------------------------------------

CXmlNode::CXmlNode() : groupAndFlags_(kRootFlag), element_(&(new DocumentState)->arena) { Doc().root = this; }

namespace {

// `element` as a record of `arena`: moved when it is one already, else
// copied into it.
CXmlObject InArena(RecordArena* arena, CXmlObject&& element) {
  if (element.Arena() == arena) return CXmlObject(std::move(element));
  CXmlObject copy(arena);
  copy = std::move(element);
  return copy;
}

}  // namespace

// The node finds its document through its record's arena, so the record
// must be one of the document's.
CXmlNode::CXmlNode(StoreKey, RecordArena* arena, CXmlObject&& element)
    : element_(InArena(arena, std::move(element))) {}

CXmlNode::CXmlNode(StoreKey, RecordArena* arena) : element_(arena) {}

// Nodes of a document are released together with its store, which the
// root's state holds, so nothing here walks the tree. The root's record,
// destroyed after the state, is empty and so never reaches for its arena.
CXmlNode::~CXmlNode() {
  if (IsRoot()) delete &Doc();
}

DocumentState& CXmlNode::Doc() const { return *static_cast<DocumentState*>(element_.Arena()->Owner()); }

CXmlNode* CXmlNode::CreateNode(CXmlObject&& element) { return Doc().NewNode(std::move(element)); }

CXmlNode* CXmlNode::CreateNode(const char* text) {
  const TreeContext* context = GetContext();
  const MarkerWords& words = context != nullptr ? context->Words() : DefaultMarkerWords();
  return CreateNode(Doc().RecordOf(text, words));
}

CXmlObject DocumentState::RecordOf(const char* text, const MarkerWords& words) {
  // Found by the text itself, which is short: a caller's buffer may hold
  // other text at the same address by the next call.
  for (const MadeRecord& made : madeRecords) {
    if (made.words == &words && std::strcmp(made.record.GetText(), text) == 0) return made.record.Copy();
  }
  CXmlObject element(&arena);
  element.Parse(text, static_cast<int32_t>(std::strlen(text)), words);
  if (madeRecords.size() == kMostMadeRecords) return element;
  if (madeRecords.empty()) madeRecords.reserve(kMostMadeRecords);
  madeRecords.push_back(MadeRecord{&words, element.Copy()});
  return element;
}

CXmlNode* DocumentState::TakeSpare() {
  if (spare.empty()) return nullptr;
  CXmlNode* node = spare.back();
  spare.pop_back();
  return node;
}

CXmlNode* DocumentState::NewNode(CXmlObject&& element) {
  if (CXmlNode* node = TakeSpare()) {
    node->element_ = std::move(element);
    return node;
  }
  return &nodes.Make(CXmlNode::StoreKey(), &arena, std::move(element));
}

CXmlNode* DocumentState::NewNode() {
  // A spare node's record is the dropped token's, which the next parse
  // overwrites whole, reusing its room.
  if (CXmlNode* node = TakeSpare()) return node;
  return &nodes.Make(CXmlNode::StoreKey(), &arena);
}

SiblingGroup* DocumentState::NewGroup(CXmlNode* parent) {
  SiblingGroup& group = groups.Make();
  group.SetParent(parent);
  return &group;
}

void DocumentState::Recycle(CXmlNode* node) {
  // Its record is replaced when the node is taken again; it has no children.
  spare.push_back(node);
}

// ---- root state ---------------------------------------------------------

TreeContext* CXmlNode::GetContext() const { return Doc().context.get(); }

void CXmlNode::SetContext(std::unique_ptr<TreeContext> context) {
  Doc().context = std::move(context);
}

// ---- links ----------------------------------------------------------------

CXmlNode* CXmlNode::ParentThroughMerged() const { return Representative(Group())->Parent(); }

SiblingGroup* CXmlNode::ChildGroupIfAny() const {
  return firstChild_ == nullptr ? nullptr : Representative(firstChild_->Group());
}

SiblingGroup* CXmlNode::ChildGroup() {
  SiblingGroup* group = ChildGroupIfAny();
  return group != nullptr ? group : Doc().NewGroup(this);
}

const char* CXmlNode::ChildrenAcceptedBy() const {
  const SiblingGroup* group = ChildGroupIfAny();
  return group == nullptr ? nullptr : group->acceptedBy;
}

void CXmlNode::MarkChildrenAcceptedBy(const char* rule) {
  // Without children there is nothing to skip, and the first insertion
  // would clear the mark anyway.
  if (SiblingGroup* group = ChildGroupIfAny()) group->acceptedBy = rule;
}

CXmlNode* CXmlNode::GetLastChild() const {
  const SiblingGroup* group = ChildGroupIfAny();
  return group == nullptr ? nullptr : group->last;
}

void CXmlNode::Unlink() {
  SiblingGroup* group = Group();
  if (group == nullptr) return;
  group = Representative(group);
  CXmlNode* parent = group->Parent();
  if (parent == nullptr) return;
  if (parent->firstChild_ == this) parent->firstChild_ = next_;
  if (group->last == this) group->last = prev_;
  if (prev_ != nullptr) prev_->next_ = next_;
  if (next_ != nullptr) next_->prev_ = prev_;
  prev_ = nullptr;
  next_ = nullptr;
}

void CXmlNode::LinkAfterThis(CXmlNode* node) {
  if (Group() == nullptr) SetGroup(Doc().NewGroup(nullptr));
  SiblingGroup* group = Representative(Group());
  CXmlNode* parent = group->Parent();
  node->SetGroup(group);
  node->prev_ = this;
  node->next_ = next_;
  if (next_ != nullptr) {
    next_->prev_ = node;
  } else if (parent != nullptr) {
    group->last = node;
  }
  next_ = node;
  group->acceptedBy = nullptr;
}

void CXmlNode::PrependChild(CXmlNode* node) {
  node->Unlink();
  SiblingGroup* group = ChildGroup();
  node->SetGroup(group);
  node->prev_ = nullptr;
  node->next_ = firstChild_;
  if (firstChild_ != nullptr) {
    firstChild_->prev_ = node;
  } else {
    group->last = node;
  }
  firstChild_ = node;
  group->acceptedBy = nullptr;
}

void CXmlNode::AppendChild(CXmlNode* node) {
  // Unlinked first: the node may be this node's last child itself.
  node->Unlink();
  if (CXmlNode* last = GetLastChild()) {
    last->LinkAfterThis(node);
    return;
  }
  PrependChild(node);
}

void CXmlNode::InsertBefore(CXmlNode* node) {
  if (prev_ != nullptr) {
    prev_->InsertAfter(node);
    return;
  }
  CXmlNode* parent = GetParent();
  if (parent != nullptr) {
    parent->PrependChild(node);
    return;
  }
  // A node outside any list: the two simply become neighbours.
  node->Unlink();
  node->SetGroup(Group());
  node->prev_ = nullptr;
  node->next_ = this;
  prev_ = node;
}

void CXmlNode::InsertAfter(CXmlNode* node) {
  if (node == this) return;
  node->Unlink();
  LinkAfterThis(node);
}

void CXmlNode::AppendSibling(CXmlNode* node) {
  node->Unlink();
  CXmlNode* parent = GetParent();
  CXmlNode* last = parent != nullptr ? parent->GetLastChild() : this;
  // last is a member of this list; everything before it precedes the end.
  while (last->next_ != nullptr) last = last->next_;
  last->LinkAfterThis(node);
}

void CXmlNode::MoveChildrenAfter(CXmlNode* anchor) {
  SiblingGroup* moved = ChildGroupIfAny();
  if (moved == nullptr) return;
  CXmlNode* first = firstChild_;
  CXmlNode* last = moved->last;
  firstChild_ = nullptr;

  if (anchor->Group() == nullptr) anchor->SetGroup(Doc().NewGroup(nullptr));
  SiblingGroup* target = Representative(anchor->Group());
  CXmlNode* parent = target->Parent();
  // The moved nodes keep pointing at this node's child record; merging it
  // into the anchor's record gives them their new parent in one step.
  moved->MergeInto(target);
  target->acceptedBy = nullptr;

  CXmlNode* after = anchor->next_;
  anchor->next_ = first;
  first->prev_ = anchor;
  last->next_ = after;
  if (after != nullptr) {
    after->prev_ = last;
  } else if (parent != nullptr) {
    target->last = last;
  }
}

void CXmlNode::Destroy() {
  if (IsRemoved()) return;
  Unlink();
  SetGroup(nullptr);
  groupAndFlags_ |= kRemovedFlag;
  // Every node below `node` in this loop's pre-order is still to be marked;
  // the subtree is unlinked, so nothing else changes it meanwhile.
  for (CXmlNode* node = firstChild_; node != nullptr;) {
    node->groupAndFlags_ |= kRemovedFlag;
    if (node->firstChild_ != nullptr) {
      node = node->firstChild_;
      continue;
    }
    while (node != this && node->next_ == nullptr) node = node->GetParent();
    node = node == this ? nullptr : node->next_;
  }
}

// ---- queries --------------------------------------------------------------

CXmlNode* CXmlNode::NextInDocument() const {
  if (firstChild_ != nullptr) return firstChild_;
  if (next_ != nullptr) return next_;
  CXmlNode* parent = GetParent();
  return parent != nullptr ? parent->next_ : nullptr;
}

CXmlNode* CXmlNode::PreviousInDocument() const {
  if (prev_ == nullptr) return GetParent();
  CXmlNode* last = prev_->GetLastChild();
  return last != nullptr ? last : prev_;
}

CXmlNode* CXmlNode::FirstContentChild() const {
  for (CXmlNode* child = firstChild_; child != nullptr; child = child->next_) {
    if (!IsBlank(child->GetText())) return child;
  }
  return nullptr;
}

CXmlNode* CXmlNode::LastContentChild() const {
  for (CXmlNode* child = GetLastChild(); child != nullptr; child = child->prev_) {
    if (!IsBlank(child->GetText())) return child;
  }
  return nullptr;
}

std::optional<bool> DecideTextBefore(const CXmlNode* node) {
  if (node->IsRoot()) return false;
  if (node->IsTag()) {
    if (node->IsTagNamed("table") || node->IsTagNamed("p") || node->IsTagNamed("br")) return false;
    return std::nullopt;
  }
  if (!node->IsComment() && !IsBlank(node->GetText())) return true;
  return std::nullopt;
}

int32_t CXmlNode::HasTextBefore() const {
  const CXmlNode* node = this;
  // node has been passed over; the walk goes on before it.
  for (;;) {
    node = node->prev_ != nullptr ? node->prev_ : node->GetParent();
    if (node == nullptr) return 0;
    if (const std::optional<bool> answer = DecideTextBefore(node)) return *answer ? 1 : 0;
  }
}

int32_t CXmlNode::IsBlankContent() const {
  if (!IsTag() || IsClosedTag()) return 0;
  for (CXmlNode* child = firstChild_; child != nullptr; child = child->next_) {
    if (child->IsTag() || !IsBlank(child->GetText())) return 0;
  }
  return 1;
}

// ---- edits ----------------------------------------------------------------

void CXmlNode::MakeEmpty() {
  element_.MakeSelfClosing();
  MoveChildrenAfter(this);
}

}  // namespace quillmark
