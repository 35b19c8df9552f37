// Splits a fuzzer's input into the arguments of one conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace quillmark::fuzz {

// Input layout: byte 0 chooses the capacity (see Capacity), the bytes up to
// the first NUL after it are the device text (absent when the input has no
// NUL), and everything after that NUL is the page.
struct ConversionInput {
  uint8_t capacityChoice = 0;
  bool hasDevice = false;
  std::string device;
  std::string page;
};

inline ConversionInput SplitInput(const uint8_t* data, size_t size) {
  ConversionInput input;
  if (size == 0) return input;
  input.capacityChoice = data[0];
  const char* rest = reinterpret_cast<const char*>(data + 1);
  const size_t restSize = size - 1;
  const void* nul = std::memchr(rest, '\0', restSize);
  if (nul == nullptr) {
    input.page.assign(rest, restSize);
    return input;
  }
  const size_t deviceSize = static_cast<const char*>(nul) - rest;
  input.hasDevice = true;
  input.device.assign(rest, deviceSize);
  input.page.assign(rest + deviceSize + 1, restSize - deviceSize - 1);
  return input;
}

}  // namespace quillmark::fuzz
