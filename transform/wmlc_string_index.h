// A hash index from strings to values, made for the string table's counts:
// open addressing over one flat array of slots, so that a lookup is one
// hash and, nearly always, one slot; values live in a deque and never move.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark::wmlc {

template <typename Value>
class StringIndex {
 public:
  // The value of `key`, made (value-initialised) when missing. The key's
  // text must outlive the index.
  Value& Get(std::string_view key) {
    if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
    const std::size_t hash = std::hash<std::string_view>{}(key);
    std::size_t at = hash & (slots_.size() - 1);
    // Probe until the key's slot or an empty one.
    for (; slots_[at].value != nullptr; at = (at + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[at];
      if (slot.hash == hash && slot.key == key) return *slot.value;
    }
    entries_.emplace_back(key, Value{});
    slots_[at] = Slot{hash, key, &entries_.back().second};
    return entries_.back().second;
  }

  // The value of `key`, or null.
  const Value* Find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    const std::size_t hash = std::hash<std::string_view>{}(key);
    for (std::size_t at = hash & (slots_.size() - 1); slots_[at].value != nullptr; at = (at + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[at];
      if (slot.hash == hash && slot.key == key) return slot.value;
    }
    return nullptr;
  }

  // Every key with its value, in the order the keys were added.
  std::deque<std::pair<std::string_view, Value>>& Entries() { return entries_; }

 private:
  struct Slot {
    std::size_t hash = 0;
    std::string_view key;
    Value* value = nullptr;  // null for an empty slot
  };

  void Grow() {
    std::vector<Slot> slots(slots_.empty() ? 64 : slots_.size() * 2);
    for (const Slot& slot : slots_) {
      if (slot.value == nullptr) continue;
      std::size_t at = slot.hash & (slots.size() - 1);
      while (slots[at].value != nullptr) at = (at + 1) & (slots.size() - 1);
      slots[at] = slot;
    }
    slots_ = std::move(slots);
  }

  std::vector<Slot> slots_;
  std::deque<std::pair<std::string_view, Value>> entries_;
};

}  // namespace quillmark::wmlc
