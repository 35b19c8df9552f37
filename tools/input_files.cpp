#include "tools/input_files.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sys/stat.h>

#include "interface/quillmark.h"
#include "platform/file_status.h"

namespace quillmark::tools {

namespace {

// One line naming `file` and the reason it failed.
void ReportUnreadable(const std::string& file, const std::string& reason) {
  std::cerr << "quillmark: cannot read " << file << ": " << reason << "\n";
}

// True for a path that names a directory (which opens but reads nothing).
bool IsDirectory(const std::string& file) {
  struct stat status {};
  return ::stat(file.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The library takes a page's length as a 32-bit count: reading stops past
// it, so that a file that never ends (/dev/zero) cannot fill the memory.
constexpr std::size_t kLargestPage = INT32_MAX;

// All of `in`; nullopt with `reason` set on a read error or past kLargestPage.
std::optional<std::string> ReadAll(std::istream& in, std::string& reason) {
  // Read in large blocks: a character at a time costs more than the
  // conversion of a large page.
  std::string text;
  std::array<char, 1 << 16> block;
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    text.append(block.data(), static_cast<std::size_t>(in.gcount()));
    if (text.size() > kLargestPage) {
      reason = "larger than 2 GiB, the largest page the library converts";
      return std::nullopt;
    }
  }
  if (in.bad()) {
    reason = "read error";
    return std::nullopt;
  }
  return text;
}

}  // namespace

std::optional<std::string> ReadFileText(const std::string& file, std::string& reason) {
  if (IsDirectory(file)) {
    reason = "is a directory";
    return std::nullopt;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    reason = std::strerror(errno);
    return std::nullopt;
  }
  return ReadAll(in, reason);
}

std::optional<std::string> ReadInput(const std::string& file) {
  std::string reason;
  std::optional<std::string> text = file == "-" ? ReadAll(std::cin, reason) : ReadFileText(file, reason);
  if (!text) ReportUnreadable(file == "-" ? "standard input" : file, reason);
  return text;
}

bool UseConfigurationFile(const std::string& file) {
  if (IsDirectory(file)) {
    ReportUnreadable(file, "is a directory");
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    ReportUnreadable(file, std::strerror(errno));
    return false;
  }
  // The library reads only regular files, and no larger one, and would
  // fall back on its defaults without a word; the command says so instead.
  const std::optional<FileStatus> status = QueryRegularFile(file);
  if (!status) {
    ReportUnreadable(file, "not a regular file, which the library does not read");
    return false;
  }
  if (status->size > kMaxTextFileBytes) {
    ReportUnreadable(file, "larger than 4 MiB, which the library does not read");
    return false;
  }
  WapSetConfigurationFile(file.c_str());
  return true;
}

bool FlushedStandardOutput() {
  if (std::cout.flush()) return true;
  std::cerr << "quillmark: cannot write standard output\n";
  return false;
}

}  // namespace quillmark::tools
