#include "tools/url_parts.h"

#include <algorithm>
#include <charconv>

#include "tools/ascii_case.h"

namespace quillmark::tools {

namespace {

// The port after the host, or the scheme's default; 0 when malformed.
int PortOf(const std::string& digits, int fallback) {
  if (digits.empty()) return fallback;
  int port = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  if (error != std::errc() || end != digits.data() + digits.size() || port < 1 || port > 65535) return 0;
  return port;
}

}  // namespace

std::optional<UrlParts> ParseHttpUrl(const std::string& url) {
  const size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return std::nullopt;
  UrlParts parts;
  parts.scheme = Lowered(url.substr(0, schemeEnd));
  const int defaultPort = parts.scheme == "http" ? 80 : parts.scheme == "https" ? 443 : 0;
  if (defaultPort == 0) return std::nullopt;
  const size_t authorityStart = schemeEnd + 3;
  const size_t authorityEnd = std::min(url.find_first_of("/?#", authorityStart), url.size());
  const std::string authority = url.substr(authorityStart, authorityEnd - authorityStart);
  parts.rest = url.substr(authorityEnd);
  if (authority.find('@') != std::string::npos) return std::nullopt;
  // A colon after the closing bracket of an IPv6 address, or any colon.
  const size_t bracket = authority.rfind(']');
  const size_t colon = authority.find(':', bracket == std::string::npos ? 0 : bracket);
  parts.host = Lowered(authority.substr(0, colon));
  parts.port = PortOf(colon == std::string::npos ? std::string() : authority.substr(colon + 1), defaultPort);
  if (parts.host.empty() || parts.port == 0) return std::nullopt;
  return parts;
}

}  // namespace quillmark::tools
