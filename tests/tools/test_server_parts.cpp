// The small parts of the server: request paths, media types, log lines,
// validators, URLs and argument reading.

#include <gtest/gtest.h>

#include "tools/access_log.h"
#include "tools/arguments.h"
#include "tools/http_validators.h"
#include "tools/url_parts.h"
#include "tools/media_types.h"
#include "tools/page_converter.h"
#include "tools/request_path.h"

namespace quillmark::tools {
namespace {

TEST(RequestPath, RefusesWhatCouldLeaveTheTree) {
  struct Case {
    std::string path;
    bool refused;
    std::vector<std::string> segments;
  };
  const Case cases[] = {
      {"/a/b.html", false, {"a", "b.html"}},
      {"//a/./b/", false, {"a", "b"}},
      {"/", false, {}},
      {"/a/../b", true, {}},
      {"/..", true, {}},
      {"/.git/config", true, {}},
      {"/a\\..\\b", true, {}},
      {std::string("/a\0b", 4), true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const RequestPath parsed = ParseRequestPath(c.path);
    EXPECT_EQ(parsed.refused, c.refused);
    if (!c.refused) {
      EXPECT_EQ(parsed.segments, c.segments);
    }
  }
  EXPECT_EQ(EncodedPath({"a b", "c%d", "e?f"}), "/a%20b/c%25d/e%3Ff");
}

TEST(RequestPath, AbsoluteFormTargetsLoseTheirSchemeAndAuthority) {
  const std::pair<const char*, const char*> cases[] = {
      {"/a/b?q=1", "/a/b?q=1"},
      {"http://host/a/b?q=1", "/a/b?q=1"},
      {"HTTPS://host:8080/a", "/a"},
      {"http://host", "/"},
      {"http://host?q=1", "/?q=1"},
      {"http://user@host/x/../y", "/x/../y"},
      {"ftp://host/a", "ftp://host/a"},
      {"/a?next=http://host/b", "/a?next=http://host/b"},
      {"*", "*"},
  };
  for (const auto& [target, originForm] : cases) EXPECT_EQ(OriginFormTarget(target), originForm) << target;
}

TEST(MediaTypes, ByExtensionAndForConversion) {
  EXPECT_EQ(MediaTypeForFile("x.WBMP"), "image/vnd.wap.wbmp");
  EXPECT_EQ(MediaTypeForFile("x.htm"), "text/html");
  EXPECT_EQ(MediaTypeForFile("x.jpeg"), "image/jpeg");
  EXPECT_FALSE(MediaTypeForFile("x.cfg").has_value());
  EXPECT_FALSE(MediaTypeForFile("html").has_value());
  EXPECT_TRUE(IsConvertedMediaType("text/html; charset=utf-8"));
  EXPECT_TRUE(IsConvertedMediaType("Application/XHTML+xml"));
  EXPECT_FALSE(IsConvertedMediaType("text/vnd.wap.wml"));
  EXPECT_FALSE(IsConvertedMediaType("text/htmlx"));
  // A deck's charset is the one its declaration names, in whatever bytes.
  const auto utf16 = [](std::string_view ascii, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return bytes;
  };
  const std::pair<std::string, const char*> decks[] = {
      {"<?xml version=\"1.0\"?>\n<wml/>", "utf-8"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?>\r\n<wml/>", "iso-8859-1"},
      {utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<wml/>", false), "utf-16"},
      {utf16("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<wml/>", true), "utf-16"},
      {"<wml/>", "utf-8"},
  };
  for (const auto& [deck, charset] : decks) {
    EXPECT_EQ(DeckMediaType(deck), std::string("text/vnd.wap.wml; charset=") + charset) << deck;
  }
}

TEST(AccessLog, CombinedFormatOneLineWhateverTheClientSends) {
  struct Case {
    AccessRecord record;
    const char* afterTime;
  };
  const auto time = std::chrono::system_clock::from_time_t(1700000000);
  const Case cases[] = {
      {{"127.0.0.1", time, "GET", "/a b?q=\"1\"\r\nGET /x", "HTTP/1.1", 200, 12, "", "Kestrel71/2.0 (\\)", 1.26,
        "KESTREL71"},
       "\"GET /a b?q=\\\"1\\\"\\x0d\\x0aGET /x HTTP/1.1\" 200 12 \"-\" \"Kestrel71/2.0 (\\\\)\" 1.3ms KESTREL71\n"},
      {{"::1", time, "HEAD", "/100%", "HTTP/1.0", 404, 0, "http://r/", "", 0, "Big Phone"},
       "\"HEAD /100% HTTP/1.0\" 404 0 \"http://r/\" \"-\" 0.0ms Big%20Phone\n"},
  };
  for (const Case& c : cases) {
    const std::string line = FormatAccessRecord(c.record);
    SCOPED_TRACE(line);
    EXPECT_EQ(line.rfind(c.record.clientAddress + " - - [", 0), 0u);
    const size_t close = line.find("] ");
    ASSERT_NE(close, std::string::npos);
    EXPECT_EQ(close - line.find('['), 27u);  // [14/Nov/2023:22:13:20 +0000]
    EXPECT_EQ(line.substr(close + 2), c.afterTime);
  }
}

TEST(HttpValidators, DatesTagsAndRanges) {
  EXPECT_EQ(HttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
  EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), std::optional<std::time_t>(784111777));
  EXPECT_FALSE(ParseHttpDate("yesterday").has_value());
  EXPECT_TRUE(NoneMatchNames("\"a\", W/\"b\"", "\"b\""));
  EXPECT_TRUE(NoneMatchNames(" * ", "\"x\""));
  EXPECT_FALSE(NoneMatchNames("\"a\", \"bc\"", "\"b\""));
  struct Case {
    const char* range;
    std::optional<std::pair<uint64_t, uint64_t>> expected;  // nullopt: ignored
  };
  const Case cases[] = {
      {"bytes=0-3", std::make_pair(0, 3)},   {"bytes=4-", std::make_pair(4, 9)},
      {"bytes=-3", std::make_pair(7, 9)},    {"bytes=5-100", std::make_pair(5, 9)},
      {"bytes=-30", std::make_pair(0, 9)},   {"bytes=10-", std::make_pair(1, 0)},
      {"bytes=0-1,4-5", std::nullopt},       {"items=0-1", std::nullopt},
      {"bytes=3-1", std::nullopt},           {"bytes=x-", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    const std::optional<ByteRange> range = ParseByteRange(c.range, 10);
    ASSERT_EQ(range.has_value(), c.expected.has_value());
    if (range) {
      EXPECT_EQ(range->first, c.expected->first);
      EXPECT_EQ(range->last, c.expected->second);
    }
  }
}

TEST(UrlParts, SchemeHostAndPortAreCompared) {
  const std::optional<UrlParts> parts = ParseHttpUrl("HTTP://Example.ORG/a?b");
  ASSERT_TRUE(parts.has_value());
  EXPECT_EQ(parts->scheme, "http");
  EXPECT_EQ(parts->host, "example.org");
  EXPECT_EQ(parts->port, 80);
  EXPECT_EQ(parts->rest, "/a?b");
  EXPECT_EQ(ParseHttpUrl("https://[::1]:8443")->port, 8443);
  EXPECT_EQ(ParseHttpUrl("https://[::1]:8443")->host, "[::1]");
  for (const char* bad : {"ftp://h/", "http://", "http://h:0/", "http://h:x/", "http://u@h/", "//h/"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseHttpUrl(bad).has_value());
  }
}

TEST(Arguments, OptionsValuesAndNumbers) {
  ArgumentCursor cursor({"--port=80", "--root", "dir", "file"});
  EXPECT_EQ(cursor.Next(), "--port");
  EXPECT_EQ(cursor.ValueOf("--port"), "80");
  EXPECT_EQ(cursor.Next(), "--root");
  EXPECT_EQ(cursor.ValueOf("--root"), "dir");
  EXPECT_EQ(cursor.Next(), "file");
  EXPECT_TRUE(cursor.Done());
  EXPECT_THROW(cursor.ValueOf("--x"), UsageError);
  EXPECT_EQ(ParseNumber("65535", "--port", 0, 65535), 65535);
  for (const char* bad : {"", "-1", "65536", "8o", "1e3"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseNumber(bad, "--port", 0, 65535), UsageError);
  }
}

}  // namespace
}  // namespace quillmark::tools
