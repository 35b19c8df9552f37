#include "platform/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark {

namespace {

// Closes a descriptor when the reader leaves, whatever the path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Drops every CR that directly precedes an LF.
std::string ReduceLineEnds(const std::string& raw) {
  std::string text;
  text.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    text.push_back(raw[i]);
  }
  return text;
}

}  // namespace

std::optional<FileStatus> QueryRegularFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  FileStatus status;
  status.size = static_cast<int64_t>(info.st_size);
  status.mtimeNanoseconds =
      static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return status;
}

std::optional<std::string> ReadTextFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (info.st_size > kMaxTextFileBytes) return std::nullopt;
  std::string raw;
  char chunk[8192];
  for (;;) {
    const ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    // The file may grow while it is read; the limit holds all the same.
    if (raw.size() + static_cast<size_t>(got) > static_cast<size_t>(kMaxTextFileBytes)) {
      return std::nullopt;
    }
    raw.append(chunk, static_cast<size_t>(got));
  }
  return ReduceLineEnds(raw);
}

}  // namespace quillmark
