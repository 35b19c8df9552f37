// Load and unload hooks of the shared module, and the exported entry points
// of the Xmldevice unit. Only the shared library contains this file: the
// static core used by tests has no hooks and loads its configuration lazily.
#include "interface/lifecycle.h"
#include "interface/quillmark.h"

namespace {

// Runs when the module is loaded: the unit first, so the default settings
// exist, then the attach notification that reads the configuration file.
[[gnu::constructor]] void OnModuleLoad() {
  quillmark::Xmldevice::Initialize();
  quillmark::ModuleEntry(quillmark::kProcessAttach);
}

// Runs when the module is unloaded: the detach notification, then the unit.
[[gnu::destructor]] void OnModuleUnload() {
  quillmark::ModuleEntry(quillmark::kProcessDetach);
  quillmark::Xmldevice::Finalize();
}

}  // namespace

extern "C" void XmldeviceInitialize() { quillmark::Xmldevice::Initialize(); }

extern "C" void XmldeviceFinalize() { quillmark::Xmldevice::Finalize(); }
