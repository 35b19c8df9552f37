#include <dlfcn.h>
#include <stdlib.h>

#include <memory>
#include <string_view>

#include "platform/file_status.h"

namespace quillmark {

namespace {

// An address inside this module, for dladdr to identify it.
void ModuleAnchor() {}

// Releases memory that the C library allocated.
struct FreeDeleter {
  void operator()(char* p) const { ::free(p); }
};

// The absolute form of a path that names an existing file; the path itself
// when it cannot be resolved.
std::string Absolute(const char* path) {
  if (path[0] == '/') return std::string(path);
  std::unique_ptr<char, FreeDeleter> resolved(::realpath(path, nullptr));
  return resolved ? std::string(resolved.get()) : std::string(path);
}

}  // namespace

std::string ModulePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ModuleAnchor), &info) == 0) return std::string();
  if (info.dli_fname == nullptr || info.dli_fname[0] == '\0') return std::string();
  return Absolute(info.dli_fname);
}

std::string WithoutSharedObjectVersion(const std::string& path) {
  constexpr std::string_view kSuffix = ".so";
  size_t end = path.size();
  // Drop ".N" groups from the end, as long as each is a dot and digits.
  while (end > 0) {
    const size_t dot = path.rfind('.', end - 1);
    if (dot == std::string::npos || dot + 1 == end) break;
    if (path.find_first_not_of("0123456789", dot + 1) < end) break;
    end = dot;
  }
  if (end == path.size() || end < kSuffix.size()) return path;
  if (std::string_view(path).substr(end - kSuffix.size(), kSuffix.size()) != kSuffix) return path;
  // A name that is ".so" and nothing more stays as it is.
  const size_t nameStart = path.rfind('/', end - 1) + 1;  // npos + 1 is 0
  if (end - nameStart <= kSuffix.size()) return path;
  return path.substr(0, end);
}

}  // namespace quillmark
