#include "markup/element_names.h"

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

// FNV-1a over the lower-cased bytes, so that every spelling of a name
// hashes alike.
constexpr uint32_t NameHash(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(ToLowerAscii(c));
    hash *= 16777619u;
  }
  return hash;
}

// Open addressing with linear probing; kOtherElement marks an empty slot.
struct SlotTable {
  ElementId slots[kSlotCount] = {};
};

constexpr SlotTable MakeSlots() {
  SlotTable table;
  for (size_t id = 1; id < kElementIdCount; ++id) {
    size_t slot = NameHash(kElementNames[id]) % kSlotCount;
    while (table.slots[slot] != kOtherElement) slot = (slot + 1) % kSlotCount;
    table.slots[slot] = static_cast<ElementId>(id);
  }
  return table;
}
constexpr SlotTable kSlots = MakeSlots();

// True when `name` with its letters lower-cased is `lower`.
bool EqualsLowerCased(std::string_view name, std::string_view lower) {
  if (name.size() != lower.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (ToLowerAscii(name[i]) != lower[i]) return false;
  }
  return true;
}

}  // namespace

ElementId ElementIdOf(std::string_view name) {
  if (name.empty() || name.size() > kLongestName) return kOtherElement;
  // Some slot is empty (see kSlotCount), so the probe ends.
  for (size_t slot = NameHash(name) % kSlotCount;; slot = (slot + 1) % kSlotCount) {
    const ElementId id = kSlots.slots[slot];
    if (id == kOtherElement || EqualsLowerCased(name, kElementNames[id])) return id;
  }
}

}  // namespace quillmark
