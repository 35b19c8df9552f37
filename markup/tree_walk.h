// Stepping through a tree of nodes without recursion: the next node of a
// pre-order or a post-order walk, found from the links alone, so that a
// walk costs no stack however deep the tree.
#pragma once

#include "markup/xml_node.h"

namespace quillmark {

// The node that follows `node`'s subtree in document order, below `top`,
// or null. `Node` is CXmlNode, or const CXmlNode for walks that only read.
template <typename Node>
Node* NextAfterSubtree(Node* node, const CXmlNode* top) {
  // node's subtree is done; climb until a following sibling exists.
  while (node != top) {
    if (node->GetNext() != nullptr) return node->GetNext();
    node = node->GetParent();
  }
  return nullptr;
}

// The node after `node` in a pre-order walk of `top`'s subtree, or null.
template <typename Node>
Node* NextInSubtree(Node* node, const CXmlNode* top) {
  if (node->GetFirstChild() != nullptr) return node->GetFirstChild();
  return NextAfterSubtree(node, top);
}

// The first node of `node`'s subtree in post-order: its deepest first child.
// `entered(n)` is called for each node on the way down, `node` first: the
// walk enters their subtrees there.
template <typename Entered>
CXmlNode* FirstInPostOrder(CXmlNode* node, Entered entered) {
  // node's subtree holds every node of the original subtree that comes first.
  for (;; node = node->GetFirstChild()) {
    entered(node);
    if (node->GetFirstChild() == nullptr) return node;
  }
}
inline CXmlNode* FirstInPostOrder(CXmlNode* node) {
  return FirstInPostOrder(node, [](CXmlNode*) {});
}

// The node after `node` in a post-order walk of the forest of `scope`'s
// children, or null when the walk is done; `entered` as for FirstInPostOrder.
template <typename Entered>
CXmlNode* NextInPostOrder(CXmlNode* node, const CXmlNode* scope, Entered entered) {
  if (CXmlNode* next = node->GetNext()) return FirstInPostOrder(next, entered);
  CXmlNode* parent = node->GetParent();
  return parent == scope ? nullptr : parent;
}
inline CXmlNode* NextInPostOrder(CXmlNode* node, const CXmlNode* scope) {
  return NextInPostOrder(node, scope, [](CXmlNode*) {});
}

}  // namespace quillmark
