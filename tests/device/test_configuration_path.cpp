#include <gtest/gtest.h>

#include <string>

#include "device/configuration.h"
#include "platform/file_status.h"

namespace quillmark {
namespace {

TEST(ConfigurationPath, KeepsTheModuleNameUpToItsLastDot) {
  struct Case {
    const char* module;
    const char* expected;
  };
  const Case cases[] = {
      {"/opt/lib/libquillmark.so", "/opt/lib/libquillmark..cfg"},
      {"/opt/lib/libquillmark.so.0", "/opt/lib/libquillmark.so..cfg"},
      {"libquillmark.so", "libquillmark..cfg"},
      // A dot in a folder name never moves the file out of the module's folder.
      {"/srv/site.d/quillmark", "/srv/site.d/quillmark..cfg"},
      {"quillmark", "quillmark..cfg"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    EXPECT_EQ(configurationPathFor(c.module), c.expected);
  }
}

TEST(ConfigurationPath, EveryFileNameOfTheLibraryReadsOneFile) {
  struct Case {
    const char* module;
    const char* expected;
  };
  const Case cases[] = {
      {"/usr/lib/libquillmark.so.0.9.21", "/usr/lib/libquillmark..cfg"},
      {"/usr/lib/libquillmark.so.0", "/usr/lib/libquillmark..cfg"},
      {"/usr/lib/libquillmark.so", "/usr/lib/libquillmark..cfg"},
      {"libquillmark.so.1", "libquillmark..cfg"},
      // Only dot-and-digits groups after ".so" are a version.
      {"/usr/lib/libquillmark.so.0.beta", "/usr/lib/libquillmark.so.0..cfg"},
      {"/usr/lib/libquillmark.so.", "/usr/lib/libquillmark.so..cfg"},
      {"/opt/x.so.1/quillmark", "/opt/x.so.1/quillmark..cfg"},
      {"/opt/lib/.so.1", "/opt/lib/.so..cfg"},
      {".so.2", ".so..cfg"},
      {"/opt/lib/quillmark.1", "/opt/lib/quillmark..cfg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    EXPECT_EQ(configurationPathFor(WithoutSharedObjectVersion(c.module)), c.expected);
  }
}

TEST(ConfigurationPath, LiesBesideTheModuleThatHoldsTheReader) {
  const std::string path = configurationPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.substr(path.size() - 5), "..cfg");
  EXPECT_EQ(path.front(), '/');
}

TEST(CurrentConfiguration, IsNeverNullAndStableWithoutChanges) {
  const auto first = currentConfiguration();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first->defaultDevice, nullptr);
  refreshConfiguration();
  EXPECT_EQ(currentConfiguration(), first);
  EXPECT_EQ(first->findDevice(nullptr), first->defaultDevice);
}

}  // namespace
}  // namespace quillmark
