// Tree edits that the rules of the transformation share.
#pragma once

#include "markup/xml_node.h"

namespace quillmark {

// Drops a tag from the output while keeping its children: its name becomes
// the empty text.
void Suppress(CXmlNode* node);

// Moves the children of `node` to just after it, in order, and suppresses it.
void Unwrap(CXmlNode* node);

// The end tag of an open element: its next sibling when that is an end tag,
// else null.
CXmlNode* EndTagOf(const CXmlNode* start);

// Removes `node` with its subtree and, when it has one, its end tag.
void DestroyWithEndTag(CXmlNode* node);

// Removes every child of `node` with its subtree.
void DestroyChildren(CXmlNode* node);

// Moves all children of `from`, in order, to the end of `to`'s children, in
// constant time.
void MoveChildrenInto(CXmlNode* from, CXmlNode* to);

// Moves all children of `from`, in order, to just before `node`, in constant
// time.
void MoveChildrenBefore(CXmlNode* from, CXmlNode* node);

// Moves every sibling that follows `node`, in order, to the end of `to`'s
// children.
void MoveFollowingSiblingsInto(CXmlNode* node, CXmlNode* to);

// Moves every sibling that precedes `node`, in order, to the start of
// `to`'s children.
void MovePrecedingSiblingsInto(CXmlNode* node, CXmlNode* to);

// True when the node is a tag whose name is exactly `name` (in lower case).
bool IsTagNamedExactly(const CXmlNode* node, ListedName name);

// True when the node is a start tag that is not closed (an open element).
bool IsOpenStartTag(const CXmlNode* node);

}  // namespace quillmark
