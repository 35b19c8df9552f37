// Reading the lists of Accept and Accept-Encoding headers: which media
// types or codings a client takes.
#pragma once

#include <optional>
#include <string_view>

namespace quillmark::tools {

// True when the comma-separated `list` names `wanted` (case ignored, without
// its parameters) with a quality above zero.
bool ListAccepts(std::string_view list, std::string_view wanted);

// True when the Accept list `accept` prefers `preferred` to `other`: it gives
// `preferred` a higher quality, or lists it and not `other`. Only the names
// themselves count, not wildcards.
bool ListPrefers(std::string_view accept, std::string_view preferred, std::string_view other);

}  // namespace quillmark::tools
