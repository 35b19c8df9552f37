#include "tools/serve_command.h"

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "tools/configuration_watch.h"
#include "tools/http_server.h"
#include "tools/input_files.h"
#include "tools/origin_source.h"
#include "tools/signal_watcher.h"
#include "tools/site_root.h"

namespace quillmark::tools {

namespace {

constexpr int64_t kDefaultMaxPageBytes = 1024 * 1024;
constexpr int64_t kMostThreads = 1024;
constexpr int64_t kMostConnections = 100000;
constexpr int64_t kMostOriginSeconds = 3600;

constexpr char kServeUsage[] =
    "Usage: quillmark serve (--root DIR | --origin URL) [OPTIONS]\n"
    "Serves WML decks over HTTP/1.1. Pages are converted for the device that\n"
    "the request's User-Agent selects.\n"
    "\n"
    "  --root DIR            serve the files below DIR: .html and .htm pages are\n"
    "                        converted, .wml, .wmls, .wbmp, .gif, .png and .jpg\n"
    "                        files are sent as they are (.wml decks compiled for\n"
    "                        clients that prefer WMLC); a folder serves its\n"
    "                        index.html\n"
    "  --origin URL          fetch each path from the HTTP or HTTPS server at URL,\n"
    "                        convert HTML answers and pass other content through\n"
    "  --origin-timeout N    seconds an origin has for a whole answer (default 15)\n"
    "  --origin-ca FILE      certificates to trust for an https:// origin\n"
    "                        (default: the system's)\n"
    "  --bind ADDRESS        address to listen on (default 127.0.0.1)\n"
    "  --port N              port to listen on (default 8080; 0 picks a free one)\n"
    "  --config FILE         configuration file (default: the one beside the\n"
    "                        library); changes are picked up while serving\n"
    "  --threads N           requests converted at once (default 8)\n"
    "  --max-connections N   connections open at once (default 1024)\n"
    "  --max-per-address N   connections open at once from one address\n"
    "                        (default 64)\n"
    "  --max-page-bytes N    larger pages and files are answered with 413\n"
    "                        (default 1048576)\n"
    "  --max-body-bytes N    larger request bodies are answered with 413\n"
    "                        (default 65536)\n"
    "  --log FILE            append the access log to FILE (default: standard\n"
    "                        error)\n"
    "  --part-parameter NAME the query parameter that asks for a part of a deck\n"
    "                        cut to a device's MAX_DECK_SIZE (default qm-part);\n"
    "                        it is not passed on to the origin\n"
    "  --help                show this help and exit\n"
    "GET and HEAD are answered, and POST in --origin mode. One line per request\n"
    "goes to the log in the combined log format, followed by the milliseconds\n"
    "and the device. SIGINT or SIGTERM stops the server after the requests in\n"
    "progress; with --log FILE, SIGHUP opens FILE anew (for log rotation).\n";

struct ServeOptions {
  std::optional<std::string> root;
  std::optional<std::string> origin;
  std::optional<std::string> config;
  std::optional<std::string> log;
  ServerSettings server;
  OriginSettings originSettings;
  int64_t maxPageBytes = kDefaultMaxPageBytes;
  bool originTimeoutGiven = false;
};

// Applies one option that is a number; false when `word` is none of them.
bool ApplyNumberOption(const std::string& word, ArgumentCursor& arguments, ServeOptions& options) {
  const auto number = [&](int64_t low, int64_t high) { return ParseNumber(arguments.ValueOf(word), word, low, high); };
  if (word == "--port") {
    options.server.port = static_cast<int>(number(0, 65535));
  } else if (word == "--threads") {
    options.server.threads = static_cast<int>(number(1, kMostThreads));
  } else if (word == "--max-connections") {
    options.server.maxConnections = static_cast<int>(number(1, kMostConnections));
  } else if (word == "--max-per-address") {
    options.server.maxPerAddress = static_cast<int>(number(1, kMostConnections));
  } else if (word == "--max-page-bytes") {
    options.maxPageBytes = number(1, INT32_MAX);
  } else if (word == "--max-body-bytes") {
    options.server.maxBodyBytes = static_cast<uint64_t>(number(0, INT32_MAX));
  } else if (word == "--origin-timeout") {
    options.originSettings.timeout = std::chrono::seconds(number(1, kMostOriginSeconds));
    options.originTimeoutGiven = true;
  } else {
    return false;
  }
  return true;
}

// True when `name` can stand in a query as it is: one or more of the
// characters a URL never needs to escape. A name with "=", "&" or "#"
// would be read as another parameter, or none.
bool IsQueryName(const std::string& name) {
  constexpr std::string_view kSigns = "-_.~";
  const auto plain = [&](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           kSigns.find(c) != std::string_view::npos;
  };
  return !name.empty() && std::all_of(name.begin(), name.end(), plain);
}

// Applies one option with its value; false when `word` is no serve option.
bool ApplyServeOption(const std::string& word, ArgumentCursor& arguments, ServeOptions& options) {
  if (word == "--root") {
    options.root = arguments.ValueOf(word);
  } else if (word == "--origin") {
    options.origin = arguments.ValueOf(word);
  } else if (word == "--origin-ca") {
    options.originSettings.caFile = arguments.ValueOf(word);
  } else if (word == "--config") {
    options.config = arguments.ValueOf(word);
  } else if (word == "--bind") {
    options.server.bind = arguments.ValueOf(word);
  } else if (word == "--log") {
    options.log = arguments.ValueOf(word);
  } else if (word == "--part-parameter") {
    options.server.partParameter = arguments.ValueOf(word);
    if (!IsQueryName(options.server.partParameter)) {
      throw UsageError("--part-parameter needs a name of letters, digits, \"-\", \"_\", \".\" and \"~\"");
    }
  } else {
    return ApplyNumberOption(word, arguments, options);
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
  if (options.root && (options.originTimeoutGiven || !options.originSettings.caFile.empty())) {
    throw UsageError("--origin-timeout and --origin-ca go with --origin, not --root");
  }
  return std::nullopt;
}

// The source the options name; throws std::exception with a readable message.
std::unique_ptr<ContentSource> MakeSource(const ServeOptions& options) {
  const auto limit = static_cast<uint64_t>(options.maxPageBytes);
  if (options.root) return std::make_unique<SiteRoot>(*options.root, limit);
  OriginSettings settings = options.originSettings;
  settings.maxBytes = limit;
  return std::make_unique<OriginSource>(*options.origin, settings);
}

// Every connection holds a descriptor, and its deadline watch a second one:
// allow as many as the system lets this process have.
void RaiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);
}

// Binds, serves until a signal, and reports both on standard error.
int ServeUntilSignal(ConversionServer& server, ConfigurationWatch& configuration, const ServeOptions& options) {
  const int port = server.Bind();
  if (port < 0) {
    std::cerr << "quillmark: cannot listen on " << options.server.bind << ":" << options.server.port << ": "
              << server.BindError() << "\n";
    return 1;
  }
  std::cerr << "quillmark: serving " << (options.root ? *options.root : *options.origin) << " on http://"
            << options.server.bind << ":" << port << "/" << std::endl;
  configuration.Report();
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
  if (options.log && !log.AppendTo(*options.log)) {
    std::cerr << "quillmark: cannot write " << *options.log << ": " << std::strerror(errno) << "\n";
    return 1;
  }
  RaiseDescriptorLimit();
  ConfigurationWatch configuration(options.config.value_or(""), log);
  ConversionServer server(*source, options.server, log, &configuration);
  // A log file is opened anew on SIGHUP, as log rotation asks.
  std::function<void()> reopenLog;
  if (options.log) {
    reopenLog = [&log, &options] {
      if (!log.AppendTo(*options.log)) log.Note("cannot reopen " + *options.log + ": " + std::strerror(errno));
    };
  }
  SignalWatcher watcher([&server](int) { server.Stop(); }, reopenLog);
  return ServeUntilSignal(server, configuration, options);
}

}  // namespace quillmark::tools
