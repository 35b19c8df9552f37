#include "tools/serve_command.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "tools/http_server.h"
#include "tools/input_files.h"
#include "tools/origin_source.h"
#include "tools/signal_watcher.h"
#include "tools/site_root.h"

namespace quillmark::tools {

namespace {

constexpr int64_t kDefaultMaxPageBytes = 1024 * 1024;
constexpr int64_t kMostThreads = 1024;

constexpr char kServeUsage[] =
    "Usage: quillmark serve (--root DIR | --origin URL) [OPTIONS]\n"
    "Serves WML decks over HTTP/1.1. Pages are converted for the device that\n"
    "the request's User-Agent selects.\n"
    "\n"
    "  --root DIR            serve the files below DIR: .html and .htm pages are\n"
    "                        converted, .wml, .wmls, .wbmp, .gif, .png and .jpg\n"
    "                        files are sent as they are; a folder serves its\n"
    "                        index.html\n"
    "  --origin URL          fetch each path from the HTTP server at URL, convert\n"
    "                        HTML answers and pass other content through\n"
    "  --bind ADDRESS        address to listen on (default 127.0.0.1)\n"
    "  --port N              port to listen on (default 8080; 0 picks a free one)\n"
    "  --config FILE         configuration file (default: the one beside the\n"
    "                        library); changes are picked up while serving\n"
    "  --threads N           requests answered at once (default 8)\n"
    "  --max-page-bytes N    larger pages and files are answered with 413\n"
    "                        (default 1048576)\n"
    "  --help                show this help and exit\n"
    "Only GET and HEAD are answered. One line per request goes to standard\n"
    "error: method, path, status, bytes, milliseconds and device. SIGINT or\n"
    "SIGTERM stops the server after the requests in progress.\n";

struct ServeOptions {
  std::optional<std::string> root;
  std::optional<std::string> origin;
  std::optional<std::string> config;
  ServerSettings server;
  int64_t maxPageBytes = kDefaultMaxPageBytes;
};

// Applies one option with its value; false when `word` is no serve option.
bool ApplyServeOption(const std::string& word, ArgumentCursor& arguments, ServeOptions& options) {
  if (word == "--root") {
    options.root = arguments.ValueOf(word);
  } else if (word == "--origin") {
    options.origin = arguments.ValueOf(word);
  } else if (word == "--config") {
    options.config = arguments.ValueOf(word);
  } else if (word == "--bind") {
    options.server.bind = arguments.ValueOf(word);
  } else if (word == "--port") {
    options.server.port = static_cast<int>(ParseNumber(arguments.ValueOf(word), word, 0, 65535));
  } else if (word == "--threads") {
    options.server.threads = static_cast<int>(ParseNumber(arguments.ValueOf(word), word, 1, kMostThreads));
  } else if (word == "--max-page-bytes") {
    options.maxPageBytes = ParseNumber(arguments.ValueOf(word), word, 1, INT32_MAX);
  } else {
    return false;
  }
  return true;
}

// Reads the options of "serve"; returns 0 after --help, else nullopt.
std::optional<int> ParseServeOptions(ArgumentCursor& arguments, ServeOptions& options) {
  while (!arguments.Done()) {
    const std::string word = arguments.Next();
    if (word == "--help" || word == "-h") {
      std::cout << kServeUsage;
      return 0;
    }
    if (!ApplyServeOption(word, arguments, options)) throw UsageError("unknown argument " + word);
  }
  if (options.root.has_value() == options.origin.has_value()) {
    throw UsageError("serve needs either --root DIR or --origin URL");
  }
  return std::nullopt;
}

// The source the options name; throws std::exception with a readable message.
std::unique_ptr<ContentSource> MakeSource(const ServeOptions& options) {
  const auto limit = static_cast<uint64_t>(options.maxPageBytes);
  if (options.root) return std::make_unique<SiteRoot>(*options.root, limit);
  return std::make_unique<OriginSource>(*options.origin, limit);
}

// Binds, serves until a signal, and reports both on standard error.
int ServeUntilSignal(ConversionServer& server, const ServeOptions& options) {
  const int port = server.Bind();
  if (port < 0) {
    std::cerr << "quillmark: cannot listen on " << options.server.bind << ":" << options.server.port << ": "
              << std::strerror(errno) << "\n";
    return 1;
  }
  std::cerr << "quillmark: serving " << (options.root ? *options.root : *options.origin) << " on http://"
            << options.server.bind << ":" << port << "/" << std::endl;
  const bool served = server.Serve();
  std::cerr << "quillmark: stopped" << std::endl;
  return served ? 0 : 1;
}

}  // namespace

int RunServeCommand(ArgumentCursor& arguments) {
  ServeOptions options;
  if (auto status = ParseServeOptions(arguments, options)) return *status;
  const std::unique_ptr<ContentSource> source = MakeSource(options);
  if (options.config && !UseConfigurationFile(*options.config)) return 1;
  AccessLog log(stderr);
  ConversionServer server(*source, options.server, log);
  SignalWatcher watcher([&server](int) { server.Stop(); });
  return ServeUntilSignal(server, options);
}

}  // namespace quillmark::tools
