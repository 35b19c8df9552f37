#include "base/utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace quillmark {

std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(at);
  size_t length = 0;
  uint32_t low = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    low = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = 0x10000;
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  uint32_t value = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(at + i) & 0x3F);
  }
  if (value < low || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

bool IsValidUtf8(std::string_view bytes) {
  size_t at = 0;
  // bytes[0, at) is well-formed.
  while (at < bytes.size()) {
    if (at + 8 <= bytes.size()) {
      uint64_t word;
      std::memcpy(&word, bytes.data() + at, sizeof word);
      const uint64_t high = word & 0x8080808080808080ull;
      if (high == 0) {
        at += 8;
        continue;
      }
      // Past the ASCII bytes before the first high one, in one step.
      if constexpr (std::endian::native == std::endian::little) at += static_cast<size_t>(std::countr_zero(high)) / 8;
    }
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) {
      ++at;
      continue;
    }
    // The common sequences of two and three bytes are checked here, without
    // a call: a lead byte from C2 to DF before one continuation byte, or E1
    // to EC before two (their second byte's whole range is well-formed).
    const auto continues = [&](size_t i) { return at + i < bytes.size() && (static_cast<unsigned char>(bytes[at + i]) & 0xC0) == 0x80; };
    if (lead >= 0xC2 && lead <= 0xDF && continues(1)) {
      at += 2;
      continue;
    }
    if (lead >= 0xE1 && lead <= 0xEC && continues(1) && continues(2)) {
      at += 3;
      continue;
    }
    const size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string WithIllFormedBytesReplaced(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  // out holds bytes[0, at) with every ill-formed byte replaced.
  for (std::size_t at = 0; at < bytes.size();) {
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      out += bytes[at++];
      continue;
    }
    const std::size_t length = Utf8SequenceLength(bytes, at);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    out.append(bytes.substr(at, length));
    at += length;
  }
  return out;
}

}  // namespace quillmark
