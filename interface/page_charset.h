// Which charset a page is written in, and which one its deck is written in.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

struct PageCharset {
  // A charset name iconv knows ("UTF-8", "WINDOWS-1252", ...).
  std::string name;
  // Bytes of byte-order mark at the start of the page, which are not text.
  size_t byteOrderMark = 0;
};

// The page's charset, first match wins: a byte-order mark; a charset the page
// declares (<meta charset>, <meta http-equiv="Content-Type">, or its XML
// declaration's encoding); `hostCharset` (may be empty); UTF-8 when the bytes
// are valid UTF-8; else Windows-1252. Declared names that iconv does not know
// are passed over.
PageCharset DetectPageCharset(std::string_view page, std::string_view hostCharset);

// The charset a label names (a <meta> tag's, a Content-Type's, or one a
// host gives), as iconv knows it; nullopt for a label iconv does not know.
std::optional<std::string> CharsetOfLabel(std::string_view label);

// The encoding an XML declaration names, "UTF-8" when it names none.
std::string DeclaredEncoding(std::string_view xmlDeclaration);

// True when text written in `encoding` keeps ASCII as its own bytes and
// writes every other character in bytes that begin beyond ASCII and never
// fall among markup's signs, as UTF-8, the ISO 8859 and Windows sets and
// the multi-byte Asian sets (Shift_JIS, EUC, Big5, GB2312) do, so that the
// markup of a deck in it can be read byte by byte; false for UTF-16 and
// UTF-32, and for the 7-bit sets that write other characters in ASCII
// bytes (ISO-2022-JP, UTF-7, HZ). An encoding iconv does not know is written as ASCII:
// true.
bool KeepsAsciiMarkup(const std::string& encoding);

// True when `charset` names UTF-8 under any of its spellings.
bool IsUtf8Name(std::string_view charset);

}  // namespace quillmark
