// Character set conversion through the C library's iconv.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

// True when the C library can convert between `charset` and UTF-8.
bool IsKnownCharset(const std::string& charset);

// `bytes` read in `charset`, as UTF-8. A byte sequence the charset does not
// define becomes U+FFFD, so nothing after it is lost. nullopt when the
// charset is unknown.
std::optional<std::string> DecodeToUtf8(std::string_view bytes, const std::string& charset);

// UTF-8 `text` written in `charset`; a character the charset cannot hold is
// written as a numeric character reference "&#N;". nullopt when the charset
// is unknown.
std::optional<std::string> EncodeFromUtf8(std::string_view text, const std::string& charset);

}  // namespace quillmark
