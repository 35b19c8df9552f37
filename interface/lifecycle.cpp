#include "interface/lifecycle.h"

#include <atomic>

#include "device/configuration.h"
#include "device/device_profile.h"
#include "base/trace.h"

namespace quillmark {

namespace {

std::atomic<int32_t>& UnitCount() {
  static std::atomic<int32_t> count{0};
  return count;
}

// Unit initialisation: the library default settings exist from here on.
void InitializeUnit() { static_cast<void>(LibraryDefaultSettings()); }

// Unit finalisation: the default settings hold no heap data, and the
// configuration outlives the unit, so nothing is released.
void FinalizeUnit() {}

}  // namespace

namespace Xmldevice {

void Initialize() {
  if (UnitCount().fetch_sub(1) == 0) InitializeUnit();
}

void Finalize() {
  if (UnitCount().fetch_add(1) == -1) FinalizeUnit();
}

int32_t ReferenceCount() { return UnitCount().load(); }

}  // namespace Xmldevice

int32_t ModuleEntry(int32_t reason) {
  switch (reason) {
    case kProcessDetach:
      return 1;
    case kProcessAttach:
      loadConfiguration();
      return 1;
    default:
      Trace("DllMain Other %d\r\n", reason);
      return 1;
  }
}

}  // namespace quillmark
