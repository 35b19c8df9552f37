// EscapeText, the trimming of control bytes and attribute-value text.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "transform/escape_text.h"

namespace quillmark {
namespace {

struct EscapeCase {
  const char* what;
  std::string text;
  const char* specials;
  const char* replacement;
  std::optional<std::string> expected;  // nothing: the text is used unchanged
};

TEST(EscapeText, TextAndLinkTargets) {
  const std::vector<EscapeCase> cases = {
      {"text specials", "a < b & c", "&<>", "&amp;", "a &lt; b &amp; c"},
      {"greater-than", "x > y", "&<>", "&amp;", "x &gt; y"},
      {"nothing to escape", "plain words", "&<>", "&amp;", std::nullopt},
      {"empty text", "", "&<>", "&amp;", std::nullopt},
      {"copyright reference becomes a number", "&Copy; 2001", "&<>", "&amp;", "&#169; 2001"},
      {"named reference is lower-cased", "a&NBSP;b", "&<>", "&amp;", "a&nbsp;b"},
      {"numeric references stay", "&#169;&#X41;", "&<>", "&amp;", "&#169;&#x41;"},
      {"escaped ampersand stays", "a &amp; b", "&<>", "&amp;", "a &amp; b"},
      {"reference longer than 8 characters", "&thetasym;", "&<>", "&amp;", "&amp;thetasym;"},
      {"reference of exactly 8 characters", "&abcdef;", "&<>", "&amp;", "&abcdef;"},
      {"ampersand as the last character", "R&", "&<>", "&amp;", "R&amp;"},
      {"semicolon after a phrase is no reference", "Fish & Chips; today", "&<>", "&amp;",
       "Fish &amp; Chips; today"},
      {"empty reference", "a&;b", "&<>", "&amp;", "a&amp;;b"},
      {"reference holding markup", "&a<b;", "&<>", "&amp;", "&amp;a&lt;b;"},
      {"link query", "page.asp?a=1&b=2", "&", ";", "page.asp?a=1;b=2"},
      {"link with escaped ampersand", "page.asp?a=1&amp;b=2", "&", ";", "page.asp?a=1&amp;b=2"},
      {"link without ampersand keeps markup", "a<b.html", "&", ";", std::nullopt},
      {"link with ampersand escapes markup too", "a<b.html?x&y", "&", "&amp;", "a&lt;b.html?x&amp;y"},
      {"query value with semicolon", "p?a=1&b=2;c", "&", ";", "p?a=1;b=2;c"},
      {"long replacement", "a&b", "&", "&#38;", "a&#38;b"},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(EscapeText(c.text, c.specials, c.replacement), c.expected) << c.what;
  }
}

TEST(EscapeText, LongTextHasNoLengthLimit) {
  const std::string text(100000, '&');
  const std::optional<std::string> escaped = EscapeText(text, "&<>", "&amp;");
  ASSERT_TRUE(escaped.has_value());
  EXPECT_EQ(escaped->size(), text.size() * 5);
}

TEST(TrimControlBytes, RemovesBytesOneToThirtyTwoAtBothEnds) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"  My Page \t\r\n", "My Page"},
      {"\x01\x1f" "x" "\x20", "x"},
      {"   ", ""},
      {"", ""},
      {"inner  space", "inner  space"},
      {"\xa0keep\xa0", "\xa0keep\xa0"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(TrimControlBytes(text), expected) << text;
}

TEST(AttributeValueText, EscapesMarkupAmpersandsAndQuotes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Q&A", "Q&amp;A"},
      {"say \"hi\"", "say &quot;hi&quot;"},
      {"a &amp; b <c>", "a &amp; b &lt;c&gt;"},
      {"plain", "plain"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(AttributeValueText(text), expected) << text;
}

}  // namespace
}  // namespace quillmark
