// CXmlNode: one node of the token tree.
//
// A start tag, its end tag, each run of text and each comment are separate
// nodes: an element's content hangs below its start-tag node and its end tag
// follows the start tag as the next sibling.
//
// Ownership: the root owns every node of its document in one store; a node is
// never freed before the root. "Destroying" a node (Destroy) unlinks it with
// its subtree, which then is unreachable and is released with the document.
// So removal costs O(1) and no walk ever recurses.
//
// Parent links: the children of a node do not point at their parent directly
// but at a shared SiblingGroup record. Moving a whole child list after
// another node (MoveChildrenAfter) splices the list and merges the groups in
// O(1); a parent lookup follows merged groups to their representative, with
// path halving. The record also keeps the list's last member, so appending
// never walks a sibling list and a node holds no last-child link of its own.
// A parent holds no link to its children's record: it is the representative
// of its first child's, made with the first child.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "markup/xml_object.h"

namespace quillmark {

class TreeContext;
struct DocumentState;

// The record that the members of one sibling list share (see above).
struct alignas(8) SiblingGroup {
  // The list's parent, while the record is its own representative; once
  // the list joined another one, the record it was merged into. A merged
  // record's parent is its representative's, so one word holds either (its
  // low bit tells which: neither a node nor a record has an odd address).
  class CXmlNode* Parent() const { return IsMerged() ? nullptr : reinterpret_cast<class CXmlNode*>(link_); }
  SiblingGroup* Merged() const { return IsMerged() ? reinterpret_cast<SiblingGroup*>(link_ & ~kMergedBit) : nullptr; }
  void SetParent(class CXmlNode* parent) { link_ = reinterpret_cast<std::uintptr_t>(parent); }
  void MergeInto(SiblingGroup* target) { link_ = reinterpret_cast<std::uintptr_t>(target) | kMergedBit; }

  // The content rule whose filter last accepted every member (or that
  // filter's mark for members among which no tag stands); cleared by any
  // insertion into the list. Lets the content model's filter skip members
  // that it has already accepted when it unwraps their parent. Read on the
  // representative only.
  const char* acceptedBy = nullptr;
  // The list's last member. Kept on the representative of a parent's
  // children only (a list without a parent has no use for it).
  class CXmlNode* last = nullptr;

 private:
  static constexpr std::uintptr_t kMergedBit = 1;
  bool IsMerged() const { return (link_ & kMergedBit) != 0; }
  std::uintptr_t link_ = 0;
};

// What every node reaches its document by: the root, which owns the rest
// of the document's state (DocumentState, private to the markup module).
struct DocumentRoot {
  class CXmlNode* root = nullptr;
};

class CXmlNode {
 public:
  // A new document root: it is its own root and owns the node store.
  CXmlNode();
  // Store-only constructor: the nodes of a document are made by CreateNode.
  class StoreKey {
    StoreKey() = default;
    friend struct DocumentState;
  };
  CXmlNode(StoreKey, RecordArena* arena, CXmlObject&& element);
  CXmlNode(StoreKey, RecordArena* arena);
  ~CXmlNode();
  CXmlNode(const CXmlNode&) = delete;
  CXmlNode& operator=(const CXmlNode&) = delete;

  // Node factories of a document (call on any node of it). The new node is
  // not linked; it belongs to the document's store.
  CXmlNode* CreateNode(CXmlObject&& element);
  // Parses `text` (its full length) into the new node's record.
  CXmlNode* CreateNode(const char* text);

  // Links.
  CXmlNode* GetRoot() const { return element_.Arena()->Owner()->root; }
  // Inline where the sibling list joined no other, nearly always.
  CXmlNode* GetParent() const {
    const SiblingGroup* group = Group();
    if (group == nullptr) return nullptr;
    return group->Merged() == nullptr ? group->Parent() : ParentThroughMerged();
  }
  CXmlNode* GetFirstChild() const { return firstChild_; }
  CXmlNode* GetLastChild() const;
  CXmlNode* GetPrev() const { return prev_; }
  CXmlNode* GetNext() const { return next_; }
  // Null on the root, which holds an empty record.
  CXmlObject* GetElement() const { return IsRoot() ? nullptr : &element_; }
  bool IsRoot() const { return (groupAndFlags_ & kRootFlag) != 0; }

  // The conversion's context of the document (see tree_context.h), or null;
  // the root owns it.
  TreeContext* GetContext() const;
  void SetContext(std::unique_ptr<TreeContext> context);

  // Structural operations (this node is the reference, `node` the one placed).
  void Unlink();
  void PrependChild(CXmlNode* node);
  void AppendChild(CXmlNode* node);
  void InsertBefore(CXmlNode* node);
  void InsertAfter(CXmlNode* node);
  void AppendSibling(CXmlNode* node);
  // Moves every child of this node, in order, to just after `anchor` (which
  // may be this node itself). O(1).
  void MoveChildrenAfter(CXmlNode* anchor);
  // Removes this node and its subtree from the tree; every node of the
  // subtree then answers IsRemoved. Each node is marked once, so removals
  // cost linear time over a whole conversion.
  void Destroy();
  bool IsRemoved() const { return (groupAndFlags_ & kRemovedFlag) != 0; }
  // A mark for one pass of the conversion to note nodes of its own by (the
  // soft line breaks), without a set to look them up in; the markup never
  // reads it, and the pass that sets marks clears them.
  bool IsMarked() const { return (groupAndFlags_ & kMarkFlag) != 0; }
  void SetMarked(bool marked) { groupAndFlags_ = marked ? groupAndFlags_ | kMarkFlag : groupAndFlags_ & ~kMarkFlag; }

  // The content rule that last accepted every child (see SiblingGroup), or
  // null; `rule` marks the children as accepted by it.
  const char* ChildrenAcceptedBy() const;
  void MarkChildrenAcceptedBy(const char* rule);

  // Predicates (false without an element record unless said otherwise).
  // The record's answers, inline: the walks ask them of every node.
  const char* GetName() const { return element_.GetName(); }
  // The name without measuring it; empty when the node has none.
  std::string_view GetNameView() const { return element_.GetNameView(); }
  int32_t IsTag() const { return element_.IsTag(); }
  int32_t IsComment() const { return element_.IsComment(); }
  int32_t IsStartTag() const { return element_.IsStartTag(); }
  int32_t IsClosedTag() const { return element_.IsClosedTag(); }
  int32_t IsFormattingElement() const { return element_.IsFormattingElement(); }
  int32_t IsEmptyElement() const { return element_.IsEmptyElement(); }
  int32_t IsClosedBy(const CXmlNode* other) const {
    if (other == nullptr || !other->IsClosedTag() || !IsStartTag()) return 0;
    return element_.NameEquals(other->element_) ? 1 : 0;
  }
  int32_t IsFinished() const {
    if (!IsTag() || IsClosedTag()) return 1;
    return (next_ != nullptr && IsClosedBy(next_)) ? 1 : 0;
  }
  int32_t ClosesElement(const CXmlNode* start) const {
    // A declaration is no element, whatever name follows its "<!" or "<?":
    // "</wml>" after "<!wml>" closes nothing.
    if (start == nullptr || !start->IsStartTag() || start->element_.IsDeclaration() != 0 || !IsClosedTag()) return 0;
    if (start->IsFinished() && start->next_ != this) return 0;
    return element_.NameEquals(start->element_) ? 1 : 0;
  }
  int32_t IsStrayEndTag() const {
    if (!IsClosedTag() || IsStartTag()) return 0;
    return ClosesElement(prev_) ? 0 : 1;
  }
  // True when the node is a tag whose name equals `name` ignoring case.
  bool IsTagNamed(ListedName name) const { return IsTag() && element_.GetElementId() == name.id; }
  // The record's raw text, or null on the root.
  const char* GetText() const { return element_.GetText(); }

  // Queries.
  CXmlNode* NextInDocument() const;
  CXmlNode* PreviousInDocument() const;
  CXmlNode* FirstContentChild() const;
  CXmlNode* LastContentChild() const;
  int32_t HasTextBefore() const;
  int32_t IsBlankContent() const;

  // Tree edits used by the transformation.
  void MakeEmpty();

  // Tree building.
  // Parses `length` bytes of `text` into this node's document (call on the
  // root), continuing where its previous parse ended (see tree_builder.h).
  void ParseMarkup(const char* text, int32_t length);
  // Draws `bytes` from the document's conversion budget; throws
  // ConversionBudgetExceeded when it has run out.
  void ChargeBudget(int64_t bytes);

 private:
  friend struct DocumentState;
  DocumentState& Doc() const;
  // The record of this node's children, or null when it has none.
  SiblingGroup* ChildGroupIfAny() const;
  // GetParent through the merged sibling records.
  CXmlNode* ParentThroughMerged() const;
  // The record of this node's children, made when it has none.
  SiblingGroup* ChildGroup();
  // Links the unlinked node `node` right after this node, in this node's list.
  void LinkAfterThis(CXmlNode* node);

  // The shared record of this node's sibling list (or null) and two flags
  // in the low bits, which a record's alignment leaves free.
  static constexpr std::uintptr_t kRemovedFlag = 1;
  static constexpr std::uintptr_t kRootFlag = 2;
  static constexpr std::uintptr_t kMarkFlag = 4;
  static constexpr std::uintptr_t kFlags = kRemovedFlag | kRootFlag | kMarkFlag;
  static_assert(alignof(SiblingGroup) > kFlags, "the flags need the low bits of a group's address");
  SiblingGroup* Group() const { return reinterpret_cast<SiblingGroup*>(groupAndFlags_ & ~kFlags); }
  void SetGroup(SiblingGroup* group) {
    groupAndFlags_ = reinterpret_cast<std::uintptr_t>(group) | (groupAndFlags_ & kFlags);
  }
  std::uintptr_t groupAndFlags_ = 0;
  CXmlNode* firstChild_ = nullptr;
  CXmlNode* prev_ = nullptr;
  CXmlNode* next_ = nullptr;
  // The node's token, held in the node itself so that a token costs no
  // allocation of its own. It is lent writable through const nodes, as the
  // tree's readers and editors share it. The root's record stays empty, so
  // every predicate answers for the root as for a node without a token.
  // Its arena is the document's, through which the node finds the document
  // (the root owns that state).
  mutable CXmlObject element_;
};

// A page makes a node for about every 10 to 20 of its bytes, so the node's
// size is most of a conversion's memory.
static_assert(sizeof(CXmlNode) <= 80, "a node grew");

// What `node` decides on the backward walk of HasTextBefore (previous
// siblings, then the parent): true for text that is not blank, false for the
// root and for a table, p or br tag, nothing for a node passed over.
std::optional<bool> DecideTextBefore(const CXmlNode* node);

}  // namespace quillmark
