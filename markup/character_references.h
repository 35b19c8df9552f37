// Character references and WML variables in page text.
//
// A page is HTML: its references are HTML's (252 names, some also read
// without the closing ";", numbers in decimal or hex) and a "$" is a plain
// dollar sign. A deck is WML: it knows only the names amp, lt, gt, quot,
// apos, nbsp and shy, and "$" starts a variable. These helpers read the one
// and write the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmark {

// Where a reference stands: attribute values read legacy names (those
// without ";") only when no letter, digit or "=" follows them.
enum class ReferenceContext { kText, kAttribute };

// What the "&" at text[0] opens.
struct ResolvedReference {
  // Bytes of text the reference takes, its ";" included; 0 when the "&"
  // opens no reference that stands for a character a deck may hold.
  size_t length = 0;
  // The WML name it is written with ("amp", ...), or empty for a number.
  std::string_view wmlName;
  uint32_t codePoint = 0;
};

// Reads the reference at text[0] (which is "&") as HTML does. Named
// references match their exact case first, then the lower-cased name; a
// number must name a character XML allows. Looks at no more than a few dozen
// bytes.
ResolvedReference ResolveReference(std::string_view text, ReferenceContext context);

// Appends `reference` as a deck writes it: "&name;" for a WML name, else
// "&#N;".
void AppendReference(std::string& out, const ResolvedReference& reference);

// Length of the reference at text[0] (which is "&") when it is written as
// XML allows ("&" name ";", "&#" digits ";" or "&#x" hex digits ";", a number
// naming a character XML allows), else 0.
size_t WellFormedReferenceLength(std::string_view text);

// Length of the numeric reference at text[0] (which is "&#"): decimal
// digits, or "x" and hex digits, and a ";" when one follows, whatever
// number they give; 0 when no digit follows. HTML reads such a reference
// whole, as U+FFFD where ResolveReference finds no character it names.
size_t NumberReferenceLength(std::string_view text);

// Length of the WML variable name at text[0]: a letter or "_", then
// letters, digits and "_"; 0 when none begins there.
size_t VariableNameLength(std::string_view text);

// Length of the WML variable reference at text[0] (which is "$"): "$name",
// "$(name)" or "$(name:conversion)" with conversion one of e, escape, n,
// noesc, u, unesc; 0 when the "$" starts none.
size_t VariableReferenceLength(std::string_view text);

// The code point that an HTML name stands for (exact case), or 0.
uint32_t HtmlEntityCodePoint(std::string_view name);

}  // namespace quillmark
