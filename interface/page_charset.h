// Which charset a page is written in, and which one its deck is written in.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/xml_declaration.h"

namespace quillmark {

struct PageCharset {
  // A charset name iconv knows ("UTF-8", "WINDOWS-1252", ...).
  std::string name;
  // Bytes of byte-order mark at the start of the page, which are not text.
  size_t byteOrderMark = 0;
};

// The page's charset, first match wins: a byte-order mark, or markup in
// UTF-16 without one ("<" and an ASCII character, each beside a zero byte);
// a charset the page declares (<meta charset>, <meta http-equiv=
// "Content-Type">, or its XML declaration's encoding), outside comments;
// `hostCharset` (may be empty); UTF-8 when the bytes are valid UTF-8; else
// Windows-1252. Declared names that iconv does not know are passed over; a
// declared UTF-16 or UTF-32, read in ASCII bytes, means UTF-8.
PageCharset DetectPageCharset(std::string_view page, std::string_view hostCharset);

// The charset a label names (a <meta> tag's, a Content-Type's, or one a
// host gives), as iconv knows it; nullopt for a label iconv does not know.
std::optional<std::string> CharsetOfLabel(std::string_view label);

// DeclaredEncoding, the encoding an XML declaration names, is in
// base/xml_declaration.h.

// True when text written in `encoding` keeps ASCII as its own bytes and
// writes every other character in bytes that begin beyond ASCII and never
// fall among markup's signs, as UTF-8, the ISO 8859 and Windows sets and
// the multi-byte Asian sets (Shift_JIS, EUC, Big5, GB2312) do, so that the
// markup of a deck in it can be read byte by byte; false for UTF-16 and
// UTF-32, and for the 7-bit sets that write other characters in ASCII
// bytes (ISO-2022-JP, UTF-7, HZ). An encoding iconv does not know is written as ASCII:
// true.
bool KeepsAsciiMarkup(const std::string& encoding);

// True when the WMLC compiler reads a deck in `encoding` as it stands: its
// markup is ASCII (KeepsAsciiMarkup) and WBXML numbers it.
bool CompilesAsItStands(const std::string& encoding);

// `deck` with an XML declaration that names UTF-8 in place of its own
// (as it is when it begins with none).
std::string WithUtf8Declaration(std::string deck);

// The encoding a deck's own bytes name, and the length of its byte-order
// mark: the mark's encoding, that of a declaration in UTF-16 without one,
// or what an XML declaration names (UTF-8 when it names none); nullopt for
// a deck that names none, whose encoding a host may know otherwise.
struct DeckBytes {
  std::string encoding;
  size_t byteOrderMark = 0;
};
std::optional<DeckBytes> OwnDeckEncoding(std::string_view deck);

// The deck text `deck` as the WMLC compiler can read it: as it is when the
// compiler reads its encoding (CompilesAsItStands; UTF-8 for a deck that
// names none), else decoded into UTF-8 under a declaration that says so,
// since every WAP phone reads UTF-8. A deck in an encoding iconv does not
// know stays as it is.
std::string CompilableDeck(std::string deck);

// True when `charset` names UTF-8 under any of its spellings.
bool IsUtf8Name(std::string_view charset);

}  // namespace quillmark
