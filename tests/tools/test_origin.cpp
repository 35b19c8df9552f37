// The server in --origin mode, in front of an origin server run by the test.

#include <gtest/gtest.h>

#include "server_fixture.h"
#include "tools/origin_source.h"

namespace quillmark::tools::testing {
namespace {

constexpr uint64_t kMaxPageBytes = 4096;

// An origin server on a loopback port of its own.
class Origin {
 public:
  Origin() {
    server_.Get("/page.html", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content("<p>agent " + request.get_header_value("User-Agent") + " query " +
                               request.get_param_value("q") + "</p>",
                           "text/html; charset=utf-8");
    });
    server_.Get("/logo.gif", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("GIF89a-origin", "image/gif");
    });
    server_.Get("/big.html", [](const httplib::Request&, httplib::Response& response) {
      response.set_content(std::string(kMaxPageBytes * 2, 'x'), "text/html");
    });
    server_.Get("/moved", [this](const httplib::Request&, httplib::Response& response) {
      response.set_redirect("http://127.0.0.1:" + std::to_string(port_) + "/page.html");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::yield();
  }
  ~Origin() {
    server_.stop();
    thread_.join();
  }
  Origin(const Origin&) = delete;
  Origin& operator=(const Origin&) = delete;

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_); }

 private:
  httplib::Server server_;
  int port_ = -1;
  std::thread thread_;
};

TEST(OriginServer, ConvertsPagesPassesOtherContentAndMapsFailures) {
  Origin origin;
  OriginSource source(origin.Url(), kMaxPageBytes);
  RunningServer server(source, 2);
  ASSERT_GT(server.Port(), 0);
  struct Case {
    const char* path;
    int status;
    const char* mediaType;
    const char* bodyPart;
  };
  const Case cases[] = {
      {"/page.html?q=42", 200, "text/vnd.wap.wml", "agent Wren320/1.0 query 42"},
      {"/logo.gif", 200, "image/gif", "GIF89a-origin"},
      {"/missing.html", 404, "", ""},
      {"/big.html", 413, "text/plain", "413 Payload Too Large"},
      {"/%2e%2e/page.html", 403, "text/plain", "403 Forbidden"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto result = server.Client()->Get(c.path, {{"User-Agent", "Wren320/1.0"}});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, c.status);
    if (c.status == 404) continue;
    EXPECT_EQ(result->get_header_value("Content-Type"), c.mediaType);
    EXPECT_NE(result->body.find(c.bodyPart), std::string::npos) << result->body;
  }
  const auto moved = server.Client()->Get("/moved");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->status, 302);
  EXPECT_EQ(moved->get_header_value("Location"), "/page.html");
}

TEST(OriginServer, AnOriginThatCannotBeReachedGives502) {
  const int closedPort = UnusedLoopbackPort();
  ASSERT_GT(closedPort, 0);
  OriginSource source("http://127.0.0.1:" + std::to_string(closedPort), kMaxPageBytes);
  RunningServer server(source, 2);
  const auto result = server.Client()->Get("/page.html");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 502);
  EXPECT_NE(server.Log().find("GET /page.html 502 "), std::string::npos) << server.Log();
}

TEST(OriginServer, OriginUrlsAreChecked) {
  for (const char* url : {"ftp://host", "host:80", "http://", "http://host/?q"}) {
    SCOPED_TRACE(url);
    EXPECT_THROW(OriginSource(url, kMaxPageBytes), std::invalid_argument);
  }
  EXPECT_NO_THROW(OriginSource("http://127.0.0.1:8080/base/", kMaxPageBytes));
}

}  // namespace
}  // namespace quillmark::tools::testing
