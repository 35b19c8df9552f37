// The parts of an absolute http:// or https:// URL that decide whether two
// URLs name the same server.
#pragma once

#include <optional>
#include <string>

namespace quillmark::tools {

struct UrlParts {
  std::string scheme;  // "http" or "https", lower case
  std::string host;    // lower case; an IPv6 address keeps its brackets
  int port = 0;        // the scheme's default when the URL names none
  std::string rest;    // path, query and fragment; may be ""
};

// The parts of `url`; nullopt for other schemes, user information, an empty
// host or a port that is not a number from 1 to 65535.
std::optional<UrlParts> ParseHttpUrl(const std::string& url);

}  // namespace quillmark::tools
