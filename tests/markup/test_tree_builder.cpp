// Tree building: where tokens go, what is dropped, tag replacement.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "device/configuration.h"
#include "device/working_variables.h"
#include "markup/xml_node.h"
#include "support/tree_dump.h"

namespace quillmark {
namespace {

using testing::DumpChildren;

std::string Build(const std::string& page) {
  CXmlNode root;
  root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
  return DumpChildren(root);
}

struct PlacementCase {
  const char* page;
  const char* tree;
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, BuildsTheTokenTree) { EXPECT_EQ(Build(GetParam().page), GetParam().tree); }

INSTANTIATE_TEST_SUITE_P(
    TreeBuilding, Placement,
    ::testing::Values(
        PlacementCase{"<p>Hi</p>", "<p>[Hi],</p>"},
        // An end tag closes its element although an inner one is still open.
        PlacementCase{"<p>a<b>b</p>c", "<p>[a,<b>[b]],</p>,c"},
        // A first-token end tag becomes the root's first child.
        PlacementCase{"</x>a", "</x>,a"},
        // An unmatched end tag right after text follows that text.
        PlacementCase{"a</x>b", "a,</x>,b"},
        // An unmatched end tag inside an open element becomes its child.
        PlacementCase{"<p></x>b</p>", "<p>[</x>,b],</p>"},
        PlacementCase{"<br/>x", "<br/>,x"},
        PlacementCase{"<!DOCTYPE html><p>", "<!DOCTYPE html>,<p>"},
        // A list item ends where the next one of its list begins; in another
        // list, or past a paragraph, it holds what follows.
        PlacementCase{"<ul><li>a<li>b</ul>", "<ul>[<li>[a],</li>,<li>[b]],</ul>"},
        PlacementCase{"<ol><li>a<ul><li>b</ul><li>c</ol>", "<ol>[<li>[a,<ul>[<li>[b]],</ul>],</li>,<li>[c]],</ol>"},
        PlacementCase{"<dl><dt>t<dd><b>d<dt>u</dl>", "<dl>[<dt>[t],</dt>,<dd>[<b>[d]],</dd>,<dt>[u]],</dl>"},
        PlacementCase{"<li>a<li>b", "<li>[a,<li>[b]]"},
        // Names match without regard to case.
        PlacementCase{"<P>a</p>", "<P>[a],</p>"},
        // After an element is closed, the next token is its sibling; an end
        // tag right after it may close the enclosing element.
        PlacementCase{"<a><b>x</b></a>y", "<a>[<b>[x],</b>],</a>,y"},
        // Control characters become spaces, runs of spaces shrink to one.
        PlacementCase{"a\r\n\t  b", "a b"},
        PlacementCase{"a  bcdefghijklmnopq\t\tr  stuvwxyz0123456789 ", "a bcdefghijklmnopq r stuvwxyz0123456789 "},
        // A tag with more attributes than a record looks through one by one
        // (its names are indexed, which the document releases with it).
        PlacementCase{"<x a b c d e f g h i j k l m n o p q>t", "<x a b c d e f g h i j k l m n o p q>[t]"},
        PlacementCase{"<p>\n</p>", "<p>[ ],</p>"},
        // Comments stay as they are; empty-named tags vanish.
        PlacementCase{"<!-- x\n y --><>< >z", "<!-- x\n y -->,<>,z"},
        PlacementCase{"< >z", "z"},
        // A device marker never becomes a node.
        PlacementCase{"a<!-- DINCL -->b<!-- /DINCL -->", "a,b"},
        // A head left open ends where the body's content begins; a second
        // head start tag inside it, and its own end tag after that, vanish.
        PlacementCase{"<head><title>t</title> <meta a><link b><BODY>x",
                      "<head>[<title>[t],</title>, ,<meta a>[<link b/>]],</head>,<BODY>[x]"},
        // A heading's end tag of another level ends the open heading.
        PlacementCase{"</h2>a<h5>H</h3><p>x</h4>", "</h2>,a,<h5>[H],</h5>,<p>[x,</h4>]"},
        // A void element takes no content.
        PlacementCase{"<table><col><COL span=2><tr><td>x</table>", "<table>[<col/>,<COL span=2/>,<tr>[<td>[x]]],</table>"},
        PlacementCase{"<HEAD><head><!-- c --><style>s</style>x</head>y",
                      "<HEAD>[<!-- c -->,<style>[s],</style>],</HEAD>,x,y"},
        PlacementCase{"<head><noscript>n<p>x</noscript></head>", "<head>[<noscript>[n,<p>[x]],</noscript>],</head>"},
        // Content after the body goes back into it, past the elements its
        // end tag closed; an html start tag after the body vanishes.
        PlacementCase{"<html><body><b>a</body>\n</html><!-- c --><p>b</p></body><html></html>",
                      "<html>[<body>[<b>[a],<p>[b],</p>], ,</body>],<!-- c -->,</html>"},
        PlacementCase{"<body>a</body>b<body>c</body>d", "<body>[a,b,<body>[c],</body>,d]"},
        PlacementCase{"<div><body>a</body></div>b", "<div>[<body>[a],</body>],</div>,b"},
        // Cells, rows and options that leave out their end tags end where
        // HTML ends them, past a few open formatting elements; out of
        // place (a row outside any table) they nest as the tags stand.
        PlacementCase{"<table><tr><td>a<th><b>b<tr><td>c</table>",
                      "<table>[<tr>[<td>[a],</td>,<th>[<b>[b]],</th>],</tr>,<tr>[<td>[c]]],</table>"},
        PlacementCase{"<select><option>a<option><i>b<optgroup><option>c</select>",
                      "<select>[<option>[a],</option>,<option>[<i>[b]],</option>,<optgroup>[<option>[c]]],</select>"},
        PlacementCase{"<tr><td>a<tr>b", "<tr>[<td>[a,<tr>[b]]]"},
        // A cell straight in a table opens the row it implies; a link ends
        // the link left open near it, but not one outside its table.
        PlacementCase{"<table><td>a<td>b</table><table><tbody><th>c</table>",
                      "<table>[<tr>[<td>[a],</td>,<td>[b]]],</table>,<table>[<tbody>[<tr>[<th>[c]]]],</table>"},
        // A quoted value spans lines where its quote closes before the next
        // ">" after the line break; else it ends at the line break.
        PlacementCase{"<p title=\"x\ny\">P</p><a href=\"u>L</a>\nn\">m",
                      "<p title=\"x\ny\">[P],</p>,<a href=\"u>L</a>\nn\">[m]"},
        PlacementCase{"<i title=\"a\nb>c</i>d", "<i title=\"a\nb>[c],</i>,d"},
        // A table's head, body or foot ends at the next, with its open row and cell.
        PlacementCase{"<table><thead><tr><th>h<tbody><tr><td>b<tfoot><td>f</table>",
                      "<table>[<thead>[<tr>[<th>[h],</th>],</tr>],</thead>,<tbody>[<tr>[<td>[b],</td>],</tr>],"
                      "</tbody>,<tfoot>[<tr>[<td>[f]]]],</table>"},
        PlacementCase{"<a href=1>x<b><a href=2>y</a></b><table><tr><td><a>z</table>",
                      "<a href=1>[x,<b>],</a>,<a href=2>[y],</a>,</b>,<table>[<tr>[<td>[<a>[z]]]],</table>"}));

// Outside pre, each run of spaces and control characters in a text becomes
// one space, wherever the run falls against the scanner's eight-byte steps.
TEST(TreeBuilding, TextKeepsOneSpaceForEachRunOfBlanks) {
  const char alphabet[] = {'a', 'Z', '!', ' ', '\t', '\n', '\r', '\x01', '\x1f', '\x7f', '\x80', '\xa0', '\xff'};
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (std::size_t length = 1 + random() % 40; text.size() < length;) text += alphabet[random() % sizeof alphabet];
    std::string expected;
    for (const char c : text) {
      const bool blank = static_cast<unsigned char>(c) <= ' ';
      if (!blank) expected += c;
      if (blank && (expected.empty() || expected.back() != ' ')) expected += ' ';
    }
    CXmlNode root;
    root.ParseMarkup(text.data(), static_cast<int32_t>(text.size()));
    ASSERT_NE(root.GetFirstChild(), nullptr);
    EXPECT_STREQ(root.GetFirstChild()->GetText(), expected.c_str()) << "round " << round;
  }
}

TEST(TreeBuilding, DeepUnclosedNestingAndEndTagsStayLinear) {
  // 100,000 open elements then 100,000 end tags of another name: each end
  // tag must be known to be stray without walking all open elements.
  std::string page;
  for (int i = 0; i < 100000; ++i) page += "<div>";
  for (int i = 0; i < 100000; ++i) page += "</span>";
  page += "</div>";
  CXmlNode root;
  root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
  // The last end tag closes the innermost div: it follows it as a sibling.
  const CXmlNode* node = root.GetFirstChild();
  int depth = 0;
  while (node->GetFirstChild() != nullptr && node->GetFirstChild()->IsTagNamed("div")) {
    node = node->GetFirstChild();
    ++depth;
  }
  EXPECT_EQ(depth, 99999);
  ASSERT_NE(node->GetNext(), nullptr);
  EXPECT_STREQ(node->GetNext()->GetText(), "</div>");
  EXPECT_STREQ(node->GetFirstChild()->GetText(), "</span>");
}

// A configuration whose default device replaces tags as `tagReplace` says.
std::shared_ptr<const DeviceConfiguration> ReplacingConfiguration(const char* tagReplace) {
  auto configuration = std::make_shared<DeviceConfiguration>();
  configuration->finish();
  auto settings = std::make_unique<CWmlSettings>();
  CopyField(settings->tagReplace, tagReplace);
  configuration->builtDefault->settings = std::move(settings);
  return configuration;
}

std::string BuildReplacing(const char* tagReplace, const std::string& page) {
  auto configuration = ReplacingConfiguration(tagReplace);
  CXmlNode root;
  auto context = std::make_unique<CWorkingVariables>(configuration);
  context->device = configuration->defaultDevice;
  root.SetContext(std::move(context));
  root.ParseMarkup(page.data(), static_cast<int32_t>(page.size()));
  return DumpChildren(root);
}

struct ReplaceCase {
  const char* tagReplace;
  const char* page;
  const char* tree;
};

class Replacement : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(Replacement, ReplacesTags) {
  EXPECT_EQ(BuildReplacing(GetParam().tagReplace, GetParam().page), GetParam().tree);
}

INSTANTIATE_TEST_SUITE_P(
    TreeBuilding, Replacement,
    ::testing::Values(
        ReplaceCase{",b=<strong>|</strong>,", "<b>x</b>", "<strong>[x],</strong>"},
        ReplaceCase{",b=<strong>|</strong>,", "<B>x</B>", "<strong>[x],</strong>"},
        // A value of only "|" removes both tags and keeps the content.
        ReplaceCase{",font=|,", "a<font>x</font>b", "a,x,b"},
        // Without "|" the end tag has no replacement and vanishes.
        ReplaceCase{",i=<em>,", "<i>x</i>", "<em>[x]"},
        // A replacement line break right after a line break is not doubled;
        // blank text between them does not count.
        ReplaceCase{",br=<br/>,", "<br/> <br>", "<br/>, "},
        ReplaceCase{",br=<br/>,", "a<br>", "a,<br/>"},
        // A replacement that holds its own tag keeps the inner tag as it
        // stands instead of expanding without end.
        ReplaceCase{",br=<br/>,", "a<br/>b", "a,<br/>,b"},
        ReplaceCase{",b=<b><i>x</i>|,", "<b>", "<b>[<i>[x],</i>]"},
        // Entries that name each other end too.
        ReplaceCase{",a=<b>|,b=<a>|,", "<a>", "<a>"},
        ReplaceCase{",u=<span>|</span>,", "<p>u</p>", "<p>[u],</p>"}));

}  // namespace
}  // namespace quillmark
