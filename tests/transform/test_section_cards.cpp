// Sections: read as HTML, a named anchor begins a card of the deck, chained
// to the card before it.

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/transform/forms_tables_support.h"

namespace quillmark::testing {
namespace {

// The deck's cards, compacted, with the back key written [back].
std::string CardsOf(const std::string& deck) {
  std::string cards = Compact(deck);
  cards = cards.substr(cards.find("<wml>") + 5);
  cards.resize(cards.size() - std::strlen("</wml>"));
  return std::regex_replace(cards, std::regex("<do type=\"prev\" label=\"([^\"]*)\"><prev/></do>"), "[$1]");
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
  const std::regex card("<card id=\"([^\"]*)\"[^>]*>(.*?)</card>");
  const std::regex link("href=\"#([^\"]*)\"");
  const std::regex id(" id=\"([^\"]*)\"");
  const std::regex word("w[0-9]+");
  for (int page = 0; page < 300; ++page) {
    std::vector<std::string> words;
    const std::string text = RandomSectionedPage(random, words);
    const std::string deck = Compact(DeckOf(text));
    ASSERT_TRUE(IsWellFormedXml(deck)) << text;
    std::set<std::string> all;
    for (std::sregex_iterator at(deck.begin(), deck.end(), id), end; at != end; ++at) {
      EXPECT_TRUE(all.insert((*at)[1]).second) << (*at)[1] << " in " << text;
    }
    std::set<std::string> ids;
    for (std::sregex_iterator at(deck.begin(), deck.end(), card), end; at != end; ++at) {
      ids.insert((*at)[1]);
      const std::string shown = std::regex_replace((*at)[2].str(), std::regex("<[^>]*>|\\s|Next"), "");
      EXPECT_FALSE(shown.empty()) << text << "\n" << deck;
    }
    for (std::sregex_iterator at(deck.begin(), deck.end(), link), end; at != end; ++at) {
      EXPECT_TRUE(ids.contains((*at)[1])) << (*at)[1] << " in " << text;
    }
    std::vector<std::string> found;
    for (std::sregex_iterator at(deck.begin(), deck.end(), word), end; at != end; ++at) found.push_back(at->str());
    EXPECT_EQ(found, words) << text;
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
