#include "markup/element_names.h"

#include <bit>
#include <cstring>

#include "base/case_folding.h"

namespace quillmark {
namespace {

constexpr size_t kSlotCount = 256;  // more than twice the ids: probes stay short

constexpr size_t LongestName() {
  size_t longest = 0;
  for (std::string_view name : kElementNames) longest = name.size() > longest ? name.size() : longest;
  return longest;
}
constexpr size_t kLongestName = LongestName();

// Open addressing with linear probing; kOtherElement marks an empty slot.
struct SlotTable {
  ElementId slots[kSlotCount] = {};
};

constexpr SlotTable MakeSlots() {
  SlotTable table;
  for (size_t id = 1; id < kElementIdCount; ++id) {
    size_t slot = FoldedNameHash(kElementNames[id]) % kSlotCount;
    while (table.slots[slot] != kOtherElement) slot = (slot + 1) % kSlotCount;
    table.slots[slot] = static_cast<ElementId>(id);
  }
  return table;
}
constexpr SlotTable kSlots = MakeSlots();

// Names of up to eight bytes, nearly all of them, are matched as one word:
// their bytes in order from the lowest, zero above the name.
constexpr size_t kWordName = 8;

constexpr uint64_t NameWord(std::string_view name) {
  uint64_t word = 0;
  for (size_t i = 0; i < name.size(); ++i) word |= uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
  return word;
}

// The 0x20 bit of each byte of `word` that is an upper-case ASCII letter.
// For a 7-bit byte x, x + (0x80 - low) has its high bit set when x >= low,
// and x + (0x7F - high) when x > high; neither sum carries into the next byte.
constexpr uint64_t UpperCaseBits(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x80 * kOnes;
  const uint64_t ascii = word & ~kHigh;
  const uint64_t upper = (ascii + (0x80 - 'A') * kOnes) & ~(ascii + (0x7F - 'Z') * kOnes) & ~word & kHigh;
  return upper >> 2;
}

// NameWord of 1 to 8 bytes on a little-endian machine, read by two
// overlapping loads (or three bytes) instead of a copy of `length` bytes,
// which costs a library call and a stalled load of the word it stored.
uint64_t LoadedNameWord(const char* at, size_t length) {
  if (length >= 4) {
    uint32_t low;
    uint32_t high;
    std::memcpy(&low, at, 4);
    std::memcpy(&high, at + length - 4, 4);
    return uint64_t{low} | (uint64_t{high} << (8 * (length - 4)));
  }
  const auto byte = [&](size_t i) { return uint64_t{static_cast<unsigned char>(at[i])} << (8 * i); };
  return byte(0) | byte(length / 2) | byte(length - 1);
}

constexpr size_t WordSlot(uint64_t lowered) { return static_cast<size_t>((lowered * 0x9E3779B97F4A7C15ull) >> 56); }

// The ids of the short names by their lower-cased word, with the word
// and length kept beside each id for the one comparison a match needs.
struct WordTable {
  ElementId slots[kSlotCount] = {};
  uint64_t words[kElementIdCount] = {};
  uint8_t lengths[kElementIdCount] = {};
};

constexpr WordTable MakeWordTable() {
  WordTable table;
  for (size_t id = 1; id < kElementIdCount; ++id) {
    const std::string_view name = kElementNames[id];
    if (name.size() > kWordName) continue;
    table.words[id] = NameWord(name);
    table.lengths[id] = static_cast<uint8_t>(name.size());
    size_t slot = WordSlot(table.words[id]);
    while (table.slots[slot] != kOtherElement) slot = (slot + 1) % kSlotCount;
    table.slots[slot] = static_cast<ElementId>(id);
  }
  return table;
}
constexpr WordTable kWords = MakeWordTable();

}  // namespace

ElementMatch MatchElementName(std::string_view name) {
  if (name.empty() || name.size() > kWordName) {
    const ElementId id = ElementIdOf(name);
    return {id, id != kOtherElement && name == kElementNames[id]};
  }
  uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    word = LoadedNameWord(name.data(), name.size());
  } else {
    word = NameWord(name);
  }
  const uint64_t upper = UpperCaseBits(word);
  const uint64_t lowered = word | upper;
  // Some slot is empty (see kSlotCount), so the probe ends.
  for (size_t slot = WordSlot(lowered);; slot = (slot + 1) % kSlotCount) {
    const ElementId id = kWords.slots[slot];
    if (id == kOtherElement) return {};
    if (kWords.words[id] == lowered && kWords.lengths[id] == name.size()) return {id, upper == 0};
  }
}

std::optional<ElementSet> ElementSet::OfList(const char* list) {
  ElementSet set;
  // Each entry is closed by its own NUL; the empty entry closes the list.
  for (const char* entry = list; entry != nullptr && *entry != '\0'; entry += std::strlen(entry) + 1) {
    const ElementId id = ElementIdOf(entry);
    if (id == kOtherElement) return std::nullopt;
    set.Add(id);
  }
  return set;
}

ElementId ElementIdOf(std::string_view name) {
  if (name.empty() || name.size() > kLongestName) return kOtherElement;
  // Some slot is empty (see kSlotCount), so the probe ends.
  for (size_t slot = FoldedNameHash(name) % kSlotCount;; slot = (slot + 1) % kSlotCount) {
    const ElementId id = kSlots.slots[slot];
    if (id == kOtherElement || EqualsIgnoringCase(name, kElementNames[id])) return id;
  }
}

}  // namespace quillmark
