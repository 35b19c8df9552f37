// Escaping of character data and link targets, and trimming of text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/control_bytes.h"
#include "markup/character_references.h"

namespace quillmark {

// How an escaped copy treats the references it meets: kKeep lower-cases a
// short one and keeps it; kConvert reads it as HTML does and writes it as a
// WML name or a number (an "&" that opens no reference is then bare).
enum class ReferenceMode { kKeep, kConvert };

// The reference mode of a device with `settings`.
struct CWmlSettings;
ReferenceMode ReferenceModeOf(const CWmlSettings& settings);

// Replacement of a bare "&" in character data.
inline constexpr char kAmpersandEntity[] = "&amp;";
// Characters whose presence makes character data need escaping.
inline constexpr char kTextSpecials[] = "&<>";
// Characters whose presence makes a link target need escaping.
inline constexpr char kLinkSpecials[] = "&";

// An escaped copy of `text`, or nothing when `text` holds none of `specials`
// (the text is then used unchanged). In the copy "<" and ">" become "&lt;"
// and "&gt;"; a character or entity reference of at most 8 characters ("&",
// a name or "#" number of letters and digits, ";") is kept with its letters
// lower-cased ("&copy;" becomes "&#169;"); every other "&" becomes
// `ampersandReplacement`. With kConvert, references are resolved for
// `context` instead (see ResolveReference).
std::optional<std::string> EscapeText(std::string_view text, std::string_view specials,
                                      std::string_view ampersandReplacement,
                                      ReferenceMode mode = ReferenceMode::kKeep,
                                      ReferenceContext context = ReferenceContext::kText);

// `text` made safe as a double-quoted attribute value: escaped as character
// data, with '"' written as "&quot;".
// `context` tells where the text came from.
std::string AttributeValueText(std::string_view text, ReferenceMode mode = ReferenceMode::kKeep,
                               ReferenceContext context = ReferenceContext::kText);

}  // namespace quillmark
