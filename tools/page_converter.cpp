#include "tools/page_converter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "interface/quillmark.h"

namespace quillmark::tools {

namespace {

constexpr int64_t kLargestBuffer = INT32_MAX;

// First buffer size: decks are rarely more than twice their page.
int64_t FirstBufferSize(size_t pageSize) {
  return std::min<int64_t>(static_cast<int64_t>(pageSize) * 2 + 4096, kLargestBuffer);
}

using Conversion = int32_t (*)(char**, char**, char**, int32_t*, char**, int32_t*);

// Runs `convert` with a buffer that grows until the output fits.
std::optional<std::string> ConvertWith(Conversion convert, const std::string& page,
                                       const std::optional<std::string>& device) {
  if (page.size() > static_cast<size_t>(INT32_MAX)) return std::nullopt;
  // The C interface takes writable pointers; it changes none of these texts.
  std::string pageCopy = page;
  std::string deviceCopy = device.value_or("");
  char* caller = nullptr;
  char* deviceText = device ? deviceCopy.data() : nullptr;
  char* pageText = pageCopy.data();
  int32_t pageLength = static_cast<int32_t>(page.size());
  std::vector<char> buffer;
  for (int64_t size = FirstBufferSize(page.size());; size = std::min(size * 2, kLargestBuffer)) {
    buffer.resize(static_cast<size_t>(size));
    char* output = buffer.data();
    int32_t capacity = static_cast<int32_t>(size);
    const int32_t written = convert(&caller, &deviceText, &pageText, &pageLength, &output, &capacity);
    if (written > 0) return std::string(output, static_cast<size_t>(written));
    if (size == kLargestBuffer) return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> ConvertToDeck(const std::string& page, const std::optional<std::string>& device) {
  return ConvertWith(WapConvert, page, device);
}

std::optional<std::string> ConvertToWmlc(const std::string& page, const std::optional<std::string>& device) {
  return ConvertWith(WapConvertWmlc, page, device);
}

std::string SelectedDeviceName(const std::optional<std::string>& device) {
  const char* text = device ? device->c_str() : nullptr;
  std::string name(64, '\0');
  int32_t length = WapDeviceName(text, name.data(), static_cast<int32_t>(name.size()));
  if (static_cast<size_t>(length) >= name.size()) {
    name.assign(static_cast<size_t>(length) + 1, '\0');
    length = WapDeviceName(text, name.data(), static_cast<int32_t>(name.size()));
    // A reload between the two calls may have lengthened the name again.
    if (static_cast<size_t>(length) >= name.size()) return std::string();
  }
  name.resize(static_cast<size_t>(length));
  return name;
}

}  // namespace quillmark::tools
