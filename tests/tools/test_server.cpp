// The server in --root mode, spoken to over HTTP on loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>
#include <vector>

#include "server_fixture.h"
#include "platform/transcoder.h"
#include "tests/support/wbxml_check.h"
#include "transform/wmlc_encoder.h"
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
    server_ = std::make_unique<RunningServer>(*root_, RunningServer::Settings(4),
                                              (site_.Path() / "devices.cfg").string());
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
    const char* charset;  // as the deck's declaration names it
  };
  const Case cases[] = {
      {"Kestrel71/2.0", "<strong>bold</strong>", "KESTREL71", "utf-8"},
      {"Mozilla/5.0 (W320; x)", "encoding=\"ISO-8859-1\"", "WREN320", "iso-8859-1"},
      {"Other/1.0", "<b>bold</b>", "DEFAULT", "utf-8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.userAgent);
    const auto result = Get(*server_, "/index.html", c.userAgent);
    ASSERT_GT(result.status, 0);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.Header("Content-Type"), std::string("text/vnd.wap.wml; charset=") + c.charset);
    EXPECT_EQ(result.Header("Vary"), "User-Agent, Accept");
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
      {"/page.htm", 200, "text/vnd.wap.wml; charset=utf-8", ""},
      {"/", 200, "text/vnd.wap.wml; charset=utf-8", ""},
      {"/sub/", 200, "text/vnd.wap.wml; charset=utf-8", ""},
      {"/missing.html", 404, "text/plain", "404 Not Found\n"},
      {"/notes.txt", 404, "text/plain", ""},
      {"/page.htm/", 404, "text/plain", ""},
      {"/deck.wml/", 404, "text/plain", ""},
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
  EXPECT_EQ(head.Header("Content-Type"), "text/vnd.wap.wml; charset=utf-8");
  EXPECT_TRUE(Contains(server_->Log(), "\"HEAD /index.html HTTP/1.1\" 200 0 ")) << server_->Log();
}

TEST_F(SiteServer, AnAbsoluteFormTargetIsAnsweredAsItsPath) {
  const auto byPath = Get(*server_, "/sub/index.html", "Kestrel71");
  const auto absolute =
      Request(server_->Port(), "GET", "http://wap.example/sub/index.html", {{"User-Agent", "Kestrel71"}});
  ASSERT_EQ(byPath.status, 200);
  EXPECT_EQ(absolute.status, 200);
  EXPECT_EQ(absolute.body, byPath.body);
  EXPECT_EQ(Request(server_->Port(), "GET", "http://wap.example", {}).status, 200);
  EXPECT_TRUE(Contains(server_->Log(), "\"GET http://wap.example/sub/index.html HTTP/1.1\" 200 ")) << server_->Log();
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
      {"../outside.html", 400},
      {"page.htm", 400},
      {"*", 400},
      {"/escape.html", 403},
      {"http://x/../outside.html", 403},
      {"http://x/%2e%2e/outside.html", 403},
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
  // A slip in the new file is logged with its line.
  const auto slipLine = std::count(changed.begin(), changed.end(), '\n') + 1;
  changed += "TABLES=maybe\n";
  site_.Write("devices.cfg", changed, 10);
  const auto after = Get(*server_, "/", "Kestrel71");
  ASSERT_GT(after.status, 0);
  EXPECT_TRUE(Contains(after.body, "<big>bold</big>")) << after.body;
  // The deck's tag names the configuration it was made with.
  EXPECT_NE(after.Header("ETag"), before.Header("ETag"));
  const std::string log = server_->Log();
  EXPECT_TRUE(Contains(log, "quillmark: configuration " + (site_.Path() / "devices.cfg").string() +
                                " generation 1: 3 devices\n"))
      << log;
  EXPECT_TRUE(Contains(log, " generation 2: 3 devices\nquillmark: configuration " +
                                (site_.Path() / "devices.cfg").string() + ":" + std::to_string(slipLine) +
                                ": TABLES=\"maybe\" is neither true nor false: read as false\n"))
      << log;
  EXPECT_FALSE(Contains(log, "generation 1: 3 devices\nquillmark: configuration " +
                                 (site_.Path() / "devices.cfg").string() + ":"))
      << log;
}

TEST_F(SiteServer, AnswersCarryValidatorsAndCurrentCopiesGet304) {
  const HttpReply deck = Get(*server_, "/index.html", "Kestrel71");
  const std::string tag = deck.Header("ETag");
  const std::string modified = deck.Header("Last-Modified");
  EXPECT_TRUE(deck.Has("Date"));
  ASSERT_GE(tag.size(), 2u);
  EXPECT_EQ(tag.front(), '"');  // strong
  EXPECT_NE(Get(*server_, "/index.html", "W320/1").Header("ETag"), tag);  // another device
  struct Case {
    HeaderList headers;
    int status;
  };
  const Case cases[] = {
      {{{"If-None-Match", tag}}, 304},
      {{{"If-None-Match", "\"other\", " + tag}}, 304},
      {{{"If-None-Match", "\"other\""}}, 200},
      {{{"If-Modified-Since", modified}}, 304},
      {{{"If-Modified-Since", "Thu, 01 Jan 1970 00:00:00 GMT"}}, 200},
      {{{"If-None-Match", "\"other\""}, {"If-Modified-Since", modified}}, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headers.front().second);
    HeaderList headers = c.headers;
    headers.emplace_back("User-Agent", "Kestrel71");
    const HttpReply reply = server_->Get("/index.html", headers);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.Header("ETag"), tag);
    EXPECT_EQ(reply.Header("Vary"), "User-Agent, Accept");
    if (c.status == 304) {
      EXPECT_TRUE(reply.body.empty());
    }
  }
  // Files sent as they are do not depend on the device.
  const HttpReply gif = Get(*server_, "/logo.gif", "Kestrel71");
  EXPECT_EQ(Get(*server_, "/logo.gif", "W320/1").Header("ETag"), gif.Header("ETag"));
  EXPECT_FALSE(gif.Has("Vary"));
  site_.Write("site/logo.gif", "GIF89a-bytes", 20);  // same bytes, a later time
  EXPECT_NE(Get(*server_, "/logo.gif", "").Header("ETag"), gif.Header("ETag"));
}

TEST_F(SiteServer, RangesApplyOnlyToFilesSentAsTheyAre) {
  const std::string gifTag = Get(*server_, "/logo.gif", "").Header("ETag");
  struct Case {
    const char* path;
    HeaderList headers;
    int status;
    const char* contentRange;  // "" when none
    const char* body;          // "" when only the status matters
  };
  const Case cases[] = {
      {"/logo.gif", {{"Range", "bytes=0-3"}}, 206, "bytes 0-3/12", "GIF8"},
      {"/logo.gif", {{"Range", "bytes=-5"}}, 206, "bytes 7-11/12", "bytes"},
      {"/logo.gif", {{"Range", "bytes=50-"}}, 416, "bytes */12", ""},
      {"/logo.gif", {{"Range", "bytes=0-3"}, {"If-Range", gifTag}}, 206, "bytes 0-3/12", "GIF8"},
      {"/logo.gif", {{"Range", "bytes=0-3"}, {"If-Range", "\"stale\""}}, 200, "", "GIF89a-bytes"},
      {"/index.html", {{"Range", "bytes=0-3"}}, 200, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.headers.back().second);
    const HttpReply reply = server_->Get(c.path, c.headers);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.Header("Content-Range"), c.contentRange);
    if (*c.body != '\0') {
      EXPECT_EQ(reply.body, c.body);
    }
  }
  const HttpReply deck = Get(*server_, "/index.html", "");
  EXPECT_TRUE(Contains(deck.body, "</wml>")) << deck.body;  // the whole deck
  EXPECT_FALSE(deck.Has("Accept-Ranges"));
}

// A .wml file goes out as it is, or compiled for a client that prefers
// WMLC, as a converted page does; each form has a tag of its own.
TEST_F(SiteServer, AStaticDeckIsCompiledForAClientThatPrefersWmlc) {
  const HttpReply text = server_->Get("/deck.wml", {{"Accept", "text/vnd.wap.wml"}});
  const HttpReply compiled = server_->Get("/deck.wml", {{"Accept", "application/vnd.wap.wmlc"}});
  EXPECT_EQ(text.body, "<wml><card><p>as is</p></card></wml>");
  EXPECT_EQ(compiled.status, 200);
  EXPECT_EQ(compiled.Header("Content-Type"), "application/vnd.wap.wmlc");
  EXPECT_EQ(compiled.body, CompileWmlc(text.body));
  for (const HttpReply* reply : {&text, &compiled}) EXPECT_EQ(reply->Header("Vary"), "Accept");
  EXPECT_NE(compiled.Header("ETag"), text.Header("ETag"));
  EXPECT_FALSE(compiled.Has("Accept-Ranges"));
  const HeaderList again = {{"Accept", "application/vnd.wap.wmlc"}, {"If-None-Match", compiled.Header("ETag")}};
  EXPECT_EQ(server_->Get("/deck.wml", again).status, 304);
}

// WBXML has strings of one charset: a deck in UTF-16, which the compiler
// cannot read byte by byte, is compiled from its UTF-8 text.
TEST_F(SiteServer, AStaticDeckInUtf16IsCompiledInUtf8) {
  const std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><wml><card><p>caf\xC3\xA9</p></card></wml>";
  site_.Write("site/wide.wml", "\xFF\xFE" + EncodeFromUtf8(utf8, "UTF-16LE").value());
  const HttpReply compiled = server_->Get("/wide.wml", {{"Accept", "application/vnd.wap.wmlc"}});
  EXPECT_EQ(compiled.Header("Content-Type"), "application/vnd.wap.wmlc");
  EXPECT_EQ(compiled.body, CompileWmlc("<?xml version=\"1.0\" encoding=\"UTF-8\"?><wml><card><p>caf\xC3\xA9</p></card></wml>"));
}

TEST_F(SiteServer, DecksAreCompressedForClientsThatTakeGzip) {
  site_.Write("site/long.html", "<p>" + std::string(4000, 'z') + "</p>");
  const HttpReply plain = server_->Get("/long.html", {{"Accept-Encoding", "gzip;q=0, br"}});
  const HttpReply coded = server_->Get("/long.html", {{"Accept-Encoding", "deflate, gzip"}});
  EXPECT_FALSE(plain.Has("Content-Encoding"));
  EXPECT_EQ(plain.Header("Vary"), "User-Agent, Accept");
  EXPECT_EQ(coded.Header("Content-Encoding"), "gzip");
  EXPECT_EQ(coded.Header("Vary"), "User-Agent, Accept, Accept-Encoding");
  EXPECT_LT(coded.body.size(), plain.body.size() / 4);
  EXPECT_EQ(coded.body.substr(0, 2), "\x1f\x8b");  // the gzip format
  EXPECT_NE(coded.Header("ETag"), plain.Header("ETag"));
  EXPECT_EQ(server_->Get("/long.html", {{"Accept-Encoding", "gzip"}, {"If-None-Match", coded.Header("ETag")}}).status,
            304);
}

TEST_F(SiteServer, ErrorsAreDecksForPhonesAndTextForOthers) {
  struct Case {
    const char* path;
    const char* accept;
    int status;
    const char* mediaType;
    const char* bodyPart;
  };
  const Case cases[] = {
      {"/missing.html", "text/vnd.wap.wml, image/vnd.wap.wbmp", 404, "text/vnd.wap.wml",
       "<card id=\"error\" title=\"404 Not Found\"><p>404 Not Found</p><p>There is no page at this address.</p>"},
      {"/big.html", "Text/VND.WAP.WML;level=1", 413, "text/vnd.wap.wml", "413 Payload Too Large"},
      {"/.hidden.html", "text/vnd.wap.wml", 403, "text/vnd.wap.wml", "</card></wml>\n"},
      {"/missing.html", "text/vnd.wap.wml;q=0, text/html", 404, "text/plain", "404 Not Found\n"},
      {"/missing.html", "text/html, */*", 404, "text/plain", "404 Not Found\n"},
      {"/missing.html", "application/vnd.wap.wmlc, text/vnd.wap.wml;q=0.5", 404, "application/vnd.wap.wmlc",
       "404 Not Found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + c.accept);
    const HttpReply reply = server_->Get(c.path, {{"Accept", c.accept}});
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.Header("Content-Type"), c.mediaType);
    EXPECT_TRUE(Contains(reply.body, c.bodyPart)) << reply.body;
    EXPECT_EQ(reply.Header("Vary"), "Accept");
    if (c.mediaType[0] == 'a') {
      EXPECT_EQ(WbxmlFault(reply.body), nullptr);
    }
  }
}

TEST_F(SiteServer, TheAccessLogIsInTheCombinedFormat) {
  const HttpReply reply = server_->Get("/index.html?x=1&y=%41", {{"User-Agent", "Kestrel71/2.0"}, {"Referer", "http://r/"}});
  ASSERT_EQ(reply.status, 200);
  const std::string log = server_->Log();
  const size_t line = log.find("127.0.0.1 - - [");
  ASSERT_NE(line, std::string::npos) << log;
  const std::string rest = log.substr(log.find("] ", line) + 2);
  EXPECT_EQ(rest.rfind("\"GET /index.html?x=1&y=%41 HTTP/1.1\" 200 " + std::to_string(reply.body.size()) +
                           " \"http://r/\" \"Kestrel71/2.0\" ",
                       0),
            0u)
      << rest;
  EXPECT_TRUE(Contains(rest.substr(0, rest.find('\n')), "ms KESTREL71")) << rest;
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
