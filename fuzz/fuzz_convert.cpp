// Fuzzes the conversion entry points: device text, page and capacity all
// come from the input. The compiled deck, when it fits, must be one
// well-formed WBXML document of the length returned; when it does not fit,
// nothing is returned. Any crash, leak, hang or sanitizer report is a
// finding.

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "interface/quillmark.h"
#include "tests/support/wbxml_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quillmark::fuzz::ConversionInput input = quillmark::fuzz::SplitInput(data, size);
  // Capacities from tiny to generous, and a negative one.
  const int32_t choices[] = {-1, 0, 1, 16, 256, 4096,
                             static_cast<int32_t>(input.page.size() * 8 + 4096)};
  const int32_t capacity = choices[input.capacityChoice % std::size(choices)];
  std::vector<char> buffer(capacity > 0 ? static_cast<size_t>(capacity) : 1);
  char* caller = nullptr;
  char* device = input.hasDevice ? input.device.data() : nullptr;
  char* page = input.page.data();
  int32_t length = static_cast<int32_t>(input.page.size());
  char* output = buffer.data();
  int32_t inOut = capacity;
  WapConvert(&caller, &device, &page, &length, &output, &inOut);

  inOut = capacity;
  const int32_t compiled = WapConvertWmlc(&caller, &device, &page, &length, &output, &inOut);
  if (compiled != inOut || compiled < 0 || (compiled > 0 && compiled > capacity)) std::abort();
  if (compiled > 0 && quillmark::WbxmlFault(std::string_view(buffer.data(), static_cast<size_t>(compiled)))) {
    std::abort();
  }
  return 0;
}
