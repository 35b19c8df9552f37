// An origin server for the --origin tests, on a loopback port of its own,
// over HTTP or over HTTPS with a certificate made for the test.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "server_fixture.h"

struct MHD_Daemon;

namespace quillmark::tools::testing {

struct OriginRequest {
  std::string method;
  std::string target;  // path and query as received
  HeaderList headers;
  std::string body;
  std::string Header(const std::string& name) const;
};

struct OriginReply {
  int status = 200;
  std::string mediaType = "text/html";
  std::string body;
  HeaderList headers;
  // When set, the body goes out one byte after each such pause.
  std::chrono::milliseconds trickle{0};
};

// A self-signed certificate for 127.0.0.1 and its key, made with the
// openssl tool into `folder`; empty texts when that failed.
struct TestCertificate {
  std::string certificateFile;
  std::string certificate;
  std::string key;
};
TestCertificate MakeTestCertificate(const TemporaryFolder& folder);

class TestOrigin {
 public:
  using Handler = std::function<OriginReply(const OriginRequest&)>;
  // Over HTTPS when `certificate` is given.
  explicit TestOrigin(Handler handler, const TestCertificate* certificate = nullptr);
  ~TestOrigin();
  TestOrigin(const TestOrigin&) = delete;
  TestOrigin& operator=(const TestOrigin&) = delete;

  // "http://127.0.0.1:PORT" (or https://); "" when it could not start.
  std::string Url() const { return url_; }
  int Port() const { return port_; }
  OriginReply Answer(const OriginRequest& request) const { return handler_(request); }

 private:
  Handler handler_;
  MHD_Daemon* daemon_ = nullptr;
  int port_ = -1;
  std::string url_;
};

}  // namespace quillmark::tools::testing
