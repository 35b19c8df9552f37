// Conversion through the library's exported C interface.
#pragma once

#include <optional>
#include <string>

namespace quillmark::tools {

// The deck for `page` and the device `device` selects (none: the default
// device); nullopt when the page or its deck exceeds what the library's
// 32-bit lengths can hold.
std::optional<std::string> ConvertToDeck(const std::string& page, const std::optional<std::string>& device);

// What a client gets for a converted page.
struct ConvertedPage {
  std::string mediaType;
  std::string body;
  std::string device;  // the device's name, "(default)" for the built-in one
};

// The answer's body and media type for `page`, converted for the device that
// `userAgent` selects, in the form the client's `accept` header asks for.
// Every choice of what a converted answer looks like is made here; nullopt
// when the page cannot be converted.
std::optional<ConvertedPage> ConvertPage(const std::string& page, const std::optional<std::string>& userAgent,
                                         const std::string& accept);

// Name of the device that `device` selects under the configuration in force;
// "" for the built-in default device, which has no name.
std::string SelectedDeviceName(const std::optional<std::string>& device);

}  // namespace quillmark::tools
