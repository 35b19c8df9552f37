// Splits a fuzzer's input into the arguments of one conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
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

// The device text and page from `restData`, with the capacity choice given.
inline ConversionInput SplitInput(uint8_t capacityChoice, const uint8_t* restData, size_t restSize) {
  ConversionInput input;
  input.capacityChoice = capacityChoice;
  const char* rest = reinterpret_cast<const char*>(restData);
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

inline ConversionInput SplitInput(const uint8_t* data, size_t size) {
  if (size == 0) return ConversionInput{};
  return SplitInput(data[0], data + 1, size - 1);
}

// Lines a drawn configuration is made of: groups and devices whose patterns
// the fuzzed device text can match, marker words, tag replacements (some
// that expand into each other) and the settings keys of a group or device.
inline constexpr const char* kConfigurationLines[] = {
    "DEVICE_GROUP=G1\n",
    "DEVICE_GROUP=G2\n",
    "DEVICE=P1;USERAGENT=*P1*;GROUP=G1\n",
    "DEVICE=P2;USERAGENT=P*2*;GROUP=G2\n",
    "DEVICE=DEFAULT\n",
    "DEFAULT_EXCLUDE=true\n",
    "DEFAULT_EXCLUDE=false\n",
    "INCLUDE_TAG_START=IN\nINCLUDE_TAG_STOP=/IN\n",
    "EXCLUDE_TAG_START=EX\nEXCLUDE_TAG_STOP=/EX\n",
    "TAG_REPLACE=b=<strong>|</strong>, i=<em>|</em>, font=|\n",
    "TAG_REPLACE=b=<i><i>|</i></i>, i=<b><b>|</b></b>\n",
    "TAG_REPLACE=br=<br/>|, hr=<br/>|, p=<p><br>|</p>\n",
    "TAG_REPLACE=td=<td><table><tr><td>|</td></tr></table></td>\n",
    "TABLES=true\n",
    "TABLES=false\n",
    "XMLVERSION=\"<?xml version=\\\"1.0\\\" encoding=\\\"ISO-8859-1\\\"?>\"\n",
    "DOCTYPE=\"<!DOCTYPE wml>\"\n",
    "ENTITIES=false\n",
    "DOLLAR=false\n",
    "CHARSET=true\n",
    "AMPERSAND=&amp;\n",
    "BLOCK_BREAKS=true\n",
    "BLOCK_BREAKS=false\n",
};

// An input that may carry a configuration: when bit 7 of byte 0 is set, the
// up to 8 bytes after it pick configuration lines, and the rest is split as
// SplitInput splits it (byte 0 still chooses the capacity). Without the bit
// the whole input is split, for the library's own configuration.
struct ConfiguredInput {
  bool drawn = false;
  std::string configuration;
  ConversionInput conversion;
};

inline ConfiguredInput SplitConfiguredInput(const uint8_t* data, size_t size) {
  ConfiguredInput input;
  if (size == 0 || (data[0] & 0x80) == 0) {
    input.conversion = SplitInput(data, size);
    return input;
  }
  input.drawn = true;
  const size_t picks = size - 1 < 8 ? size - 1 : 8;
  for (size_t i = 1; i <= picks; ++i) {
    input.configuration += kConfigurationLines[data[i] % std::size(kConfigurationLines)];
  }
  input.conversion = SplitInput(data[0], data + 1 + picks, size - 1 - picks);
  return input;
}

}  // namespace quillmark::fuzz
