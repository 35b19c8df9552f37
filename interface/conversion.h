// The conversion driver behind the exported entry point.
#pragma once

#include <cstdint>
#include <memory>

#include "device/configuration.h"

namespace quillmark {

// Converts `pageLength` bytes of `page` for the device that `deviceText`
// selects in `configuration`, and writes the deck, zero-terminated, to
// `output` when it fits in `capacity` bytes. Returns the written length, or
// 0 when it does not fit (then nothing is written). Throws only when memory
// runs out.
int32_t ConvertPage(const std::shared_ptr<const DeviceConfiguration>& configuration,
                    const char* deviceText, const char* page, int32_t pageLength, char* output,
                    int32_t capacity);

// Converts like ConvertPage and compiles the deck into WMLC; writes it to
// `output` when `capacity` holds all its bytes (no terminating zero).
// Returns the compiled length, or 0 when it does not fit.
int32_t ConvertPageToWmlc(const std::shared_ptr<const DeviceConfiguration>& configuration,
                          const char* deviceText, const char* page, int32_t pageLength, char* output,
                          int32_t capacity);

}  // namespace quillmark
