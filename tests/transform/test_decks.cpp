// Whole decks through the conversion entry point: the pre-pass, the rewrite
// walk with the element rules, deck construction and the cleanup.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms_tables_support.h"

namespace quillmark {
namespace {

using testing::Compact;
using testing::DeckOf;
using testing::DeckWithSettings;
using testing::IsWellFormedXml;

constexpr char kHead[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
    "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\r\n"
    "<wml>\r\n";

// One card as the writer lays it out, holding one paragraph.
std::string Card(const std::string& id, const std::string& title, const std::string& paragraph,
                 const std::string& paragraphTag = "<p>") {
  return "<card id=\"" + id + "\" title=\"" + title + "\">\r\n" + paragraphTag + "\r\n" +
         (paragraph.empty() ? "" : paragraph + "\r\n") + "</p>\r\n</card>\r\n";
}

std::string Deck(const std::string& cards) { return kHead + cards + "</wml>\r\n"; }

struct DeckCase {
  const char* what;
  std::string page;
  std::string deck;
};

void ExpectDecks(const std::vector<DeckCase>& cases) {
  for (const DeckCase& c : cases) {
    const std::string deck = DeckOf(c.page);
    EXPECT_EQ(deck, c.deck) << c.what;
    EXPECT_TRUE(IsWellFormedXml(deck)) << c.what << "\n" << deck;
  }
}

TEST(Deck, DocumentStructure) {
  ExpectDecks({
      {"plain text", "Hello", Deck(Card("card1", "", "Hello"))},
      {"empty page", "", Deck(Card("card1", "", ""))},
      {"one p in the body is kept", "<html><body><p>one</p></body></html>",
       Deck(Card("card1", "", "one"))},
      {"page title becomes the card title",
       "<html><head><title> My Page </title></head><body>x</body></html>",
       Deck(Card("card1", "My Page", "x"))},
      {"the first title names the page, and no title shows", "<title>First</title><body><title>Second</title>x</body>",
       Deck(Card("card1", "First", "x"))},
      {"a head left open ends where the body begins", "<html><head><title>T</title><body>x</body></html>",
       Deck(Card("card1", "T", "x"))},
      {"so does a head opened twice", "<html><head><HEAD><title>T</title></head><body>x</body></html>",
       Deck(Card("card1", "T", "x"))},
      {"content after the body goes into it", "<html><body>one</body></html>\n<p>two</p>",
       Deck(Card("card1", "", "one<br/>two"))},
      {"and content before the page's html element, as a failed script writes it",
       "<b>Warning</b>: no menu<br/>\n<!DOCTYPE html>"
       "<html><head><title>T</title></head><body id=\"top\">x</body></html>",
       Deck(Card("top", "T", "<b>Warning</b>: no menu<br/>x"))},
      {"also after a line break tag that the page leaves open", "Debug: x<br>\n<html><body>y</body></html>",
       Deck(Card("card1", "", "Debug: x<br/>y"))},
      {"and content between the head and the body",
       "<html><head><title>T</title></head><div>menu</div><body>x</body></html>",
       Deck(Card("card1", "T", "menu<br/>x"))},
      {"so does a page joined after the page's end",
       "<html><body><p>one</p></body></html>\n<html><head><title>T</title></head><body><p>two</p></body></html>",
       Deck(Card("card1", "", "one<br/>two"))},
      {"the titles of inline pictures and formulas name them, not the page",
       "<html><head><title>T</title></head><body>a <svg><g><title>icon</title></g></svg> b<math><title>f</title>"
       "</math></body></html>",
       Deck(Card("card1", "T", "a icon bf"))},
      {"two bodies give two cards; an id stays", "<body>one</body><body id=\"main\">two</body>",
       Deck(Card("card1", "", "one") + Card("main", "", "two"))},
      {"an XML declaration and WML document type of the page stay",
       "<?xml version=\"1.0\"?>\n<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
       "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\n<wml><card><p>hi</p></card></wml>",
       Deck(Card("card1", "", "hi"))},
      {"other declarations go", "<!DOCTYPE html><html><body><?php x ?>t</body></html>",
       Deck(Card("card1", "", "t"))},
      {"the stray end tag goes before the rewrite", "<p>one</x>two</p>", Deck(Card("card1", "", "onetwo"))},
      {"blank formatting elements go", "<b></b><i> </i>x", Deck(Card("card1", "", "x"))},
      {"text is escaped", "a > b & c &Copy; &NBSP;", Deck(Card("card1", "", "a &gt; b &amp; c &#169; &nbsp;"))},
      {"content outside the page's wml element goes", "lost<wml><card><p>kept</p></card></wml>more",
       Deck(Card("card1", "", "kept"))},
      {"a body inside a heading gives its content to the heading", "<h1>x<body>y</body>z</h1>",
       Deck(Card("card1", "", "<b>xyz</b>"))},
      {"so does a card", "<h2>x<card>y", Deck(Card("card1", "", "<b>xy</b>"))},
      {"and a document element", "<h3>t<html>u", Deck(Card("card1", "", "<b>tu</b>"))},
      {"an end tag after a declaration of its name closes nothing", "<!wml></wml>x<?card?></card>y",
       Deck(Card("card1", "", "xy"))},
  });
}

TEST(Deck, FormattingHeadingsAndRules) {
  ExpectDecks({
      {"a heading after text gets breaks on both sides", "<p>Intro<h2>Title</h2>more</p>",
       Deck(Card("card1", "", "Intro<br/><b>Title</b><br/>more"))},
      {"a heading at the start of a paragraph gets a break after it", "<p><h2>Title</h2>more</p>",
       Deck(Card("card1", "", "<b>Title</b><br/>more"))},
      {"but none last in its card", "<p><h2>Title</h2></p>", Deck(Card("card1", "", "<b>Title</b>"))},
      {"a heading keeps bold text's attributes alone", "<h2 align=center style=s id=a>T</h2>x",
       Deck(Card("card1", "", "<b id=\"a\">T</b><br/>x"))},
      {"font sizes, a signed one relative to 3", "<font size=\"1\">a</font><font size=\"6\">b</font>"
                     "<font size=\"3\">c</font><font size=\"+1\">d</font><font size=\"-1\">e</font><font>f</font>"
                     "<font size=\"0\">g</font><font size=\"+3\">h</font><font size=\"-9\">i</font>",
       Deck(Card("card1", "", "<small>a</small><big>b</big>cd<small>e</small>fg<big>h</big><small>i</small>"))},
      {"center is a centred paragraph", "<center>x</center>", Deck(Card("card1", "", "x", "<p align=\"center\">"))},
      {"hr is a line break", "a<hr size=\"3\">b", Deck(Card("card1", "", "a<br/>b"))},
      {"spaces next to paragraph edges go, others stay", "<p> a <b>b</b> </p>",
       Deck(Card("card1", "", "a <b>b</b>"))},
      {"spaces after a space or next to a break go", "x <i> y</i> <br> z ", Deck(Card("card1", "", "x <i>y</i><br/>z"))},
      {"a self-closing select goes", "a<select/>b", Deck(Card("card1", "", "ab"))},
      {"formatting attributes are filtered", "<b class=\"c\" style=\"s\">x</b>",
       Deck(Card("card1", "", "<b class=\"c\">x</b>"))},
      {"p attributes are normalised", "<p align=\"RIGHT\" mode=\"odd\">x</p>",
       Deck(Card("card1", "", "x", "<p align=\"right\" mode=\"wrap\">"))},
  });
}

TEST(Deck, ImagesLinksAndAnchors) {
  ExpectDecks({
      {"image alt from the file name", "<img src=\"/pics/logo.gif\">",
       Deck(Card("card1", "", "<img src=\"/pics/logo.gif\" alt=\"logo.gif\"/>"))},
      {"image align and border; a picture without a source goes", "<img src=\"a\\b\\c.gif\" align=\"LEFT\" border=\"0\"><img>",
       Deck(Card("card1", "", "<img src=\"a\\b\\c.gif\" align=\"bottom\" alt=\"c.gif\"/>"))},
      {"the smallest of a srcset, else the alt text; a file name without its query, as it reads",
       "<img srcset=\"b.jpg 2x, s.jpg\" alt=P><img srcset=\"w.png 480w, n.png 320w\"><img alt=Q>"
       "<img src=\"/i/my%20logo.png?v=3#f\">",
       Deck(Card("card1", "", "<img alt=\"P\" src=\"s.jpg\"/><img src=\"n.png\" alt=\"n.png\"/>Q"
                              "<img src=\"/i/my%20logo.png?v=3#f\" alt=\"my logo.png\"/>"))},
      {"a spacer or counter of a pixel goes; a wide one parts the words beside it",
       "a<img src=s.gif width=1 height=1>b<img src=l.gif width=\"80\" height=\" 1px\">c<img src=p.gif width=1% height=10>",
       Deck(Card("card1", "", "ab c<img src=\"p.gif\" width=\"1%\" height=\"10\" alt=\"p.gif\"/>"))},
      {"a target's numeric references are read as a browser reads them, before its fragment and scheme",
       "<a href=\"caf&#233;.html#s&#45;1\">1</a> <a href=\"a.cgi?x=1&#38;y=2\">2</a> <a href=\"java&#x09;script:f()\">3</a>"
       "<img src=\"a&#46;gif\">",
       Deck(Card("card1", "", "<a href=\"caf\xC3\xA9.html#s-1\">1</a> <a href=\"a.cgi?x=1;y=2\">2</a> 3"
                              "<img src=\"a.gif\" alt=\"a.gif\"/>"))},
      {"a target's number of no character XML allows is U+FFFD, as in HTML", "<a href=\"a&#0;b&#xD800\">1</a>",
       Deck(Card("card1", "", "<a href=\"a\xEF\xBF\xBD" "b\xEF\xBF\xBD\">1</a>"))},
      {"link target escaped with the device's ampersand text", "<a href=\"page.asp?a=1&b=2\">L</a>",
       Deck(Card("card1", "", "<a href=\"page.asp?a=1;b=2\">L</a>"))},
      {"escaped link target stays", "<a href=\"page.asp?a=1&amp;b=2\" target=\"_top\">L</a>",
       Deck(Card("card1", "", "<a href=\"page.asp?a=1&amp;b=2\">L</a>"))},
      {"a link that shows nothing shows its title, its blanks beside it",
       "x<a href=p title=\"Next &amp; last\">\n<svg><path d=M/></svg>\n</a>y",
       Deck(Card("card1", "", "x <a href=\"p\" title=\"Next &amp; last\">Next &amp; last</a>y"))},
      {"one without a title goes, one with a picture stays",
       "a <a href=p> <b></b></a>b<a href=q><img src=i.gif></a>",
       Deck(Card("card1", "", "a b<a href=\"q\"><img src=\"i.gif\" alt=\"i.gif\"/></a>"))},
  });
  // Read by its tags alone, a page's named anchor makes a card of its content.
  CWmlSettings byTags;
  byTags.blockBreaks = 0;
  const struct {
    const char* what;
    const char* page;
    std::string deck;
  } anchors[] = {
      {"a named anchor starts a card", "<html><body>x<a name=\"top\">Top</a></body></html>",
       Deck(Card("card1", "", "x") + Card("top", "", "Top"))},
      {"a named anchor with a link is no link", "<html><body><a NAME=\"n\" HREF=\"x\" CLASS=\"k\">In</a></body></html>",
       "" + Deck(Card("card1", "", "") + "<card class=\"k\" id=\"n\" title=\"\">\r\n<p>\r\nIn\r\n</p>\r\n</card>\r\n")},
      {"a self-closing named anchor only goes", "x<a name=\"n\"/>y", Deck(Card("card1", "", "xy"))},
      {"a named anchor without a wml element keeps its content in place", "x<a name=\"n\">y</a>",
       Deck(Card("card1", "", "xy"))},
      {"a link that shows nothing stays", "x<a href=\"p\" title=\"t\"> </a>",
       Deck(Card("card1", "", "x<a href=\"p\" title=\"t\"></a>"))},
      {"a picture without a source stays", "<img><img src=\"a%20b.gif?v=1\">",
       Deck(Card("card1", "", "<img src=\"\" alt=\"\"/><img src=\"a%20b.gif?v=1\" alt=\"a%20b.gif?v=1\"/>"))},
  };
  for (const auto& c : anchors) EXPECT_EQ(Compact(DeckWithSettings(c.page, byTags)), Compact(c.deck)) << c.what;
}

TEST(Deck, SpacesAtTagEdges) {
  std::string images;
  std::string written;
  // Enough images that the walk back from the last space is remembered.
  for (int i = 0; i < 40; ++i) {
    images += "<img src=a.gif>";
    written += "<img src=\"a.gif\" alt=\"a.gif\"/>";
  }
  // Read by its tags alone, a page loses the spaces beside its pictures as
  // beside any tag but a line's, a paragraph's or a table's.
  CWmlSettings byTags;
  byTags.blockBreaks = 0;
  EXPECT_EQ(Compact(DeckWithSettings(" <img src=a.gif> <img src=b.gif> <img src=c.gif>", byTags)),
            Compact(Deck(Card("card1", "", "<img src=\"a.gif\" alt=\"a.gif\"/><img src=\"b.gif\" alt=\"b.gif\"/>"
                                           "<img src=\"c.gif\" alt=\"c.gif\"/>"))));
  // The first text in the italics is trimmed after the one behind it: the
  // space before "o" is needed once the italics end without one.
  EXPECT_EQ(Compact(DeckWithSettings("x<i>o  " + images + "<span>\n</i>\no", byTags)),
            Compact(Deck(Card("card1", "", "x<i>o" + written + "</i> o"))));
  ExpectDecks({
      {"spaces beside pictures and fields stay", " <img src=a.gif> <img src=b.gif> x <input name=q> y",
       Deck(Card("card1", "", "<img src=\"a.gif\" alt=\"a.gif\"/> <img src=\"b.gif\" alt=\"b.gif\"/> x \r\n"
                              "<input name=\"q\" type=\"text\"/>\r\n y"))},
  });
}

TEST(Deck, RemovedContentAndComments) {
  ExpectDecks({
      {"script, style and nowap vanish with their content",
       "a<script>if (a<b) x();</script>b<nowap>n</nowap>c<STYLE>p { color: red }</STYLE>d",
       Deck(Card("card1", "", "abcd"))},
      {"a frameset becomes the links of its frames", "<frameset><frame src=\"a\"></frameset>x",
       Deck(Card("card1", "", "<a href=\"a\">a</a><br/>x"))},
      {"comments are stripped by default", "a<!-- note -->b", Deck(Card("card1", "", "ab"))},
  });
  CWmlSettings keep;
  keep.stripComments = 0;
  EXPECT_EQ(Compact(DeckWithSettings("a<!-- note -->b", keep)), Compact(Deck(Card("card1", "", "a<!-- note -->b"))));
  EXPECT_EQ(Compact(DeckWithSettings("<b><!-- x --></b>", keep)), Compact(Deck(Card("card1", "", "<b><!-- x --></b>"))));
  CWmlSettings strip;
  EXPECT_EQ(Compact(DeckWithSettings("<b><!-- x --></b>", strip)), Compact(Deck(Card("card1", "", ""))));
}

TEST(Deck, DeclarationsComeFromTheSettings) {
  CWmlSettings settings;
  CopyField(settings.xmlVersion, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
  CopyField(settings.docType, "<!DOCTYPE wml PUBLIC \"-//EXAMPLE//DTD WML 1.1//EN\" \"x.dtd\">");
  CopyField(settings.ampersandText, "&amp;");
  EXPECT_EQ(Compact(DeckWithSettings("<a href=\"q?a&b\">x</a>", settings)),
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
            "<!DOCTYPE wml PUBLIC \"-//EXAMPLE//DTD WML 1.1//EN\" \"x.dtd\">"
            "<wml><card id=\"card1\" title=\"\"><p><a href=\"q?a&amp;b\">x</a></p></card></wml>");
}

// A page title is text, but it lands in an attribute: markup characters and
// quotes in it must not break the deck.
TEST(Deck, TitleIsSafeInTheCardAttribute) {
  ExpectDecks({
      {"ampersand and quotes", "<head><title>Q&A \"now\"</title></head>x",
       Deck(Card("card1", "Q&amp;A &quot;now&quot;", "x"))},
      {"an entity stays as written", "<head><title>Tom &amp; Jerry</title></head><body>x</body>",
       Deck(Card("card1", "Tom &amp; Jerry", "x"))},
  });
}

TEST(Deck, WmlElementsOfThePage) {
  ExpectDecks({
      {"do gets a lower-case type", "<do TYPE=\"Options\" label=\"o\" x=\"1\"><go href=\"a&b=1\"/></do>",
       Deck(Card("card1", "", "<do type=\"options\" label=\"o\">\r\n<go href=\"a;b=1\"/>\r\n</do>"))},
      {"do without type accepts", "<do><prev/></do>", Deck(Card("card1", "", "<do type=\"accept\">\r\n<prev/>\r\n</do>"))},
      {"go method and sendreferer", "<anchor>t<go href=\"u\" method=\"PUT\" sendreferer=\"YES\"></go></anchor>",
       Deck(Card("card1", "", "<anchor>t\r\n<go href=\"u\" method=\"get\" sendreferer=\"false\">\r\n</go>\r\n</anchor>"))},
      {"card attributes are normalised", "<card newcontext ordered=\"no\" foo=\"1\">x</card>",
       "" + std::string(kHead) + "<card newcontext=\"true\" ordered=\"true\" id=\"card1\" title=\"\">\r\n<p>\r\nx\r\n</p>\r\n</card>\r\n</wml>\r\n"},
  });
}

}  // namespace
}  // namespace quillmark
