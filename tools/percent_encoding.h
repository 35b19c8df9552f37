// Percent-encoding for request paths and log lines, and decoding for
// request paths.
#pragma once

#include <string>
#include <string_view>

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

// `text` with every "%XX" (two hex digits) replaced by its byte; other
// bytes, and "%" not followed by two hex digits, stay as they are.
inline std::string PercentDecoded(std::string_view text) {
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 && digit(text[i + 2]) >= 0) {
      out += static_cast<char>(digit(text[i + 1]) * 16 + digit(text[i + 2]));
      i += 2;
      continue;
    }
    out += text[i];
  }
  return out;
}

}  // namespace quillmark::tools
