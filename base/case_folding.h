// Case folding of ASCII letters, the only folding the markup and the
// configuration know: every other byte, UTF-8 included, stays as it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// Upper-cases an ASCII letter; leaves every other byte alone.
constexpr char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
// Lower-cases an ASCII letter; leaves every other byte alone.
constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// A copy of `text` with its ASCII letters lower-cased.
std::string LowerCasedAscii(std::string_view text);

// Case-insensitive equality (both sides folded to upper case); null never equal.
bool EqualsIgnoringCase(const char* a, const char* b);

// Case-insensitive equality of two spans.
constexpr bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
  }
  return true;
}

// FNV-1a over the lower-cased bytes, so that every spelling of a name
// hashes alike.
constexpr uint64_t FoldedNameHash(std::string_view name) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(ToLowerAscii(c));
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace quillmark
