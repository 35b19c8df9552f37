// Validators and ranges: what lets caches keep answers and clients ask for
// what changed or for part of a file.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "tools/content_source.h"

namespace quillmark::tools {

// "Sun, 06 Nov 1994 08:49:37 GMT" for a time in seconds since 1970.
std::string HttpDate(std::time_t seconds);

// Seconds since 1970 of an HTTP date in the form HttpDate writes; nullopt
// for anything else.
std::optional<std::time_t> ParseHttpDate(std::string_view text);

// A strong entity tag for a file's identity, size and time, and for
// `variant`: what else the answer was made from ("" for files sent as they
// are).
std::string FileTag(const FileIdentity& file, std::string_view variant);

// A strong entity tag derived from the bytes of a body.
std::string BodyTag(std::string_view body);

// True when an If-None-Match header's value names `tag` (compared weakly,
// as that header asks) or is "*".
bool NoneMatchNames(std::string_view ifNoneMatch, std::string_view tag);

struct ByteRange {
  uint64_t first = 0;
  uint64_t last = 0;  // inclusive
};

// What a Range header asks of a body of `size` bytes: nullopt when the
// header is to be ignored (not one "bytes=" range); a range with first >
// last when no byte of the body is asked for.
std::optional<ByteRange> ParseByteRange(std::string_view range, uint64_t size);

}  // namespace quillmark::tools
