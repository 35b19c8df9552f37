// DocumentState: what the root of a document owns besides its own links.
// Private to the markup module.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/paged_store.h"
#include "markup/conversion_budget.h"
#include "markup/record_arena.h"
#include "markup/tree_builder.h"
#include "markup/tree_context.h"
#include "markup/xml_node.h"

namespace quillmark {

// The root pointer sits in the base, which outlives the node store, so that
// a node being released can still tell whether it is the root.
struct DocumentState : DocumentRoot {
  // A node's destructor releases only its record's name index (a record of
  // the document keeps everything else in the arena), and no node of the
  // store is the root: without an index made, the nodes' pages go without
  // a walk over every node.
  ~DocumentState() {
    if (!arena.IndexMade()) nodes.ReleaseUndestroyed();
  }

  // The arena of the document's records: their strings and attribute lists.
  // Declared first, so that it outlives every record.
  RecordArena arena{this};
  // Nodes and sibling records live here until the document is destroyed,
  // at stable addresses, a page of them per allocation.
  PagedStore<CXmlNode, 64> nodes;
  PagedStore<SiblingGroup, 64> groups;
  // Nodes that were made for a token and dropped before being linked.
  std::vector<CXmlNode*> spare;

  std::unique_ptr<TreeContext> context;
  // Made by the first parse; later parses continue where it left off.
  std::unique_ptr<CTreeBuilder> builder;
  // What the conversion may still add to the page (see conversion_budget.h):
  // replacement text and postfields draw from it.
  int64_t budgetLeft = kBudgetPerPage;

  // Records the conversion makes from fixed markup ("<td/>", "<br/>"), each
  // parsed once and then copied: a table padded to its widest row makes
  // thousands of the same empty cell.
  struct MadeRecord {
    const MarkerWords* words;
    CXmlObject record;
  };
  static constexpr std::size_t kMostMadeRecords = 8;
  std::vector<MadeRecord> madeRecords;

  // A record of the document parsed from `text` with `words`.
  CXmlObject RecordOf(const char* text, const MarkerWords& words);
  CXmlNode* NewNode(CXmlObject&& element);
  // A node with an empty record of the document (a spare one if any).
  CXmlNode* NewNode();
  SiblingGroup* NewGroup(CXmlNode* parent);
  // Returns a node that was never linked to the pool of spare nodes.
  void Recycle(CXmlNode* node);
  // A node from the pool of spare nodes, or null when it is empty.
  CXmlNode* TakeSpare();
};

}  // namespace quillmark
