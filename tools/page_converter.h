// Conversion through the library's exported C interface.
#pragma once

#include <optional>
#include <string>

namespace quillmark::tools {

// The deck for `page` and the device `device` selects (none: the default
// device); nullopt when the page or its deck exceeds what the library's
// 32-bit lengths can hold.
std::optional<std::string> ConvertToDeck(const std::string& page, const std::optional<std::string>& device);

// The same deck compiled into WMLC (binary).
std::optional<std::string> ConvertToWmlc(const std::string& page, const std::optional<std::string>& device);

// Name of the device that `device` selects under the configuration in force;
// "" for the built-in default device, which has no name.
std::string SelectedDeviceName(const std::optional<std::string>& device);

}  // namespace quillmark::tools
