// The small parts of the server: request paths, media types, log lines and
// argument reading.

#include <gtest/gtest.h>

#include "tools/access_log.h"
#include "tools/arguments.h"
#include "tools/media_types.h"
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
}

TEST(AccessLog, OneLineWhateverTheClientSends) {
  EXPECT_EQ(FormatAccessRecord({"GET", "/a b\r\nGET /x", 200, 12, 1.26, "KESTREL71"}),
            "GET /a%20b%0D%0AGET%20/x 200 12 1.3ms KESTREL71\n");
  EXPECT_EQ(FormatAccessRecord({"HEAD", "/100%", 404, 0, 0, "-"}), "HEAD /100%25 404 0 0.0ms -\n");
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
