// Fetching pages from an origin HTTP server.
#pragma once

#include "tools/content_source.h"

namespace quillmark::tools {

// Answers each request with what the origin server answers for the same
// path and query, forwarding the client's User-Agent. The origin's status
// and media type pass through; an origin that cannot be reached or answers
// with something that is not HTTP gives 502.
class OriginSource : public ContentSource {
 public:
  // `url` is "http://host[:port][/prefix]" ("https://" too when the HTTP
  // library was built with TLS); throws std::invalid_argument otherwise.
  OriginSource(const std::string& url, uint64_t maxBytes);

  SourceContent Fetch(const SourceRequest& request) const override;

 private:
  // A Location header of the origin, made relative when it names the origin.
  std::string LocalLocation(const std::string& location) const;

  std::string schemeHostPort_;
  std::string prefix_;  // path prefix without a trailing "/"
  uint64_t maxBytes_;
};

}  // namespace quillmark::tools
