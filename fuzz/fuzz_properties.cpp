// Checks the buffer contract on every input: the result equals the stored
// capacity and the length of the zero-terminated text; the smallest buffer
// that fits is larger than the text (the measure bounds the write); a second
// call gives identical bytes; one byte less returns 0 and leaves the buffer
// untouched; the deck parses as XML in the encoding its declaration names.
// An input may carry a configuration of its own (see SplitConfiguredInput):
// the same properties then hold for the conversion with it.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <libxml/parser.h>

#include "device/configuration.h"
#include "fuzz/fuzz_input.h"
#include "interface/conversion.h"
#include "interface/quillmark.h"
#include "markup/conversion_budget.h"

namespace {

struct Result {
  int32_t value;
  int32_t capacity;
  std::vector<char> buffer;
};

// The configuration drawn from the input, or null for the library's own.
std::shared_ptr<const quillmark::DeviceConfiguration> drawnConfiguration;
// Set when the last conversion with the drawn configuration ran out of budget.
bool overBudget = false;

Result Convert(quillmark::fuzz::ConversionInput& input, int32_t capacity) {
  Result result{0, capacity, std::vector<char>(capacity > 0 ? static_cast<size_t>(capacity) : 1, '\x5a')};
  char* caller = nullptr;
  char* device = input.hasDevice ? input.device.data() : nullptr;
  char* page = input.page.data();
  int32_t length = static_cast<int32_t>(input.page.size());
  char* output = result.buffer.data();
  if (!drawnConfiguration) {
    result.value = WapConvert(&caller, &device, &page, &length, &output, &result.capacity);
    return result;
  }
  // The driver below the export: the export's own duties (capacity 0 on
  // failure, the reason kept) are done here the same way.
  overBudget = false;
  try {
    result.value = quillmark::ConvertPage(drawnConfiguration, device, page, length, output, capacity);
  } catch (const quillmark::ConversionBudgetExceeded&) {
    overBudget = true;
  }
  result.capacity = result.value;
  return result;
}

bool FailedByBudget() {
  if (drawnConfiguration) return overBudget;
  return std::strcmp(WapLastError(), "page exceeds the conversion budget") == 0;
}

// Aborts, naming the property's line, when it does not hold.
void Require(bool condition, int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "property at fuzz_properties.cpp:%d does not hold\n", line);
  std::abort();
}

bool IsWellFormedXml(const char* text, int32_t length) {
  xmlDocPtr document = xmlReadMemory(text, length, "deck.wml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  if (document == nullptr) return false;
  xmlFreeDoc(document);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;  // keep the bisection below cheap
  quillmark::fuzz::ConfiguredInput configured = quillmark::fuzz::SplitConfiguredInput(data, size);
  drawnConfiguration.reset();
  if (configured.drawn) {
    auto configuration = std::make_shared<quillmark::DeviceConfiguration>();
    configuration->parseText(configured.configuration.data());
    configuration->finish();
    drawnConfiguration = std::move(configuration);
  }
  quillmark::fuzz::ConversionInput& input = configured.conversion;

  // Every deck within its conversion budget fits this.
  const int32_t generous =
      static_cast<int32_t>(quillmark::ConversionBudgetFor(static_cast<int64_t>(input.page.size())) + 1);
  const Result first = Convert(input, generous);
  // A page may expand past its conversion budget: then it fails, and says so.
  if (first.value == 0) {
    Require(FailedByBudget());
    return 0;
  }
  Require(first.value == first.capacity);
  Require(static_cast<size_t>(first.value) == std::strlen(first.buffer.data()));
  Require(IsWellFormedXml(first.buffer.data(), first.value));

  // The smallest capacity that fits, by bisection; the text needs at most
  // twice its length (it needs exactly its length and the zero).
  int32_t low = 1;
  int32_t high = std::min(generous, 2 * (first.value + 1));
  while (low < high) {
    const int32_t mid = low + (high - low) / 2;
    if (Convert(input, mid).value > 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  const Result exact = Convert(input, low);
  Require(exact.value == first.value);
  Require(low >= first.value + 1);  // measured length + 1 >= written + 1
  Require(std::memcmp(exact.buffer.data(), first.buffer.data(), static_cast<size_t>(first.value) + 1) == 0);

  const Result tooSmall = Convert(input, low - 1);
  Require(tooSmall.value == 0 && tooSmall.capacity == 0);
  for (char c : tooSmall.buffer) Require(c == '\x5a');
  return 0;
}
