// The configuration file as the host meets it: a copy of the built library
// in a folder of its own, under its real versioned file name with the
// SONAME and development links to it, and libquillmark..cfg beside it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using WapConvertFunction = int32_t (*)(char**, char**, char**, int32_t*, char**, int32_t*);
using UnitFunction = void (*)();

// The names a library is loaded by: the development link, the SONAME link
// and the real file the build made (libquillmark.so.0.9.21).
const std::string kDevelopmentName = "libquillmark.so";
const std::string kSonameName = "libquillmark.so.0";
const std::string kRealName = fs::path(QUILLMARK_LIBRARY_PATH).filename().string();

// A private copy of the library, loaded with dlopen by the name `loadName`;
// unloaded and removed with its folder when the test ends.
class LibraryCopy {
 public:
  explicit LibraryCopy(const std::string& loadName = kDevelopmentName) {
    std::string pattern = (fs::temp_directory_path() / "quillmark-cfg-XXXXXX").string();
    folder_ = ::mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
    library_ = folder_ / loadName;
    configuration_ = folder_ / "libquillmark..cfg";
    fs::copy_file(QUILLMARK_LIBRARY_PATH, folder_ / kRealName);
    for (const std::string& link : {kDevelopmentName, kSonameName}) {
      if (link != kRealName) fs::create_symlink(kRealName, folder_ / link);
    }
  }
  ~LibraryCopy() {
    if (handle_ != nullptr) ::dlclose(handle_);
    std::error_code ignored;
    fs::permissions(configuration_, fs::perms::owner_all, ignored);
    fs::remove_all(folder_, ignored);
  }
  LibraryCopy(const LibraryCopy&) = delete;
  LibraryCopy& operator=(const LibraryCopy&) = delete;

  // Loads the copy; the module's load hook reads the configuration file.
  void Load() {
    handle_ = ::dlopen(library_.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << ::dlerror();
    convert_ = reinterpret_cast<WapConvertFunction>(::dlsym(handle_, "WapConvert"));
    ASSERT_NE(convert_, nullptr);
  }

  void* Symbol(const char* name) const { return ::dlsym(handle_, name); }

  // Writes the configuration file and moves its last-write time forward by
  // `secondsAhead`, so a rewrite is seen even when the size stays the same.
  void WriteConfiguration(const std::string& text, int secondsAhead = 0) const {
    std::ofstream(configuration_, std::ios::binary | std::ios::trunc) << text;
    const auto now = fs::file_time_type::clock::now();
    fs::last_write_time(configuration_, now + std::chrono::seconds(secondsAhead));
  }

  const fs::path& ConfigurationFile() const { return configuration_; }

  // Converts `page` for `device` (null for none) and returns the output.
  std::string Convert(const std::string& page, const char* device) const {
    std::vector<char> output(64 * 1024 + page.size() * 4, '\0');
    char* callerText = nullptr;
    char* deviceText = const_cast<char*>(device);
    char* pageText = const_cast<char*>(page.c_str());
    int32_t pageLength = static_cast<int32_t>(page.size());
    char* outputBuffer = output.data();
    int32_t capacity = static_cast<int32_t>(output.size());
    const int32_t written =
        convert_(&callerText, &deviceText, &pageText, &pageLength, &outputBuffer, &capacity);
    EXPECT_GT(written, 0);
    return std::string(output.data(), written > 0 ? static_cast<size_t>(written) : 0);
  }

 private:
  fs::path folder_;
  fs::path library_;
  fs::path configuration_;
  void* handle_ = nullptr;
  WapConvertFunction convert_ = nullptr;
};

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

constexpr char kBoldPage[] = "<p><b>x</b></p>";

constexpr char kPhoneConfiguration[] =
    "// phones that want strong text\r\n"
    "DEVICE=PHONE1;USERAGENT=*Phone1*\r\n"
    "TAG_REPLACE=b=<strong>|</strong>\r\n"
    "DEVICE=LAST;USERAGENT=*\r\n"
    "TAG_REPLACE=b=<big>|</big>\r\n";

TEST(ConfigurationFile, WithoutAFileTheDefaultsApply) {
  LibraryCopy library;
  ASSERT_NO_FATAL_FAILURE(library.Load());
  const std::string out = library.Convert(kBoldPage, "Phone1/1.0");
  EXPECT_TRUE(Contains(out, "<b>x</b>")) << out;
}

TEST(ConfigurationFile, IsReadWhenTheLibraryIsLoaded) {
  LibraryCopy library;
  library.WriteConfiguration(kPhoneConfiguration);
  ASSERT_NO_FATAL_FAILURE(library.Load());
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<strong>x</strong>"));
  // The last device defined is never chosen by its pattern.
  const std::string other = library.Convert(kBoldPage, "Other/1.0");
  EXPECT_TRUE(Contains(other, "<b>x</b>")) << other;
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, nullptr), "<b>x</b>"));
}

TEST(ConfigurationFile, EveryNameOfTheLibraryReadsTheFileOfItsPlainName) {
  ASSERT_EQ(kRealName.rfind(kSonameName + ".", 0), 0u) << kRealName;
  for (const std::string& name : {kDevelopmentName, kSonameName, kRealName}) {
    SCOPED_TRACE(name);
    LibraryCopy library(name);
    library.WriteConfiguration(kPhoneConfiguration);
    ASSERT_NO_FATAL_FAILURE(library.Load());
    EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<strong>x</strong>"));
  }
}

TEST(ConfigurationFile, ChangesAreSeenByTheNextConversionAndDeletionKeepsThem) {
  LibraryCopy library;
  ASSERT_NO_FATAL_FAILURE(library.Load());
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<b>x</b>"));

  // A file that appears after loading is read by the next conversion.
  library.WriteConfiguration(kPhoneConfiguration);
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<strong>x</strong>"));

  // Same size, later time.
  std::string sameSize = kPhoneConfiguration;
  sameSize.replace(sameSize.find("strong>|</strong"), 17, "em>|</em>........");
  library.WriteConfiguration(sameSize, 10);
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<em>x</em>"));

  // Other size, same time as before.
  library.WriteConfiguration("DEVICE=PHONE1;USERAGENT=*Phone1*;TAG_REPLACE=b=<u>|</u>\n"
                             "DEVICE=LAST\n",
                             10);
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<u>x</u>"));

  // Deleting the file keeps the configuration in force.
  fs::remove(library.ConfigurationFile());
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<u>x</u>"));
}

TEST(ConfigurationFile, MarkersUseTheConfiguredWordsAndDefault) {
  LibraryCopy library;
  library.WriteConfiguration(
      "DEFAULT_EXCLUDE=false\n"
      "INCLUDE_TAG_START=ONLY;INCLUDE_TAG_STOP=/ONLY\n"
      "DEVICE_GROUP=SMALL\n"
      "DEVICE=PHONE1;USERAGENT=*Phone1*;GROUP=SMALL\n"
      "DEVICE=PHONE2;USERAGENT=*Phone2*\n"
      "DEVICE=LAST\n");
  ASSERT_NO_FATAL_FAILURE(library.Load());
  const std::string page =
      "<html><body>hidden<!-- ONLY DEVICE=\"SMALL\" -->shown<!-- /ONLY -->after</body></html>";
  const std::string phone1 = library.Convert(page, "Phone1");
  EXPECT_TRUE(Contains(phone1, "shown")) << phone1;
  EXPECT_FALSE(Contains(phone1, "hidden")) << phone1;
  EXPECT_FALSE(Contains(phone1, "after")) << phone1;
  EXPECT_FALSE(Contains(phone1, "ONLY")) << phone1;
  const std::string phone2 = library.Convert(page, "Phone2");
  EXPECT_FALSE(Contains(phone2, "shown")) << phone2;
}

TEST(ConfigurationFile, UnusableFilesNeverBreakAConversion) {
  LibraryCopy library;
  ASSERT_NO_FATAL_FAILURE(library.Load());

  // Text after a NUL byte is not read.
  const std::string withNul =
      std::string("DEVICE=P;USERAGENT=*P*;TAG_REPLACE=b=<i>|</i>\nDEVICE=LAST\n") + '\0' +
      "DEVICE=Q;USERAGENT=*Q*;TAG_REPLACE=b=<u>|</u>\nDEVICE=END\n";
  library.WriteConfiguration(withNul, 2);
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "P"), "<i>x</i>"));
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Q"), "<b>x</b>"));

  // A huge file is not read: the built-in defaults apply.
  library.WriteConfiguration(kPhoneConfiguration + std::string(5 * 1024 * 1024, '\n'), 4);
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<b>x</b>"));

  // A folder in the file's place counts as no file: nothing changes.
  fs::remove(library.ConfigurationFile());
  fs::create_directory(library.ConfigurationFile());
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<b>x</b>"));
}

TEST(ConfigurationFile, UnitEntryPointsAreExported) {
  LibraryCopy library;
  ASSERT_NO_FATAL_FAILURE(library.Load());
  auto initialize = reinterpret_cast<UnitFunction>(library.Symbol("XmldeviceInitialize"));
  auto finalize = reinterpret_cast<UnitFunction>(library.Symbol("XmldeviceFinalize"));
  ASSERT_NE(initialize, nullptr);
  ASSERT_NE(finalize, nullptr);
  initialize();
  finalize();
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, nullptr), "<b>x</b>"));
}

using SetFileFunction = void (*)(const char*);
using DeviceNameFunction = int32_t (*)(const char*, char*, int32_t);

// The name WapDeviceName reports for `text`, through a buffer that fits.
std::string DeviceName(const LibraryCopy& library, const char* text) {
  auto name = reinterpret_cast<DeviceNameFunction>(library.Symbol("WapDeviceName"));
  if (name == nullptr) return "<missing export>";
  char buffer[64] = {};
  const int32_t length = name(text, buffer, sizeof buffer);
  return std::string(buffer, static_cast<size_t>(length));
}

TEST(ConfigurationFile, AHostCanChooseAnotherFileAndReturnToTheModulesFile) {
  LibraryCopy library;
  library.WriteConfiguration(kPhoneConfiguration);
  ASSERT_NO_FATAL_FAILURE(library.Load());
  auto choose = reinterpret_cast<SetFileFunction>(library.Symbol("WapSetConfigurationFile"));
  ASSERT_NE(choose, nullptr);
  const fs::path chosen = library.ConfigurationFile().parent_path() / "site.cfg";
  std::ofstream(chosen) << "DEVICE=WREN320;USERAGENT=*Wren*;TAG_REPLACE=b=<u>|</u>\nDEVICE=LAST\n";

  struct Step {
    const char* path;  // null returns to the module's file
    const char* device;
    const char* expected;
    const char* name;
  };
  const std::string chosenPath = chosen.string();
  const std::string missingPath = (chosen.parent_path() / "missing.cfg").string();
  const Step steps[] = {
      {chosenPath.c_str(), "Wren/2", "<u>x</u>", "WREN320"},
      {chosenPath.c_str(), "Phone1/1.0", "<b>x</b>", ""},
      {nullptr, "Phone1/1.0", "<strong>x</strong>", "PHONE1"},
      {nullptr, "Wren/2", "<b>x</b>", ""},
      // A chosen file that does not exist gives the built-in defaults.
      {missingPath.c_str(), "Phone1/1.0", "<b>x</b>", ""},
      {"", "Phone1/1.0", "<strong>x</strong>", "PHONE1"},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.path == nullptr ? "(null)" : step.path) + " " + step.device);
    choose(step.path);
    const std::string out = library.Convert(kBoldPage, step.device);
    EXPECT_TRUE(Contains(out, step.expected)) << out;
    EXPECT_EQ(DeviceName(library, step.device), step.name);
  }
}

TEST(ConfigurationFile, AChosenFileIsWatchedForChanges) {
  LibraryCopy library;
  ASSERT_NO_FATAL_FAILURE(library.Load());
  auto choose = reinterpret_cast<SetFileFunction>(library.Symbol("WapSetConfigurationFile"));
  ASSERT_NE(choose, nullptr);
  const fs::path chosen = library.ConfigurationFile().parent_path() / "later.cfg";
  choose(chosen.c_str());
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<b>x</b>"));

  auto write = [&](const std::string& text, int secondsAhead) {
    std::ofstream(chosen, std::ios::binary | std::ios::trunc) << text;
    fs::last_write_time(chosen, fs::file_time_type::clock::now() + std::chrono::seconds(secondsAhead));
  };
  write(kPhoneConfiguration, 0);
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<strong>x</strong>"));
  std::string sameSize = kPhoneConfiguration;
  sameSize.replace(sameSize.find("strong>|</strong"), 17, "em>|</em>........");
  write(sameSize, 10);
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<em>x</em>"));
  fs::remove(chosen);
  EXPECT_TRUE(Contains(library.Convert(kBoldPage, "Phone1/1.0"), "<em>x</em>"));
  choose(nullptr);
}

TEST(ConfigurationFile, DeviceNameWritesOnlyWhenTheNameFits) {
  LibraryCopy library;
  library.WriteConfiguration(kPhoneConfiguration);
  ASSERT_NO_FATAL_FAILURE(library.Load());
  auto name = reinterpret_cast<DeviceNameFunction>(library.Symbol("WapDeviceName"));
  ASSERT_NE(name, nullptr);
  struct Case {
    int32_t capacity;
    const char* expected;  // buffer contents after the call
  };
  const Case cases[] = {{7, "PHONE1"}, {6, "######"}, {0, "######"}, {-1, "######"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.capacity);
    char buffer[8] = "######";
    EXPECT_EQ(name("Phone1/1.0", buffer, c.capacity), 6);
    EXPECT_STREQ(buffer, c.expected);
  }
  EXPECT_EQ(name("Phone1/1.0", nullptr, 100), 6);
  EXPECT_EQ(DeviceName(library, nullptr), "");
}

}  // namespace
