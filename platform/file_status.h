// File status and reading for the configuration file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillmark {

// What the freshness check compares: size and last-write time.
struct FileStatus {
  int64_t size = -1;
  int64_t mtimeNanoseconds = 0;
  bool operator==(const FileStatus&) const = default;
};

// Status of a regular file; nullopt when the path is missing, is not a
// regular file, or cannot be queried.
std::optional<FileStatus> QueryRegularFile(const std::string& path);

// Files larger than this are not read: a configuration never needs as much,
// and the reader keeps its memory bounded whatever lies beside the library.
inline constexpr int64_t kMaxTextFileBytes = 4 * 1024 * 1024;

// The whole file as text with CR LF line ends reduced to LF; nullopt when it
// cannot be read, is not a regular file or exceeds kMaxTextFileBytes.
std::optional<std::string> ReadTextFile(const std::string& path);

// Full path of the loaded module that contains this code ("" when unknown).
std::string ModulePath();

// `path` without the version numbers of a shared object's file name:
// "lib/libquillmark.so.0.9.21" and "lib/libquillmark.so.0" give
// "lib/libquillmark.so"; any other path is returned as it is. The loader may
// name one library by its real file, its SONAME link or its development link;
// this gives all three one name.
std::string WithoutSharedObjectVersion(const std::string& path);

}  // namespace quillmark
