// Case folding of ASCII letters, the only folding the markup and the
// configuration know: every other byte, UTF-8 included, stays as it is.
#pragma once

namespace quillmark {

// Upper-cases an ASCII letter; leaves every other byte alone.
constexpr char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
// Lower-cases an ASCII letter; leaves every other byte alone.
constexpr char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Case-insensitive equality (both sides folded to upper case); null never equal.
bool EqualsIgnoringCase(const char* a, const char* b);

}  // namespace quillmark
