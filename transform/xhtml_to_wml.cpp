#include "transform/xhtml_to_wml.h"

#include "base/trace.h"
#include "transform/cleanup_tree.h"
#include "transform/content_model.h"
#include "transform/deck_construction.h"
#include "transform/element_rules.h"
#include "transform/forms.h"
#include "transform/normalize_tree.h"
#include "transform/rewrite_context.h"
#include "transform/page_structure.h"
#include "transform/tables.h"

namespace quillmark {
namespace {

using RuleFunction = void (*)(CXmlNode* node, RewriteContext& walk);

// One row of the rule table: a tag named `name` is handled by `rule`, or,
// when there is none, by applying `model` at its closed tag.
struct ElementRule {
  const char* name;
  RuleFunction rule;
  const ContentModel* model;
};

constexpr ElementRule Own(const char* name, RuleFunction rule) { return {name, rule, nullptr}; }
constexpr ElementRule Pair(const char* name, const ContentModel& model) { return {name, nullptr, &model}; }

// The rules in the order they are tried; the first row whose name equals
// the tag's name exactly handles the tag.
constexpr ElementRule kElementRules[] = {
    Own("html", RewriteDocumentElement), Own("wml", RewriteDocumentElement),
    Own("title", RewriteTitle),
    Own("body", RewriteCard), Own("card", RewriteCard),
    Own("do", RewriteDo),
    Pair("onevent", wml::kOnevent), Pair("head", wml::kHead), Pair("template", wml::kTemplate),
    Pair("access", wml::kAccess),
    Own("meta", RewriteMeta), Own("base", RewriteBase),
    Own("go", RewriteGo),
    Pair("prev", wml::kPrev), Pair("refresh", wml::kRefresh), Pair("noop", wml::kNoop),
    Pair("postfield", wml::kPostfield), Pair("setvar", wml::kSetvar),
    // Form controls.
    Own("select", RewriteSelect), Own("optgroup", RewriteOptgroup), Own("option", RewriteOption),
    Own("input", RewriteInput), Own("button", RewriteButton),
    Pair("fieldset", wml::kFieldset), Pair("timer", wml::kTimer),
    Own("img", RewriteImg),
    Pair("anchor", wml::kAnchor),
    Own("a", RewriteA), Own("area", RewriteArea), Own("ol", RewriteOrderedList), Own("li", RewriteListItem),
    // Tables.
    Own("table", RewriteTable), Own("caption", RewriteCaption), Own("tr", RewriteTr), Own("td", RewriteCell),
    Own("th", RewriteCell),
    Pair("em", wml::kFormatting), Pair("strong", wml::kFormatting), Pair("b", wml::kFormatting),
    Pair("i", wml::kFormatting), Pair("u", wml::kFormatting), Pair("big", wml::kFormatting),
    Pair("small", wml::kFormatting), Pair("br", wml::kFormatting),
    Own("p", RewriteP), Own("q", RewriteQuotation), Own("sup", RewriteSuperscript),
    // Forms.
    Own("form", RewriteForm),
    Own("h1", RewriteHeading), Own("h2", RewriteHeading), Own("h3", RewriteHeading),
    Own("h4", RewriteHeading), Own("h5", RewriteHeading), Own("h6", RewriteHeading),
    Own("hr", RewriteHr),
    Own("center", RewriteCenter),
    Own("font", RewriteFont),
    // Form controls.
    Own("textarea", RewriteTextarea),
    Own("frameset", RewriteFrameset), Own("iframe", RewriteInlineFrame), Own("script", RemoveWithContent),
    Own("nowap", RemoveWithContent),
    // A style sheet is no text of the page, wherever it stands.
    Own("style", RemoveStyleSheet),
};

// For each element id, the first row whose name is that id's spelling, or
// null: the row that handles a tag whose name is exactly that spelling.
struct RuleIndex {
  const ElementRule* rows[kElementIdCount] = {};
};

consteval RuleIndex MakeRuleIndex() {
  RuleIndex index;
  for (const ElementRule& row : kElementRules) {
    const ElementId id = KnownElementId(row.name);
    if (index.rows[id] == nullptr) index.rows[id] = &row;
  }
  return index;
}
constexpr RuleIndex kRuleIndex = MakeRuleIndex();

// The row that handles `element`, or null.
const ElementRule* FindRule(const CXmlObject& element) { return kRuleIndex.rows[element.GetExactElementId()]; }

void RewriteTag(CXmlNode* node, RewriteContext& walk) {
  const ElementRule* row = FindRule(*node->GetElement());
  if (row == nullptr) {
    RewriteUnknownTag(node);
  } else if (row->rule != nullptr) {
    row->rule(node, walk);
  } else {
    ApplyPairAtClosedTag(node, *row->model);
  }
}

// The rewrite of one node (not the root).
void RewriteNode(CXmlNode* node, RewriteContext& walk) {
  if (node->GetElement() == nullptr) return;
  Trace("XHtmlToWml: \"%s\"\r\n", node->GetText());
  if (node->IsComment()) return;
  if (node->IsTag()) {
    // An element that the page's links lead to begins a section.
    if (walk.ReadsAsHtml() && node->IsStartTag()) walk.Sections().MarkLinkTarget(node);
    RewriteTag(node, walk);
  } else {
    EscapeTextNode(node, walk.References());
  }
}

// Rewrites `start`'s subtree and following siblings. A node's first child and
// next sibling are looked up only after the node (and, for the sibling, its
// subtree) has been rewritten, so inserted nodes are visited too.
void Walk(CXmlNode* start, RewriteContext& walk) {
  CXmlNode* node = start;
  // The walk's entered nodes are the subtrees that contain node, outermost
  // first; everything before node in the walk's order has been rewritten.
  while (node != nullptr) {
    if (node != walk.Root()) RewriteNode(node, walk);
    if (CXmlNode* child = node->GetFirstChild()) {
      walk.EnterChildren(node);
      node = child;
      continue;
    }
    // Climb out of finished subtrees to the next sibling still to visit.
    while (node->GetNext() == nullptr && walk.InsideChildren()) {
      node = walk.LeaveChildren();
    }
    node = node->GetNext();
  }
}

// The whole conversion, with the walk starting at `start`: the root, or a
// node not linked below it yet.
void RewriteDocument(Conversion& conversion, CXmlNode* start) {
  conversion.Reset();
  CXmlNode* root = &conversion.Root();
  RewriteContext walk(conversion);
  PreparePageStructure(root, conversion.Settings(), walk.Breaks(), walk.Choices(), walk.Sections());
  Walk(start, walk);
  walk.DropHiddenFields();
  ConstructDeck(conversion, walk.Breaks(), walk.Sections());
  CleanupTree(root, conversion.Settings());
}

}  // namespace

void XHtmlToWml(Conversion& conversion) { RewriteDocument(conversion, &conversion.Root()); }

void XHtmlToWml(CXmlNode* node) {
  CXmlNode* root = node->GetRoot();
  Conversion conversion = Conversion::Of(*root);
  if (node->GetParent() != nullptr) {
    RewriteContext walk(conversion);
    Walk(node, walk);
    walk.DropHiddenFields();
    // No deck is built, so no section becomes a card.
    walk.Sections().RemoveMarksLeft();
    return;
  }
  RewriteDocument(conversion, node);
  root->SetContext(nullptr);
}

}  // namespace quillmark
