// Large and deeply nested pages: the transformation walks iteratively and in
// time linear in the page, whatever the nesting.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms_tables_support.h"

namespace quillmark {
namespace {

using testing::Convert;
using testing::SecondsToConvert;

std::string Repeat(const std::string& piece, int times) {
  std::string page;
  page.reserve(piece.size() * static_cast<std::size_t>(times));
  for (int i = 0; i < times; ++i) page += piece;
  return page;
}

// A flat page of `count` text and tag nodes (about 10 bytes per node).
std::string FlatPage(int count) {
  static const char* const kTags[] = {"<br>", "<b>bold</b>", "<i>x</i>", "<img src=a.gif>",
                                      "<a href='p?a=1&b=2'>l</a>"};
  std::string page = "<html><body>";
  for (int i = 0; i < count / 2; ++i) {
    page += i % 3 ? "word " : " spaced ";
    page += kTags[i % 5];
  }
  return page + "</body></html>";
}

struct Shape {
  const char* what;
  std::function<std::string(int)> page;
};

const std::vector<Shape>& Shapes() {
  static const std::vector<Shape> shapes = {
      {"nested unclosed p", [](int n) { return Repeat("<p>", n) + "x"; }},
      {"nested unknown tags", [](int n) { return Repeat("<div>", n) + "x"; }},
      {"nested headings", [](int n) { return "t" + Repeat("<h1>", n) + "x"; }},
      {"nested small fonts", [](int n) { return Repeat("<font size=2>", n) + "x"; }},
      {"nested plain fonts", [](int n) { return Repeat("<font>", n) + "x"; }},
      {"nested centres", [](int n) { return Repeat("<center>", n) + "x"; }},
      {"nested named anchors", [](int n) { return "<html><body>" + Repeat("<a name=n>t", n); }},
      {"nested bodies", [](int n) { return Repeat("<body>", n) + "x"; }},
      {"nested formatting with spaces", [](int n) { return Repeat("<i> x ", n); }},
      {"flat text and tags", [](int n) { return FlatPage(n); }},
  };
  return shapes;
}

// Every shape converts on a small stack.
TEST(LargePages, DeepAndWidePagesConvertOnASmallStack) {
  for (const Shape& shape : Shapes()) {
    const std::string page = shape.page(200000);
    const auto capacity = static_cast<int32_t>(page.size() * 32 + 4096);
    testing::Conversion result;
    ASSERT_TRUE(testing::RunWithStack(256 * 1024, [&] { result = testing::ConvertWithCapacity(page, capacity); }))
        << shape.what;
    EXPECT_GT(result.result, 0) << shape.what;
    EXPECT_EQ(result.result, static_cast<int32_t>(result.text.size())) << shape.what;
  }
}

// The XML checker refuses very deep documents, so the shapes are checked at
// a depth it reads.
TEST(LargePages, EveryShapeGivesAWellFormedDeck) {
  for (const Shape& shape : Shapes()) {
    EXPECT_TRUE(testing::IsWellFormedXml(Convert(shape.page(200)).text)) << shape.what;
  }
}

TEST(LargePages, NestedParagraphsCollapseIntoOne) {
  EXPECT_EQ(testing::ParagraphOf(Convert(Repeat("<p>", 200000) + "x").text), "x");
}

TEST(LargePages, FiveMegabytePageOfHalfAMillionNodes) {
  const std::string page = FlatPage(500000);
  ASSERT_GT(page.size(), 4500000u);
  const double seconds = SecondsToConvert(page, 1);
  RecordProperty("seconds_500000_flat_nodes", std::to_string(seconds));
  EXPECT_LT(seconds, 20.0);
}

}  // namespace
}  // namespace quillmark
