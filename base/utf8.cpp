#include "base/utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace quillmark {

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
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      ++at;
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
