// Sections: read as HTML, a named anchor begins a card of the deck, chained
// to the card before it.

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/transform/forms_tables_support.h"

namespace quillmark::testing {
namespace {

// The deck's cards, compacted, with each back key written [its label].
std::string CardsOf(const std::string& deck) {
  std::string cards = Compact(deck);
  cards = cards.substr(cards.find("<wml>") + 5);
  cards.resize(cards.size() - std::strlen("</wml>"));
  const std::string open = "<do type=\"prev\" label=\"";
  const std::string close = "\"><prev/></do>";
  for (std::size_t at = cards.find(open); at != std::string::npos; at = cards.find(open, at)) {
    const std::size_t end = cards.find(close, at);
    cards.replace(at, end + close.size() - at, "[" + cards.substr(at + open.size(), end - at - open.size()) + "]");
  }
  return cards;
}

// The values of every `attribute="..."` in `text`, in order.
std::vector<std::string> ValuesOf(const std::string& text, const std::string& attribute) {
  std::vector<std::string> values;
  const std::string open = attribute + "=\"";
  for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
    at += open.size();
    values.push_back(text.substr(at, text.find('"', at) - at));
  }
  return values;
}

// The deck's text without its tags and the chain's links.
std::string ShownText(std::string text) {
  std::string shown;
  bool inTag = false;
  for (const char c : text) {
    if (c == '<' || c == '>') inTag = c == '<';
    if (!inTag && c != '>') shown += c;
  }
  for (std::size_t at = shown.find("Next"); at != std::string::npos; at = shown.find("Next", at)) shown.erase(at, 4);
  return shown;
}

// The numbered words ("w12") of `text`, in order.
std::vector<std::string> WordsOf(const std::string& text) {
  std::vector<std::string> words;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const bool starts = text[at] == 'w' && (at == 0 || !std::isalnum(static_cast<unsigned char>(text[at - 1])));
    if (!starts || at + 1 >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at + 1]))) continue;
    std::size_t end = at + 1;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

TEST(SectionCards, ANamedAnchorBeginsACardChainedToTheOneBefore) {
  const struct {
    const char* what;
    const char* page;
    const char* cards;
  } cases[] = {
      {"the elements around the cut close and open again", "a <b>b <i>i<a name=m></a>j</i></b> c",
       "<card id=\"card1\" title=\"\"><p>a <b>b <i>i</i></b><br/><a href=\"#m\">Next</a></p></card>"
       "<card id=\"m\" title=\"\"><p><b><i>j</i></b> c</p>[Back]</card>"},
      {"an anchor before anything shown names the card it stands in",
       "<html><body><a name=top></a><p>x <a href=#top>t</a></body></html>",
       "<card id=\"top\" title=\"\"><p>x <a href=\"#top\">t</a></p></card>"},
      {"after everything shown, links to it go to its card", "x <a href=#end>e</a><a name=end>",
       "<card id=\"card1\" title=\"\"><p>x <a href=\"#card1\">e</a></p></card>"},
      {"marks with nothing between them make one card", "a<a name=p></a> <a name=q></a>b <a href=#q>q</a>",
       "<card id=\"card1\" title=\"\"><p>a<br/><a href=\"#p\">Next</a></p></card>"
       "<card id=\"p\" title=\"\"><p>b <a href=\"#p\">q</a></p>[Back]</card>"},
      {"a table is not cut: its card begins before it",
       "a<table><tr><td>x<a name=t></a>y</td></tr></table><a name=u></a>z",
       "<card id=\"card1\" title=\"\"><p>a<br/><a href=\"#t\">Next</a></p></card><card id=\"t\" title=\"\"><p>"
       "<table columns=\"1\"><tr><td>xy</td></tr></table><br/><a href=\"#u\">Next</a></p>[Back]</card>"
       "<card id=\"u\" title=\"\"><p>z</p>[Back]</card>"},
      {"a named anchor with a target stays a link", "a<a name=n href=x.html>L</a>",
       "<card id=\"card1\" title=\"\"><p>a<br/><a href=\"#n\">Next</a></p></card>"
       "<card id=\"n\" title=\"\"><p><a href=\"x.html\">L</a></p>[Back]</card>"},
      {"an element a link names begins a card, which takes its id", "<a href=#i>go</a> x<h2 id=i>H</h2>y<b id=i>",
       "<card id=\"card1\" title=\"\"><p><a href=\"#i\">go</a> x<br/><a href=\"#i\">Next</a></p></card>"
       "<card id=\"i\" title=\"\"><p><b>H</b><br/>y</p>[Back]</card>"},
      {"a link to its own place begins no card: the link, its heading, or what holds the heading",
       "a<h2 id=h><a href=#h>H</a></h2>b<div id=d><a href=#d>[d]</a> c</div><a id=s href=#s>#</a>"
       "<section id=t><h3>T <a href=#t>&para;</a></h3></section>",
       "<card id=\"card1\" title=\"\"><p>a<br/><b id=\"h\">H</b><br/>b<br/>[d] c<br/>#<br/><b>T &#182;</b></p></card>"},
      {"a link from further down leads to what holds it", "<div id=top>x<div><p>y <a href=#top>Up</a></div></div>",
       "<card id=\"top\" title=\"\"><p>x<br/>y <a href=\"#top\">Up</a></p></card>"},
      {"an element's id is made one XML takes, given once, and an empty one goes",
       "<h2 id=\"\">a</h2><h3 id=8-bit>b</h3><i id=_8-bit>d</i><b id=\"a&amp;b\">f</b>",
       "<card id=\"card1\" title=\"\"><p><b>a</b><br/><b id=\"_8-bit\">b</b><br/><i>d</i><b id=\"_a_amp_b\">f</b></p>"
       "</card>"},
      {"a name that is no XML id is made one, in links from any page too",
       "<a href=#12.1>go</a> <a href=\"o.html#--f\">o</a> x<a name=12.1></a>y",
       "<card id=\"card1\" title=\"\"><p><a href=\"#_12.1\">go</a> <a href=\"o.html#_--f\">o</a> x<br/>"
       "<a href=\"#_12.1\">Next</a></p></card><card id=\"_12.1\" title=\"\"><p>y</p>[Back]</card>"},
  };
  for (const auto& c : cases) {
    const std::string deck = DeckOf(c.page);
    EXPECT_EQ(CardsOf(deck), c.cards) << c.what;
    EXPECT_TRUE(IsWellFormedXml(deck)) << c.what;
  }
  CWmlSettings labels;
  std::strcpy(labels.nextLabel, "More >");
  std::strcpy(labels.backLabel, "\"Up\"");
  EXPECT_EQ(CardsOf(DeckWithSettings("a<a name=n></a>b", labels)),
            "<card id=\"card1\" title=\"\"><p>a<br/><a href=\"#n\">More &gt;</a></p></card>"
            "<card id=\"n\" title=\"\"><p>b</p>[&quot;Up&quot;]</card>");
}

// A page of numbered words with named anchors, bold, paragraphs, tables,
// lists and links to the anchors, at random; `words` gets its words in order.
std::string RandomSectionedPage(std::mt19937& random, std::vector<std::string>& words) {
  std::string page = "<html><body>";
  int anchors = 0;
  int open = 0;  // open b elements
  for (int piece = 0; piece < 40; ++piece) {
    const std::string word = "w" + std::to_string(words.size());
    switch (random() % 10) {
      case 8:
        page += "<h3 id=n" + std::to_string(random() % (anchors + 2)) + ">" + word + "</h3>";
        words.push_back(word);
        break;
      case 0:
      case 1:
        page += "<a name=n" + std::to_string(anchors++) + "></a>";
        break;
      case 2:
        page += "<b>";
        ++open;
        break;
      case 3:
        if (open > 0) page += "</b>", --open;
        break;
      case 4:
        page += "<p>";
        break;
      case 5:
        page += "<table><tr><td>" + word + " <a name=n" + std::to_string(anchors++) + "></a></td></tr></table>";
        words.push_back(word);
        break;
      case 6:
        page += "<a href=#n" + std::to_string(random() % (anchors + 1)) + ">" + word + "</a> ";
        words.push_back(word);
        break;
      case 7:
        page += "<ul><li>" + word + "</ul>";
        words.push_back(word);
        break;
      default:
        page += word + " ";
        words.push_back(word);
    }
  }
  return page + "</body></html>";
}

// Every card shows something, ids differ, every link within the deck names
// one of its cards, and the page's words stand in order, once each.
TEST(SectionCards, EveryCardShowsSomethingAndEveryWordStaysInOrder) {
  std::mt19937 random(11);
  for (int page = 0; page < 300; ++page) {
    std::vector<std::string> words;
    const std::string text = RandomSectionedPage(random, words);
    const std::string deck = Compact(DeckOf(text));
    ASSERT_TRUE(IsWellFormedXml(deck)) << text;
    std::set<std::string> ids;
    for (const std::string& id : ValuesOf(deck, " id")) EXPECT_TRUE(ids.insert(id).second) << id << " in " << text;
    std::set<std::string> cards;
    for (std::size_t at = deck.find("<card "); at != std::string::npos; at = deck.find("<card ", at + 1)) {
      const std::string card = deck.substr(at, deck.find("</card>", at) - at);
      cards.insert(ValuesOf(card, " id").front());
      const std::string shown = ShownText(card);
      EXPECT_NE(shown.find_first_not_of(" "), std::string::npos) << text << "\n" << deck;
    }
    for (const std::string& href : ValuesOf(deck, "href")) {
      if (!href.starts_with("#")) continue;
      EXPECT_TRUE(cards.contains(href.substr(1))) << href << " in " << text;
    }
    EXPECT_EQ(WordsOf(deck), words) << text;
  }
}

// Read by its tags alone, a named anchor's content is a card of its own, as
// before sections existed.
TEST(SectionCards, TheKeyRestoresAnchorCards) {
  CWmlSettings off;
  off.blockBreaks = 0;
  EXPECT_EQ(CardsOf(DeckWithSettings("<html><body>a<a name=n></a>b</body></html>", off)),
            "<card id=\"card1\" title=\"\"><p>ab</p></card><card id=\"n\" title=\"\"><p></p></card>");
}

}  // namespace
}  // namespace quillmark::testing
