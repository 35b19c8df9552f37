// Fetching pages from an origin HTTP or HTTPS server.
#pragma once

#include <chrono>

#include "tools/content_source.h"
#include "tools/url_parts.h"

namespace quillmark::tools {

struct OriginSettings {
  uint64_t maxBytes = 1024 * 1024;                // larger answers give 413
  std::chrono::milliseconds timeout{15000};       // for the whole answer
  std::string caFile;                             // "" trusts the system's CAs
};

// Answers each request with what the origin server answers for the same
// path and query, forwarding the client's User-Agent and a POST's body. The
// origin's status, media type, validators and cache lifetimes pass through;
// redirections are not followed. An origin that cannot be reached or answers
// with something that is not HTTP gives 502, one that does not finish its
// answer in time 504.
class OriginSource : public ContentSource {
 public:
  // `url` is "http[s]://host[:port][/prefix]"; throws std::invalid_argument
  // otherwise.
  OriginSource(const std::string& url, const OriginSettings& settings);

  SourceContent Fetch(const SourceRequest& request) const override;
  bool AcceptsPost() const override { return true; }

  // A Location header of the origin, made relative when it names a path
  // below the origin's prefix on the origin's own scheme, host and port.
  std::string LocalLocation(const std::string& location) const;

 private:
  // The path below the prefix for an origin path; nullopt when outside it.
  std::optional<std::string> BelowPrefix(const std::string& path) const;

  std::string schemeHostPort_;
  UrlParts origin_;
  std::string prefix_;  // path prefix without a trailing "/"
  OriginSettings settings_;
};

}  // namespace quillmark::tools
