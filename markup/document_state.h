// DocumentState: what the root of a document owns besides its own links.
// Private to the markup module.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "markup/conversion_budget.h"
#include "markup/tree_context.h"
#include "markup/xml_node.h"

namespace quillmark {

// The open elements that enclose the tree-building cursor, innermost last,
// with a count per name (case ignored), so that an end tag with no open
// element of its name is known to be stray without walking up the tree.
class OpenElements {
 public:
  void Push(CXmlNode* node);
  // Pops every entry above `node` and `node` itself; no-op when absent.
  void PopThrough(const CXmlNode* node);
  void Clear();
  // True when an open entry has the name of `node` (case ignored).
  bool AnyNamedAs(const CXmlNode& node) const;
  // True when an open entry has the listed name `id`.
  bool AnyWithId(ElementId id) const;
  const std::vector<CXmlNode*>& Stack() const { return stack_; }

 private:
  // Hash and equality of names without regard to case, so that a page's
  // names are looked up as they stand, without a lower-cased copy.
  struct FoldedHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const;
  };
  struct FoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
  };
  // How many entries carry a name; a name counts from its first push on.
  struct NameCount {
    int open = 0;
    bool pushed = false;
  };
  NameCount& CountOf(const CXmlNode& node);
  // The count of the name of `node` if pushed before, or null (const or
  // not, as `self`).
  template <typename Self>
  static auto* FindCount(Self& self, const CXmlNode& node);

  std::vector<CXmlNode*> stack_;
  // Names with an element id are counted by id, others by name (keyed by
  // the spelling the name had when first pushed).
  NameCount known_[kElementIdCount] = {};
  std::unordered_map<std::string, NameCount, FoldedHash, FoldedEqual> others_;
};

struct DocumentState {
  // Nodes and sibling records live here until the document is destroyed;
  // deque keeps their addresses stable as the document grows.
  std::deque<CXmlNode> nodes;
  std::deque<SiblingGroup> groups;
  // Nodes that were made for a token and dropped before being linked.
  std::vector<CXmlNode*> spare;

  CXmlNode* cursor = nullptr;
  std::unique_ptr<TreeContext> context;
  OpenElements open;
  // Working room for a text being normalised, reused from token to token.
  std::string scratch;
  // Lower-cased names whose replacement texts are being parsed.
  std::vector<std::string> replacing;
  // What the conversion may still add to the page (see conversion_budget.h):
  // replacement text and postfields draw from it.
  int64_t budgetLeft = kBudgetPerPage;
  // A pre start tag has been placed: only then can text be preformatted.
  bool placedPre = false;

  CXmlNode* NewNode(CXmlNode* root, std::unique_ptr<CXmlObject> element);
  SiblingGroup* NewGroup(CXmlNode* parent);
  // Returns a node that was never linked to the pool of spare nodes.
  void Recycle(CXmlNode* node);
};

}  // namespace quillmark
