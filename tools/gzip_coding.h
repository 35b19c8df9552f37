// The gzip content coding, for answers to clients that take it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark::tools {

// `body` in the gzip format; nullopt when compression failed.
std::optional<std::string> Gzipped(std::string_view body);

}  // namespace quillmark::tools
