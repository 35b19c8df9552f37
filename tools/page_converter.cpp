#include "tools/page_converter.h"

#include <string_view>

#include "interface/quillmark.hpp"

namespace quillmark::tools {

namespace {

// The device text as the C++ interface takes it: none for no --device.
std::string_view DeviceView(const std::optional<std::string>& device) {
  return device ? std::string_view(*device) : std::string_view();
}

}  // namespace

std::optional<std::string> ConvertToDeck(const std::string& page, const std::optional<std::string>& device) {
  try {
    return quillmark::convert(page, DeviceView(device));
  } catch (const quillmark::error&) {
    return std::nullopt;
  }
}

std::string SelectedDeviceName(const std::optional<std::string>& device) {
  try {
    return quillmark::device_name(DeviceView(device));
  } catch (const quillmark::error&) {
    // The configuration kept changing the name's length under the query.
    return std::string();
  }
}

}  // namespace quillmark::tools
