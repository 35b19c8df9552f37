// The built shared library, loaded the way a host loads it.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using WapConvertFunction = int32_t (*)(char**, char**, char**, int32_t*, char**, int32_t*);
using LibraryVersionFunction = const char* (*)();

struct LibraryCloser {
  void operator()(void* handle) const { dlclose(handle); }
};
using LibraryHandle = std::unique_ptr<void, LibraryCloser>;

LibraryHandle OpenLibrary() { return LibraryHandle(dlopen(QUILLMARK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)); }

int32_t Call(WapConvertFunction convert, const std::string& page, std::vector<char>& buffer) {
  std::string copy = page;
  char* caller = nullptr;
  char* device = nullptr;
  char* pageText = copy.data();
  int32_t length = static_cast<int32_t>(copy.size());
  char* output = buffer.data();
  int32_t capacity = static_cast<int32_t>(buffer.size());
  const int32_t result = convert(&caller, &device, &pageText, &length, &output, &capacity);
  EXPECT_EQ(result, capacity);
  return result;
}

TEST(SharedLibrary, ExportsResolveByName) {
  LibraryHandle library = OpenLibrary();
  ASSERT_TRUE(library) << dlerror();
  auto version = reinterpret_cast<LibraryVersionFunction>(dlsym(library.get(), "LibraryVersion"));
  ASSERT_NE(version, nullptr);
  EXPECT_STREQ(version(), "Quillmark, v0.9.21");
  EXPECT_EQ(version(), version());
  EXPECT_NE(dlsym(library.get(), "WapConvert"), nullptr);
}

// Every line a shell command prints.
std::vector<std::string> OutputLines(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<std::string> lines;
  if (!pipe) return lines;
  std::array<char, 512> line{};
  while (std::fgets(line.data(), line.size(), pipe.get()) != nullptr) {
    std::string text = line.data();
    if (!text.empty() && text.back() == '\n') text.pop_back();
    lines.push_back(text);
  }
  return lines;
}

TEST(SharedLibrary, ExportsOnlyTheVersionedEntryPoints) {
  // The dynamic symbol table holds the C entry points, each of the version
  // node QUILLMARK_0, and the node itself; nothing of the engine: no C++
  // symbol of the library's own namespace.
  constexpr std::string_view kVersion = "@@QUILLMARK_0";
  std::vector<std::string> names;
  for (const std::string& line : OutputLines(std::string("nm -D --defined-only '") + QUILLMARK_LIBRARY_PATH + "'")) {
    names.push_back(line.substr(line.rfind(' ') + 1));
  }
  ASSERT_FALSE(names.empty()) << "nm printed nothing";
  EXPECT_NE(std::find(names.begin(), names.end(), "QUILLMARK_0"), names.end());
  for (const std::string& name : names) {
    if (name == "QUILLMARK_0") continue;
    ASSERT_GT(name.size(), kVersion.size()) << name;
    EXPECT_EQ(name.substr(name.size() - kVersion.size()), kVersion) << name;
    EXPECT_EQ(name.find("quillmark"), std::string::npos) << name;
    EXPECT_NE(name.rfind("_Z", 0), 0u) << name;
  }
  for (const char* entry : {"WapConvert", "WapConvertCharset", "WapConvertWmlc", "WapConvertPart", "WapConvertParts", "WapLastError",
                            "LibraryVersion",
                            "WapSetConfigurationFile", "WapDeviceName"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), entry + std::string(kVersion)), names.end()) << entry;
  }
}

TEST(SharedLibrary, NamesItsSonameAndIsTheVersionedFile) {
  const std::string file = QUILLMARK_LIBRARY_PATH;
  const std::vector<std::string> headers = OutputLines("objdump -p '" + file + "'");
  const auto soname = std::find_if(headers.begin(), headers.end(), [](const std::string& line) {
    return line.find("SONAME") != std::string::npos;
  });
  ASSERT_NE(soname, headers.end()) << "objdump shows no SONAME";
  const std::string name = soname->substr(soname->rfind(' ') + 1);
  EXPECT_EQ(name, "libquillmark.so.0");
  // The real file is the SONAME followed by the rest of the version.
  const std::string fileName = file.substr(file.rfind('/') + 1);
  EXPECT_EQ(fileName.rfind(name + ".", 0), 0u) << fileName;
}

TEST(SharedLibrary, BufferContractThroughTheLoadedLibrary) {
  LibraryHandle library = OpenLibrary();
  ASSERT_TRUE(library) << dlerror();
  auto convert = reinterpret_cast<WapConvertFunction>(dlsym(library.get(), "WapConvert"));
  ASSERT_NE(convert, nullptr);
  const std::string page = "<html><body><h1>Title</h1><p>Some <b>bold</b> text</p></body></html>";

  // Find the smallest buffer that fits by growing one byte at a time.
  std::vector<char> buffer(1, '#');
  while (Call(convert, page, buffer) == 0) buffer.assign(buffer.size() + 1, '#');
  const std::string first(buffer.data());
  ASSERT_FALSE(first.empty());
  EXPECT_GT(buffer.size(), first.size());

  std::vector<char> smaller(buffer.size() - 1, '#');
  EXPECT_EQ(Call(convert, page, smaller), 0);
  EXPECT_EQ(std::string(smaller.begin(), smaller.end()), std::string(smaller.size(), '#'));

  std::vector<char> again(buffer.size(), '#');
  ASSERT_GT(Call(convert, page, again), 0);
  EXPECT_EQ(std::string(again.data()), first);
}

}  // namespace
