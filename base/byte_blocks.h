// Tests on eight bytes at once, read from text as one little-endian word:
// each answers with the high bit of every byte it holds for.
#pragma once

#include <cstdint>

namespace quillmark {

// Bytes that are each eight copies of one byte.
constexpr uint64_t Repeated(uint8_t byte) { return 0x0101010101010101ull * byte; }

// The high bit of each byte of `word` below `limit` (at most 0x80), for
// every byte: adding to the low seven bits never carries into the next.
constexpr uint64_t BytesBelow(uint64_t word, uint8_t limit) {
  const uint64_t low = Repeated(0x7F);
  return ~(((word & low) + Repeated(static_cast<uint8_t>(0x80 - limit))) | word) & Repeated(0x80);
}

// The high bit of each byte of `word` that equals `byte`, exactly.
constexpr uint64_t BytesEqual(uint64_t word, uint8_t byte) { return BytesBelow(word ^ Repeated(byte), 1); }

}  // namespace quillmark
