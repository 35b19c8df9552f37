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

// `text` with every "%XX" (hex digits of either case) read as its byte; a
// "%" without two hex digits after it stays as it is.
inline std::string PercentDecoded(const std::string& text) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = i + 2 < text.size() && text[i] == '%' ? hex(text[i + 1]) : -1;
    const int low = high >= 0 ? hex(text[i + 2]) : -1;
    if (low < 0) {
      out.push_back(text[i]);
      continue;
    }
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

}  // namespace quillmark::tools
