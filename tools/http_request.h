// One request as the server received it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tools/header_list.h"

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
  std::optional<std::string> Header(std::string_view name) const { return FindHeader(headers, name); }
};

}  // namespace quillmark::tools
