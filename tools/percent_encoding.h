// Percent-encoding for request paths and log lines.
#pragma once

#include <string>

namespace quillmark::tools {

// `text` with every byte for which keep(byte) is false written as "%XX"
// (upper-case hex digits).
template <typename Keep>
std::string PercentEncoded(const std::string& text, Keep keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (keep(byte)) {
      out.push_back(c);
      continue;
    }
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
  return out;
}

}  // namespace quillmark::tools
