// The sample configuration shipped in examples/ reads as its comments say.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "device/configuration.h"

namespace quillmark {
namespace {

std::unique_ptr<DeviceConfiguration> ExampleConfiguration() {
  std::ifstream file(std::string(QUILLMARK_SOURCE_DIR) + "/examples/devices.cfg");
  std::stringstream text;
  text << file.rdbuf();
  std::string content = text.str();
  auto configuration = std::make_unique<DeviceConfiguration>();
  configuration->parseText(content.data());
  configuration->finish();
  return configuration;
}

TEST(ExampleConfiguration, SelectsDevicesAndTheirSettings) {
  auto configuration = ExampleConfiguration();
  ASSERT_EQ(configuration->groupTable.size(), 4u);
  ASSERT_EQ(configuration->deviceTable.size(), 6u);

  struct Case {
    const char* userAgent;
    const char* device;
    const char* tagReplace;
    int32_t maxDeckSize = 0;
    int32_t maxCardSize = 0;
  };
  const Case cases[] = {
      {"Kestrel71/1.0 (04.94)", "KESTREL71", ",b=<strong>|</strong>,i=<em>|</em>,font=|,"},
      {"W320s (Wren)", "WREN320", ",hr=<br/>|,b=<b>|</b>,"},
      {"Large Screen Browser", "BIGSCREEN", ""},
      {"Unknown/1.0", "DEFAULT", ",b=<strong>|</strong>,i=<em>|</em>,font=|,"},
      {"Pipit/1.2", "PIPIT1", "", 1400, 0},
      {"Mozilla/5.0 (Finch8)", "FINCH8", "", 8000, 2500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.userAgent);
    const CDevice* device = configuration->findDevice(c.userAgent);
    ASSERT_NE(device, nullptr);
    EXPECT_STREQ(device->Name(), c.device);
    EXPECT_STREQ(settingsOf(device).tagReplace, c.tagReplace);
    EXPECT_EQ(settingsOf(device).maxDeckSize, c.maxDeckSize);
    EXPECT_EQ(settingsOf(device).maxCardSize, c.maxCardSize);
  }
  const CWmlSettings& large = settingsOf(configuration->findDevice("Large"));
  EXPECT_STREQ(large.xmlVersion, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>");
  EXPECT_STREQ(large.docType, LibraryDefaultSettings().docType);
  EXPECT_EQ(configuration->defaultInclude, 1);
}

}  // namespace
}  // namespace quillmark
