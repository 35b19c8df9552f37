// The conversion driver behind the exported entry point.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "device/configuration.h"

namespace quillmark {

// Converts `pageLength` bytes of `page` for the device that `deviceText`
// selects in `configuration`, and writes the deck, zero-terminated, to
// `output` when it fits in `capacity` bytes. Returns the written length, or
// 0 when it does not fit (then nothing is written). Throws only when memory
// runs out.
// `hostCharset` is the page's charset as the host knows it (from its HTTP
// answer, say); null or empty when it knows none.
int32_t ConvertPage(const std::shared_ptr<const DeviceConfiguration>& configuration,
                    const char* deviceText, const char* page, int32_t pageLength, char* output,
                    int32_t capacity, const char* hostCharset = nullptr);

// Converts like ConvertPage and compiles the deck into WMLC; writes it to
// `output` when `capacity` holds all its bytes (no terminating zero).
// Returns the compiled length, or 0 when it does not fit.
int32_t ConvertPageToWmlc(const std::shared_ptr<const DeviceConfiguration>& configuration,
                          const char* deviceText, const char* page, int32_t pageLength, char* output,
                          int32_t capacity, const char* hostCharset = nullptr);

// The whole deck for `page`, in the encoding its XML declaration names.
// Throws only when memory runs out.
std::string MakeDeck(const std::shared_ptr<const DeviceConfiguration>& configuration, const char* deviceText,
                     std::string_view page, std::string_view hostCharset);

}  // namespace quillmark
