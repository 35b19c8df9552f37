// Tables: column counts, span expansion, padding, header cells, row groups,
// and the dissolving of nested tables with their cell markers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "transform/forms_tables_support.h"
#include "transform/nested_tables.h"
#include "transform/tables.h"

namespace quillmark {
namespace {

using testing::DeckCase;
using testing::DeckOf;
using testing::ExpectParagraphs;
using testing::DeckWithSettings;
using testing::IsWellFormedXml;
using testing::ParagraphOf;

TEST(TableDeck, ColumnsSpansAndPadding) {
  ExpectParagraphs({
      {"uneven rows are padded to the widest",
       "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td><td>d</td><td>e</td></tr></table>",
       "<table columns=\"3\"><tr><td>a</td><td>b</td><td/></tr>"
       "<tr><td>c</td><td>d</td><td>e</td></tr></table>"},
      {"a span fills its row with empty cells",
       "<table><tr><td colspan=\"3\" align=\"left\">x</td></tr><tr><td>1</td><td>2</td><td>3</td></tr></table>",
       "<table columns=\"3\"><tr><td>x</td><td/><td/></tr>"
       "<tr><td>1</td><td>2</td><td>3</td></tr></table>"},
      {"a span of 0 or junk counts 1",
       "<table><tr><td colspan=\"0\">x</td><td colspan=\"abc\">y</td></tr></table>",
       "<table columns=\"2\"><tr><td>x</td><td>y</td></tr></table>"},
      {"a span of 100 counts 64",
       "<table><tr><td colspan=\"100\">x</td></tr></table>",
       ("<table columns=\"64\"><tr><td>x</td>" + [] {
          std::string cells;
          for (int i = 1; i < 64; ++i) cells += "<td/>";
          return cells;
        }() + "</tr></table>").c_str()},
      {"a self-closing cell with a span",
       "<table><tr><td colspan=\"2\"/><td>z</td></tr></table>",
       "<table columns=\"3\"><tr><td/><td/><td>z</td></tr></table>"},
      {"header rows become rows of td cells",
       "<table><tr><th class=\"h\">Name</th><th colspan=\"2\">Age</th></tr><tr><td>Ann</td></tr></table>",
       "<table columns=\"3\"><tr><td class=\"h\">Name</td><td>Age</td><td/></tr>"
       "<tr><td>Ann</td><td/><td/></tr></table>"},
      {"text in rows goes, a caption stands before its table",
       "<table summary=\"s\" align=\"center\"><caption>Cap</caption><tr>x<td>1</td>y</tr>z</table>",
       "Cap<table align=\"center\" columns=\"1\"><tr><td>1</td></tr></table>"},
      {"two tables one after the other",
       "<table><tr><td>1</td></tr></table><table><tr><td>1</td><td>2</td></tr></table>",
       "<table columns=\"1\"><tr><td>1</td></tr></table>"
       "<table columns=\"2\"><tr><td>1</td><td>2</td></tr></table>"},
  });
}

TEST(TableDeck, RowGroupsCountTowardsTheTable) {
  ExpectParagraphs({
      {"rows in tbody",
       "<table><tbody><tr><td>1</td><td colspan=\"2\">2</td></tr><tr><td>3</td></tr></tbody></table>",
       "<table columns=\"3\"><tr><td>1</td><td>2</td><td/></tr><tr><td>3</td><td/><td/></tr></table>"},
      {"rows in thead, tbody and directly in the table",
       "<table><thead><tr><th>h1</th><th>h2</th></tr></thead><tr><td>a</td></tr>"
       "<tfoot><tr><td>f</td></tr></tfoot></table>",
       "<table columns=\"2\"><tr><td>h1</td><td>h2</td></tr><tr><td>a</td><td/></tr>"
       "<tr><td>f</td><td/></tr></table>"},
  });
}

// Read as HTML reads the page, a cell that spans rows keeps the columns of
// the cells beside it in the rows below, which leave its column empty;
// spans end with their row group. With the key off rows pack to the left.
TEST(TableDeck, RowSpansKeepTheColumnsBelow) {
  ExpectParagraphs({
      {"spans down two and three rows, and a row fully below them",
       "<table><tr><td rowspan=3>a<td>b<td rowspan=2>c</tr><tr><td>d</tr><tr><td>e<td>f</tr><tr><td>g</tr></table>",
       "<table columns=\"3\"><tr><td>a</td><td>b</td><td>c</td></tr><tr><td/><td>d</td><td/></tr>"
       "<tr><td/><td>e</td><td>f</td></tr><tr><td>g</td><td/><td/></tr></table>"},
      {"a span ends with its group; rowspan=0 runs to the group's end, with its colspan",
       "<table><thead><tr><td rowspan=5>h</tr></thead><tbody><tr><td rowspan=0 colspan=2>z<td>y</tr>"
       "<tr><td>x</tr></tbody></table>",
       "<table columns=\"3\"><tr><td>h</td><td/><td/></tr><tr><td>z</td><td/><td>y</td></tr>"
       "<tr><td/><td/><td>x</td></tr></table>"},
  });
  CWmlSettings off;
  off.blockBreaks = 0;
  EXPECT_EQ(ParagraphOf(DeckWithSettings("<table><tr><td rowspan=\"2\">a</td><td>b</td></tr><tr><td>c</td></tr></table>", off)),
            "<table columns=\"2\"><tr><td>a</td><td>b</td></tr><tr><td>c</td><td/></tr></table>");
}

TEST(TableDeck, TablesThatCannotStandInWml) {
  ExpectParagraphs({
      {"a table without rows goes, its caption stays", "a<table><caption>c</caption></table>b", "acb"},
      {"rows without cells get one", "<table><tr></tr></table>",
       "<table columns=\"1\"><tr><td/></tr></table>"},
      {"a self-closing table goes and later tables still count",
       "<table/><table><tr><td>1</td><td>2</td></tr></table>",
       "<table columns=\"2\"><tr><td>1</td><td>2</td></tr></table>"},
  });
}

TEST(TableDeck, NestedTablesDissolveIntoTheirCell) {
  ExpectParagraphs({
      {"one level",
       "<table><tr><td>A<table><tr><td>x</td><td>y</td></tr><tr><td>z</td></tr></table></td>"
       "<td>B</td></tr></table>",
       "<table columns=\"2\"><tr><td>A<br/>x<br/>y<br/>z</td><td>B</td></tr></table>"},
      {"two levels",
       "<table><tr><td><table><tr><th>h</th><td>m<table><tr><td>deep</td></tr></table></td></tr>"
       "</table></td></tr></table>",
       "<table columns=\"1\"><tr><td>h<br/>m<br/>deep</td></tr></table>"},
      {"the text after a nested table starts a line; a break there is not doubled",
       "<table><tr><td>a<table><tr><td>x</td></tr></table>b</td><td><table><tr><td>y</td></tr></table><br>c</td></tr>"
       "</table>",
       "<table columns=\"2\"><tr><td>a<br/>x<br/>b</td><td>y<br/>c</td></tr></table>"},
      {"text that stands in a nested row stays, as a browser shows it before that table",
       "<table><tr><td><table><tr>t<td>x</table></td></tr></table>",
       "<table columns=\"1\"><tr><td>t<br/>x</td></tr></table>"},
      {"a table below a formatting element of the cell",
       "<table><tr><td><b>A<table>c<tr><td>x</td><td>y</td></tr></table></b></td></tr></table>",
       "<table columns=\"1\"><tr><td><b>Ac<br/>x<br/>y</b></td></tr></table>"},
      {"the same directly in the cell",
       "<table><tr><td>A<table>c<tr><td>x</td><td>y</td></tr></table></td></tr></table>",
       "<table columns=\"1\"><tr><td>Ac<br/>x<br/>y</td></tr></table>"},
      {"a table below bold text outside any table stays",
       "<b><table><tr><td>x</td></tr></table></b>",
       "<b><table columns=\"1\"><tr><td>x</td></tr></table></b>"},
      {"a self-closing table after text breaks the line",
       "<table><tr><td>a<table/>b</td><td><table/>c</td></tr></table>",
       "<table columns=\"2\"><tr><td>a<br/>b</td><td>c</td></tr></table>"},
  });
}

// Read as HTML, the elements in a cell are rewritten before the cell's
// content is filtered, as they are outside tables.
TEST(TableDeck, ElementsInACellAreRewrittenAsOutsideTables) {
  ExpectParagraphs({
      {"superscripts, quotations and list numbers",
       "<table><tr><td>2<sup>8</sup> <q>w</q></td><td><ol start=3><li>c<li>d</ol></td></tr></table>",
       "<table columns=\"2\"><tr><td>2^8 \"w\"</td><td>3. c<br/>4. d</td></tr></table>"},
      {"an image map's links and an inline frame's link",
       "<table><tr><td><img src=m.gif usemap=#m><map name=m><area href=a.html alt=A></map></td>"
       "<td><iframe src=f.html title=F></iframe></td></tr></table>",
       "<table columns=\"2\"><tr><td><img src=\"m.gif\" alt=\"m.gif\"/><a href=\"a.html\">A</a></td>"
       "<td><a href=\"f.html\">F</a></td></tr></table>"},
      {"font sizes, and scripts that show nothing",
       "<table><tr><td><font size=1>s</font></td><td><script>x</script>y</td></tr></table>",
       "<table columns=\"2\"><tr><td><small>s</small></td><td>y</td></tr></table>"},
  });
}

// The nested-table page used with other marker settings.
constexpr char kNestedPage[] =
    "<table><tr><td>A<table><tr> <td>x</td><td>y</td></tr><tr><td>z</td></tr></table></td></tr></table>";

TEST(TableSettings, CellMarkersComeFromTheDeviceSettings) {
  struct Case {
    const char* lead;
    const char* brk;
    const char* cell;  // the outer cell's content
  };
  const std::vector<Case> cases = {
      {"", "<br/>", "A<br/>x<br/>y<br/>z"},
      {"* ", "<br/>", "A<br/>* x<br/>y<br/>* z"},
      {"", "", "A xyz"},
      {"<BR>", " | ", "A |<br/>x | y |<br/>z"},
      {"<b>", "&", "A &amp;x&amp;y&amp;z"},
      {"<hr/>", "-", "A -<br/>x-y-<br/>z"},
  };
  for (const Case& c : cases) {
    CWmlSettings settings;
    CopyField(settings.cellLeadText, c.lead);
    CopyField(settings.cellBreakText, c.brk);
    const std::string deck = DeckWithSettings(kNestedPage, settings);
    EXPECT_EQ(ParagraphOf(deck), std::string("<table columns=\"1\"><tr><td>") + c.cell + "</td></tr></table>")
        << c.lead << " / " << c.brk;
    EXPECT_TRUE(IsWellFormedXml(deck)) << deck;
  }
}

// A tree of `markup` as tree building and the pre-pass leave it.
struct Tree {
  explicit Tree(const std::string& markup) {
    root.ParseMarkup(markup.data(), static_cast<int32_t>(markup.size()));
    NormalizeTree(&root);
  }
  CXmlNode root;
};

TEST(TableParts, CellSpanAndColumnCount) {
  struct Case {
    const char* table;
    int32_t columns;
  };
  const std::vector<Case> cases = {
      {"<table></table>", 0},
      {"<table><tr><td/><th/><td colspan=\"5\"/></tr><tr><td colspan=\"-3\"/></tr></table>", 7},
      {"<table><tr><td colspan=\"64\"/><td colspan=\"99999999999999\"/></tr></table>", 128},
      {"<table><div><tr><td/><td/></tr></div><tr><TD/></tr></table>", 1},
      {"<table><tbody><tr><td/><td/></tr></tbody><tr><td/></tr></table>", 2},
      {"<table><tr><p/><td/></tr></table>", 1},
  };
  for (const Case& c : cases) {
    Tree tree(c.table);
    EXPECT_EQ(CountTableColumns(tree.root.GetFirstChild(), false), c.columns) << c.table;
  }
}

TEST(TableParts, PadTableRowExpandsThenFills) {
  struct Case {
    const char* table;
    const char* row;  // the row's subtree as written afterwards
  };
  const std::vector<Case> cases = {
      {"<table columns=\"4\"><tr><td colspan=\"2\">a</td></tr></table>",
       "<tr><td>a</td><td/><td/><td/>"},
      {"<table columns=\"1\"><tr><td colspan=\"3\">a</td><td>b</td></tr></table>",
       "<tr><td>a</td><td/><td/><td>b</td>"},
      {"<table><tr><th colspan=\"2\">a</th></tr></table>", "<tr><th>a</th><td/>"},
      {"<div columns=\"1000000\"><tr><td>a</td></tr></div>", "<tr><td>a</td>"},
  };
  for (const Case& c : cases) {
    Tree tree(c.table);
    CXmlNode* row = tree.root.GetFirstChild()->GetFirstChild();
    PadTableRow(row, nullptr);
    // A row padded already is as wide as its table: padding it again adds nothing.
    PadTableRow(row, nullptr);
    std::string written = testing::WrittenText(*row);
    EXPECT_EQ(written, c.row) << c.table;
  }
}

TEST(TableParts, MarkNestedTableCellsTouchesOnlyCellsWithContent) {
  Tree tree("<tr><td><table><tr><td>x</td><td></td><th>y</th></tr></table></td></tr>");
  CXmlNode* outerCell = tree.root.GetFirstChild()->GetFirstChild();
  CWmlSettings settings;
  CopyField(settings.cellLeadText, "+");
  MarkNestedTableCells(outerCell->GetFirstChild(), settings, nullptr);
  EXPECT_EQ(testing::WrittenText(*outerCell),
            "<td><table><tr><td><br/>+x</td><td></td><th><br/>y</th></tr></table>");
}

TEST(TableScale, TheDeckGrowsLinearlyWithTheNumberOfRows) {
  auto page = [](int rows) {
    std::string text = "<table>";
    for (int i = 0; i < rows; ++i) {
      text += i % 2 == 0 ? "<tr><td colspan=\"2\">r</td><td><table/>n<table><tr><td>x</td></tr></table></td></tr>\n"
                         : "<tr><th>h</th></tr>\n";
    }
    return text + "</table>";
  };
  const std::string small = page(2500);
  const std::string large = page(10000);
  const std::string deck = DeckOf(large);
  EXPECT_TRUE(IsWellFormedXml(deck));
  EXPECT_NE(deck.find("<table columns=\"3\">"), std::string::npos);
  // Four times the rows give about four times the deck, not the sixteen
  // times of rows padded to what all rows hold (the benchmark times it).
  EXPECT_LT(deck.size(), DeckOf(small).size() * 5);
}

// One row of wide spans and many one-cell rows: every short row pads to the
// table's columns, so the columns are capped and the deck grows with the
// cells the page names, not with rows times the widest row.
TEST(TableScale, WideSpansDoNotPadEveryRowToTheirWidth) {
  for (const int count : {80, 1000}) {
    std::string page = "<table><tr>";
    for (int i = 0; i < count; ++i) page += "<td colspan=64>x</td>";
    page += "</tr>";
    for (int i = 0; i < count; ++i) page += "<tr><td>y</td></tr>";
    page += "</table>";
    const testing::Conversion conversion = testing::ConvertWithCapacity(page, 64 << 20);
    ASSERT_GT(conversion.result, 0) << count;
    const std::string& deck = conversion.text;
    ASSERT_TRUE(IsWellFormedXml(deck)) << count;
    const std::string paragraph = ParagraphOf(deck);
    EXPECT_TRUE(paragraph.starts_with("<table columns=\"64\"><tr><td>x</td><td/>")) << paragraph.substr(0, 80);
    // The wide row keeps its spans (64 cells each); every short row pads to 64.
    size_t cells = 0;
    for (size_t at = paragraph.find("<td"); at != std::string::npos; at = paragraph.find("<td", at + 1)) ++cells;
    EXPECT_EQ(cells, static_cast<size_t>(count) * 64 * 2) << count;
    std::string shortRow = "<tr><td>y</td>";
    for (int i = 1; i < 64; ++i) shortRow += "<td/>";
    EXPECT_NE(paragraph.find(shortRow + "</tr>"), std::string::npos);
    EXPECT_EQ(paragraph.find(shortRow + "<td/>"), std::string::npos);
    EXPECT_LT(deck.size(), page.size() * 24) << count;
  }
}

TEST(TableScale, DeeplyNestedTablesNeedNoDeepStack) {
  constexpr int kDepth = 100000;
  std::string page;
  for (int i = 0; i < kDepth; ++i) page += i % 100 == 0 ? "<table><tr><td>x<i><table/>" : "<table><tr><td>";
  std::string deck;
  ASSERT_TRUE(testing::RunWithStack(256 * 1024, [&] { deck = DeckOf(page); }));
  EXPECT_TRUE(IsWellFormedXml(deck));
  const std::string paragraph = ParagraphOf(deck);
  EXPECT_TRUE(paragraph.starts_with("<table columns=\"1\"><tr><td>x<i><br/>")) << paragraph.substr(0, 80);
  // Every nested table has been dissolved into the outermost cell.
  EXPECT_EQ(paragraph.find("<table", 1), std::string::npos);
}

}  // namespace
}  // namespace quillmark
