// A structural check of compiled decks, shared by the encoder's tests and
// its fuzz target: it reads the tokens that the encoder writes, without
// decoding their text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillmark {

// What is wrong with `wmlc` as one well-formed WBXML document, or null when
// nothing is: a header, a string table, one element whose content and
// attribute lists all end, string table references inside the table, and
// nothing after the last END.
inline const char* WbxmlFault(std::string_view wmlc) {
  std::size_t at = 0;
  bool truncated = false;
  auto byte = [&]() -> uint8_t {
    if (at < wmlc.size()) return static_cast<uint8_t>(wmlc[at++]);
    truncated = true;
    return 0x01;
  };
  auto number = [&]() {
    uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
      const uint8_t b = byte();
      value = (value << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) break;
    }
    return value;
  };
  auto text = [&]() {
    while (byte() != 0 && !truncated) {
    }
  };
  if (byte() != 0x03) return "version";
  number();
  number();
  const uint32_t tableLength = number();
  if (tableLength > 0 && (at + tableLength > wmlc.size() || wmlc[at + tableLength - 1] != '\0')) {
    return "string table";
  }
  at += tableLength;
  bool malformed = false;
  auto index = [&]() { malformed = malformed || number() >= tableLength; };
  // Reads one content token other than a tag; false when `token` is a tag.
  auto contentToken = [&](uint8_t token) {
    if (token == 0x03 || token == 0x40 || token == 0x41 || token == 0x42) {
      text();
    } else if (token == 0x83 || token == 0x80 || token == 0x81 || token == 0x82) {
      index();
    } else if (token == 0x02) {
      number();
    } else {
      return false;
    }
    return true;
  };
  // Reads the rest of a tag; true when it has content.
  auto tag = [&](uint8_t token) {
    if ((token & 0x3F) == 0x04) index();
    if (token & 0x80) {
      for (uint8_t a = byte(); a != 0x01 && !truncated; a = byte()) {
        if (a == 0x04) index();
        if (a != 0x04 && !contentToken(a) && a < 0x05) malformed = true;
      }
    }
    return (token & 0x40) != 0;
  };
  std::size_t depth = tag(byte()) ? 1 : 0;
  while (depth > 0 && !truncated) {
    const uint8_t token = byte();
    if (token == 0x01) {
      --depth;
    } else if (!contentToken(token) && tag(token)) {
      ++depth;
    }
  }
  if (truncated) return "ends inside an element";
  if (malformed) return "a bad token or string table index";
  if (at != wmlc.size()) return "bytes after the document";
  return nullptr;
}

}  // namespace quillmark
