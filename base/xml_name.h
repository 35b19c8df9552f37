// The bytes an XML name is made of, in UTF-8 or a single-byte charset:
// every byte beyond ASCII counts as a letter.
#pragma once

namespace quillmark {

// True for a byte that may begin an XML name: a letter, "_" or ":".
inline bool IsNameStartByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

// True for a byte that may stand in an XML name after its first.
inline bool IsNameByte(unsigned char c) { return IsNameStartByte(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

}  // namespace quillmark
