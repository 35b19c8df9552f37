// A conversion server on an ephemeral loopback port, run inside the test
// program, with a small site and a configuration file of its own.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "interface/quillmark.h"
#include "tests/support/temporary_folder.h"
#include "tools/access_log.h"
#include "tools/content_source.h"
#include "tools/configuration_watch.h"
#include "tools/http_server.h"
#include "tools/unique_fd.h"

namespace quillmark::tools::testing {

namespace fs = std::filesystem;

using quillmark::testing::TemporaryFolder;

// An answer as a client received it.
struct HttpReply {
  int status = -1;  // -1 when no answer came
  HeaderList headers;
  std::string body;
  // The first header named `name` (case ignored); "" when absent.
  std::string Header(const std::string& name) const;
  bool Has(const std::string& name) const;
};

// Sends one request over a fresh connection ("Connection: close") and reads
// the whole answer, waiting at most 10 s for it.
HttpReply Request(int port, const std::string& method, const std::string& target, const HeaderList& headers = {},
                  const std::string& body = "");

// A reply from the raw text of an answer.
HttpReply ParseReply(const std::string& answer);

// Runs a ConversionServer for `source` on a thread until destroyed. The
// access log goes to a temporary file that Log() reads back.
class RunningServer {
 public:
  RunningServer(const ContentSource& source, int threads)
      : RunningServer(source, Settings(threads)) {}
  // With `watchedConfiguration`, the server watches that file and logs its
  // reloads.
  RunningServer(const ContentSource& source, const ServerSettings& settings,
                const std::string& watchedConfiguration = "")
      : logFile_(std::tmpfile(), &std::fclose), log_(logFile_.get()) {
    if (!watchedConfiguration.empty()) {
      watch_ = std::make_unique<ConfigurationWatch>(watchedConfiguration, log_);
      watch_->Report();
    }
    server_ = std::make_unique<ConversionServer>(source, settings, log_, watch_.get());
    port_ = server_->Bind();
    if (port_ > 0) thread_ = std::thread([this] { server_->Serve(); });
  }
  ~RunningServer() {
    server_->Stop();
    if (thread_.joinable()) thread_.join();
  }
  RunningServer(const RunningServer&) = delete;
  RunningServer& operator=(const RunningServer&) = delete;

  // Loopback, any free port, `threads` workers.
  static ServerSettings Settings(int threads) {
    ServerSettings settings;
    settings.port = 0;
    settings.threads = threads;
    return settings;
  }

  int Port() const { return port_; }
  HttpReply Get(const std::string& target, const HeaderList& headers = {}) const {
    return Request(port_, "GET", target, headers);
  }
  // Everything logged so far.
  std::string Log() const {
    std::fflush(logFile_.get());
    std::string text;
    std::FILE* file = logFile_.get();
    const long end = std::ftell(file);
    std::rewind(file);
    text.resize(static_cast<size_t>(end));
    text.resize(std::fread(text.data(), 1, text.size(), file));
    std::fseek(file, 0, SEEK_END);
    return text;
  }

 private:
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> logFile_;
  AccessLog log_;
  std::unique_ptr<ConfigurationWatch> watch_;
  std::unique_ptr<ConversionServer> server_;
  int port_ = -1;
  std::thread thread_;
};

// Sends `requestText` as it is over a fresh connection and returns the
// whole answer; for requests an HTTP client library would tidy up first.
std::string SendRaw(int port, const std::string& requestText);

// A loopback port that nothing listens on (bound once, then released).
int UnusedLoopbackPort();

// The status code of a raw answer ("HTTP/1.1 403 ..." gives 403), or -1.
int StatusOf(const std::string& answer);

// A connected loopback socket to `port`, with receive and send timeouts of
// `timeoutMs`; invalid when the connection failed.
UniqueFd Connect(int port, int timeoutMs = 10000);

bool Contains(const std::string& text, const std::string& part);

}  // namespace quillmark::tools::testing
