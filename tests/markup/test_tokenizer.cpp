// The tokenizer, tested whole: a collecting parser records every token it is
// handed, so the cuts are checked byte by byte without tree building.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "markup/xml_parser.h"

namespace quillmark {
namespace {

// Records each token as its text, then "|name" and "|attr=value" per
// attribute when the token has a name.
class CollectingParser final : public CCustomXmlParser {
 public:
  std::vector<std::string> tokens;
  std::vector<CXmlNode*> targets;

 protected:
  void OnElement(CXmlNode* target, CXmlObject& token) override {
    targets.push_back(target);
    std::string described = token.GetText();
    if (token.GetName() != nullptr) {
      described += std::string("|") + token.GetName();
      for (int32_t i = 0; i < token.GetAttributeCount(); ++i) {
        described += std::string("|") + token.GetAttributeName(i) + "=" + token.GetAttributeValue(i);
      }
    }
    tokens.push_back(std::move(described));
  }
};

std::vector<std::string> Tokens(const std::string& page,
                                const MarkerWords& words = DefaultMarkerWords()) {
  CollectingParser parser;
  parser.Parse(nullptr, page.data(), static_cast<int32_t>(page.size()), words);
  return parser.tokens;
}

using TokenList = std::vector<std::string>;

struct TokenCase {
  std::string page;
  TokenList expected;
};

void ExpectTokens(const TokenCase* begin, const TokenCase* end) {
  for (const TokenCase* c = begin; c != end; ++c) {
    EXPECT_EQ(Tokens(c->page), c->expected) << "page: " << c->page;
  }
}

TEST(Tokenizer, DataAndTags) {
  const TokenCase cases[] = {
      {"Hello", {"Hello"}},
      {"", {}},
      {"x", {"x"}},
      {"<", {"<"}},
      {">", {">"}},
      {"<p>Hi</p>", {"<p>|p", "Hi", "</p>|p"}},
      {"<p>\n<b>", {"<p>|p", "\n", "<b>|b"}},
      {"abc<b", {"abc"}},
      {"abc<", {"abc<"}},
      {"abc>", {"abc>"}},
      {"a > b", {"a > b"}},
      {"<a <b>", {"<a ", "<b>|b"}},
      {"<<b>", {"<", "<b>|b"}},
      {"<p><br/>x", {"<p>|p", "<br/>|br", "x"}},
      {"<>", {"<>"}},
      {"<>x", {"<>", "x"}},
      {"< >", {"< >|"}},
      {"say \"hi <b>", {"say \"hi ", "<b>|b"}},
      {"it's <b>x", {"it's ", "<b>|b", "x"}},
  };
  ExpectTokens(std::begin(cases), std::end(cases));
}

TEST(Tokenizer, QuotesShieldTheTagEnd) {
  const TokenCase cases[] = {
      {"<a title=\"x>y\">", {"<a title=\"x>y\">|a|title=x>y"}},
      {"<a title=\"it's\">", {"<a title=\"it's\">|a|title=it's"}},
      {"<a title='a\"b'>z", {"<a title='a\"b'>|a|title=a\"b", "z"}},
      {"<a title=\"x<b>y\">", {"<a title=\"x<b>y\">|a|title=x<b>y"}},
      {"<a b=\"x\n>", {"<a b=\"x\n>|a|b=x"}},
      {"<a b=\"x>y", {}},
      {"<a b=\"x>y<c>", {}},
  };
  ExpectTokens(std::begin(cases), std::end(cases));
}

TEST(Tokenizer, CommentsEndOnlyAtTheirClose) {
  const TokenCase cases[] = {
      {"<!-- <b> -->", {"<!-- <b> -->"}},
      {"<!-- a > b -->", {"<!-- a > b -->"}},
      {"<!-- don't --><p>\nx>y", {"<!-- don't -->", "<p>|p", "\nx>y"}},
      {"a<!-- never closed > <p>x", {"a"}},
      {"<!-- plain -->", {"<!-- plain -->"}},
      {"<!---->", {"<!---->"}},
      {"<!-- DINCL A,B C -->x", {"<!-- DINCL A,B C -->|DINCL|A,B=|C=", "x"}},
      {"<!--/DEXCL-->", {"<!--/DEXCL-->|DEXCL"}},
  };
  ExpectTokens(std::begin(cases), std::end(cases));
}

TEST(Tokenizer, ServerBlocksEndOnlyAtPercentClose) {
  const TokenCase cases[] = {
      {"<% if a > b then %>z", {"<% if a > b then %>|if|a=|>=|b=|then=|%=", "z"}},
      {"<% x = \"%>\" %>z", {"<% x = \"%>\" %>|x|=%>|%=", "z"}},
      {"<% ' it's %>z", {"<% ' it's %>|it's|%=", "z"}},
      {"<% // x %>z", {"<% // x %>|x|%=", "z"}},
      {"<% /* x %>z", {"<% /* x %>|x|%=", "z"}},
      {"<% /* a */ b = \"%>\" %>z", {"<% /* a */ b = \"%>\" %>|a|*/=|b=%>|%=", "z"}},
      {"<% a<b %>z", {"<% a<b %>|a<b|%=", "z"}},
      {"<%>z", {"<%>|", "z"}},
      {"<% ' x\n\"a %>\n%>z", {"<% ' x\n\"a %>\n%>|x", "z"}},
      {"<% // x\n\"a %>\n%>z", {"<% // x\n\"a %>\n%>|x", "z"}},
      {"<% /* x\n\"a %>z", {"<% /* x\n\"a %>|x", "z"}},
      {"<% x = 'a' %>z", {"<% x = 'a' %>|x|=a|%=", "z"}},
  };
  ExpectTokens(std::begin(cases), std::end(cases));
}

// REM opens a line comment only at the start of a script line, so the
// double quote after it does not open a string.
TEST(Tokenizer, RemStartsALineComment) {
  struct RemCase {
    std::string page;
    std::string firstTag;  // text of the first tag token
  };
  const RemCase cases[] = {
      {"x<%\nREM say \"hi %>y\n%>end", "<%\nREM say \"hi %>"},
      {"x<%\r  REM \"hi %>y\n%>end", "<%\r  REM \"hi %>"},
      {"x<%  REM \"a %>y\n%>end", "<%  REM \"a %>"},
      {"x<%\nrEM \"a %>y\n%>end", "<%\nrEM \"a %>"},
      {"x<%\nrem \"a %>y\n%>end", "<%\nrem \"a %>y\n%>"},
      {"x<%\nxREM \"a %>y\n%>end", "<%\nxREM \"a %>y\n%>"},
      {"x<%\nR EM \"a %>y\n%>end", "<%\nR EM \"a %>y\n%>"},
      {"<%  REM \"a %>y\n%>end", "<%  REM \"a %>y\n%>"},
      {"x<% \"REM\" \"a %>y\n%>end", "<% \"REM\" \"a %>y\n%>"},
  };
  for (const RemCase& c : cases) {
    CollectingParser parser;
    parser.Parse(nullptr, c.page.data(), static_cast<int32_t>(c.page.size()));
    std::vector<std::string> texts;
    for (const std::string& token : parser.tokens) {
      texts.push_back(token.substr(0, token.find('|')));
    }
    const auto tag = std::find_if(texts.begin(), texts.end(),
                                  [](const std::string& t) { return t.rfind("<%", 0) == 0; });
    ASSERT_NE(tag, texts.end()) << c.page;
    EXPECT_EQ(*tag, c.firstTag) << c.page;
    EXPECT_EQ(texts.back().substr(texts.back().size() - 3), "end") << c.page;
  }
}

TEST(Tokenizer, AttributesOfTags) {
  const TokenCase cases[] = {
      {"<input type=checkbox checked>", {"<input type=checkbox checked>|input|type=checkbox|checked="}},
      {"<td width=50% nowrap>", {"<td width=50% nowrap>|td|width=50|nowrap="}},
      {"<img src=\"a.gif\"/>", {"<img src=\"a.gif\"/>|img|src=a.gif"}},
      {"<a HREF=\"x\" href=\"y\">", {"<a HREF=\"x\" href=\"y\">|a|href=y"}},
      {"<a =x>", {"<a =x>|a|=x"}},
      {"<a\xA0" "b>", {"<a\xA0" "b>|a|b="}},
  };
  ExpectTokens(std::begin(cases), std::end(cases));
}

TEST(Tokenizer, LengthBoundsTheText) {
  const char page[] = "<p>Hi</p>";
  const struct {
    int32_t length;
    TokenList expected;
  } cases[] = {
      {9, {"<p>|p", "Hi", "</p>|p"}}, {5, {"<p>|p", "Hi"}}, {7, {"<p>|p", "Hi"}},
      {3, {"<p>|p"}},                 {1, {"<"}},           {0, {}},
      {-4, {}},
  };
  for (const auto& c : cases) {
    CollectingParser parser;
    parser.Parse(nullptr, page, c.length);
    EXPECT_EQ(parser.tokens, c.expected) << c.length;
  }
  CollectingParser parser;
  parser.Parse(nullptr, nullptr, 10);
  EXPECT_TRUE(parser.tokens.empty());
}

TEST(Tokenizer, TargetAndWordsReachEveryToken) {
  static char sentinel;
  CXmlNode* const target = reinterpret_cast<CXmlNode*>(&sentinel);  // never dereferenced
  MarkerWords words;
  words.excludeStart = "HIDE";
  CollectingParser parser;
  const std::string page = "<!-- HIDE a -->x<!-- DINCL -->";
  parser.Parse(target, page.data(), static_cast<int32_t>(page.size()), words);
  EXPECT_EQ(parser.tokens, (TokenList{"<!-- HIDE a -->|HIDE|a=", "x", "<!-- DINCL -->|DINCL"}));
  EXPECT_EQ(parser.targets, (std::vector<CXmlNode*>(3, target)));
}

TEST(Tokenizer, NulBytesAreLeftOutOfTheirToken) {
  const std::string page("a\0b<p\0>", 7);
  EXPECT_EQ(Tokens(page), (TokenList{"ab", "<p>|p"}));
}

TEST(Tokenizer, LargePagesAreCutInOnePass) {
  constexpr int kTags = 1000000;
  std::string page;
  page.reserve(kTags * 4);
  for (int i = 0; i < kTags; ++i) {
    page += "<b>";
  }
  page += "end";
  const TokenList tokens = Tokens(page);
  ASSERT_EQ(tokens.size(), static_cast<size_t>(kTags) + 1);
  EXPECT_EQ(tokens.front(), "<b>|b");
  EXPECT_EQ(tokens.back(), "end");

  const std::string value(10 * 1024 * 1024, 'x');
  const TokenList big = Tokens("<a title=\"" + value + "\">t");
  ASSERT_EQ(big.size(), 2u);
  EXPECT_EQ(big[0].size(), value.size() * 2 + 21);
  EXPECT_EQ(big[1], "t");

  const std::string spaces(5 * 1024 * 1024, ' ');
  const TokenList script = Tokens("x<%" + spaces + "REM \"a %>y");
  ASSERT_EQ(script.size(), 3u);
  EXPECT_EQ(script[2], "y");
}

// Checks every token of arbitrary pages: tokens are contiguous, non-empty
// pieces of the page, and each one's writer length matches what it writes.
class CheckingParser final : public CCustomXmlParser {
 public:
  std::string joined;
  int32_t count = 0;

 protected:
  void OnElement(CXmlNode*, CXmlObject& token) override {
    ++count;
    const std::string text = token.GetText();
    EXPECT_FALSE(text.empty());
    joined += text;
    const auto clone = token.Clone();
    EXPECT_EQ(std::string(clone.GetText()), text);
    std::string buffer(clone.GetWriteLength() + 2, '#');
    clone.WriteTo(buffer.data());
    EXPECT_EQ(std::strlen(buffer.data()), clone.GetWriteLength()) << text;
    EXPECT_EQ(buffer.back(), '#') << text;
  }
};

TEST(Tokenizer, ArbitraryPagesCutIntoContiguousTokens) {
  static constexpr char kAlphabet[] = "<<>>/\"'= %-!?*aAbRrEeMm.#\n\r\t\xA0";
  std::mt19937 random(20240611);
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  for (int page = 0; page < 400; ++page) {
    std::string text(1 + page % 97, ' ');
    for (char& c : text) {
      c = kAlphabet[pick(random)];
    }
    CheckingParser parser;
    parser.Parse(nullptr, text.data(), static_cast<int32_t>(text.size()));
    // Only a tag still open at the end is left out.
    EXPECT_EQ(text.compare(0, parser.joined.size(), parser.joined), 0) << text;
    if (parser.joined.size() < text.size()) {
      EXPECT_EQ(text[parser.joined.size()], '<') << text;
    }
  }
}

}  // namespace
}  // namespace quillmark
