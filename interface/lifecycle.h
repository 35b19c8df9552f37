// The library lifecycle: the Xmldevice unit's reference-counted
// initialisation and the entry function that the module's load and unload
// hooks drive.
#pragma once

#include <cstdint>

namespace quillmark {

namespace Xmldevice {

// Counts down; the first call (count 0 before it) builds the library default
// settings. Calls must be balanced with Finalize.
void Initialize();
// Counts up; the call that brings the count back to 0 finalises the unit,
// which releases nothing.
void Finalize();
// The unit's reference count: 0 when not initialised, -n after n
// unbalanced Initialize calls.
int32_t ReferenceCount();

}  // namespace Xmldevice

// Entry notification reasons of the module.
inline constexpr int32_t kProcessDetach = 0;
inline constexpr int32_t kProcessAttach = 1;

// Handles one entry notification: attach loads the configuration, detach
// does nothing, any other reason is only traced. Always answers 1.
int32_t ModuleEntry(int32_t reason);

}  // namespace quillmark
