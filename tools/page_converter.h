// Conversion through the library's exported C interface.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillmark::tools {

// The deck for `page` and the device `device` selects (none: the default
// device); `charset` is the page's charset as its source told it ("" when
// unknown). nullopt when the page cannot be converted: too large for the
// library's 32-bit lengths, or past its conversion budget.
std::optional<std::string> ConvertToDeck(const std::string& page, const std::optional<std::string>& device,
                                         const std::string& charset = "");

// Why the last ConvertToDeck on this thread gave nothing, as one phrase.
std::string ConversionFailureText();

// The charset parameter of a Content-Type value ("" when it has none).
std::string CharsetOfContentType(std::string_view contentType);

// The media type of a deck: text/vnd.wap.wml with the charset its XML
// declaration names (UTF-8 when it names none).
std::string DeckMediaType(std::string_view deck);

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
                                         const std::string& accept, const std::string& charset = "");

// The same deck compiled into WMLC (binary).
std::optional<std::string> ConvertToWmlc(const std::string& page, const std::optional<std::string>& device);

// Name of the device that `device` selects under the configuration in force;
// "" for the built-in default device, which has no name.
std::string SelectedDeviceName(const std::optional<std::string>& device);

}  // namespace quillmark::tools
