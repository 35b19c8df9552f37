// The conversion entry point: buffer contract, argument handling, and pages
// of extreme shapes.

#include <gtest/gtest.h>

#include <sys/mman.h>

#include <cstring>
#include <random>
#include <string>

#include "interface/quillmark.h"
#include "tests/interface/convert_helpers.h"
#include "transform/wmlc_encoder.h"

namespace quillmark {
namespace {

using testing::Convert;
using testing::ConvertWithCapacity;
using testing::SmallestCapacity;

TEST(BufferContract, ExactCapacityFitsAndOneLessDoesNot) {
  const std::string page = "<p>Hello <b>world</b></p>";
  const int32_t needed = SmallestCapacity(page);
  const auto fits = ConvertWithCapacity(page, needed);
  ASSERT_GT(fits.result, 0);
  EXPECT_EQ(fits.result, fits.capacity);
  EXPECT_EQ(fits.result, static_cast<int32_t>(fits.text.size()));
  EXPECT_LT(fits.result, needed);

  const auto tooSmall = ConvertWithCapacity(page, needed - 1);
  EXPECT_EQ(tooSmall.result, 0);
  EXPECT_EQ(tooSmall.capacity, 0);
  EXPECT_EQ(tooSmall.text, std::string(static_cast<size_t>(needed - 1), '#'));
}

TEST(BufferContract, NegativeCapacityNeverFits) {
  const std::string page = "<p>x</p>";
  char* caller = nullptr;
  char* device = nullptr;
  char* pageText = const_cast<char*>(page.c_str());
  int32_t length = static_cast<int32_t>(page.size());
  char buffer[8] = "intact";
  char* output = buffer;
  for (int32_t capacity : {-1, INT32_MIN}) {
    int32_t inOut = capacity;
    EXPECT_EQ(WapConvert(&caller, &device, &pageText, &length, &output, &inOut), 0);
    EXPECT_EQ(inOut, 0);
    EXPECT_STREQ(buffer, "intact");
  }
}

TEST(BufferContract, NullByReferenceArgumentsTouchNothing) {
  std::string page = "x";
  char* caller = nullptr;
  char* device = nullptr;
  char* pageText = page.data();
  int32_t length = 1;
  char buffer[4096] = "intact";
  char* output = buffer;
  int32_t capacity = sizeof buffer;
  EXPECT_EQ(WapConvert(nullptr, &device, &pageText, &length, &output, &capacity), 0);
  EXPECT_EQ(WapConvert(&caller, nullptr, &pageText, &length, &output, &capacity), 0);
  EXPECT_EQ(WapConvert(&caller, &device, nullptr, &length, &output, &capacity), 0);
  EXPECT_EQ(WapConvert(&caller, &device, &pageText, nullptr, &output, &capacity), 0);
  EXPECT_EQ(WapConvert(&caller, &device, &pageText, &length, nullptr, &capacity), 0);
  EXPECT_EQ(capacity, static_cast<int32_t>(sizeof buffer));
  EXPECT_STREQ(buffer, "intact");
  EXPECT_EQ(WapConvert(&caller, &device, &pageText, &length, &output, nullptr), 0);
  EXPECT_STREQ(buffer, "intact");
}

TEST(BufferContract, NullOutputBufferNeverFits) {
  std::string page = "x";
  char* caller = nullptr;
  char* device = nullptr;
  char* pageText = page.data();
  int32_t length = 1;
  char* output = nullptr;
  int32_t capacity = 1 << 20;
  EXPECT_EQ(WapConvert(&caller, &device, &pageText, &length, &output, &capacity), 0);
  EXPECT_EQ(capacity, 0);
}

TEST(BufferContract, NullOrEmptyPageConvertsAnEmptyPage) {
  const std::string empty = Convert("").text;
  char* caller = nullptr;
  char* device = nullptr;
  char buffer[4096];
  for (int32_t length : {0, -5, 7}) {
    char* pageText = length == 7 ? nullptr : const_cast<char*>("ignored");
    char* output = buffer;
    int32_t capacity = sizeof buffer;
    int32_t len = length;
    const int32_t result = WapConvert(&caller, &device, &pageText, &len, &output, &capacity);
    EXPECT_EQ(result, static_cast<int32_t>(empty.size()));
    EXPECT_EQ(std::string(buffer), empty);
  }
}

TEST(BufferContract, RepeatedCallsGiveIdenticalOutput) {
  const std::string page = "<html><body><p>One<br>two</p><a href='x'>y</a></body></html>";
  EXPECT_EQ(Convert(page).text, Convert(page).text);
  EXPECT_EQ(Convert(page, nullptr).text, Convert(page, "no such device/1.0").text);
}

TEST(BufferContract, PageIsOnlyRead) {
  // A page in read-only memory: any write to it ends the test with a fault.
  const std::string page = "<html><body><p>One &amp; two<br>three</p><table><tr><td>x</table></body></html>";
  void* mapped = mmap(nullptr, page.size(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  std::memcpy(mapped, page.data(), page.size());
  ASSERT_EQ(mprotect(mapped, page.size(), PROT_READ), 0);
  char* caller = nullptr;
  char* device = nullptr;
  char* pageText = static_cast<char*>(mapped);
  int32_t length = static_cast<int32_t>(page.size());
  std::string buffer(4096, '\0');
  char* output = buffer.data();
  int32_t capacity = static_cast<int32_t>(buffer.size());
  const int32_t written = WapConvert(&caller, &device, &pageText, &length, &output, &capacity);
  EXPECT_EQ(std::string(buffer.data(), static_cast<size_t>(written)), Convert(page).text);
  munmap(mapped, page.size());
}

TEST(LastError, TellsWhyTheLastConversionOnThisThreadFailed) {
  EXPECT_GT(Convert("<p>x</p>").result, 0);
  EXPECT_STREQ(WapLastError(), "");
  EXPECT_EQ(ConvertWithCapacity("<p>x</p>", 10).result, 0);
  EXPECT_STREQ(WapLastError(), "did not fit");
  std::string fields = "<form>";
  for (int i = 0; i < 400; ++i) fields += "<input name=f>";
  for (int i = 0; i < 400; ++i) fields += "<input type=submit>";
  EXPECT_EQ(Convert(fields).result, 0);
  EXPECT_STREQ(WapLastError(), "page exceeds the conversion budget");
  EXPECT_EQ(WapConvert(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_STREQ(WapLastError(), "invalid arguments");
}

// Calls WapConvertWmlc with a buffer of `capacity` bytes filled with '#';
// returns the result, the capacity after the call and the whole buffer.
struct WmlcCall {
  int32_t result = 0;
  int32_t capacity = 0;
  std::string buffer;
};

WmlcCall ConvertToWmlc(const std::string& page, int32_t capacity) {
  std::string pageCopy = page;
  char* caller = nullptr;
  char* device = nullptr;
  char* pageText = pageCopy.data();
  int32_t length = static_cast<int32_t>(page.size());
  WmlcCall call;
  call.buffer.assign(static_cast<size_t>(capacity > 0 ? capacity : 0), '#');
  char* output = call.buffer.data();
  call.capacity = capacity;
  call.result = WapConvertWmlc(&caller, &device, &pageText, &length, &output, &call.capacity);
  return call;
}

TEST(BufferContract, WmlcFitsExactlyAndIsTheCompiledDeck) {
  for (const std::string page : {"<p>Hello <b>world</b> &amp; <a href='http://x.org/'>more</a></p>", ""}) {
    const std::string compiled = CompileWmlc(Convert(page).text);
    const int32_t size = static_cast<int32_t>(compiled.size());
    const WmlcCall fits = ConvertToWmlc(page, size);
    EXPECT_EQ(fits.result, size) << page;
    EXPECT_EQ(fits.capacity, size) << page;
    EXPECT_EQ(fits.buffer, compiled) << page;
    const WmlcCall tooSmall = ConvertToWmlc(page, size - 1);
    EXPECT_EQ(tooSmall.result, 0) << page;
    EXPECT_EQ(tooSmall.capacity, 0) << page;
    EXPECT_EQ(tooSmall.buffer, std::string(static_cast<size_t>(size - 1), '#')) << page;
  }
  EXPECT_EQ(ConvertToWmlc("x", -1).result, 0);
  char* null = nullptr;
  int32_t length = 0;
  int32_t capacity = 64;
  EXPECT_EQ(WapConvertWmlc(&null, &null, &null, &length, &null, &capacity), 0);
  EXPECT_EQ(capacity, 0);
}

TEST(Version, SameStaticTextEveryCall) {
  const char* first = LibraryVersion();
  EXPECT_STREQ(first, "Quillmark, v0.9.21");
  EXPECT_EQ(LibraryVersion(), first);
}

// Random pages made of markup fragments, including broken ones.
std::string RandomPage(std::mt19937& random, int tokens) {
  static const char* const kPieces[] = {
      "<p>",   "</p>",  "<b>",     "</b>",      "<br>",       "<br/>",      "text ",
      " ",     "\r\n",  "<",       ">",         "<a href=x>", "</a>",       "<!-- c -->",
      "<%",    "%>",    "\"",      "'",         "&amp;",      "<table>",    "<td>",
      "<tr>",  "</td>", "<img src=a.gif>", "<!DOCTYPE x>", "<?xml v?>", "\xE9\xFF", "</x>",
      "<input name=q>", "<form>", "</form>", "<select>", "<option>o", "<h1>", "</h1>",
      "<!-- DEXCL -->", "<!-- /DEXCL -->", "<title>", "</title>", "<font size=1>", "<script>",
      "</script>", "<a name=n>", "=", "/", "<p/>", "<  >"};
  std::uniform_int_distribution<size_t> pick(0, std::size(kPieces) - 1);
  std::string page;
  for (int i = 0; i < tokens; ++i) page += kPieces[pick(random)];
  return page;
}

TEST(BufferContract, MeasureBoundsTheWrittenLengthOnGeneratedPages) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    const std::string page = RandomPage(random, 1 + round % 60);
    if (Convert(page).text.empty()) continue;  // nothing to measure
    const int32_t needed = SmallestCapacity(page);
    const auto fits = ConvertWithCapacity(page, needed);
    ASSERT_GT(fits.result, 0) << page;
    EXPECT_LT(fits.result, needed) << page;
    EXPECT_EQ(fits.result, static_cast<int32_t>(fits.text.size())) << page;
    EXPECT_EQ(ConvertWithCapacity(page, needed - 1).result, 0) << page;
  }
}

// Pages of extreme shapes convert on a 256 KiB stack.
TEST(ExtremePages, MillionNestedUnclosedTagsAndSiblings) {
  std::string nested;
  for (int i = 0; i < 1000000; ++i) nested += "<b>";
  nested += "x";
  std::string siblings;
  for (int i = 0; i < 1000000; ++i) siblings += i % 2 ? "y" : "<br/>";
  for (const std::string* page : {&nested, &siblings}) {
    testing::Conversion result;
    ASSERT_TRUE(testing::RunWithStack(256 * 1024, [&] { result = Convert(*page); }));
    EXPECT_GT(result.result, 0);
    EXPECT_EQ(result.result, static_cast<int32_t>(result.text.size()));
  }
}

}  // namespace
}  // namespace quillmark
