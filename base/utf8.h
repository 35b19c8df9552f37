// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// Length of the well-formed multi-byte sequence at bytes[at], or 0 when
// none starts there (an ASCII byte included). Inline: the checks call it
// for every character beyond ASCII.
inline std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
  const auto inRange = [&](std::size_t i, unsigned low, unsigned high) { return byte(i) >= low && byte(i) <= high; };
  const std::size_t left = bytes.size() - at;
  // The well-formed sequences by their lead byte (Unicode's table of them):
  // the second byte's range rules out overlong forms, surrogates and values
  // past U+10FFFF; every later byte is a continuation byte.
  const unsigned lead = byte(0);
  if (lead < 0xC2 || lead > 0xF4) return 0;
  if (lead <= 0xDF) return left >= 2 && inRange(1, 0x80, 0xBF) ? 2 : 0;
  if (lead <= 0xEF) {
    if (left < 3) return 0;
    const unsigned low = lead == 0xE0 ? 0xA0 : 0x80;
    const unsigned high = lead == 0xED ? 0x9F : 0xBF;
    return inRange(1, low, high) && inRange(2, 0x80, 0xBF) ? 3 : 0;
  }
  if (left < 4) return 0;
  const unsigned low = lead == 0xF0 ? 0x90 : 0x80;
  const unsigned high = lead == 0xF4 ? 0x8F : 0xBF;
  return inRange(1, low, high) && inRange(2, 0x80, 0xBF) && inRange(3, 0x80, 0xBF) ? 4 : 0;
}

// Writes the code point `c` (at most U+10FFFF) in UTF-8 at `out`, which
// has room for four bytes; returns the bytes written.
inline std::size_t WriteUtf8(char* out, uint32_t c) {
  if (c < 0x80) {
    out[0] = static_cast<char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<char>(0xC0 | (c >> 6));
    out[1] = static_cast<char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (c >> 12));
    out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (c >> 18));
  out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (c & 0x3F));
  return 4;
}

// True when `bytes` are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// `bytes` with each byte that starts no well-formed sequence replaced by
// U+FFFD, as a decoder replaces what it cannot read.
std::string WithIllFormedBytesReplaced(std::string_view bytes);

}  // namespace quillmark
