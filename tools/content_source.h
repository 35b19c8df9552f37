// Where the server's answers come from: files below a root folder, or an
// origin server. A source only fetches; the server converts pages.
#pragma once

#include <cstdint>
#include <string>

namespace quillmark::tools {

struct SourceRequest {
  std::string path;       // decoded path
  std::string target;     // path and query as the client sent them
  std::string userAgent;  // "" when the client sent none
};

struct SourceContent {
  int status = 200;
  std::string mediaType;
  std::string body;
  std::string location;  // for redirections; "" otherwise
};

class ContentSource {
 public:
  virtual ~ContentSource() = default;
  // The content for one request; safe to call from many threads at once.
  virtual SourceContent Fetch(const SourceRequest& request) const = 0;
};

// A short plain-text answer for an error status ("404 Not Found").
SourceContent ErrorContent(int status);

// The reason phrase of the statuses the server produces itself.
const char* ReasonPhrase(int status);

}  // namespace quillmark::tools
