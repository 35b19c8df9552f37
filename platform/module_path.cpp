#include <dlfcn.h>
#include <stdlib.h>

#include <memory>

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

}  // namespace quillmark
