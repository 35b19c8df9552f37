// One conversion through the exported C interface, for the benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interface/quillmark.h"

namespace quillmark::bench {

using Conversion = int32_t (*)(char**, char**, char**, int32_t*, char**, int32_t*);

// Converts `page` once with `convert` for the default device into `buffer`,
// which must be large enough; returns the written length.
inline int32_t ConvertOnce(const std::string& page, std::vector<char>& buffer, Conversion convert = WapConvert) {
  char* caller = nullptr;
  char* device = nullptr;
  // The library only reads the page, so the caller's bytes are passed as
  // they are: a copy would count as the conversion's memory and time.
  char* pageText = const_cast<char*>(page.data());
  int32_t length = static_cast<int32_t>(page.size());
  char* output = buffer.data();
  int32_t capacity = static_cast<int32_t>(buffer.size());
  return convert(&caller, &device, &pageText, &length, &output, &capacity);
}

}  // namespace quillmark::bench
