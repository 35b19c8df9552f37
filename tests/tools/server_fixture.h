// A conversion server on an ephemeral loopback port, run inside the test
// program, with a small site and a configuration file of its own.
#pragma once

#include <httplib.h>
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
#include "tools/http_server.h"

namespace quillmark::tools::testing {

namespace fs = std::filesystem;

using quillmark::testing::TemporaryFolder;

// Runs a ConversionServer for `source` on a thread until destroyed. The
// access log goes to a temporary file that Log() reads back.
class RunningServer {
 public:
  RunningServer(const ContentSource& source, int threads)
      : logFile_(std::tmpfile(), &std::fclose),
        log_(logFile_.get()),
        server_(source, ServerSettings{"127.0.0.1", 0, threads}, log_) {
    port_ = server_.Bind();
    if (port_ > 0) thread_ = std::thread([this] { server_.Serve(); });
  }
  ~RunningServer() {
    server_.Stop();
    if (thread_.joinable()) thread_.join();
  }
  RunningServer(const RunningServer&) = delete;
  RunningServer& operator=(const RunningServer&) = delete;

  int Port() const { return port_; }
  std::unique_ptr<httplib::Client> Client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client->set_read_timeout(10);
    return client;
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
  ConversionServer server_;
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

}  // namespace quillmark::tools::testing
