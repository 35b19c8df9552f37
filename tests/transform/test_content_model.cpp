// ApplyContentModel and the content-model tables, on trees built from markup.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "forms_tables_support.h"
#include "markup/name_list.h"
#include "support/tree_dump.h"
#include "transform/content_model.h"
#include "transform/normalize_tree.h"

namespace quillmark {
namespace {

using testing::DumpChildren;

// The first node in document order that is a start tag named `name`.
CXmlNode* FindStartTag(CXmlNode* node, ListedName name) {
  // Every node before node in document order is not the tag looked for.
  while (node != nullptr) {
    if (node->IsStartTag() && node->IsTagNamed(name)) return node;
    if (node->GetFirstChild() != nullptr) {
      node = node->GetFirstChild();
      continue;
    }
    while (node != nullptr && node->GetNext() == nullptr) node = node->GetParent();
    if (node != nullptr) node = node->GetNext();
  }
  return nullptr;
}

struct ModelCase {
  const char* what;
  const char* page;
  ListedName element;           // the start tag the model is applied to
  bool atEndTag;                // apply it at the element's end tag instead
  const ContentModel* model;
  const char* expected;         // the written element, start tag to end tag
};

TEST(ApplyContentModel, FiltersChildrenAndAttributes) {
  const std::vector<ModelCase> cases = {
      {"text goes from a row", "<tr>x<td>1</td></tr>", "tr", false, &wml::kTr, "<tr><td>1</td></tr>"},
      {"a cell unwraps a div", "<td><div>y</div></td>", "td", false, &wml::kTd, "<td>y</td>"},
      {"a select keeps only options", "<select><p>a</p><option>b</option></select>", "select", false,
       &wml::kSelect, "<select><option>b</option></select>"},
      {"a nested table dissolves in a cell", "<td><table><tr><td>z</td></tr></table></td>", "td", false,
       &wml::kTd, "<td>z</td>"},
      {"an image loses border", "<img src=\"a.gif\" border=\"0\" alt=\"x\">", "img", false, &wml::kImg,
       "<img src=\"a.gif\" alt=\"x\"/>"},
      {"the root element drops lang", "<html lang=\"en\">t</html>", "html", false, &wml::kWmlWalk,
       "<html>t</html>"},
      {"a comment survives in a select", "<select><!-- c --><option>o</option></select>", "select", false,
       &wml::kSelect, "<select><!-- c --><option>o</option></select>"},
      {"disallowed elements unwrap level by level", "<p><div><span><u>k</u></span></div></p>", "p", false,
       &wml::kP, "<p><u>k</u></p>"},
      {"mode 0 removes content with the tag", "<go href=\"x\"><b>t</b><postfield name=\"n\"/></go>", "go",
       false, &wml::kGo, "<go href=\"x\"><postfield name=\"n\"/></go>"},
      {"at the end tag the start tag is filtered", "<a href=\"x\" onclick=\"y\"><p>q</p></a>", "a", true,
       &wml::kA, "<a href=\"x\">q</a>"},
      {"attributes are kept when not filtered", "<title id=\"t\"><b>x</b></title>", "title", false,
       &wml::kTitle, "<title id=\"t\">x</title>"},
  };
  for (const ModelCase& c : cases) {
    CXmlNode root;
    root.ParseMarkup(c.page, static_cast<int32_t>(std::strlen(c.page)));
    NormalizeTree(&root);
    CXmlNode* start = FindStartTag(&root, c.element);
    ASSERT_NE(start, nullptr) << c.what;
    CXmlNode* target = c.atEndTag ? start->GetNext() : start;
    EXPECT_EQ(ApplyContentModel(target, *c.model), start) << c.what;
    std::string written = testing::WrittenText(*start);
    if (CXmlNode* end = start->GetNext()) written += testing::WrittenText(*end);
    EXPECT_EQ(written, c.expected) << c.what;
  }
}

TEST(ApplyContentModel, EndTagLosesItsAttributesAndWithoutStartTagIsLeftAlone) {
  CXmlNode root;
  CXmlNode* start = root.CreateNode("<p class=\"c\" onclick=\"x\">");
  CXmlNode* end = root.CreateNode("</p junk=\"1\">");
  root.AppendChild(start);
  root.AppendChild(end);
  EXPECT_EQ(ApplyContentModel(end, wml::kP), start);
  EXPECT_EQ(end->GetElement()->GetAttributeCount(), 0);
  EXPECT_EQ(start->GetElement()->GetAttributeCount(), 1);

  CXmlNode lone;
  CXmlNode* orphan = lone.CreateNode("</b x=\"1\">");
  lone.AppendChild(orphan);
  EXPECT_EQ(ApplyContentModel(orphan, wml::kFormatting), nullptr);
  EXPECT_EQ(orphan->GetElement()->GetAttributeCount(), 1);
}

TEST(ContentModelTables, MembershipFollowsTheWmlRules) {
  struct Membership {
    const char* rule;
    const char* name;
    bool allowed;
  };
  const std::vector<Membership> cases = {
      {wml::kWmlDeck.children + 1, "card", true},      {wml::kWmlDeck.children + 1, "p", false},
      {wml::kCardDeck.children + 1, "p", true},        {wml::kCardDeck.children + 1, "card", false},
      {wml::kCardWalk.children + 1, "card", true},     {wml::kP.children + 1, "p", false},
      {wml::kP.children + 1, "fieldset", true},        {wml::kTd.children + 1, "table", false},
      {wml::kFormatting.children + 1, "table", true},  {wml::kA.children + 1, "anchor", false},
      {wml::kAnchor.children + 1, "go", true},         {wml::kTr.children + 1, "th", false},
      {wml::kTrWithHeader.children + 1, "th", true},   {wml::kOption.children + 1, "onevent", true},
      {wml::kTitle.children + 1, "b", false},          {wml::kWmlWalk.attributes, "lang", false},
      {wml::kWmlWalk.attributes, "card", true},        {wml::kImg.attributes, "localsrc", true},
      {wml::kGo.attributes, "accept-charset", true},   {wml::kCardDeck.attributes, "ordered", true},
  };
  for (const Membership& c : cases) EXPECT_EQ(IsNameInList(c.name, c.rule) == 1, c.allowed) << c.name;

  struct Mode {
    const ContentModel* model;
    char mode;
  };
  for (const Mode& m : {Mode{&wml::kWmlWalk, kTextAllowed}, Mode{&wml::kWmlDeck, kTextRemoved},
                        Mode{&wml::kCardDeck, kTextRemoved}, Mode{&wml::kTitle, kTextAllowed},
                        Mode{&wml::kSelect, kTextRemoved}, Mode{&wml::kTd, kTextAllowed},
                        Mode{&wml::kTable, kTextRemoved}, Mode{&wml::kInput, kTextAllowed}}) {
    EXPECT_EQ(m.model->children[0], m.mode);
  }
  EXPECT_EQ(wml::kTitle.attributes, nullptr);
  EXPECT_EQ(wml::kTextarea.attributes, nullptr);

  // Each rule's element ids allow exactly the names of its list.
  for (const ContentModel* model : {&wml::kWmlWalk, &wml::kWmlDeck, &wml::kCardWalk, &wml::kCardDeck, &wml::kTitle,
                                    &wml::kDo, &wml::kSelect, &wml::kFieldset, &wml::kAnchor, &wml::kA, &wml::kTr,
                                    &wml::kTrWithHeader, &wml::kTd, &wml::kFormatting, &wml::kP, &wml::kTextarea}) {
    for (size_t id = 1; id < kElementIdCount; ++id) {
      const std::string name(kElementNames[id]);
      EXPECT_EQ(model->childIds->Holds(ElementIdOf(name)), IsNameInList(name.c_str(), model->children + 1) == 1)
          << name;
    }
  }
}

// Rules of one allowed child, for the filter's own tests.
constexpr ContentRule kTextAndBRule{kTextAllowed, "b\0"};
constexpr ContentRule kOnlyBRule{kTextRemoved, "b\0"};
constexpr ContentRule kTextAndIRule{kTextAllowed, "i\0"};
constexpr ContentModel kTextAndB = PairOf(kTextAndBRule, nullptr);
constexpr ContentModel kOnlyB = PairOf(kOnlyBRule, nullptr);
constexpr ContentModel kTextAndI = PairOf(kTextAndIRule, nullptr);

// Parses a page into `root` and returns the root's first child.
CXmlNode* ParseInto(CXmlNode& root, const std::string& page) {
  root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
  return root.GetFirstChild();
}

TEST(FilterChildren, UnwrapsOrRemoves) {
  struct Case {
    const ContentModel* rule;
    const char* page;
    const char* after;
  };
  const Case cases[] = {
      {&kTextAndB, "<p>x<i>y<b>z</b></i>w<!-- c --></p>", "<p>[x,y,<b>[z],</b>,w,<!-- c -->],</p>"},
      {&kOnlyB, "<p>x<i>y<b>z</b></i>w<!-- c --></p>", "<p>[<!-- c -->],</p>"},
      // Nested disallowed tags dissolve level by level.
      {&kTextAndB, "<p><i><u>deep</u></i></p>", "<p>[deep],</p>"},
      // A disallowed tag without a next sibling spills after itself.
      {&kTextAndB, "<p><i>y", "<p>[y]"},
  };
  for (const Case& c : cases) {
    CXmlNode root;
    FilterChildren(ParseInto(root, c.page), *c.rule);
    EXPECT_EQ(DumpChildren(root), c.after) << c.page;
  }
}

TEST(FilterChildren, SkipsOnlyWhatTheSameRuleAccepted) {
  CXmlNode root;
  CXmlNode* outer = ParseInto(root, "<p><q>a<i>b</i></q></p>");
  CXmlNode* inner = outer->GetFirstChild();
  // Filtering the inner element under another rule must not let its
  // children through the outer filter unchecked.
  FilterChildren(inner, kTextAndI);
  FilterChildren(outer, kTextAndB);
  EXPECT_EQ(DumpChildren(root), "<p>[a,b],</p>");
  // Under the same rule the result is the same, only cheaper.
  CXmlNode root2;
  CXmlNode* outer2 = ParseInto(root2, "<p><q>a<i>b</i></q></p>");
  FilterChildren(outer2->GetFirstChild(), kTextAndB);
  FilterChildren(outer2, kTextAndB);
  EXPECT_EQ(DumpChildren(root2), "<p>[a,b],</p>");
}

TEST(FilterChildren, LooksAgainAfterAnInsertion) {
  CXmlNode root;
  CXmlNode* outer = ParseInto(root, "<p><q>a</q></p>");
  CXmlNode* inner = outer->GetFirstChild();
  FilterChildren(inner, kTextAndB);
  inner->AppendChild(root.CreateNode("<i>"));
  FilterChildren(outer, kTextAndB);
  EXPECT_EQ(DumpChildren(root), "<p>[a],</p>");
}

}  // namespace
}  // namespace quillmark
