// The HTTP server of "quillmark serve": answers GET and HEAD from a content
// source, converts pages into decks for the requesting device, and logs one
// line per request.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "tools/access_log.h"
#include "tools/content_source.h"

namespace quillmark::tools {

struct ServerSettings {
  std::string bind = "127.0.0.1";
  int port = 8080;  // 0: any free port
  int threads = 8;
};

// What the server sends for one request, before it is put on the wire.
struct Answer {
  int status = 200;
  std::string mediaType;
  std::string body;
  httplib::Headers headers;
  std::string device = "-";  // the device a converted page was made for
};

// Answers one request: 405 for methods other than GET and HEAD, else the
// source's content, pages converted for the request's User-Agent.
Answer AnswerRequest(const ContentSource& source, const httplib::Request& request);

// Borrows the source and the log, which must outlive it.
class ConversionServer {
 public:
  ConversionServer(const ContentSource& source, const ServerSettings& settings, AccessLog& log);

  // Opens the listening socket; the port it listens on, or -1.
  int Bind();
  // Serves until Stop(); false when it could not serve at all.
  bool Serve();
  // Ends Serve() after the requests in progress are answered; safe from any
  // thread, before or during Serve().
  void Stop();

 private:
  httplib::Server::HandlerResponse Handle(const httplib::Request& request, httplib::Response& response);

  const ContentSource& source_;
  ServerSettings settings_;
  AccessLog& log_;
  httplib::Server server_;
  std::mutex stateMutex_;
  std::condition_variable stateChanged_;
  bool serving_ = false;
  bool stopRequested_ = false;
};

}  // namespace quillmark::tools
