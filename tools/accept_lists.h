// Reading the lists of Accept and Accept-Encoding headers: which media
// types or codings a client takes.
#pragma once

#include <string_view>

namespace quillmark::tools {

// True when the comma-separated `list` names `wanted` (case ignored, without
// its parameters) with a quality above zero.
bool ListAccepts(std::string_view list, std::string_view wanted);

}  // namespace quillmark::tools
