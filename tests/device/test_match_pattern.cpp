#include <gtest/gtest.h>

#include "device/device_profile.h"

namespace quillmark {
namespace {

struct PatternCase {
  const char* pattern;
  const char* text;
  int32_t expected;
};

constexpr PatternCase kPatternCases[] = {
    // Missing or empty texts never match.
    {nullptr, "ABC", 0},
    {"ABC", nullptr, 0},
    {"", "ABC", 0},
    {"ABC", "", 0},
    {"*", "", 0},
    // Without "*" the whole text must be equal, ignoring case.
    {"abc", "ABC", 1},
    {"abc", "ABCD", 0},
    {"abc", "xABC", 0},
    // A leading segment followed by "*" may stand anywhere.
    {"ABC*", "xxABCyy", 1},
    {"ABC*", "xAbc7110", 1},
    {"ABC*", "xxAByy", 0},
    // The last segment after "*" is searched at its first occurrence only.
    {"*ABC", "xxABC", 1},
    {"*ABC", "ABCxxABC", 0},
    {"*ABC", "ABCxx", 0},
    {"A*C", "AxxC", 1},
    {"A*C", "AxxCx", 0},
    {"*", "anything", 1},
    {"**", "x", 1},
    {"*PHONE*", "Browser/4.0 (compatible)", 0},
    {"*Compatible*", "Browser/4.0 (compatible)", 1},
    {"*A*B*C*", "xaybzc", 1},
    {"*A*B*C*", "xcybza", 0},
    // No backtracking: the first "ABC" after "X" does not end the text.
    {"*X*ABC", "XABCyyABC", 0},
    {"Kestrel*", "KESTREL71/1.0", 1},
    // Bytes above 127 are literal and compared as they are.
    {"*\xe9t\xe9*", "x\xe9t\xe9y", 1},
};

TEST(MatchPattern, FollowsTheWildcardRules) {
  for (const PatternCase& c : kPatternCases) {
    SCOPED_TRACE(std::string(c.pattern ? c.pattern : "(null)") + " ~ " + (c.text ? c.text : "(null)"));
    EXPECT_EQ(matchPattern(c.pattern, c.text), c.expected);
  }
}

}  // namespace
}  // namespace quillmark
