// The server in --origin mode, in front of an origin server run by the test.

#include <gtest/gtest.h>

#include "origin_fixture.h"
#include "tools/base_href.h"
#include "tools/gzip_coding.h"
#include "tools/origin_source.h"
#include "tools/percent_encoding.h"

namespace quillmark::tools::testing {
namespace {

constexpr uint64_t kMaxPageBytes = 4096;

OriginSettings Limits(std::chrono::milliseconds timeout = std::chrono::seconds(5), const std::string& caFile = "") {
  return OriginSettings{kMaxPageBytes, timeout, caFile};
}

// The origin of most tests: its answer depends on the path.
OriginReply SiteAnswer(const OriginRequest& request, int port) {
  std::string path = request.target.substr(0, request.target.find('?'));
  const std::string query = path.size() < request.target.size() ? request.target.substr(path.size() + 1) : "";
  if (path.rfind("/base/", 0) == 0) path.erase(0, 5);
  if (path == "/page.html") {
    return {200, "text/html; charset=utf-8", "<p>agent " + request.Header("User-Agent") + " " + query + "</p>",
            {{"ETag", "\"origin-tag\""}, {"Cache-Control", "max-age=60"}, {"Last-Modified", "Tue, 01 Dec 2026 10:00:00 GMT"}}, {}};
  }
  if (path == "/koi8.html") return {200, "text/html; charset=KOI8-R", "<p>caf\xE9</p>", {}, {}};
  if (path == "/long.html") {
    std::string page = "<p>" + query + "</p>";
    for (int i = 0; page.size() < 3500; ++i) page += "<p>paragraph " + std::to_string(i) + " of words to cut</p>";
    return {200, "text/html", page, {}, {}};
  }
  if (path == "/based.html") {
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/base/docs/";
    return {200, "text/html", "<head><base href='" + base + "'></head><a href=b.html>B</a>", {}, {}};
  }
  if (path == "/logo.gif") return {200, "image/gif", "GIF89a-origin", {{"ETag", "\"gif-tag\""}}, {}};
  if (path == "/big.html") return {200, "text/html", std::string(kMaxPageBytes * 2, 'x'), {}, {}};
  // Content codings the origin sends unasked: decoded, limited as decoded.
  const HeaderList gzip = {{"Content-Encoding", "gzip"}};
  if (path == "/coded.html") return {200, "text/html", Gzipped("<p>coded page</p>").value(), gzip, {}};
  if (path == "/coded.gif") return {200, "image/gif", Gzipped("GIF89a-coded").value(), gzip, {}};
  if (path == "/bomb.html") return {200, "text/html", Gzipped(std::string(kMaxPageBytes * 64, 'x')).value(), gzip, {}};
  if (path == "/compress.html") return {200, "text/html", "\x1f\x9d", {{"Content-Encoding", "compress"}}, {}};
  if (path == "/form") {
    return {200, "text/html", "<p>" + request.method + " " + request.Header("Content-Type") + " " + request.body + "</p>", {}, {}};
  }
  if (path == "/session") {
    return {200, "text/html",
            "<p>" + request.Header("Cookie") + "|" + request.Header("Authorization") + "|" +
                request.Header("Accept-Language") + "|" + request.Header("X-Private") + "|" + request.Header("Via") +
                "|" + request.Header("X-Forwarded-For") + "</p>",
            {{"Set-Cookie", "a=1"}, {"Set-Cookie", "b=2"}, {"WWW-Authenticate", "Basic realm=\"r\""},
             {"Content-Language", "de"}, {"X-Internal", "no"}},
            {}};
  }
  if (path == "/slow.html") return {200, "text/html", std::string(40, 'x'), {}, std::chrono::milliseconds(50)};
  if (path == "/moved") {
    // The query is the Location to send, with "PORT" for the origin's port.
    std::string location = PercentDecoded(query);
    const size_t at = location.find("PORT");
    if (at != std::string::npos) location.replace(at, 4, std::to_string(port));
    return {302, "text/html", "", {{"Location", location}}, {}};
  }
  return {404, "text/html", "<p>no such page</p>", {}, {}};
}

class OriginServer : public ::testing::Test {
 protected:
  TestOrigin origin_{[this](const OriginRequest& request) { return SiteAnswer(request, origin_.Port()); }};
};

TEST_F(OriginServer, ConvertsPagesPassesOtherContentAndMapsFailures) {
  OriginSource source(origin_.Url(), Limits());
  RunningServer server(source, 2);
  ASSERT_GT(server.Port(), 0);
  struct Case {
    const char* path;
    int status;
    const char* mediaType;
    const char* bodyPart;
  };
  const Case cases[] = {
      {"/page.html?q=42", 200, "text/vnd.wap.wml; charset=utf-8", "agent Wren320/1.0 q=42"},
      // The origin's charset reaches the conversion; the deck says its own.
      {"/koi8.html", 200, "text/vnd.wap.wml; charset=utf-8", "caf\xD0\x98"},
      {"/logo.gif", 200, "image/gif", "GIF89a-origin"},
      {"/missing.html", 404, "text/vnd.wap.wml; charset=utf-8", "no such page"},
      {"/big.html", 413, "text/plain", "413 Payload Too Large"},
      {"/coded.html", 200, "text/vnd.wap.wml; charset=utf-8", "coded page"},
      {"/coded.gif", 200, "image/gif", "GIF89a-coded"},
      {"/bomb.html", 413, "text/plain", "413 Payload Too Large"},
      {"/compress.html", 502, "text/plain", "502 Bad Gateway"},
      {"/%2e%2e/page.html", 403, "text/plain", "403 Forbidden"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const HttpReply reply = server.Get(c.path, {{"User-Agent", "Wren320/1.0"}});
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.Header("Content-Type"), c.mediaType);
    EXPECT_TRUE(Contains(reply.body, c.bodyPart)) << reply.body;
  }
}

TEST_F(OriginServer, ServesThePartsOfALongDeckInTheFormTheClientPrefers) {
  TemporaryFolder folder;
  folder.Write("limits.cfg", "DEVICE_GROUP=G\nMAX_DECK_SIZE=600\nDEVICE=DEFAULT\nGROUP=G\n");
  WapSetConfigurationFile((folder.Path() / "limits.cfg").c_str());
  OriginSource source(origin_.Url(), Limits());
  RunningServer server(source, 2);
  ASSERT_GT(server.Port(), 0);
  const HttpReply first = server.Get("/long.html?x=1", {{"Accept", "text/vnd.wap.wml"}});
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.Header("Vary"), "User-Agent, Accept");
  // The part parameter never reaches the origin, and the next part is the
  // request's own address with it.
  EXPECT_TRUE(Contains(first.body, "<p>\r\nx=1")) << first.body;
  EXPECT_TRUE(Contains(first.body, "href=\"/long.html?x=1&amp;qm-part=2")) << first.body;
  struct Case {
    const char* accept;
    const char* mediaType;
  };
  for (const Case& c : {Case{"application/vnd.wap.wmlc", "application/vnd.wap.wmlc"},
                        Case{"text/vnd.wap.wml;q=0.5, application/vnd.wap.wmlc", "application/vnd.wap.wmlc"},
                        Case{"text/vnd.wap.wml, application/vnd.wap.wmlc;q=0.5", "text/vnd.wap.wml; charset=utf-8"},
                        Case{"*/*", "text/vnd.wap.wml; charset=utf-8"}}) {
    const HttpReply second = server.Get("/long.html?qm-part=2&x=1", {{"Accept", c.accept}});
    EXPECT_EQ(second.status, 200) << c.accept;
    EXPECT_EQ(second.Header("Content-Type"), c.mediaType) << c.accept;
    const bool compiled = c.mediaType[0] == 'a';
    EXPECT_TRUE(compiled ? second.body.size() <= 600u : Contains(second.body, "x=1")) << second.body;
  }
  const HttpReply missingPart = server.Get("/long.html?qm-part=99");
  EXPECT_EQ(missingPart.status, 404);
  EXPECT_EQ(missingPart.Header("Vary"), "User-Agent, Accept") << "the part count depends on the device";
  EXPECT_EQ(server.Get("/long.html?qm-part=zero").status, 404);
  // Percent-encoded, the parameter is the same one.
  const HttpReply encoded = server.Get("/long.html?x=1&qm%2Dpart=%32", {{"Accept", "text/vnd.wap.wml"}});
  EXPECT_EQ(encoded.status, 200);
  EXPECT_TRUE(Contains(encoded.body, "href=\"/long.html?x=1&amp;qm-part=3")) << encoded.body;
  WapSetConfigurationFile(nullptr);
}

TEST_F(OriginServer, RedirectionsBecomeLocalOnlyForTheOriginItselfBelowItsPrefix) {
  OriginSource source(origin_.Url() + "/base/", Limits());
  RunningServer server(source, 2);
  struct Case {
    const char* location;
    const char* expected;
  };
  const Case cases[] = {
      {"http://127.0.0.1:PORT/base/x?y=1", "/x?y=1"},
      {"HTTP://127.0.0.1:PORT/base", "/"},
      {"/base/x", "/x"},
      {"http://127.0.0.1:PORT0/base/x", "http://127.0.0.1:PORT0/base/x"},
      {"http://127.0.0.1:PORT/base//elsewhere.invalid/x", "http://127.0.0.1:PORT/base//elsewhere.invalid/x"},
      {"http://127.0.0.1:PORT/basement/x", "http://127.0.0.1:PORT/basement/x"},
      {"https://127.0.0.1:PORT/base/x", "https://127.0.0.1:PORT/base/x"},
      {"http://user@127.0.0.1:PORT/base/x", "http://user@127.0.0.1:PORT/base/x"},
      {"http://elsewhere.invalid/base/x", "http://elsewhere.invalid/base/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    // Through the origin's own /base/moved, whose query names its Location.
    std::string query;
    for (char ch : std::string(c.location)) {
      query += ch == '?' ? std::string("%3F") : ch == '&' ? std::string("%26") : std::string(1, ch);
    }
    const HttpReply reply = server.Get("/moved?" + query);
    EXPECT_EQ(reply.status, 302);
    std::string expected = c.expected;
    const size_t at = expected.find("PORT");
    if (at != std::string::npos) expected.replace(at, 4, std::to_string(origin_.Port()));
    EXPECT_EQ(reply.Header("Location"), expected);
  }
}

// A page whose base names the origin links through this server, as its
// redirections do; the first base with an href is the one mapped, its quotes kept.
TEST_F(OriginServer, APageBaseNamingTheOriginBecomesLocal) {
  OriginSource source(origin_.Url() + "/base/", Limits());
  RunningServer server(source, 2);
  const HttpReply reply = server.Get("/based.html", {{"Accept", "text/vnd.wap.wml"}});
  EXPECT_EQ(reply.status, 200);
  EXPECT_TRUE(Contains(reply.body, "<a href=\"/docs/b.html\">B</a>")) << reply.body;
  const auto upper = [](const std::string& value) { return "[" + value + "]"; };
  const struct {
    const char* page;
    const char* mapped;
  } cases[] = {
      {"<BASE target=x HREF = \"a b\">", "<BASE target=x HREF = \"[a b]\">"},
      {"<basefont href=x><base href=y/><base href='z'>", "<basefont href=x><base href=[y/]><base href='z'>"},
      {"<base target=x><base xhref=q href=''>", "<base target=x><base xhref=q href='[]'>"},
      {"<base href=\"open", "<base href=\"open"},
      {"no base", "no base"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithMappedBaseHref(c.page, upper), c.mapped) << c.page;
}

TEST_F(OriginServer, PostBodiesReachTheOriginWithinTheirLimit) {
  OriginSource source(origin_.Url(), Limits());
  ServerSettings settings = RunningServer::Settings(2);
  settings.maxBodyBytes = 64;
  RunningServer server(source, settings);
  const HttpReply posted = Request(server.Port(), "POST", "/form", {{"Content-Type", "application/x-www-form-urlencoded"}},
                                   "name=Ada&city=Ulm");
  EXPECT_EQ(posted.status, 200);
  EXPECT_TRUE(Contains(posted.body, "POST application/x-www-form-urlencoded name=Ada&amp;city=Ulm")) << posted.body;
  EXPECT_EQ(Request(server.Port(), "POST", "/form", {}, std::string(65, 'x')).status, 413);
  const HttpReply put = Request(server.Port(), "PUT", "/form", {}, "x");
  EXPECT_EQ(put.status, 405);
  EXPECT_EQ(put.Header("Allow"), "GET, HEAD, POST");
}

// Sessions, credentials and languages are the site's: they pass both ways.
// The origin learns of this server and of the client, as from a gateway.
TEST_F(OriginServer, CookiesCredentialsAndLanguagesReachTheOriginAndTheClient) {
  OriginSource source(origin_.Url(), Limits());
  RunningServer server(source, 2);
  const HttpReply reply = server.Get("/session", {{"Cookie", "s=42"},
                                                  {"Authorization", "Basic QWRhOlVsbQ=="},
                                                  {"Accept-Language", "de, en;q=0.5"},
                                                  {"X-Private", "kept"},
                                                  {"X-Forwarded-For", "10.0.0.1"}});
  EXPECT_TRUE(Contains(reply.body, "s=42|Basic QWRhOlVsbQ==|de, en;q=0.5||1.1 quillmark|10.0.0.1, 127.0.0.1"))
      << reply.body;
  std::vector<std::string> cookies;
  for (const auto& [name, value] : reply.headers) {
    if (EqualIgnoringCase(name, "Set-Cookie")) cookies.push_back(value);
  }
  EXPECT_EQ(cookies, (std::vector<std::string>{"a=1", "b=2"}));
  EXPECT_EQ(reply.Header("WWW-Authenticate"), "Basic realm=\"r\"");
  EXPECT_EQ(reply.Header("Content-Language"), "de");
  EXPECT_FALSE(reply.Has("X-Internal"));
}

TEST_F(OriginServer, ValidatorsAndLifetimesPassThroughAndDecksGetTheirOwnTag) {
  OriginSource source(origin_.Url(), Limits());
  RunningServer server(source, 2);
  const HttpReply gif = server.Get("/logo.gif");
  EXPECT_EQ(gif.Header("ETag"), "\"gif-tag\"");
  EXPECT_EQ(server.Get("/logo.gif", {{"If-None-Match", "\"gif-tag\""}}).status, 304);

  const HttpReply deck = server.Get("/page.html", {{"User-Agent", "A"}});
  EXPECT_EQ(deck.Header("Cache-Control"), "max-age=60");
  EXPECT_EQ(deck.Header("Last-Modified"), "Tue, 01 Dec 2026 10:00:00 GMT");
  const std::string tag = deck.Header("ETag");
  EXPECT_EQ(tag.front(), '"');
  EXPECT_NE(tag, "\"origin-tag\"");
  EXPECT_NE(server.Get("/page.html", {{"User-Agent", "B"}}).Header("ETag"), tag);  // another body
  const HttpReply again = server.Get("/page.html", {{"User-Agent", "A"}, {"If-None-Match", tag}});
  EXPECT_EQ(again.status, 304);
  EXPECT_TRUE(again.body.empty());
  EXPECT_EQ(again.Header("ETag"), tag);
}

TEST_F(OriginServer, AnOriginThatTricklesIsCutOffAtTheDeadline) {
  OriginSource source(origin_.Url(), Limits(std::chrono::milliseconds(500)));
  RunningServer server(source, 1);
  const auto start = std::chrono::steady_clock::now();
  const HttpReply reply = server.Get("/slow.html");
  EXPECT_EQ(reply.status, 504);
  // 40 bytes at 50 ms each would take 2 s.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1800));
  EXPECT_EQ(server.Get("/page.html").status, 200);  // the worker is free again
}

TEST(OriginServerFailures, AnOriginThatCannotBeReachedGives502) {
  const int closedPort = UnusedLoopbackPort();
  ASSERT_GT(closedPort, 0);
  OriginSource source("http://127.0.0.1:" + std::to_string(closedPort), Limits());
  RunningServer server(source, 2);
  const HttpReply reply = server.Get("/page.html", {{"Accept", "text/vnd.wap.wml"}});
  EXPECT_EQ(reply.status, 502);
  EXPECT_EQ(reply.Header("Content-Type"), "text/vnd.wap.wml");
  EXPECT_TRUE(Contains(reply.body, "<card id=\"error\" title=\"502 Bad Gateway\">")) << reply.body;
  EXPECT_TRUE(Contains(server.Log(), "\"GET /page.html HTTP/1.1\" 502 ")) << server.Log();
}

TEST(OriginServerFailures, HttpsOriginsAreFetchedWithTheGivenCertificates) {
  TemporaryFolder folder;
  const TestCertificate certificate = MakeTestCertificate(folder);
  ASSERT_FALSE(certificate.certificate.empty());
  TestOrigin origin([](const OriginRequest&) { return OriginReply{200, "text/html", "<p>over tls</p>", {}, {}}; },
                    &certificate);
  ASSERT_EQ(origin.Url().rfind("https://", 0), 0u);
  OriginSource trusted(origin.Url(), Limits(std::chrono::seconds(5), certificate.certificateFile));
  RunningServer server(trusted, 1);
  const HttpReply reply = server.Get("/");
  EXPECT_EQ(reply.status, 200);
  EXPECT_TRUE(Contains(reply.body, "over tls")) << reply.body;
  // Without the certificate the origin is not trusted.
  OriginSource untrusted(origin.Url(), Limits(std::chrono::seconds(5), (folder.Path() / "none.pem").string()));
  RunningServer other(untrusted, 1);
  EXPECT_EQ(other.Get("/").status, 502);
}

TEST(OriginServerFailures, OriginUrlsAreChecked) {
  for (const char* url : {"ftp://host", "host:80", "http://", "http://host/?q", "http://host:99999", "http://u@host"}) {
    SCOPED_TRACE(url);
    EXPECT_THROW(OriginSource(url, Limits()), std::invalid_argument);
  }
  EXPECT_NO_THROW(OriginSource("https://127.0.0.1:8080/base/", Limits()));
}

}  // namespace
}  // namespace quillmark::tools::testing
