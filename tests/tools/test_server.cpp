// The server in --root mode, spoken to over HTTP on loopback.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "server_fixture.h"
#include "tools/site_root.h"

namespace quillmark::tools::testing {
namespace {

constexpr char kPage[] = "<html><head><title>T</title></head><body><p><b>bold</b></p></body></html>";
constexpr uint64_t kMaxPageBytes = 16 * 1024;

constexpr char kConfiguration[] =
    "DEVICE=KESTREL71;USERAGENT=Kestrel71*;TAG_REPLACE=b=<strong>|</strong>\n"
    "DEVICE=WREN320;USERAGENT=*W320*\n"
    "XMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"ISO-8859-1\\\"?>\"\n"
    "DEVICE=DEFAULT\n";

class SiteServer : public ::testing::Test {
 protected:
  SiteServer() {
    site_.Write("site/index.html", kPage);
    site_.Write("site/page.htm", "<p>htm page</p>");
    site_.Write("site/deck.wml", "<wml><card><p>as is</p></card></wml>");
    site_.Write("site/logo.gif", "GIF89a-bytes");
    site_.Write("site/logo.png", "\x89PNG-bytes");
    site_.Write("site/logo.jpg", "JFIF-bytes");
    site_.Write("site/logo.wbmp", std::string("\0\0\x08\x08", 4));
    site_.Write("site/notes.txt", "not served");
    site_.Write("site/.hidden.html", "<p>hidden</p>");
    site_.Write("site/big.html", std::string(kMaxPageBytes + 1, 'x'));
    site_.Write("site/sub/index.html", "<p>sub index</p>");
    site_.Write("outside.html", "<p>SECRET outside the root</p>");
    fs::create_symlink(site_.Path() / "outside.html", site_.Path() / "site/escape.html");
    site_.Write("devices.cfg", kConfiguration);
    WapSetConfigurationFile((site_.Path() / "devices.cfg").c_str());
    root_ = std::make_unique<SiteRoot>((site_.Path() / "site").string(), kMaxPageBytes);
    server_ = std::make_unique<RunningServer>(*root_, 4);
  }
  ~SiteServer() override {
    server_.reset();
    WapSetConfigurationFile(nullptr);
  }

  TemporaryFolder site_;
  std::unique_ptr<SiteRoot> root_;
  std::unique_ptr<RunningServer> server_;
};

// GET `path` with `userAgent` (none when empty).
HttpReply Get(const RunningServer& server, const std::string& path, const std::string& userAgent) {
  HeaderList headers;
  if (!userAgent.empty()) headers.emplace_back("User-Agent", userAgent);
  return server.Get(path, headers);
}

TEST_F(SiteServer, UserAgentsSelectTheirDeviceProfiles) {
  ASSERT_GT(server_->Port(), 0);
  struct Case {
    const char* userAgent;
    const char* expected;
    const char* device;
  };
  const Case cases[] = {
      {"Kestrel71/2.0", "<strong>bold</strong>", "KESTREL71"},
      {"Mozilla/5.0 (W320; x)", "encoding=\"ISO-8859-1\"", "WREN320"},
      {"Other/1.0", "<b>bold</b>", "DEFAULT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.userAgent);
    const auto result = Get(*server_, "/index.html", c.userAgent);
    ASSERT_GT(result.status, 0);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.Header("Content-Type"), "text/vnd.wap.wml");
    EXPECT_EQ(result.Header("Vary"), "User-Agent");
    EXPECT_TRUE(Contains(result.body, c.expected)) << result.body;
    EXPECT_TRUE(Contains(result.body, "<wml>")) << result.body;
    EXPECT_TRUE(Contains(server_->Log(), std::string("\"GET /index.html HTTP/1.1\" 200 ") +
                                             std::to_string(result.body.size()) + " "))
        << server_->Log();
    EXPECT_TRUE(Contains(server_->Log(), std::string("ms ") + c.device + "\n")) << server_->Log();
  }
}

TEST_F(SiteServer, FilesGoOutWithTheirMediaTypesAndErrorsWithTheirStatus) {
  struct Case {
    const char* path;
    int status;
    const char* mediaType;
    std::string body;  // "" when only the status matters
  };
  const Case cases[] = {
      {"/deck.wml", 200, "text/vnd.wap.wml", "<wml><card><p>as is</p></card></wml>"},
      {"/logo.gif", 200, "image/gif", "GIF89a-bytes"},
      {"/logo.png", 200, "image/png", "\x89PNG-bytes"},
      {"/logo.jpg", 200, "image/jpeg", "JFIF-bytes"},
      {"/logo.wbmp", 200, "image/vnd.wap.wbmp", std::string("\0\0\x08\x08", 4)},
      {"/page.htm", 200, "text/vnd.wap.wml", ""},
      {"/", 200, "text/vnd.wap.wml", ""},
      {"/sub/", 200, "text/vnd.wap.wml", ""},
      {"/missing.html", 404, "text/plain", "404 Not Found\n"},
      {"/notes.txt", 404, "text/plain", ""},
      {"/big.html", 413, "text/plain", "413 Payload Too Large\n"},
      {"/.hidden.html", 403, "text/plain", ""},
      {"/escape.html", 403, "text/plain", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto result = Get(*server_, c.path, "");
    ASSERT_GT(result.status, 0);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.Header("Content-Type"), c.mediaType);
    if (!c.body.empty()) {
      EXPECT_EQ(result.body, c.body);
    }
  }
  const auto sub = Get(*server_, "/sub", "");
  ASSERT_GT(sub.status, 0);
  EXPECT_EQ(sub.status, 301);
  EXPECT_EQ(sub.Header("Location"), "/sub/");
}

TEST_F(SiteServer, HeadAnswersLikeGetWithoutTheBody) {
  const auto get = Get(*server_, "/index.html", "Kestrel71");
  const auto head = Request(server_->Port(), "HEAD", "/index.html", {{"User-Agent", "Kestrel71"}});
  ASSERT_GT(get.status, 0);
  ASSERT_GT(head.status, 0);
  EXPECT_EQ(head.status, 200);
  EXPECT_TRUE(head.body.empty());
  EXPECT_EQ(head.Header("Content-Length"), std::to_string(get.body.size()));
  EXPECT_EQ(head.Header("Content-Type"), "text/vnd.wap.wml");
  EXPECT_TRUE(Contains(server_->Log(), "\"HEAD /index.html HTTP/1.1\" 200 0 ")) << server_->Log();
}

TEST_F(SiteServer, OnlyGetAndHeadAreAnswered) {
  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH"}) {
    SCOPED_TRACE(method);
    const std::string answer = SendRaw(server_->Port(), std::string(method) +
                                                            " /index.html HTTP/1.1\r\nHost: x\r\n"
                                                            "Content-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(StatusOf(answer), 405) << answer;
    EXPECT_TRUE(Contains(answer, "Allow: GET, HEAD\r\n")) << answer;
  }
}

TEST_F(SiteServer, NoFileOutsideTheRootIsEverServed) {
  struct Case {
    const char* target;
    int status;
  };
  const Case cases[] = {
      {"/../outside.html", 403},
      {"/%2e%2e/outside.html", 403},
      {"/%2E%2E/outside.html", 403},
      {"/sub/../../outside.html", 403},
      {"/sub/%2e%2e/%2e%2e/outside.html", 403},
      {"/..%2foutside.html", 403},
      {"/..%5coutside.html", 403},
      {"/%00/outside.html", 403},
      {"//etc/passwd", 404},
      {"/./../outside.html", 403},
      {"../outside.html", 403},
      {"/escape.html", 403},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const std::string answer =
        SendRaw(server_->Port(), std::string("GET ") + c.target + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(StatusOf(answer), c.status) << answer;
    EXPECT_FALSE(Contains(answer, "SECRET")) << answer;
  }
}

TEST_F(SiteServer, AConfigurationChangeIsPickedUpWhileServing) {
  const auto before = Get(*server_, "/", "Kestrel71");
  ASSERT_GT(before.status, 0);
  EXPECT_TRUE(Contains(before.body, "<strong>bold</strong>")) << before.body;
  std::string changed = kConfiguration;
  changed.replace(changed.find("<strong>|</strong>"), 18, "<big>|</big>");
  site_.Write("devices.cfg", changed, 10);
  const auto after = Get(*server_, "/", "Kestrel71");
  ASSERT_GT(after.status, 0);
  EXPECT_TRUE(Contains(after.body, "<big>bold</big>")) << after.body;
}

TEST_F(SiteServer, ManyClientsAtOnceAllGetTheirOwnDeck) {
  const std::vector<std::string> agents = {"Kestrel71/1", "W320/1", "Other/1"};
  std::map<std::string, std::string> expected;
  for (const std::string& agent : agents) {
    const auto result = Get(*server_, "/", agent);
    ASSERT_GT(result.status, 0);
    expected[agent] = result.body;
  }
  ASSERT_NE(expected["Kestrel71/1"], expected["W320/1"]);
  constexpr int kClients = 8;
  constexpr int kRequests = 200;
  std::atomic<int> correct{0};
  std::vector<std::thread> clients;
  for (int client = 0; client < kClients; ++client) {
    clients.emplace_back([&, client] {
      // A connection per request, and more clients than workers.
      for (int i = 0; i < kRequests; ++i) {
        const std::string& agent = agents[static_cast<size_t>(client + i) % agents.size()];
        const auto result = server_->Get("/", {{"User-Agent", agent}});
        if (result.status == 200 && result.body == expected.at(agent)) ++correct;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(correct.load(), kClients * kRequests);
}

}  // namespace
}  // namespace quillmark::tools::testing
