#include <dlfcn.h>

#include "platform/file_status.h"

namespace quillmark {

namespace {

// An address inside this module, for dladdr to identify it.
void ModuleAnchor() {}

}  // namespace

std::string ModulePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ModuleAnchor), &info) == 0) return std::string();
  if (info.dli_fname == nullptr) return std::string();
  return std::string(info.dli_fname);
}

}  // namespace quillmark
