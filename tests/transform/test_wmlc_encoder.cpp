// Compiling WML decks into WMLC: tokens, the string table, variables,
// references, charsets and white space, byte for byte; and the structure of
// what any text compiles to.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/wbxml_check.h"
#include "transform/wml_text_decoding.h"
#include "transform/wmlc_encoder.h"

namespace quillmark {
namespace {

constexpr char kHead[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
    "\"http://www.wapforum.org/DTD/wml_1.1.xml\">\r\n";

std::string Hex(const std::string& bytes) {
  std::string out;
  char digits[4];
  for (unsigned char b : bytes) {
    std::snprintf(digits, sizeof digits, "%02X ", b);
    out += digits;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

struct WmlcCase {
  const char* what;
  std::string deck;
  const char* expected;  // hex bytes: version, public id, charset, table, body
};

void ExpectCompiled(const std::vector<WmlcCase>& cases) {
  for (const WmlcCase& c : cases) {
    const std::string compiled = CompileWmlc(c.deck);
    EXPECT_EQ(Hex(compiled), c.expected) << c.what;
    EXPECT_EQ(CompiledWmlcSize(c.deck), compiled.size()) << c.what;
  }
}

TEST(WmlcEncoder, TagAttributeAndValueTokens) {
  ExpectCompiled({
      {"header, content bits and END", kHead + std::string("<wml><card><p>Hi</p></card></wml>"),
       "03 04 6A 00 7F 67 60 03 48 69 00 01 01 01"},
      {"attribute starts with value prefixes; comments and blank lines go",
       kHead + std::string("<wml>\r\n<!-- note -->\r\n<card id=\"c1\" title=\"T\">\r\n"
                           "<p align=\"center\" mode=\"nowrap\">\r\nx\r\n</p>\r\n</card>\r\n</wml>\r\n"),
       "03 04 6A 00 7F E7 55 03 63 31 00 36 03 54 00 01 E0 07 1D 01 03 78 00 01 01 01"},
      {"URL prefixes and value tokens inside values; an empty value",
       kHead + std::string("<wml><card><p><a href=\"http://www.example.com/\">e</a>"
                           "<img src=\"https://a.org/i.gif\" alt=\"\"/></p></card></wml>"),
       "03 04 6A 00 7F 67 60 DC 4B A1 03 65 78 61 6D 70 6C 65 00 85 01 03 65 00 01 "
       "AE 59 03 61 00 88 03 69 2E 67 69 66 00 0C 01 01 01 01"},
      {"whole-value start tokens of forms",
       kHead + std::string("<wml><card><do type=\"accept\" label=\"Go\"><go href=\"s\" method=\"post\">"
                           "<postfield name=\"q\" value=\"$(q)\"/></go></do><p><select name=\"q\" "
                           "multiple=\"true\"><option onpick=\"#c\">o</option></select>"
                           "<input name=\"i\" type=\"password\" emptyok=\"true\"/></p></card></wml>"),
       "03 04 6A 00 7F 67 E8 38 18 03 47 6F 00 01 EB 4A 03 73 00 1C 01 A1 21 03 71 00 4D 42 71 00 01 "
       "01 01 60 F7 21 03 71 00 20 01 F5 24 03 23 63 00 01 03 6F 00 01 01 AF 21 03 69 00 3B 11 01 01 "
       "01 01"},
      {"names without tokens are literals from the string table",
       kHead + std::string("<wml><card><p><blink x=\"1\">a</blink><blink/></p></card></wml>"),
       "03 04 6A 08 62 6C 69 6E 6B 00 78 00 7F 67 60 C4 00 04 06 03 31 00 01 03 61 00 01 04 00 01 01 01"},
      {"a fragment without a declaration: the charset given, no END of its own",
       "<card><p>&#233;</p></card>", "03 04 6A 00 67 60 03 C3 A9 00 01 01"},
      {"a text without elements is an empty deck", "just text", "03 04 6A 00 3F"},
      {"elements after the root's end go inside it", "<card/><card/>", "03 04 6A 00 67 27 01"},
      {"another WML version's public identifier",
       "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.3//EN\" \"x\"><wml/>", "03 0A 6A 00 3F"},
  });
}

TEST(WmlcEncoder, VariablesReferencesAndCharsets) {
  ExpectCompiled({
      {"variables once each go inline with their conversion; $$ is $",
       kHead + std::string("<wml><card><p>$(a) $(b:e) $(b:unesc) $c $$ $(d:n)<a href=\"$(u)\">l</a>"
                           "</p></card></wml>"),
       "03 04 6A 00 7F 67 60 42 61 00 03 20 00 40 62 00 03 20 00 41 62 00 03 20 00 42 63 00 03 20 24 "
       "20 00 42 64 00 DC 4A 40 75 00 01 03 6C 00 01 01 01 01"},
      {"a variable used often is named from the string table",
       kHead + std::string("<wml><card><p>$(name) $(name) $(name)</p></card></wml>"),
       "03 04 6A 05 6E 61 6D 65 00 7F 67 60 82 00 03 20 00 82 00 03 20 00 82 00 01 01 01"},
      {"character and entity references in UTF-8; an unknown entity stays text",
       kHead + std::string("<wml><card><p>&#233;&amp;&lt;&gt;&quot;&apos;&nbsp;&shy;&#x20AC;&eacute;"
                           "</p></card></wml>"),
       "03 04 6A 00 7F 67 60 03 C3 A9 26 3C 3E 22 27 C2 A0 C2 AD E2 82 AC 26 65 61 63 75 74 65 3B 00 "
       "01 01 01"},
      {"ISO-8859-1: its own bytes, ENTITY for what it cannot hold",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<wml><card><p>\xE9&#233;&#8364;</p></card></wml>",
       "03 04 04 00 7F 67 60 03 E9 E9 00 02 C1 2C 01 01 01"},
      {"an unknown charset is charset 0, with only ASCII as characters",
       "<?xml version=\"1.0\" encoding=\"x-mystery\"?><wml>&#65;&#233;</wml>", "03 04 00 00 7F 03 41 00 02 81 69 01"},
      {"US-ASCII", "<?xml version=\"1.0\" encoding=\"us-ascii\"?>\r\n<wml><card><p>e&#233;</p></card></wml>",
       "03 04 03 00 7F 67 60 03 65 00 02 81 69 01 01 01"},
      {"a charset under an alias: its registered number, here in two bytes",
       "<?xml version=\"1.0\" encoding=\"KOI8-U\"?><wml/>", "03 04 90 28 00 3F"},
      {"UTF-8 as iconv also spells it", "<?xml version=\"1.0\" encoding=\"utf8\"?><wml/>", "03 04 6A 00 3F"},
  });
}

TEST(WmlcEncoder, WhiteSpaceAndStringTable) {
  ExpectCompiled({
      {"runs of white space collapse, but a run of two keeps its second; they go only between two "
       "line breaks",
       kHead + std::string("<wml><card><p>  a\t\n  <b> x </b>&#32;\ty <br/> z </p></card></wml>"),
       "03 04 6A 00 7F 67 60 03 20 20 61 20 00 64 03 78 00 01 03 20 09 79 20 00 26 03 7A 00 01 01 01"},
      {"a repeated text is referenced whole, and where it begins a longer one",
       kHead + std::string("<wml><card><p>hello world<br/>hello world<br/>hello world, say</p></card></wml>"),
       "03 04 6A 0C 68 65 6C 6C 6F 20 77 6F 72 6C 64 00 7F 67 60 83 00 26 83 00 26 83 00 03 2C 20 73 "
       "61 79 00 01 01 01"},
      {"a word repeated inside texts",
       kHead + std::string("<wml><card><p>one example<br/>an example too<br/>example</p></card></wml>"),
       "03 04 6A 08 65 78 61 6D 70 6C 65 00 7F 67 60 03 6F 6E 65 20 00 83 00 26 03 61 6E 20 00 83 00 03 "
       "20 74 6F 6F 00 26 83 00 01 01 01"},
      {"a no-break space parts words",
       kHead + std::string("<wml><card><p>one&#160;example<br/>two&#160;example<br/>six&#160;example</p></card></wml>"),
       "03 04 6A 08 65 78 61 6D 70 6C 65 00 7F 67 60 03 6F 6E 65 C2 A0 00 83 00 26 03 74 77 6F C2 A0 00 83 00 "
       "26 03 73 69 78 C2 A0 00 83 00 01 01 01"},
      {"signs, punctuation and emoji part words as ASCII punctuation does",
       kHead + std::string("<wml><card><p>&#8364;example<br/>&#128512;example<br/>example&#8230;</p></card></wml>"),
       "03 04 6A 08 65 78 61 6D 70 6C 65 00 7F 67 60 03 E2 82 AC 00 83 00 26 03 F0 9F 98 80 00 83 00 26 83 00 "
       "03 E2 80 A6 00 01 01 01"},
      {"a text without its mark comes back inside a longer one",
       kHead + std::string("<wml><card><p>Quick start:<br/>Quick start guide</p></card></wml>"),
       "03 04 6A 0C 51 75 69 63 6B 20 73 74 61 72 74 00 7F 67 60 83 00 03 3A 00 26 83 00 03 20 67 75 69 64 65 "
       "00 01 01 01"},
      {"a shorter phrase is taken where a longer one beginning there does not pay",
       kHead + std::string("<wml><card><p>Quick start<br/>Quick start guide.<br/>Quick start</p></card></wml>"),
       "03 04 6A 0C 51 75 69 63 6B 20 73 74 61 72 74 00 7F 67 60 83 00 26 83 00 03 20 67 75 69 64 65 2E 00 26 "
       "83 00 01 01 01"},
  });
}

// White space in a paragraph's text collapses between the words and goes
// at both ends, wherever its runs fall: generated texts of short words (too
// short for the string table) with runs of spaces, tabs, line ends and
// references at every offset, against the collapsed text.
TEST(WmlcEncoder, WhiteSpaceCollapsesWhereverItFalls) {
  struct Gap {
    std::string raw;
    std::string collapsed;
  };
  // CR LF is one character; a run of two keeps its second.
  const std::vector<Gap> gaps = {
      {" ", " "},      {"  ", "  "},     {"\t", " "},         {" \n ", " "},           {"\r\n", " "},
      {"   \t", " "},   {" \r\n", " \n"}, {"&#32;\t", " \t"}, {" &#10;&#9;", " "},
  };
  const std::vector<std::string> words = {"a", "bc", "&amp;", "\x01", "d&amp;e", "ff"};
  std::mt19937 random(5);
  for (int round = 0; round < 400; ++round) {
    std::string raw = random() % 2 ? gaps[random() % gaps.size()].raw : "";
    std::string expected;
    const int count = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      const std::string& word = words[random() % words.size()];
      raw += word;
      std::string decoded = word;
      for (std::size_t at = decoded.find("&amp;"); at != std::string::npos; at = decoded.find("&amp;")) {
        decoded.replace(at, 5, "&");
      }
      expected += decoded;
      if (i + 1 == count && random() % 2) continue;
      const Gap& gap = gaps[random() % gaps.size()];
      raw += gap.raw;
      if (i + 1 < count) expected += gap.collapsed;
    }
    const std::string compiled = CompileWmlc(kHead + std::string("<wml><card><p>") + raw + "</p></card></wml>");
    const std::string body = std::string("\x60\x03") + expected + std::string("\0\x01", 2);
    EXPECT_NE(compiled.find(body), std::string::npos) << raw;
  }
}

// The text of a compiled deck of one paragraph of texts and line breaks,
// from its inline strings and string-table references, with "\n" for each
// br; nothing when it holds anything else.
std::optional<std::string> ParagraphTextOf(const std::string& wmlc) {
  std::size_t at = 3;  // version, public identifier and charset: a byte each here
  auto number = [&]() -> std::optional<uint32_t> {
    uint32_t value = 0;
    for (uint8_t b = 0x80; (b & 0x80) != 0;) {
      if (at >= wmlc.size()) return std::nullopt;
      b = static_cast<uint8_t>(wmlc[at++]);
      value = (value << 7) | (b & 0x7F);
    }
    return value;
  };
  const std::optional<uint32_t> tableLength = number();
  if (!tableLength || at + *tableLength > wmlc.size()) return std::nullopt;
  const std::string table = wmlc.substr(at, *tableLength);
  at += *tableLength;
  if (wmlc.compare(at, 3, "\x7F\x67\x60") != 0) return std::nullopt;  // wml, card, p
  at += 3;
  std::string text;
  while (at < wmlc.size()) {
    const auto token = static_cast<uint8_t>(wmlc[at++]);
    if (token == 0x03) {  // STR_I
      const std::size_t end = wmlc.find('\0', at);
      if (end == std::string::npos) return std::nullopt;
      text.append(wmlc, at, end - at);
      at = end + 1;
    } else if (token == 0x83) {  // STR_T
      const std::optional<uint32_t> offset = number();
      if (!offset || *offset >= table.size()) return std::nullopt;
      text += table.c_str() + *offset;
    } else if (token == 0x26) {  // br
      text += '\n';
    } else {
      const bool ends = token == 0x01 && wmlc.compare(at, std::string::npos, "\x01\x01") == 0;
      return ends ? std::optional<std::string>(text) : std::nullopt;
    }
  }
  return std::nullopt;
}

// Whatever goes into the string table, the texts come back as they were,
// and the deck is never larger than with every text inline: paragraphs of
// words, phrases, no-break spaces, marks and letters beyond ASCII that
// repeat in every combination.
TEST(WmlcEncoder, StringTableGivesTheTextsBackAndOnlySaves) {
  struct Token {
    const char* raw;
    const char* decoded;
  };
  const std::vector<Token> tokens = {
      {"Quick", "Quick"},
      {"start", "start"},
      {"Quick start", "Quick start"},
      {"Title one and more", "Title one and more"},
      {"example", "example"},
      {"one", "one"},
      {"a", "a"},
      {":", ":"},
      {".", "."},
      {"&#160;", "\xC2\xA0"},
      {"&#160;&#160;", "\xC2\xA0\xC2\xA0"},
      {"&#169;", "\xC2\xA9"},
      {"&#8364;", "\xE2\x82\xAC"},
      {"&#128512;", "\xF0\x9F\x98\x80"},
      {"caf&#233;", "caf\xC3\xA9"},
  };

  std::mt19937 random(17);
  for (int round = 0; round < 600; ++round) {
    std::string raw;
    std::string expected;
    // The header with an empty table, wml, card and p, and their ENDs.
    std::size_t inlineSize = 4 + 3 + 3;
    const int lines = 1 + static_cast<int>(random() % 6);
    for (int line = 0; line < lines; ++line) {
      if (line > 0) {
        raw += "<br/>";
        expected += '\n';
        ++inlineSize;
      }
      const int count = 1 + static_cast<int>(random() % 8);
      std::string text;
      for (int i = 0; i < count; ++i) {
        const Token& token = tokens[random() % tokens.size()];
        if (i > 0 && random() % 2 == 0) {
          raw += ' ';
          text += ' ';
        }
        raw += token.raw;
        text += token.decoded;
      }
      expected += text;
      inlineSize += 1 + text.size() + 1;
    }
    const std::string compiled = CompileWmlc(kHead + std::string("<wml><card><p>") + raw + "</p></card></wml>");
    EXPECT_EQ(ParagraphTextOf(compiled), expected) << raw;
    EXPECT_LE(compiled.size(), inlineSize) << raw;
  }
}

// Checks that `wmlc` is one well-formed WBXML document (wbxml_check.h).
::testing::AssertionResult IsWellFormedWbxml(const std::string& wmlc) {
  const char* fault = WbxmlFault(wmlc);
  if (fault == nullptr) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << fault;
}

TEST(WmlcEncoder, AnyTextCompilesToOneWellFormedDocument) {
  const std::vector<std::string> pieces = {
      "<wml>", "<card id=\"c\">", "<p>", "</p>", "</card>", "<b>", "</b>", "<br/>", " text ", "more text",
      "<a href=\"http://www.x.com/$(v)\">", "</a>", "$(v)", "$$", "$", "&#233;", "&#0;", "&amp", "<",
      "<!--", "-->", "<x y='1' z>", "</x>", "</wml>", "\r\n", "<![CDATA[a<b]]>", "\"", "<?xml?>", "&#8364;",
      std::string("t\0x<t\0y>\0", 7),
  };
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    std::string deck = round % 3 == 0 ? "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" : "";
    const int count = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < count; ++i) deck += pieces[random() % pieces.size()];
    const std::string compiled = CompileWmlc(deck);
    EXPECT_TRUE(IsWellFormedWbxml(compiled)) << deck;
    // A NUL byte, which no string of the deck may hold, is as if it were not there.
    std::string withoutNul = deck;
    std::erase(withoutNul, '\0');
    EXPECT_EQ(compiled, CompileWmlc(withoutNul)) << deck;
  }
}

// The shortcut for runs that decoding leaves alone: where it is taken, the
// full decoding gives the run back as one text piece; and for runs without
// "&", "$", tabs or line ends (which can stay as they are, as in a run of
// two white-space characters, and are still decoded) it is taken exactly
// where decoding gives the run back.
TEST(WmlcEncoder, RunsTakenAsTheyStandAreThoseDecodingLeavesAlone) {
  // Plain bytes, spaces, every byte that decoding changes, and others.
  constexpr char kBytes[] = "ab  \t\r\n&$;#\x01\xE9";
  const std::string bytes = std::string(kBytes, sizeof kBytes - 1) + std::string(1, '\0');
  std::mt19937 random(5);
  for (int round = 0; round < 4000; ++round) {
    std::string raw;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) raw += bytes[random() % 4 == 0 ? random() % bytes.size() : random() % 3];
    const wmlc::WhitespaceRule rule{(round & 1) != 0, (round & 2) != 0, (round & 4) != 0};
    wmlc::TextArena arena(raw.size());
    wmlc::Pieces decoded;
    wmlc::Pieces split;
    wmlc::DecodeCharacters(raw, wmlc::kUtf8Mib, rule, arena, decoded);
    wmlc::SplitVariables(decoded, wmlc::Conversion::kNone, split);
    const bool givenBack = split.size() == 1 && split[0].kind == wmlc::PieceKind::kText && split[0].text == raw;
    const bool shortcut = wmlc::DecodesToItself(raw, rule);
    EXPECT_TRUE(!shortcut || givenBack) << '"' << raw << "\" rule " << round % 8;
    const bool decodedAnyway = raw.find_first_of("&$\t\r\n") != std::string::npos;
    EXPECT_TRUE(decodedAnyway || shortcut == givenBack) << '"' << raw << "\" rule " << round % 8;
  }
}

TEST(WmlcEncoder, DeepNestingCompilesWithoutRecursion) {
  constexpr int kDepth = 200000;
  std::string deck = "<wml><card><p>";
  for (int i = 0; i < kDepth; ++i) deck += "<b>";
  deck += "x";
  const std::string compiled = CompileWmlc(deck);
  EXPECT_TRUE(IsWellFormedWbxml(compiled));
  EXPECT_EQ(compiled.size(), 4 + 3 + static_cast<std::size_t>(kDepth) * 2 + 3 + 3);
}

}  // namespace
}  // namespace quillmark
