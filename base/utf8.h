// Well-formed UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark {

// Length of the well-formed multi-byte sequence at bytes[at], or 0 when
// none starts there (an ASCII byte included).
std::size_t Utf8SequenceLength(std::string_view bytes, std::size_t at);

// True when `bytes` are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// `bytes` with each byte that starts no well-formed sequence replaced by
// U+FFFD, as a decoder replaces what it cannot read.
std::string WithIllFormedBytesReplaced(std::string_view bytes);

}  // namespace quillmark
