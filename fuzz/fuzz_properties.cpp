// Checks the buffer contract on every input: the result equals the stored
// capacity and the length of the zero-terminated text; the smallest buffer
// that fits is larger than the text (the measure bounds the write); a second
// call gives identical bytes; one byte less returns 0 and leaves the buffer
// untouched; the deck parses as XML in the encoding its declaration names.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <libxml/parser.h>

#include "fuzz/fuzz_input.h"
#include "interface/quillmark.h"

namespace {

struct Result {
  int32_t value;
  int32_t capacity;
  std::vector<char> buffer;
};

Result Convert(quillmark::fuzz::ConversionInput& input, int32_t capacity) {
  Result result{0, capacity, std::vector<char>(capacity > 0 ? static_cast<size_t>(capacity) : 1, '\x5a')};
  char* caller = nullptr;
  char* device = input.hasDevice ? input.device.data() : nullptr;
  char* page = input.page.data();
  int32_t length = static_cast<int32_t>(input.page.size());
  char* output = result.buffer.data();
  result.value = WapConvert(&caller, &device, &page, &length, &output, &result.capacity);
  return result;
}

void Require(bool condition) {
  if (!condition) std::abort();
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
  quillmark::fuzz::ConversionInput input = quillmark::fuzz::SplitInput(data, size);

  const int32_t generous = static_cast<int32_t>(input.page.size() * 8 + 4096);
  const Result first = Convert(input, generous);
  Require(first.value > 0);
  Require(first.value == first.capacity);
  Require(static_cast<size_t>(first.value) == std::strlen(first.buffer.data()));
  Require(IsWellFormedXml(first.buffer.data(), first.value));

  // The smallest capacity that fits, by bisection.
  int32_t low = 1;
  int32_t high = generous;
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
