// Soft line breaks: the breaks that the transformation adds where the page
// separated its content by structure (block elements, lines of preformatted
// text, rows of linearised tables).
//
// A soft break is an ordinary br tag from the moment it is inserted, so the
// content models keep or drop it like a break of the page's own. Once the
// deck's cards stand, a soft break stays only where it divides content from
// content within one card paragraph or one table cell: never next to another
// break, never first or last.
//
// Ownership: the breaks are nodes of the document; the set only marks them
// (CXmlNode::SetMarked) and clears the marks when it goes, before the
// document. Nodes are never freed before the document's root, so a mark
// stays readable even when a content model has removed the break.
#pragma once

#include <vector>

#include "markup/xml_node.h"

namespace quillmark {

class SoftBreaks {
 public:
  SoftBreaks() = default;
  SoftBreaks(const SoftBreaks&) = delete;
  SoftBreaks& operator=(const SoftBreaks&) = delete;
  ~SoftBreaks() {
    for (CXmlNode* node : nodes_) node->SetMarked(false);
  }

  // A new soft break of `near`'s document, not linked yet.
  CXmlNode* Make(CXmlNode* near);
  // Counts an existing break tag (a rule that becomes one) as soft.
  void Add(CXmlNode* node) {
    if (node->IsMarked()) return;
    node->SetMarked(true);
    nodes_.push_back(node);
  }
  bool IsSoft(const CXmlNode* node) const { return node->IsMarked(); }
  bool Empty() const { return nodes_.empty(); }

  // Removes the soft breaks of `card`'s content that separate nothing. One
  // walk over the card; table cells are paragraphs of their own.
  void ResolveIn(CXmlNode* card) const;

 private:
  std::vector<CXmlNode*> nodes_;  // the marked nodes
};

}  // namespace quillmark
