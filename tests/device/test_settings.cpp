#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/device_profile.h"
#include "device/wml_settings.h"

namespace quillmark {
namespace {

TEST(WmlSettings, StartsWithTheElevenDefaults) {
  const CWmlSettings settings;
  EXPECT_STREQ(settings.xmlVersion, "<?xml version=\"1.0\"?>");
  EXPECT_STREQ(settings.docType,
               "<!DOCTYPE wml PUBLIC \"-//WAPFORUM//DTD WML 1.1//EN\" "
               "\"http://www.wapforum.org/DTD/wml_1.1.xml\">");
  EXPECT_STREQ(settings.tagReplace, "");
  EXPECT_EQ(settings.tables, 1);
  EXPECT_STREQ(settings.cellLeadText, "");
  EXPECT_STREQ(settings.cellBreakText, "<br/>");
  EXPECT_EQ(settings.breakBefore, 1);
  EXPECT_EQ(settings.breakAfter, 1);
  EXPECT_EQ(settings.submitAsLink, 1);
  EXPECT_STREQ(settings.ampersandText, ";");
  EXPECT_EQ(settings.stripComments, 1);
  EXPECT_EQ(settings.blockBreaks, 1);
}

TEST(CopyField, TruncatesSoTheTerminatorFits) {
  struct Case {
    std::string source;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"short", "short"},
      {std::string(63, 'a'), std::string(63, 'a')},
      {std::string(64, 'b'), std::string(63, 'b')},
      {std::string(500, 'c'), std::string(63, 'c')},
  };
  for (const Case& c : cases) {
    char field[kShortTextSize + 1];
    field[kShortTextSize] = '#';  // a guard byte just past the field
    CopyField(field, kShortTextSize, c.source.c_str());
    EXPECT_EQ(std::string(field), c.expected);
    EXPECT_EQ(field[kShortTextSize], '#');
  }
  char field[8] = "xyz";
  CopyField(field, nullptr);
  EXPECT_STREQ(field, "");
}

TEST(SettingsOf, PrefersOwnThenGroupThenLibraryDefaults) {
  CDeviceGroup plainGroup;
  plainGroup.name = "PLAIN";
  CDeviceGroup richGroup;
  richGroup.name = "RICH";
  richGroup.settings = std::make_unique<CWmlSettings>();

  CDevice withOwn;
  withOwn.settings = std::make_unique<CWmlSettings>();
  withOwn.group = &richGroup;
  CDevice fromGroup;
  fromGroup.group = &richGroup;
  CDevice groupWithoutSettings;
  groupWithoutSettings.group = &plainGroup;
  CDevice alone;

  EXPECT_EQ(&settingsOf(&withOwn), withOwn.settings.get());
  EXPECT_EQ(&settingsOf(&fromGroup), richGroup.settings.get());
  EXPECT_EQ(&settingsOf(&groupWithoutSettings), &LibraryDefaultSettings());
  EXPECT_EQ(&settingsOf(&alone), &LibraryDefaultSettings());
  EXPECT_EQ(&settingsOf(nullptr), &LibraryDefaultSettings());
}

}  // namespace
}  // namespace quillmark
