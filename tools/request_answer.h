// What the server answers to one request: the source's content, pages
// converted for the requesting device, with the validators, ranges and
// error forms that clients and caches expect.
#pragma once

#include <string>

#include "tools/content_source.h"
#include "tools/http_request.h"

namespace quillmark::tools {

// What the server sends for one request, before it is put on the wire.
struct Answer {
  int status = 200;
  std::string mediaType;  // "" sends no Content-Type
  std::string body;
  HeaderList headers;
  std::string device = "-";  // the device a converted page was made for
};

// Answers `request` from `source`. `generation` names the configuration in
// force, so that a deck's entity tag changes when the configuration does.
// The query parameter `partParameter` asks for a part of a deck cut to the
// device's limits; it is taken off the query before the source sees it.
Answer AnswerRequest(const ContentSource& source, const HttpRequest& request, const std::string& generation,
                     const std::string& partParameter = "qm-part");

// The server's own answer for an error status: a small deck for a client
// that accepts WML (compiled for one that prefers WMLC, as decks are),
// plain text for others.
Answer ErrorAnswer(int status, const HttpRequest& request);

}  // namespace quillmark::tools
