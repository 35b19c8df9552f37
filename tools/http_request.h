// One request as the server received it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/ascii_case.h"
#include "tools/content_source.h"

namespace quillmark::tools {

struct HttpRequest {
  std::string method;
  std::string path;                 // decoded path, without the query
  std::string target;               // path and query as the client sent them
  std::string version = "HTTP/1.1";
  HeaderList headers;
  std::string body;
  std::string clientAddress;  // numeric, "-" when unknown

  // The value of the first header named `name` (case ignored).
  std::optional<std::string> Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
      if (EqualIgnoringCase(key, name)) return value;
    }
    return std::nullopt;
  }
};

}  // namespace quillmark::tools
