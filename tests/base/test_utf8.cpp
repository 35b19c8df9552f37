// The UTF-8 checks: the validity scan, which skips ASCII eight bytes at a
// time, against the sequence rules taken one byte at a time.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/utf8.h"

namespace quillmark {
namespace {

// Valid when every sequence is, read from the start.
bool ValidByteByByte(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      ++at;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

TEST(Utf8, ScanAgreesWithTheSequenceRulesOnMixedText) {
  // ASCII runs of every length around well-formed and ill-formed sequences,
  // so that high bytes fall at every place within an eight-byte word.
  static const char* const kSequences[] = {"\xC3\xA9", "\xE2\x80\x99", "\xF0\x9F\x98\x80", "\xF4\xBF\xBF\xBF",
                                           "\xC0\xAF", "\xED\xA0\x80", "\x80",             "\xE2\x80"};
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> run(0, 17);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kSequences) - 1);
  std::bernoulli_distribution wellFormedOnly(0.5);
  for (int round = 0; round < 2000; ++round) {
    const bool clean = wellFormedOnly(random);
    std::string text;
    for (int piece = 0; piece < 6; ++piece) {
      text.append(static_cast<std::size_t>(run(random)), 'a');
      text += kSequences[clean ? pick(random) % 3 : pick(random)];
    }
    text.append(static_cast<std::size_t>(run(random)), 'z');
    EXPECT_EQ(IsValidUtf8(text), ValidByteByByte(text)) << round;
    if (clean) {
      EXPECT_TRUE(IsValidUtf8(text)) << round;
    }
    const std::string mended = WithIllFormedBytesReplaced(text);
    EXPECT_TRUE(IsValidUtf8(mended)) << round;
    EXPECT_EQ(mended == text, ValidByteByByte(text)) << round;
  }
}

}  // namespace
}  // namespace quillmark
