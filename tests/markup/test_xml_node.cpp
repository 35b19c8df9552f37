// The token tree: links, structural operations, predicates and queries.

#include <gtest/gtest.h>

#include <random>

#include <string>

#include "markup/deck_writer.h"
#include "markup/xml_node.h"
#include "support/tree_dump.h"

namespace quillmark {
namespace {

using testing::DumpChildren;

// Parses a page into `root` and returns the root's first child.
CXmlNode* Parse(CXmlNode& root, const std::string& page) {
  root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
  return root.GetFirstChild();
}

TEST(Tree, AppendAndPrependKeepLinksConsistent) {
  CXmlNode root;
  CXmlNode* a = root.CreateNode("a");
  CXmlNode* b = root.CreateNode("b");
  CXmlNode* c = root.CreateNode("c");
  root.AppendChild(b);
  root.AppendChild(c);
  root.PrependChild(a);
  EXPECT_EQ(DumpChildren(root), "a,b,c");
  EXPECT_EQ(root.GetFirstChild(), a);
  EXPECT_EQ(root.GetLastChild(), c);
  EXPECT_EQ(b->GetPrev(), a);
  EXPECT_EQ(b->GetNext(), c);
  EXPECT_EQ(c->GetParent(), &root);
  EXPECT_EQ(a->GetPrev(), nullptr);
}

// Nodes made from markup are made from what the text holds when they are
// made, also when a buffer at the same address held other markup before,
// and each has strings of its own.
TEST(Tree, NodesMadeFromMarkupFollowTheText) {
  CXmlNode root;
  std::string markup;
  std::string made;
  for (const char* text : {"<td/>", "<br/>", "<td/>", "<a href=x>", "<a href=y>", "<td/>", "x", "<br/>"}) {
    markup = text;
    CXmlNode* node = root.CreateNode(markup.c_str());
    made += std::string(node->GetText()) + "|" + (node->GetName() ? node->GetName() : "-") + ";";
    if (node->IsTag() && node->GetElement()->GetName()[0] == 't') node->GetElement()->SetName("th");
  }
  EXPECT_EQ(made, "<td/>|td;<br/>|br;<td/>|td;<a href=x>|a;<a href=y>|a;<td/>|td;x|-;<br/>|br;");
}

TEST(Tree, AppendSiblingGoesAfterTheLastSibling) {
  CXmlNode root;
  CXmlNode* a = root.CreateNode("a");
  root.AppendChild(a);
  root.AppendChild(root.CreateNode("b"));
  root.AppendChild(root.CreateNode("c"));
  a->AppendSibling(root.CreateNode("d"));
  EXPECT_EQ(DumpChildren(root), "a,b,c,d");
  EXPECT_STREQ(root.GetLastChild()->GetText(), "d");
}

TEST(Tree, InsertBeforeAndAfter) {
  CXmlNode root;
  CXmlNode* b = root.CreateNode("b");
  root.AppendChild(b);
  b->InsertBefore(root.CreateNode("a"));
  b->InsertAfter(root.CreateNode("c"));
  b->InsertAfter(root.CreateNode("b2"));
  EXPECT_EQ(DumpChildren(root), "a,b,b2,c");
  EXPECT_STREQ(root.GetLastChild()->GetText(), "c");
}

TEST(Tree, DestroyRemovesTheSubtreeAndJoinsNeighbours) {
  CXmlNode root;
  Parse(root, "x<p>a<b>c</b></p>y");
  CXmlNode* p = root.GetFirstChild()->GetNext();
  ASSERT_TRUE(p->IsTagNamed("p"));
  p->Destroy();
  EXPECT_EQ(DumpChildren(root), "x,</p>,y");
  root.GetFirstChild()->Destroy();
  EXPECT_EQ(DumpChildren(root), "</p>,y");
  root.GetLastChild()->Destroy();
  EXPECT_EQ(DumpChildren(root), "</p>");
  EXPECT_EQ(root.GetLastChild(), root.GetFirstChild());
}

TEST(Tree, UnlinkWithoutParentLeavesSiblingLinks) {
  CXmlNode root;
  CXmlNode* a = root.CreateNode("a");
  CXmlNode* b = root.CreateNode("b");
  a->InsertAfter(b);  // two loose neighbours without a parent
  a->Unlink();
  EXPECT_EQ(a->GetNext(), b);
  EXPECT_EQ(b->GetPrev(), a);
}

TEST(Tree, MoveChildrenAfterItselfAndAfterAnAnchor) {
  CXmlNode root;
  Parse(root, "<n>c1<i>c2</i></n>z");
  CXmlNode* n = root.GetFirstChild();
  n->MoveChildrenAfter(n);
  EXPECT_EQ(DumpChildren(root), "<n>,c1,<i>[c2],</i>,</n>,z");
  EXPECT_EQ(n->GetFirstChild(), nullptr);
  // The moved nodes answer their new parent.
  for (CXmlNode* node = root.GetFirstChild(); node != nullptr; node = node->GetNext()) {
    EXPECT_EQ(node->GetParent(), &root) << node->GetText();
  }
  // n takes new children after its old ones left.
  n->AppendChild(root.CreateNode("new"));
  EXPECT_EQ(n->GetFirstChild()->GetParent(), n);

  CXmlNode* i = n->GetNext()->GetNext();
  CXmlNode* z = root.GetLastChild();
  i->MoveChildrenAfter(z);
  EXPECT_EQ(DumpChildren(root), "<n>[new],c1,<i>,</i>,</n>,z,c2");
  EXPECT_EQ(root.GetLastChild()->GetParent(), &root);
  EXPECT_STREQ(root.GetLastChild()->GetText(), "c2");
}

TEST(Tree, RepeatedMovesAcrossLevelsKeepParents) {
  // Nested elements unwrapped level by level, innermost first, the way
  // unknown elements are dissolved.
  CXmlNode root;
  const int depth = 2000;
  std::string page;
  for (int i = 0; i < depth; ++i) page += "<d>t";
  Parse(root, page);
  std::vector<CXmlNode*> levels;
  for (CXmlNode* node = root.GetFirstChild(); node != nullptr; node = node->GetLastChild()) {
    if (node->IsTag()) levels.push_back(node);
  }
  ASSERT_EQ(static_cast<int>(levels.size()), depth);
  for (int i = depth - 1; i >= 0; --i) levels[i]->MoveChildrenAfter(levels[i]);
  int count = 0;
  for (CXmlNode* node = root.GetFirstChild(); node != nullptr; node = node->GetNext()) {
    EXPECT_EQ(node->GetParent(), &root);
    EXPECT_EQ(node->GetFirstChild(), nullptr);
    ++count;
  }
  EXPECT_EQ(count, 2 * depth);
}

struct PredicateCase {
  const char* page;
  int finished;        // IsFinished of the first node
  int strayOfSecond;   // IsStrayEndTag of the first node's next sibling
};

class Predicates : public ::testing::TestWithParam<PredicateCase> {};

TEST_P(Predicates, FinishedAndStray) {
  CXmlNode root;
  CXmlNode* first = Parse(root, GetParam().page);
  EXPECT_EQ(first->IsFinished(), GetParam().finished);
  ASSERT_NE(first->GetNext(), nullptr);
  EXPECT_EQ(first->GetNext()->IsStrayEndTag(), GetParam().strayOfSecond);
}

INSTANTIATE_TEST_SUITE_P(Tree, Predicates,
                         ::testing::Values(PredicateCase{"<p>a</p>", 1, 0},
                                           PredicateCase{"<P>a</p>", 1, 0},
                                           PredicateCase{"x</p>", 1, 1},
                                           // A closed tag followed by an end tag
                                           // of its name counts as closed by it.
                                           PredicateCase{"<br/></br>", 1, 0},
                                           PredicateCase{"<br/></hr>", 1, 1}));

TEST(Tree, OpenElementIsNotFinished) {
  CXmlNode root;
  CXmlNode* p = Parse(root, "<p>a");
  EXPECT_EQ(p->IsFinished(), 0);
  EXPECT_EQ(p->GetFirstChild()->IsFinished(), 1);
}

TEST(Tree, DocumentOrderNeighbours) {
  CXmlNode root;
  Parse(root, "<a>x<b>y</b></a>z");
  CXmlNode* a = root.GetFirstChild();
  CXmlNode* x = a->GetFirstChild();
  CXmlNode* b = x->GetNext();
  CXmlNode* y = b->GetFirstChild();
  CXmlNode* endB = b->GetNext();
  CXmlNode* endA = a->GetNext();
  EXPECT_EQ(a->NextInDocument(), x);
  EXPECT_EQ(y->NextInDocument(), endB);
  EXPECT_EQ(endB->NextInDocument(), endA);  // climbs one level only
  EXPECT_EQ(endA->PreviousInDocument(), endB);  // the last child of a
  EXPECT_EQ(endB->PreviousInDocument(), y);
  EXPECT_EQ(x->PreviousInDocument(), a);
  EXPECT_EQ(a->PreviousInDocument(), &root);
}

TEST(Tree, ContentChildrenSkipBlankText) {
  CXmlNode root;
  CXmlNode* p = Parse(root, "<p> <b>x</b> </p>");
  EXPECT_STREQ(p->FirstContentChild()->GetText(), "<b>");
  EXPECT_STREQ(p->LastContentChild()->GetText(), "</b>");
}

struct TextBeforeCase {
  const char* page;  // the node examined is the last root child
  int expected;
};

class TextBefore : public ::testing::TestWithParam<TextBeforeCase> {};

TEST_P(TextBefore, WalksBackToTextOrABreakingTag) {
  CXmlNode root;
  Parse(root, GetParam().page);
  EXPECT_EQ(root.GetLastChild()->HasTextBefore(), GetParam().expected) << GetParam().page;
}

INSTANTIATE_TEST_SUITE_P(Tree, TextBefore,
                         ::testing::Values(TextBeforeCase{"Intro<h2>", 1},
                                           TextBeforeCase{"Intro<br/><h2>", 0},
                                           TextBeforeCase{"Intro<p>x</p><h2>", 0},
                                           TextBeforeCase{"Intro<b>x</b><!-- c --> <h2>", 1},
                                           TextBeforeCase{"<h2>", 0},
                                           TextBeforeCase{"<i>a</i><h2>", 0}));

TEST(Tree, TextBeforeClimbsToTheParent) {
  CXmlNode root;
  Parse(root, "Intro<b><h2>");
  CXmlNode* h2 = root.GetLastChild()->GetFirstChild();
  EXPECT_EQ(h2->HasTextBefore(), 1);
}

TEST(Tree, BlankContent) {
  struct Case {
    const char* page;
    int expected;
  };
  const Case cases[] = {{"<b></b>", 1},        {"<i> </i>", 1},       {"<b><!-- x --></b>", 0},
                        {"<b>x</b>", 0},       {"<b><br/></b>", 0},   {"<b>\xA0</b>", 0},
                        {"x", 0},              {"<br/>", 0}};
  for (const Case& c : cases) {
    CXmlNode root;
    EXPECT_EQ(Parse(root, c.page)->IsBlankContent(), c.expected) << c.page;
  }
}

TEST(Tree, MakeEmptyTurnsContentIntoSiblings) {
  CXmlNode root;
  CXmlNode* br = Parse(root, "<br>a<b>c</b>");
  br->MakeEmpty();
  EXPECT_EQ(DumpChildren(root), "<br/>,a,<b>[c],</b>");
}

// The writer cuts a deck into pieces as it goes; where the cuts fall must
// not change a byte, including the line breaks around break-list tags.
TEST(DeckPieces, JoinToTheDeckWrittenWhole) {
  static const char* const kFragments[] = {"<p>", "</p>", "<table>", "<tr>", "</tr>", "</table>", "<br/>",
                                           "word ", "\r\n", "<b>", "</b>", "&amp;", "<!-- c -->", "<select>"};
  std::mt19937 random(20261209);
  std::uniform_int_distribution<size_t> pick(0, std::size(kFragments) - 1);
  const char* breakList = "table\0tr\0select\0p\0";
  for (int round = 0; round < 50; ++round) {
    std::string page;
    for (int i = 0; i < 200; ++i) page += kFragments[pick(random)];
    CXmlNode root;
    root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
    const std::string whole = WriteDeck(root, breakList, EscapeRules());
    WrittenDeck pieces = WriteDeckPieces(root, breakList, EscapeRules(), 0, 1 + round % 7);
    EXPECT_GT(pieces.pieces.size(), 1u) << page;
    EXPECT_EQ(std::move(pieces).Joined(), whole) << page;
  }
}

// A tag goes on a line of its own when the break list names it, its case
// ignored, whether or not the name is one the element table lists.
TEST(DeckWriter, BreakListNamesTagsIgnoringCase) {
  struct Case {
    std::string_view list;  // entries closed by NULs, then the empty entry
    const char* deck;
  };
  const std::string_view page = "<p>a</p><Xown>b</Xown><BR/>c";
  const Case cases[] = {
      {std::string_view("p\0\0", 3), "<p>\r\na</p>\r\n<Xown>b</Xown><BR/>c"},
      {std::string_view("P\0br\0\0", 6), "<p>\r\na</p>\r\n<Xown>b</Xown><BR/>\r\nc"},
      {std::string_view("xown\0\0", 6), "<p>a</p><Xown>\r\nb</Xown>\r\n<BR/>c"},
      {std::string_view("br\0XOWN\0\0", 9), "<p>a</p><Xown>\r\nb</Xown>\r\n<BR/>\r\nc"},
      {std::string_view("\0", 1), "<p>a</p><Xown>b</Xown><BR/>c"},
  };
  for (const Case& c : cases) {
    CXmlNode root;
    root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
    EXPECT_EQ(WriteDeck(root, c.list.data(), EscapeRules()), c.deck) << c.list;
  }
}

}  // namespace
}  // namespace quillmark
