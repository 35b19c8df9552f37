// Compiling WML decks into WMLC, the WBXML form that WAP phones receive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// MIBenum of UTF-8, the charset of a deck whose declaration names none.
inline constexpr uint32_t kWmlcUtf8 = 106;
// The charset number WBXML gives an encoding it has no number for.
inline constexpr uint32_t kWmlcUnknownCharset = 0;

// Compiles the WML text `wml` into WBXML 1.3 with WML 1.1 tokens. The text
// is normally a whole deck: its XML declaration gives the charset (UTF-8
// when it names none, 0 for a name without a MIBenum here), its document
// type the public identifier (WML 1.1 unless it names another WML version).
// Text without an XML declaration, such as a single card, is compiled as a
// deck in `charset` (a MIBenum), so that a card's compiled size can be
// measured on its own. Rejects nothing: markup that is not well formed is
// compiled as the reader repairs it, and NUL bytes, which XML allows
// nowhere, are dropped; it throws only when memory runs out. Costs time and
// memory linear in the text's length.
std::string CompileWmlc(std::string_view wml, uint32_t charset = kWmlcUtf8);

// The MIBenum by which a compiled deck names the encoding `name`: UTF-8's
// for an empty name, kWmlcUnknownCharset for a name it has none for here.
uint32_t WmlcCharsetOf(std::string_view name);

// The length of what CompileWmlc gives for the same arguments.
std::size_t CompiledWmlcSize(std::string_view wml, uint32_t charset = kWmlcUtf8);

}  // namespace quillmark
