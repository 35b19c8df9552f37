// Header fields of a request or an answer, in the order they came.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/ascii_case.h"

namespace quillmark::tools {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// The value of the first header named `name` (case ignored).
inline std::optional<std::string> FindHeader(const HeaderList& headers, std::string_view name) {
  for (const auto& [key, value] : headers) {
    if (EqualIgnoringCase(key, name)) return value;
  }
  return std::nullopt;
}

}  // namespace quillmark::tools
