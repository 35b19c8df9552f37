// Decks cut to a phone's limits: every compiled card and part within its
// limit unless it is one piece that cannot be cut, every word once and in
// order, every link and postfield kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/page_generator.h"
#include "interface/conversion.h"
#include "platform/transcoder.h"
#include "transform/deck_splitter.h"
#include "transform/forms_tables_support.h"
#include "transform/wmlc_encoder.h"

namespace quillmark {
namespace {

constexpr char kNext[] = "QMNEXT";
constexpr char kBack[] = "QMBACK";
constexpr char kFirst[] = "page.wml";
constexpr char kPattern[] = "page-{n}.wml";
// A host's long address for a part: the links the parting writes grow.
constexpr char kLongPattern[] = "page-of-a-site-with-a-rather-long-name-{n}.wml";

// A configuration read from `text` (the built-in defaults for "").
std::shared_ptr<const DeviceConfiguration> ConfigurationOf(std::string text) {
  auto configuration = std::make_shared<DeviceConfiguration>();
  if (!text.empty()) configuration->parseText(text.data());
  configuration->finish();
  return configuration;
}

std::string DeckOf(const std::string& page) { return MakeDeck(ConfigurationOf(""), nullptr, page, ""); }

// A generated page with named anchors, so that its deck has several cards
// and links between them.
std::string PageWithAnchors(size_t bytes, uint32_t seed) {
  std::string page = bench::RealisticPage(bytes, seed);
  int anchor = 0;
  for (size_t at = page.find("<h2>"); at != std::string::npos; at = page.find("<h2>", at + 40)) {
    const std::string name = "s" + std::to_string(++anchor);
    const std::string inserted = "<a name=\"" + name + "\"></a><p>see <a href=\"#s" +
                                 std::to_string(anchor / 2 + 1) + "\">earlier</a></p>";
    page.insert(at, inserted);
    at += inserted.size();
  }
  return page;
}

// The pieces of `text` from each `open` to the end of the next `close`.
std::vector<std::string> All(const std::string& text, const std::string& open, const std::string& close) {
  std::vector<std::string> found;
  for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
    const size_t end = text.find(close, at + open.size());
    if (end == std::string::npos) break;
    found.push_back(text.substr(at, end + close.size() - at));
  }
  return found;
}

std::vector<std::string> CardsOf(const std::string& deck) { return All(deck, "<card", "</card>"); }

// `text` with every `piece` taken out.
std::string Without(std::string text, const std::string& piece) {
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at)) text.erase(at, piece.size());
  return text;
}

// The deck without the links and keys that cutting adds.
std::string WithoutAddedNavigation(std::string deck) {
  deck = Without(deck, "<do type=\"prev\" label=\"" + std::string(kBack) + "\"><prev/></do>");
  const std::string label = "\">" + std::string(kNext) + "</a>";
  for (size_t at = deck.find(label); at != std::string::npos; at = deck.find(label, at)) {
    size_t start = deck.rfind("<a href=\"", at);
    if (start >= 5 && deck.compare(start - 5, 5, "<br/>") == 0) start -= 5;
    deck.erase(start, at + label.size() - start);
    at = start;
  }
  return deck;
}

// The words of the cards' texts in order; a line break separates words.
std::vector<std::string> WordsOf(const std::string& deck) {
  std::vector<std::string> words;
  for (const std::string& card : CardsOf(WithoutAddedNavigation(deck))) {
    std::string word;
    bool inTag = false;
    for (size_t i = 0; i < card.size(); ++i) {
      const char c = card[i];
      const bool lineBreak = card.compare(i, 5, "<br/>") == 0;
      if (c == '<') inTag = true;
      const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
      if ((lineBreak || (!inTag && blank)) && !word.empty()) {
        words.push_back(word);
        word.clear();
      }
      if (!inTag && !blank) word += c;
      if (c == '>') inTag = false;
    }
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

// Link targets and postfields, with the address of another part taken off.
std::vector<std::string> LinksOf(const std::string& deck) {
  const std::string text = WithoutAddedNavigation(deck);
  std::vector<std::string> links = All(text, "<postfield ", ">");
  for (std::string link : All(text, "href=\"", "\"")) {
    link = link.substr(0, link.find('"', 6) + 1);
    const size_t hash = link.find('#');
    // An address of a part ("page.wml#x", "page-3.wml#x") comes off.
    if (hash != std::string::npos && link.compare(6, 4, "page") == 0 && link.compare(hash - 4, 4, ".wml") == 0) {
      link.erase(6, hash - 6);
    }
    links.push_back(link);
  }
  std::sort(links.begin(), links.end());
  return links;
}

// A card above its limit must be one piece: a single word, or a form control
// held together with the go that posts it.
bool IsOnePiece(const std::string& card) {
  const std::string content = WithoutAddedNavigation(card);
  if (content.find("<input") != std::string::npos || content.find("<select") != std::string::npos) return true;
  return WordsOf("<card>" + content + "</card>").size() <= 1;
}

size_t CompiledAlone(const std::string& prologue, const std::string& card) {
  return CompiledWmlcSize(prologue + card + "</wml>");
}

void ExpectWithinLimits(const std::vector<std::string>& parts, const DeckLimits& limits, const std::string& trace) {
  for (const std::string& part : parts) {
    EXPECT_TRUE(testing::IsWellFormedXml(part)) << trace;
    const std::string prologue = part.substr(0, part.find("<wml>") + 5);
    const std::vector<std::string> cards = CardsOf(part);
    for (const std::string& text : cards) {
      if (limits.maxCardSize == 0 || CompiledAlone(prologue, text) <= static_cast<size_t>(limits.maxCardSize)) continue;
      EXPECT_TRUE(IsOnePiece(text)) << trace << " card of " << CompiledAlone(prologue, text) << ":\n" << text;
    }
    // Cards that cutting made (they have its back key) each show something.
    for (const std::string& text : cards) {
      if (text.find(kBack) == std::string::npos) continue;
      const std::string content = WithoutAddedNavigation(text);
      EXPECT_TRUE(!WordsOf("<card>" + content + "</card>").empty() || content.find("<img") != std::string::npos)
          << trace << " a card that shows nothing:\n" << text;
    }
    if (limits.maxDeckSize == 0 || CompiledWmlcSize(part) <= static_cast<size_t>(limits.maxDeckSize)) continue;
    EXPECT_TRUE(cards.size() == 1 && IsOnePiece(cards.front()))
        << trace << " part of " << CompiledWmlcSize(part) << ":\n" << part;
  }
}

TEST(DeckSplitting, KeepsEveryWordAndLinkWithinTheLimits) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int64_t> limit(300, 20000);
  // The last page is laid out as sites were: its text, without forms, in
  // one cell of a table beside a column of links.
  std::string text = bench::RealisticPage(50000, 5);
  for (size_t at = text.find("<form"); at != std::string::npos; at = text.find("<form", at)) {
    text.erase(at, text.find("</form>", at) + 7 - at);
  }
  const std::string laidOut = "<html><body><table><tr><td><a href=\"/a\">Home</a> <a href=\"/b\">News</a></td><td>" +
                              text.substr(text.find("<body>") + 6, 40000) + "</td></tr></table></body></html>";
  const std::vector<std::string> pages = {PageWithAnchors(6000, 1), PageWithAnchors(20000, 2),
                                          bench::StructuredPage(5000), laidOut};
  for (const std::string& page : pages) {
    const std::string deck = DeckOf(page);
    const std::vector<std::string> words = WordsOf(deck);
    const std::vector<std::string> links = LinksOf(deck);
    ASSERT_GT(words.size(), 100u);
    ASSERT_GT(links.size(), 10u);
    for (int round = 0; round < 6; ++round) {
      DeckLimits limits{round % 3 == 2 ? 0 : limit(random), round % 3 == 1 ? 0 : limit(random), kNext, kBack};
      const std::string trace = "card " + std::to_string(limits.maxCardSize) + ", deck " +
                                std::to_string(limits.maxDeckSize);
      const std::vector<std::string> parts = SplitDeck(deck, limits, PartLinks{kFirst, kPattern});
      ExpectWithinLimits(parts, limits, trace);
      std::string all;
      for (const std::string& part : parts) all += part;
      EXPECT_EQ(WordsOf(all), words) << trace;
      std::vector<std::string> kept = LinksOf(all);
      // Links to a card of a chain other than its first are new.
      std::erase_if(kept, [](const std::string& found) { return found.find("-") != std::string::npos &&
                                                                found.starts_with("href=\"#"); });
      EXPECT_EQ(kept, links) << trace;
      // A card that opens the laid-out row again keeps the text in its
      // column, behind an empty first cell.
      const std::string reopened = "<p><table columns=\"2\"><tr>";
      const size_t first = page == laidOut ? all.find(reopened) : std::string::npos;
      for (size_t at = first; at != std::string::npos; at = all.find(reopened, at + 1)) {
        EXPECT_EQ(all.compare(at + reopened.size(), 5, "<td/>"), 0) << trace << ": " << all.substr(at, 80);
      }
    }
  }
}

// Every part holds the deck's head, and keeps to the limit also where the
// head is a large share of it, and where a table row is larger than it.
TEST(DeckSplitting, PartsWithTheDecksHeadKeepToTheLimit) {
  std::string row = "<table><tr><td>ROWSTART";
  for (int i = 0; i < 600; ++i) row += " cell" + std::to_string(i);
  row += "</td></tr></table>";
  const std::string text = bench::RealisticPage(12000, 9);
  const std::string body = text.substr(text.find("<body>") + 6);
  const std::string small = "<meta name=\"generator\" content=\"A Stylesheet, Version 1.79\">";
  // Six metas of 60 letters each, none like another, so that the string
  // table does not make them small.
  std::string large;
  for (int i = 0; i < 6; ++i) {
    large += "<meta name=\"m" + std::to_string(i) + "\" content=\"";
    for (int j = 0; j < 60; ++j) large += static_cast<char>('a' + (i * 7 + j * 3) % 26);
    large += "\">";
  }
  const std::string pages[] = {"<html><head>" + small + "</head><body>" + row + body + "</html>",
                               "<html><head>" + large + "</head><body><p>" + body.substr(0, 1400) + "</p></html>"};
  for (const std::string& page : pages) {
    const std::string deck = DeckOf(page);
    ASSERT_NE(deck.find("<head><meta"), std::string::npos);
    for (const int64_t limit : {1400, 2500}) {
      const std::vector<std::string> parts =
          SplitDeck(deck, DeckLimits{0, limit, kNext, kBack}, PartLinks{kFirst, kPattern});
      EXPECT_EQ(parts.size() > 1, CompiledWmlcSize(deck) > static_cast<size_t>(limit));
      for (const std::string& part : parts) EXPECT_LE(CompiledWmlcSize(part), static_cast<size_t>(limit)) << part;
    }
  }
}

// The parting makes links longer: to the next part, and to a card that
// landed in another part, at the host's address. Cards keep to the card
// limit as they are written.
TEST(DeckSplitting, CardsKeepToTheLimitWithTheLinksThePartingWrites) {
  const std::string deck = DeckOf(PageWithAnchors(20000, 4));
  for (const int64_t card : {500, 900, 1400, 2500}) {
    const DeckLimits limits{card, 3 * card, kNext, kBack};
    ExpectWithinLimits(SplitDeck(deck, limits, PartLinks{kFirst, kLongPattern}), limits,
                       "card " + std::to_string(card));
  }
}

TEST(DeckSplitting, ChainsCardsAndLinksParts) {
  const std::string deck = DeckOf(PageWithAnchors(6000, 3));
  const std::vector<std::string> parts = SplitDeck(deck, DeckLimits{600, 2000, kNext, kBack}, PartLinks{kFirst, kPattern});
  ASSERT_GT(parts.size(), 2u);
  for (size_t k = 0; k < parts.size(); ++k) {
    // Each part but the last leads to the next one.
    const std::string next = "href=\"page-" + std::to_string(k + 2) + ".wml";
    EXPECT_EQ(parts[k].find(next) != std::string::npos, k + 1 < parts.size()) << k;
    EXPECT_NE(parts[k].find("<do type=\"prev\" label=\"QMBACK\"><prev/></do>"), std::string::npos);
  }
  // A section's card cut to the limit keeps its id on its first piece and
  // numbers the next ones on from it.
  std::string all;
  for (const std::string& part : parts) all += part;
  EXPECT_NE(all.find("<card id=\"s4\""), std::string::npos);
  EXPECT_NE(all.find("<card id=\"s4-2\""), std::string::npos);
}

// A card cut into many pieces numbers them on from its id, passing over the
// ids that other cards already have.
TEST(DeckSplitting, ChainedCardsTakeIdsNoOtherCardHas) {
  const std::string text = bench::RealisticPage(4000, 5);
  const std::string body = text.substr(text.find("<body>") + 6);
  const std::string deck = DeckOf("<html><body>" + body + "<a name=\"card1-3\"></a>" + body);
  std::vector<std::string> ids;
  for (const std::string& part : SplitDeck(deck, DeckLimits{300, 0, kNext, kBack}, PartLinks{kFirst, kPattern})) {
    for (const std::string& tag : All(part, "<card id=\"", "\"")) ids.push_back(tag.substr(10, tag.size() - 11));
  }
  std::vector<std::string> chain;
  std::copy_if(ids.begin(), ids.end(), std::back_inserter(chain),
               [](const std::string& id) {
                 return id.starts_with("card1-") && id.find('-', 6) == std::string::npos && id != "card1-3";
               });
  ASSERT_GT(chain.size(), 4u);
  for (size_t i = 0; i < chain.size(); ++i) {
    const size_t number = i == 0 ? 2 : i + 3;
    EXPECT_EQ(chain[i], "card1-" + std::to_string(number)) << i;
  }
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
}

TEST(DeckSplitting, LeavesDecksWithinTheLimitsAsTheyAre) {
  const std::string deck = DeckOf(bench::RealisticPage(3000));
  for (const DeckLimits& limits : {DeckLimits{}, DeckLimits{20000, 0}, DeckLimits{0, 20000}, DeckLimits{20000, 20000}}) {
    EXPECT_EQ(SplitDeck(deck, limits, PartLinks{kFirst, kPattern}), std::vector<std::string>{deck});
  }
}

TEST(DeckSplitting, NeverCutsALinkAnOptionListOrAControlFromItsGo) {
  std::string words;
  for (int i = 0; i < 60; ++i) words += "word" + std::to_string(i) + " ";
  const std::string page = "<p>" + words + "a b c <a href=\"x.html\">one two three four five six</a> d e "
                           "<form action=\"/f\">Name <input name=q> more words here <select name=s>"
                           "<option>alpha beta</option><option>gamma delta</option></select>"
                           " <input type=submit value=Go></form> end " + words + "</p>";
  const std::string deck = DeckOf(page);
  const std::vector<std::string> parts = SplitDeck(deck, DeckLimits{300, 0, kNext, kBack}, PartLinks{});
  ASSERT_EQ(parts.size(), 1u);
  const std::vector<std::string> cards = CardsOf(parts[0]);
  ASSERT_GT(cards.size(), 1u);
  const auto holding = [&](const std::string& text) {
    return std::count_if(cards.begin(), cards.end(), [&](const std::string& c) { return c.find(text) != std::string::npos; });
  };
  EXPECT_EQ(holding("one two three four five six"), 1);
  // The options share a card, and so do the field q and the go that posts $(q).
  for (const std::string& c : cards) {
    EXPECT_EQ(c.find("alpha beta") != std::string::npos, c.find("gamma delta") != std::string::npos) << c;
    EXPECT_EQ(c.find("name=\"q\"") != std::string::npos, c.find("value=\"$(q)\"") != std::string::npos) << c;
  }
}

TEST(DeckParts, ComeThroughTheExportedInterface) {
  const auto configuration =
      ConfigurationOf("DEVICE_GROUP=G\nMAX_DECK_SIZE=1500\nNEXT_LABEL=Onward\nDEVICE=DEFAULT\nGROUP=G\n");
  const std::string page = PageWithAnchors(8000, 4);
  DeckRequest request;
  request.links = PartLinks{"", "/p?x=1&qm-part={n}"};
  std::vector<char> buffer(1 << 20);
  int32_t parts = 0;
  const int32_t first = ConvertPart(configuration, nullptr, page.data(), static_cast<int32_t>(page.size()), request,
                                    buffer.data(), static_cast<int32_t>(buffer.size()), &parts);
  ASSERT_GT(first, 0);
  ASSERT_GT(parts, 1);
  const std::string deck(buffer.data(), static_cast<size_t>(first));
  EXPECT_NE(deck.find("<a href=\"/p?x=1&amp;qm-part=2"), std::string::npos) << deck;
  EXPECT_NE(deck.find(">Onward</a>"), std::string::npos) << deck;
  request.compiled = true;
  request.part = parts;
  const int32_t last = ConvertPart(configuration, nullptr, page.data(), static_cast<int32_t>(page.size()), request,
                                   buffer.data(), static_cast<int32_t>(buffer.size()), &parts);
  EXPECT_GT(last, 0);
  EXPECT_LE(last, 1500);
  request.part = parts + 1;
  EXPECT_EQ(ConvertPart(configuration, nullptr, page.data(), static_cast<int32_t>(page.size()), request,
                        buffer.data(), static_cast<int32_t>(buffer.size()), &parts),
            0);
}

// One conversion gives every part exactly as asking for each part does, and
// nothing when the room for the bytes or for the offsets falls one short.
TEST(DeckParts, AllAtOnceAreThePartsOneByOne) {
  const auto configuration = ConfigurationOf("DEVICE_GROUP=G\nMAX_DECK_SIZE=1500\nDEVICE=DEFAULT\nGROUP=G\n");
  const std::string page = PageWithAnchors(8000, 4);
  const auto pageLength = static_cast<int32_t>(page.size());
  std::vector<char> buffer(1 << 20);
  const auto room = static_cast<int32_t>(buffer.size());
  for (const bool compiled : {false, true}) {
    DeckRequest request;
    request.compiled = compiled;
    std::vector<int32_t> ends(64);
    int32_t parts = 0;
    const int32_t total = ConvertParts(configuration, nullptr, page.data(), pageLength, request, buffer.data(), room,
                                       ends.data(), static_cast<int32_t>(ends.size()), &parts);
    ASSERT_GT(parts, 1);
    ASSERT_EQ(total, ends[static_cast<size_t>(parts - 1)]);
    const std::string all(buffer.data(), static_cast<size_t>(total));
    int32_t start = 0;
    for (int32_t part = 1; part <= parts; start = ends[static_cast<size_t>(part - 1)], ++part) {
      request.part = part;
      std::vector<char> one(1 << 20);
      int32_t count = 0;
      const int32_t length = ConvertPart(configuration, nullptr, page.data(), pageLength, request, one.data(),
                                         static_cast<int32_t>(one.size()), &count);
      EXPECT_EQ(count, parts);
      const size_t withZero = static_cast<size_t>(length) + (compiled ? 0 : 1);
      EXPECT_EQ(all.substr(static_cast<size_t>(start), static_cast<size_t>(ends[static_cast<size_t>(part - 1)] - start)),
                std::string(one.data(), withZero))
          << "part " << part;
    }
    int32_t count = 0;
    EXPECT_EQ(ConvertParts(configuration, nullptr, page.data(), pageLength, request, buffer.data(), total - 1,
                           ends.data(), parts, &count),
              0);
    EXPECT_EQ(count, parts);
    EXPECT_EQ(ConvertParts(configuration, nullptr, page.data(), pageLength, request, buffer.data(), room, ends.data(),
                           parts - 1, &count),
              0);
    EXPECT_EQ(count, parts);
  }
}

// A deck in an encoding whose bytes are no ASCII markup is cut and compiled
// from its UTF-8 text: each compiled part is a UTF-8 deck within the limit,
// each text part is in the encoding and holds the words of its cards.
TEST(DeckParts, ADeckInAnEncodingOfOtherBytesIsCutFromItsText) {
  std::string page = "<p>";
  for (int i = 0; i < 300; ++i) page += "\xE8\xAA\x9E" + std::to_string(i) + " caf\xC3\xA9 ";
  page += "end</p>";
  const auto pageLength = static_cast<int32_t>(page.size());
  // ARMSCII-8 keeps ASCII, but WBXML has no number for it.
  for (const char* encoding : {"UTF-16", "ISO-2022-JP", "ARMSCII-8"}) {
    SCOPED_TRACE(encoding);
    const auto configuration = ConfigurationOf(std::string("DEVICE_GROUP=G\nXMLVERSION=\"<?xml version=\\\"1.0\\\" "
                                                           "encoding=\\\"") +
                                               encoding + "\\\"?>\"\nMAX_DECK_SIZE=1500\nDEVICE=DEFAULT\nGROUP=G\n");
    std::vector<char> buffer(1 << 20);
    std::vector<int32_t> ends(64);
    int32_t parts = 0;
    for (const bool compiled : {false, true}) {
      DeckRequest request;
      request.compiled = compiled;
      const int32_t total = ConvertParts(configuration, nullptr, page.data(), pageLength, request, buffer.data(),
                                         static_cast<int32_t>(buffer.size()), ends.data(), 64, &parts);
      ASSERT_GT(total, 0);
      ASSERT_GT(parts, 1);
      std::string text;
      for (int32_t part = 0, start = 0; part < parts; start = ends[static_cast<size_t>(part)], ++part) {
        const std::string bytes(buffer.data() + start, static_cast<size_t>(ends[static_cast<size_t>(part)] - start));
        if (compiled) {
          EXPECT_LE(bytes.size(), 1500u);
          EXPECT_EQ(static_cast<uint8_t>(bytes[2]), kWmlcUtf8) << "the charset of the compiled strings";
          text += bytes;
        } else {
          text += DecodeToUtf8(bytes.substr(0, bytes.size() - 1), encoding).value_or("");
        }
      }
      // An encoding without the character writes it as a reference.
      const char* const kWord = std::string_view(encoding) == "ARMSCII-8" && !compiled ? "&#35486;" : "\xE8\xAA\x9E";
      for (const std::string& word : {kWord + std::string("0"), kWord + std::string("299"), std::string("end")}) {
        EXPECT_NE(text.find(word), std::string::npos) << word << (compiled ? " compiled" : " as text");
      }
    }
  }
}

}  // namespace
}  // namespace quillmark
