// quillmark: converts an HTML page to a WML deck on standard output.

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "quillmark.h"

namespace {

constexpr char kUsage[] =
    "Usage: quillmark [--device TEXT] [FILE]\n"
    "Converts the HTML page FILE (standard input when FILE is absent or \"-\")\n"
    "into a WML deck written to standard output.\n"
    "\n"
    "  --device TEXT  the requesting device's user-agent text\n"
    "  --help         show this help and exit\n"
    "  --version      show the library version and exit\n";

struct Options {
  std::optional<std::string> device;
  std::string file = "-";
};

// Parses argv; returns the exit status to stop with, or nullopt to go on.
std::optional<int> ParseArguments(int argc, char** argv, Options& options) {
  bool haveFile = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (arg == "--version") {
      std::cout << LibraryVersion() << "\n";
      return 0;
    }
    if (arg == "--device") {
      if (i + 1 >= argc) {
        std::cerr << "quillmark: --device needs a value\n";
        return 2;
      }
      options.device = argv[++i];
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      std::cerr << "quillmark: unknown option " << arg << " (try --help)\n";
      return 2;
    }
    if (haveFile) {
      std::cerr << "quillmark: more than one file given (try --help)\n";
      return 2;
    }
    options.file = arg;
    haveFile = true;
  }
  return std::nullopt;
}

// Reads the whole page; nullopt (with a message) when it cannot be read.
std::optional<std::string> ReadPage(const std::string& file) {
  if (file == "-") {
    std::ostringstream text;
    text << std::cin.rdbuf();
    return text.str();
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::cerr << "quillmark: cannot read " << file << ": " << std::strerror(errno) << "\n";
    return std::nullopt;
  }
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    std::cerr << "quillmark: cannot read " << file << "\n";
    return std::nullopt;
  }
  return text;
}

// Converts with a buffer that grows until the deck fits; nullopt when even
// the largest buffer the library accepts is too small.
std::optional<std::string> Convert(const std::string& page, const std::optional<std::string>& device) {
  std::string pageCopy = page;
  char* caller = nullptr;
  char* deviceText = device ? const_cast<char*>(device->c_str()) : nullptr;
  char* pageText = pageCopy.data();
  int32_t pageLength = static_cast<int32_t>(page.size());
  int64_t size = static_cast<int64_t>(page.size()) * 2 + 4096;
  for (;;) {
    size = std::min<int64_t>(size, INT32_MAX);
    std::vector<char> buffer(static_cast<size_t>(size));
    char* output = buffer.data();
    int32_t capacity = static_cast<int32_t>(size);
    const int32_t written = WapConvert(&caller, &deviceText, &pageText, &pageLength, &output, &capacity);
    if (written > 0) return std::string(output, static_cast<size_t>(written));
    if (size == INT32_MAX) return std::nullopt;
    size *= 2;
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (auto status = ParseArguments(argc, argv, options)) return *status;
  const std::optional<std::string> page = ReadPage(options.file);
  if (!page) return 1;
  if (page->size() > static_cast<size_t>(INT32_MAX)) {
    std::cerr << "quillmark: " << options.file << " is larger than 2 GiB\n";
    return 1;
  }
  const std::optional<std::string> deck = Convert(*page, options.device);
  if (!deck) {
    std::cerr << "quillmark: the deck for " << options.file << " does not fit in 2 GiB\n";
    return 1;
  }
  std::cout.write(deck->data(), static_cast<std::streamsize>(deck->size()));
  std::cout.flush();
  return std::cout ? 0 : 1;
}
