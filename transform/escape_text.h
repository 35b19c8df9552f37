// Escaping of character data and link targets, and trimming of text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

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
// `ampersandReplacement`.
std::optional<std::string> EscapeText(std::string_view text, std::string_view specials,
                                      std::string_view ampersandReplacement);

// `text` without leading and trailing bytes of value 1 to 32.
std::string_view TrimControlBytes(std::string_view text);

// `text` made safe as a double-quoted attribute value: escaped as character
// data, with '"' written as "&quot;".
std::string AttributeValueText(std::string_view text);

}  // namespace quillmark
