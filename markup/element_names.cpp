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

}  // namespace

ElementId ElementIdOf(std::string_view name) {
  if (name.empty() || name.size() > kLongestName) return kOtherElement;
  // Some slot is empty (see kSlotCount), so the probe ends.
  for (size_t slot = FoldedNameHash(name) % kSlotCount;; slot = (slot + 1) % kSlotCount) {
    const ElementId id = kSlots.slots[slot];
    if (id == kOtherElement || EqualsIgnoringCase(name, kElementNames[id])) return id;
  }
}

}  // namespace quillmark
