#include "tools/input_files.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
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
  // Read in large blocks: a character at a time costs more than the
  // conversion of a large page.
  std::string text;
  std::array<char, 1 << 16> block;
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    text.append(block.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) {
    reason = "read error";
    return std::nullopt;
  }
  return text;
}

std::optional<std::string> ReadInput(const std::string& file) {
  if (file == "-") {
    std::ostringstream text;
    text << std::cin.rdbuf();
    return text.str();
  }
  std::string reason;
  std::optional<std::string> text = ReadFileText(file, reason);
  if (!text) ReportUnreadable(file, reason);
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
  // The library reads no larger file and would fall back on its defaults
  // without a word; the command says so instead.
  const std::optional<FileStatus> status = QueryRegularFile(file);
  if (status && status->size > kMaxTextFileBytes) {
    ReportUnreadable(file, "larger than 4 MiB, which the library does not read");
    return false;
  }
  WapSetConfigurationFile(file.c_str());
  return true;
}

}  // namespace quillmark::tools
