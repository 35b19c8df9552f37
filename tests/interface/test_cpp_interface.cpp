// The header-only C++ interface over the C exports.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "interface/quillmark.hpp"
#include "tests/interface/convert_helpers.h"

namespace {

using quillmark::testing::Convert;

TEST(CppInterface, GivesTheDeckTheCInterfaceWrites) {
  // Pages whose deck needs far more room than the first buffer (nested tags
  // are measured with line breaks around each) make convert grow it.
  std::string nested;
  for (int i = 0; i < 20000; ++i) nested += "<b>";
  const std::string pages[] = {"", "<p>Hello <b>C++</b></p>", nested};
  for (const std::string& page : pages) {
    SCOPED_TRACE(page.substr(0, 40));
    EXPECT_EQ(quillmark::convert(page), Convert(page).text);
    EXPECT_EQ(quillmark::convert(page, "Kestrel71/1.0"), Convert(page, "Kestrel71/1.0").text);
  }
  EXPECT_EQ(quillmark::version(), std::string_view("Quillmark, v0.9.21"));
}

TEST(CppInterface, TextsTheCInterfaceCannotTakeAreInvalidArguments) {
  const std::string withNul("Kestrel\0/1.0", 12);
  for (auto call : {+[](const std::string& device) { quillmark::convert("<p>x</p>", device); },
                    +[](const std::string& device) { quillmark::device_name(device); }}) {
    try {
      call(withNul);
      ADD_FAILURE() << "no error thrown";
    } catch (const quillmark::error& error) {
      EXPECT_EQ(error.reason(), "invalid arguments");
      EXPECT_STREQ(error.what(), "quillmark: invalid arguments");
    }
  }
}

// A failure that no larger buffer mends is thrown at once, with its reason.
TEST(CppInterface, APagePastTheBudgetIsThrownWithItsReason) {
  std::string fields = "<form>";
  for (int i = 0; i < 400; ++i) fields += "<input name=f>";
  for (int i = 0; i < 400; ++i) fields += "<input type=submit>";
  try {
    quillmark::convert(fields);
    ADD_FAILURE() << "no error thrown";
  } catch (const quillmark::error& error) {
    EXPECT_EQ(error.reason(), "page exceeds the conversion budget");
  }
}

}  // namespace
