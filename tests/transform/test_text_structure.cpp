// Text structure, forms in tables and choices: block elements and
// preformatted lines keep their line breaks, tables of form controls (and,
// with TABLES=false, every table) become lines, radio buttons and check
// boxes become selects that start with the page's choices.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "device/configuration.h"
#include "interface/conversion.h"
#include "transform/block_breaks.h"
#include "transform/forms_tables_support.h"

namespace quillmark {
namespace {

using testing::Compact;
using testing::DeckCase;
using testing::DeckOf;
using testing::DeckWithSettings;
using testing::ExpectParagraphs;
using testing::ExpectParagraphsWith;
using testing::IsWellFormedXml;
using testing::ParagraphOf;

TEST(BlockBreaks, BlocksStandOnLinesOfTheirOwn) {
  ExpectParagraphs({
      {"paragraphs", "<p>One.</p><p>Two.</p>", "One.<br/>Two."},
      {"list items", "<ul><li>alpha</li><li>beta</li></ul>", "alpha<br/>beta"},
      {"definitions, quotations, addresses, centred text",
       "<dl><dt>T</dt><dd>D</dd></dl><blockquote>q</blockquote><address>ad</address><center>c</center>",
       "T<br/>D<br/>q<br/>ad<br/>c"},
      {"text around a block", "a<div>b</div>c", "a<br/>b<br/>c"},
      {"the sections, figures, disclosures and legends of newer pages",
       "<header>h</header><nav>n</nav><main><article><section>s</section><aside>a</aside></article></main>"
       "<footer>f</footer><figure>g<figcaption>c</figcaption></figure><details><summary>m</summary>d</details>"
       "<menu><li>i</li></menu><fieldset><legend>l</legend>x</fieldset>",
       "h<br/>n<br/>s<br/>a<br/>f<br/>g<br/>c<br/>m<br/>d<br/>i<br/><fieldset>l<br/>x</fieldset>"},
      {"an empty block still divides", "a<p></p>b", "a<br/>b"},
      {"never first or last", "<div>y</div>", "y"},
      {"never next to a break of the page", "x<br><div>y</div><br>z", "x<br/>y<br/>z"},
      {"nested blocks give one break", "<div><div><ul><li>a</li></ul></div></div><div>b</div>", "a<br/>b"},
      {"a rule between content, not at an edge", "<hr>a<hr>b<br><hr>c<hr>", "a<br/>b<br/>c"},
      {"a heading keeps its own breaks", "Intro<div><h2>T</h2></div>more", "Intro<br/><b>T</b><br/>more"},
      {"blocks in a link", "<a href=\"u\"><div>x</div><div>y</div></a>", "<a href=\"u\">x<br/>y</a>"},
      {"a cell is a paragraph of its own", "<table><tr><td><p>a</p><p>b</p></td><td><div>c</div></td></tr></table>",
       "<table columns=\"2\"><tr><td>a<br/>b</td><td>c</td></tr></table>"},
      {"blank text is no content", "<div>a</div> <div> </div> <div>b</div>", "a<br/>b"},
      {"headings and rules in a cell, where headings are bold as outside",
       "<table><tr><td>a<h1>T</h1><h2>U</h2>b<hr>c</td><td><table><tr><td><h3>V</h3>d</td></tr></table></td></tr>"
       "</table>",
       "<table columns=\"2\"><tr><td>a<br/><b>T<br/></b><b>U<br/></b>b<br/>c</td><td><b>V<br/></b>d</td></tr></table>"},
  });
}

TEST(BlockBreaks, PreformattedTextKeepsItsLinesAndBlanks) {
  ExpectParagraphs({
      {"lines and runs of blanks", "<pre>a  b\n  c\nd</pre>", "a&#160;&#160;b<br/>&#160;&#160;c<br/>d"},
      {"the line end after the start tag goes", "<pre>\nx\n</pre>", "x"},
      {"CR LF and CR end lines", "<pre>a\r\nb\rc</pre>", "a<br/>b<br/>c"},
      {"a single blank inside a line stays", "<pre>a b\n c</pre>", "a b<br/>&#160;c"},
      {"blank lines give one break", "<pre>a\n\n\nb</pre>", "a<br/>b"},
      {"formatting inside", "<pre>x <b>y  z</b> v\n w</pre>", "x <b>y&#160;&#160;z</b> v<br/>&#160;w"},
      {"text around", "a<pre>b</pre>c", "a<br/>b<br/>c"},
  });
  EXPECT_EQ(PreformattedLine("", true), "");
  EXPECT_EQ(PreformattedLine(" \ta", false), "&#160;&#160;a");
  EXPECT_EQ(PreformattedLine("a\tb", true), "a\tb");
  EXPECT_EQ(PreformattedLine(" a ", true), "&#160;a ");
  EXPECT_EQ(PreformattedLine(" a", false), " a");
}

// Pages are read as HTML reads them: unquoted values keep their slashes,
// anchors and signs, a signed font size is relative to the base size, and
// captions, option groups' labels, image maps' and framesets' links are kept.
TEST(BlockBreaks, AttributesCaptionsAndImageMapsReadAsHtml) {
  ExpectParagraphs({
      {"links", "<a href=/news/today.html?a=1&b=2>N</a> <a href=x.html#top>T</a> <a href=http://x.org/>H</a>",
       "<a href=\"/news/today.html?a=1;b=2\">N</a> <a href=\"x.html#top\">T</a> <a href=\"http://x.org/\">H</a>"},
      {"a link left open ends where the next begins", "<a href=1>One<a href=2>Two <i>i<a href=3>Three</a> x</a>",
       "<a href=\"1\">One</a><a href=\"2\">Two i</a><a href=\"3\">Three</a> x"},
      {"a link within the page to no card is its text",
       "<html><body>a<a name=t>T</a>x<a href=#t>t</a><a href=#zz>s</a><a href=\"#\">h</a> <b id=s>S</b></body></html>",
       "a<br/><a href=\"#t\">Next</a></p></card><card id=\"t\" title=\"\"><p>Tx<a href=\"#t\">t</a>sh <b id=\"s\">S</b>"},
      {"a place a link lands on is no link; a name taken names no second card",
       "<html><body><a id=x></a><a id=h>H</a><a name=t>T</a>x<a name=t>U</a></body></html>",
       "H<br/><a href=\"#t\">Next</a></p></card><card id=\"t\" title=\"\"><p>TxU"},
      {"a heading holds what bold text holds, and ends at any heading's end tag",
       "<h2 align=center>T<p>x</p></h2><h5>H</h3>y", "<b>T<br/>x<br/></b><b>H</b><br/>y"},
      {"a table's columns stand beside its rows", "<table><col><col span=2><tr><td>a<td>b</table>",
       "<table columns=\"2\"><tr><td>a</td><td>b</td></tr></table>"},
      {"pictures", "<img src=/img/a-1.gif alt=Logo>", "<img src=\"/img/a-1.gif\" alt=\"Logo\"/>"},
      {"a number field asks for digits where its value has only digits",
       "<input type=number name=n value=7><input type=number name=k value=-1>",
       "<input type=\"text\" name=\"n\" value=\"7\" format=\"*N\"/><input type=\"text\" name=\"k\" value=\"-1\"/>"},
      {"targets as browsers read them", "<a href=\" my page.html\n\">A</a><img src=\"a\tb c.gif\" alt=P>",
       "<a href=\"my%20page.html\">A</a><img src=\"ab%20c.gif\" alt=\"P\"/>"},
      {"the first base resolves links, pictures and forms, not the page's own cards",
       "<head><base href=\"http://h.org/d/i.html\"><base href=/x/></head><a href=a.html>A</a><a href=#t>T</a>"
       "<img src=../p.gif alt=P><map><area href=//c.net/m alt=M></map><form action=f?x=1><input type=submit></form>",
       "<a href=\"http://h.org/d/a.html\">A</a>T<img src=\"http://h.org/p.gif\" alt=\"P\"/>"
       "<a href=\"http://c.net/m\">M</a><br/><anchor title=\"submit\">submit<go href=\"http://h.org/d/f?x=1\" "
       "method=\"get\"></go></anchor>"},
      {"font sizes", "<font size=+2>a</font><font size=\"+1\">b</font><font size=-1>c</font><font size=6>d</font>",
       "<big>a</big>b<small>c</small><big>d</big>"},
      {"a table's caption stands before it", "<table><caption>Prices <b>now</b></caption><tr><td>a</td></tr></table>",
       "Prices <b>now</b><table columns=\"1\"><tr><td>a</td></tr></table>"},
      {"an option group's label is its title",
       "<select name=s><optgroup label=\"A &amp; B\"><option>x</optgroup><optgroup label=L title=T><option>y"
       "</select>",
       "<select name=\"s\"><optgroup title=\"A &amp; B\"><option value=\"x\">x</option></optgroup>"
       "<optgroup title=\"T\"><option value=\"y\">y</option></optgroup></select>"},
      {"an image map's links", "<map><area href=/n?a=1&b=2 alt=North><area href=/s/><area nohref alt=x></map>",
       "<a href=\"/n?a=1;b=2\">North</a> <a href=\"/s/\">/s/</a>"},
      {"a quotation between quotation marks", "He said <q>no <b>way</b></q>.<q/>", "He said \"no <b>way</b>\"."},
      {"a tel: link calls its number through WTAI",
       "<a href=\"tel:+1 (555) 010-9999\">C</a><a href=\"TEL:+44%2020;ext=5\">U</a><a href=tel:*12#>S</a>"
       "<a href=tel:x>N</a>",
       "<a href=\"wtai://wp/mc;+15550109999\">C</a><a href=\"wtai://wp/mc;+4420\">U</a>"
       "<a href=\"wtai://wp/mc;*12%23\">S</a><a href=\"tel:x\">N</a>"},
      {"a superscript after a caret", "2<sup>32</sup> x<sup><a href=f.html>1</a></sup><sup></sup>",
       "2^32 x^<a href=\"f.html\">1</a>"},
      {"a script's link is its text, a picture held in its source its alt text",
       "<a href=\" JavaScript:go()\">Menu</a> <a href=vbscript:x>V</a> <a href=\"/javascript:x\">J</a>"
       "<map><area href=javascript:x alt=A></map><img src=\"data:image/gif;base64,R0lG/OD\" alt=dot><img src=data:,>",
       "Menu V <a href=\"/javascript:x\">J</a>dot"},
      {"a frameset's frames become links, each on a line, and what it holds without frames follows them",
       "<frameset rows=1,1><frame src=a.html><frameset><frame name=n src=l.html><frame src=r.html title=\"A &amp; B\">"
       "<frame name=x></frameset><noframes>old</noframes></frameset>",
       "<a href=\"a.html\">a.html</a><br/><a href=\"l.html\">n</a><br/><a href=\"r.html\">A &amp; B</a><br/>old"},
      {"a body held without frames gives its content after the links",
       "<frameset><frame src=a.html><noframes><body><p>old <a href=o.html>o</a></p></body></noframes></frameset>",
       "<a href=\"a.html\">a.html</a><br/>old <a href=\"o.html\">o</a>"},
      {"an inline frame becomes a link to its document", "a<iframe src=/v title=Video><p>no frames</p></iframe>b"
       "<iframe src=\"javascript:x\">t</iframe>c",
       "a<a href=\"/v\">Video</a>bc"},
      {"or go to the body for browsers without frames that follows",
       "<html><frameset><frame src=a.html></frameset><noframes><body><p>old</p></body></noframes></html>",
       "<a href=\"a.html\">a.html</a><br/>old"},
  });
}

// The items of ordered lists begin with their numbers, as the list's type,
// start and direction and the items' values say; items of other lists, and
// of lists inside an item, do not count.
TEST(BlockBreaks, OrderedListsNumberTheirItems) {
  ExpectParagraphs({
      {"numbers", "x<ol><li>a<li>b</ol>", "x<br/>1. a<br/>2. b"},
      {"start, value and letters", "<ol start=25 type=a><li>y<li>z<li value=52>az<li>ba</ol>",
       "y. y<br/>z. z<br/>az. az<br/>ba. ba"},
      {"reversed Roman numerals", "<ol reversed type=I><li>c<li>b<li>a</ol>", "III. c<br/>II. b<br/>I. a"},
      {"before the content of a block", "<ol><li>\n<p><b>a</b></p><li><div>b</div></ol>",
       "1. <b>a</b><br/>2. b"},
      {"nested and unordered lists", "<ol><li>a<ul><li>u</ul><ol><li>i</ol><li>b</ol>",
       "1. a<br/>u<br/>1. i<br/>2. b"},
      {"a number beyond letters or numerals", "<ol start=0 type=i><li>z<li value=-2>m<li value=4000>q</ol>",
       "0. z<br/>-2. m<br/>4000. q"},
  });
}

// The keys that restore the decks as they were written before each mend.
constexpr char kFormerOutput[] = "ENTITIES=keep\nDOLLAR=keep\nCHARSET=bytes\nBLOCK_BREAKS=false";

// The pages above with BLOCK_BREAKS=false give what they gave before the key
// existed: the content runs together.
TEST(BlockBreaks, TheKeyRestoresRunTogetherText) {
  CWmlSettings off;
  off.blockBreaks = 0;
  ExpectParagraphsWith(off, {
      {"paragraphs", "<p>One.</p><p>Two.</p>", "One.Two."},
      {"list items", "<ul><li>alpha</li><li>beta</li></ul>", "alphabeta"},
      {"a rule stays a break", "<hr>a<hr>", "<br/>a<br/>"},
      {"preformatted text", "<pre>\na  b\n  c</pre>", "a b c"},
      {"an open head holds what follows", "<head><title>T</title><body>x", ""},
      {"cells nest as the tags stand", "<table><tr><td>a<td>b</table>",
       "<table columns=\"1\"><tr><td>a<br/>b</td></tr></table>"},
      {"a style sheet is text", "<style>s</style>", "s"},
      {"unquoted values end at punctuation", "<a href=/x/y>N</a><img src=a-1.gif>",
       "<a href=\"\">N</a><img src=\"a\" alt=\"a\"/>"},
      {"a signed font size is its number", "<font size=\"+1\">b</font><font size=\"-1\">c</font>",
       "<small>b</small>c"},
      {"list items nest and have no numbers", "<ol><li>a<li>b</ol>", "ab"},
      {"links nest", "<a href=1>One<a href=2>Two</a>", "<a href=\"1\">OneTwo</a>"},
      {"a quotation has no marks, a superscript no caret, tel: links and links to no card stay",
       "<q>no</q> 2<sup>32</sup><a href=\"tel:+1\">C</a><a href=\"#s\">S</a>",
       "no 232<a href=\"tel:+1\">C</a><a href=\"#s\">S</a>"},
      {"an inline frame is what it holds", "a<iframe src=/v>t</iframe>", "at"},
      {"a title in the body shows", "<body><title>T</title>x</body>", "Tx"},
      {"a heading keeps its attributes and its breaks", "<h2 align=center>T</h2>", "<b align=\"center\">T</b><br/>"},
      {"a number field takes any text", "<input type=number name=n>", "<input type=\"text\" name=\"n\"/>"},
      {"targets stay as written", "<a href=\" a b.html\">A</a>", "<a href=\" a b.html\">A</a>"},
      {"a base resolves nothing", "<base href=\"http://h.org/d/\"><a href=\"a.html\">A</a>",
       "<a href=\"a.html\">A</a>"},
      {"an anchor without a target is an empty link; names repeat", "<html><body><a id=h>H</a><a name=t>T</a>"
       "<a name=t>U</a></body></html>",
       "<a id=\"h\" href=\"\">H</a></p></card><card id=\"t\" title=\"\"><p>T</p></card><card id=\"t\" "
       "title=\"\"><p>U"},
      {"script links and data pictures stay", "<a href=javascript:x>M</a><img src=\"data:,x\" alt=d>",
       "<a href=\"javascript:x\">M</a><img src=\"data:,x\" alt=\"d\"/>"},
      {"captions, group labels, image maps and framesets go",
       "<table><caption>C</caption><tr><td>a</td></tr></table><select name=s><optgroup label=L><option>x</select>"
       "<map><area href=\"/n\" alt=\"N\"></map><frameset><frame src=f.html></frameset>",
       "<table columns=\"1\"><tr><td>a</td></tr></table><select name=\"s\"><optgroup><option value=\"x\">x</option>"
       "</optgroup></select>"},
  });
}

// Pages of random block structure, tables and forms (no table of controls,
// no radio button, check box or selected option); their decks beside them
// were written before block breaks existed (see data/make_structure_pages.py).
struct RecordedPage {
  std::string page;
  std::string deck;
};

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

const std::vector<RecordedPage>& RecordedPages() {
  static const std::vector<RecordedPage> pages = [] {
    std::vector<RecordedPage> read;
    for (int number = 0; number < 40; ++number) {
      const std::string stem = std::string(QUILLMARK_SOURCE_DIR) + "/tests/transform/data/structure/page" +
                               (number < 10 ? "0" : "") + std::to_string(number);
      read.push_back({FileText(stem + ".html"), FileText(stem + ".wml")});
    }
    return read;
  }();
  return pages;
}

// The deck of `page` for a configured device whose section holds `settings`.
std::string DeckForDevice(const std::string& page, const std::string& settings) {
  // The last device of a file is never chosen by its pattern.
  std::string text = "DEVICE=D\nUSERAGENT=d\n" + settings + "\nDEVICE=LAST\n";
  auto configuration = std::make_shared<DeviceConfiguration>();
  configuration->parseText(text.data());
  configuration->finish();
  std::string deck(page.size() * 8 + 4096, '\0');
  const int32_t length = ConvertPage(configuration, "d", page.data(), static_cast<int32_t>(page.size()),
                                     deck.data(), static_cast<int32_t>(deck.size()));
  deck.resize(static_cast<std::size_t>(length));
  return deck;
}

// A page that refreshes to another (a meta refresh with a URL) goes there
// when its first card's timer runs out; a refresh of the page itself, and
// every refresh with the key off, gives no timer.
TEST(BlockBreaks, APageThatRefreshesToAnotherGoesThereOnItsTimer) {
  const struct {
    const char* page;
    std::string card;  // the compacted deck from its first card on
  } cases[] = {
      {"<meta http-equiv=Refresh content=\"2.5; URL='/new?a=1&b=2'\"><p>Moved</p>",
       "<onevent type=\"ontimer\"><go href=\"/new?a=1;b=2\"/></onevent><timer value=\"25\"/><p>Moved</p>"},
      {"<meta http-equiv=refresh content=0;url=next.html><meta http-equiv=refresh content=\"9;url=x\">x",
       "<onevent type=\"ontimer\"><go href=\"next.html\"/></onevent><timer value=\"1\"/><p>x</p>"},
      {"<meta http-equiv=refresh content=30>x", "<p>x</p>"},
      {"<meta http-equiv=refresh content=\"0;url=next.html\"><base href=http://h.org/d/>x",
       "<onevent type=\"ontimer\"><go href=\"http://h.org/d/next.html\"/></onevent><timer value=\"1\"/><p>x</p>"},
  };
  for (const auto& c : cases) {
    const std::string deck = Compact(DeckOf(c.page));
    EXPECT_NE(deck.find("<card id=\"card1\" title=\"\">" + c.card + "</card>"), std::string::npos) << deck;
    EXPECT_TRUE(IsWellFormedXml(DeckOf(c.page))) << c.page;
  }
  EXPECT_EQ(Compact(DeckForDevice(cases[0].page, kFormerOutput)).find("<timer"), std::string::npos);
}

TEST(BlockBreaks, WithTheKeyOffDecksAreTheRecordedOnes) {
  ASSERT_FALSE(RecordedPages().front().deck.empty());
  for (std::size_t i = 0; i < RecordedPages().size(); ++i) {
    const RecordedPage& recorded = RecordedPages()[i];
    EXPECT_EQ(DeckForDevice(recorded.page, kFormerOutput), recorded.deck) << "page " << i;
  }
}

// What a reader sees of a deck apart from its line breaks: the characters of
// its text, without tags, blanks and no-break spaces.
std::string VisibleCharacters(const std::string& deck) {
  std::string seen;
  bool inTag = false;
  for (std::size_t at = 0; at < deck.size(); ++at) {
    const char c = deck[at];
    if (c == '<') inTag = true;
    if (!inTag && deck.compare(at, 6, "&#160;") == 0) {
      at += 5;
      continue;
    }
    if (!inTag && static_cast<unsigned char>(c) > 32) seen += c;
    if (c == '>') inTag = false;
  }
  return seen;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// `page` with its ordered lists unordered, so that their items get no numbers.
std::string Unnumbered(std::string page) {
  for (const char* tag : {"<ol", "</ol"}) {
    for (std::size_t at = page.find(tag); at != std::string::npos; at = page.find(tag, at + 1)) {
      page[at + std::strlen(tag) - 2] = 'u';
    }
  }
  return page;
}

// Block breaks add line breaks between content and nothing else: no word is
// lost, moved or joined, no deck gets two breaks in a row or a break at the
// edge of its paragraph that it did not have without them. (The numbers of
// ordered lists' items are left out.)
TEST(BlockBreaks, BreaksOnlyDivideContent) {
  std::size_t changed = 0;
  for (std::size_t i = 0; i < RecordedPages().size(); ++i) {
    const std::string& page = RecordedPages()[i].page;
    const std::string on = DeckOf(Unnumbered(page));
    const std::string off = DeckForDevice(page, kFormerOutput);
    EXPECT_TRUE(IsWellFormedXml(on)) << "page " << i;
    EXPECT_EQ(VisibleCharacters(on), VisibleCharacters(off)) << "page " << i;
    if (on != off) ++changed;
    const std::string onParagraph = ParagraphOf(on);
    const std::string offParagraph = ParagraphOf(off);
    EXPECT_LE(Occurrences(onParagraph, "<br/><br/>"), Occurrences(offParagraph, "<br/><br/>")) << "page " << i;
    EXPECT_TRUE(!onParagraph.starts_with("<br/>") || offParagraph.starts_with("<br/>")) << "page " << i;
    EXPECT_TRUE(!onParagraph.ends_with("<br/>") || offParagraph.ends_with("<br/>")) << "page " << i;
  }
  // The pages are made of blocks: nearly all of them gain breaks.
  EXPECT_GT(changed, RecordedPages().size() * 3 / 4);
}

constexpr char kLoginPage[] =
    "<form action=\"/login\" method=\"post\"><table>"
    "<tr><td>User</td><td><input name=\"u\"></td></tr>"
    "<tr><td>Password</td><td><input type=\"password\" name=\"p\"></td></tr>"
    "<tr><td colspan=\"2\"><input type=\"hidden\" name=\"t\" value=\"9\"><input type=\"submit\" value=\"Login\"></td></tr>"
    "</table></form>";

TEST(LinearTables, TablesOfControlsBecomeLines) {
  ExpectParagraphs({
      {"a login form laid out in a table", kLoginPage,
       "User <input name=\"u\" type=\"text\"/><br/>Password <input type=\"password\" name=\"p\"/><br/>"
       "<anchor title=\"Login\">Login<go href=\"/login\" method=\"post\">"
       "<postfield name=\"u\" value=\"$(u)\"/><postfield name=\"p\" value=\"$(p)\"/>"
       "<postfield name=\"t\" value=\"9\"/></go></anchor>"},
      {"cells are separated by a blank", "<table><tr><th>Size</th><td>big</td><td><select name=\"s\">"
       "<option>a</option></select></td></tr></table>",
       "Size big <select name=\"s\"><option value=\"a\">a</option></select>"},
      {"a control in a nested table linearises the whole nest",
       "<table><tr><td>a</td><td><table><tr><td>b</td><td><textarea name=\"m\">t</textarea></td></tr>"
       "</table></td></tr></table>",
       "a<br/>b <input name=\"m\" type=\"text\" value=\"t\"/>"},
      {"rows in groups and text around", "x<table><tbody><tr><td>1</td><td><input name=\"q\"></td></tr></tbody>"
       "<tr><td>2</td></tr></table>y",
       "x<br/>1 <input name=\"q\" type=\"text\"/><br/>2<br/>y"},
      {"a table without controls stays a table", "<table><tr><td>a</td><td>b</td></tr></table>",
       "<table columns=\"2\"><tr><td>a</td><td>b</td></tr></table>"},
  });
}

TEST(LinearTables, TablesFalseLinearisesEveryTable) {
  CWmlSettings noTables;
  noTables.tables = 0;
  ExpectParagraphsWith(noTables, {
      {"rows become lines", "<table><tr><td>a</td><td>b</td></tr><tr><td>c</td></tr></table>", "a b<br/>c"},
      {"a caption is a line", "<table><caption>Cap</caption><tr><td>a</td></tr></table>", "Cap<br/>a"},
      {"nested tables", "<table><tr><td>a<table><tr><td>b</td><td>c</td></tr></table></td><td>d</td></tr></table>",
       "a<br/>b c<br/>d"},
      {"empty cells leave no trace", "<table><tr><td></td><td/><td>z</td></tr></table>", "z"},
  });
  // Rows are lines even when block breaks are off.
  noTables.blockBreaks = 0;
  EXPECT_EQ(ParagraphOf(DeckWithSettings("<table><tr><td><p>a</p></td></tr><tr><td>b</td></tr></table>", noTables)),
            "a<br/>b");
}

TEST(Choices, RadioButtonsAndCheckBoxesBecomeSelects) {
  ExpectParagraphs({
      {"radio buttons of one name share a select; the checked one is its value",
       "<form action=\"/v\">Colour: <input type=\"radio\" name=\"C\" value=\"r\"> Red "
       "<input type=\"radio\" name=\"c\" value=\"g\" checked>Green<input type=\"submit\"></form>",
       "Colour: <select name=\"c\" value=\"g\"><option value=\"r\">Red</option><option value=\"g\">Green"
       "</option></select><anchor title=\"submit\">submit<go href=\"/v\" method=\"get\">"
       "<postfield name=\"c\" value=\"$(c)\"/></go></anchor>"},
      {"a check box is a multiple select of one option",
       "<input type=\"checkbox\" name=\"k\" value=\"y\" checked> Keep me<input type=\"CHECKBOX\" name=\"n\">",
       "<select name=\"k\" multiple=\"true\" value=\"y\"><option value=\"y\">Keep me</option></select>"
       "<select name=\"n\" multiple=\"true\"><option value=\"on\">on</option></select>"},
      {"the last checked radio button wins",
       "<input type=\"radio\" name=\"r\" value=\"1\" checked><input type=\"radio\" name=\"r\" value=\"2\" checked>",
       "<select name=\"r\" value=\"2\"><option value=\"1\">1</option><option value=\"2\">2</option></select>"},
      {"radio buttons of two forms stay apart; unnamed ones stand alone",
       "<form action=\"/a\"><input type=\"radio\" name=\"c\" value=\"1\">One</form>"
       "<form action=\"/b\"><input type=\"radio\" name=\"c\" value=\"2\">Two<input type=\"radio\" value=\"3\">"
       "<input type=\"radio\" value=\"4\"><input type=\"submit\"></form>",
       "<select name=\"c\"><option value=\"1\">One</option></select><br/><select name=\"f1_c\">"
       "<option value=\"2\">Two</option></select><select name=\"f1_\"><option value=\"3\">3</option>"
       "</select><select name=\"f1_\"><option value=\"4\">4</option></select><anchor title=\"submit\">submit"
       "<go href=\"/b\" method=\"get\"><postfield name=\"c\" value=\"$(f1_c)\"/></go></anchor>"},
  });
}

TEST(Choices, SelectedOptionsSetTheSelectsValue) {
  ExpectParagraphs({
      {"one selected option", "<select name=\"s\"><option>a</option><option selected>b</option></select>",
       "<select name=\"s\" value=\"b\"><option value=\"a\">a</option><option value=\"b\">b</option></select>"},
      {"a multiple select joins its values",
       "<select name=\"m\" multiple><option selected>a</option><option>x</option>"
       "<optgroup><option selected value=\"bb\">b</option></optgroup></select>",
       "<select name=\"m\" multiple=\"true\" value=\"a;bb\"><option value=\"a\">a</option>"
       "<option value=\"x\">x</option><optgroup><option value=\"bb\">b</option></optgroup></select>"},
      {"a single select keeps the last", "<select name=\"u\"><option selected>a</option><option selected>b</option></select>",
       "<select name=\"u\" value=\"b\"><option value=\"a\">a</option><option value=\"b\">b</option></select>"},
      {"an option without a value gives ivalue",
       "<select name=\"i\"><option>a</option><option selected><onevent type=\"onpick\"><noop/></onevent></option></select>",
       "<select name=\"i\" ivalue=\"2\"><option value=\"a\">a</option><option><onevent type=\"onpick\"><noop/>"
       "</onevent></option></select>"},
      {"the page's own value stays", "<select name=\"w\" value=\"a\"><option>a</option><option selected>b</option></select>",
       "<select name=\"w\" value=\"a\"><option value=\"a\">a</option><option value=\"b\">b</option></select>"},
  });
}

// A table nested below a cell at any depth dissolves like one standing in
// the cell itself.
TEST(NestedTables, DissolveAtAnyDepthBelowACell) {
  ExpectParagraphs({
      {"directly in the cell", "<table><tr><td><table><tr><td>x</td></tr></table></td></tr></table>",
       "<table columns=\"1\"><tr><td>x</td></tr></table>"},
      {"below formatting and a block", "<table><tr><td><b><div><table><tr><td>x</td></tr></table></div></b></td></tr></table>",
       "<table columns=\"1\"><tr><td><b>x</b></td></tr></table>"},
      {"below two formatting elements",
       "<table><tr><td><i><b><table><tr><td>x</td><td>y</td></tr></table></b></i>z</td></tr></table>",
       "<table columns=\"1\"><tr><td><i><b>x<br/>y<br/></b></i>z</td></tr></table>"},
      {"two levels down below formatting",
       "<table><tr><td><b><table><tr><td><i><table><tr><td>x</td></tr></table></i></td></tr></table></b></td></tr></table>",
       "<table columns=\"1\"><tr><td><b><i>x</i></b></td></tr></table>"},
  });
}

}  // namespace
}  // namespace quillmark
