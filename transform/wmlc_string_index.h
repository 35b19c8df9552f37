// A hash index from strings to values, made for the string table's counts:
// open addressing over one flat array of slots, so that a lookup is one
// hash and, nearly always, one slot; values live in a deque and never move.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark::wmlc {

// FNV-1a over the key's bytes with a final mix: keys are mostly short
// words, for which this beats the library's general-purpose hash.
inline std::size_t HashOfKey(std::string_view key) {
  uint64_t hash = 14695981039346656037ull;
  for (char c : key) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return static_cast<std::size_t>(hash ^ (hash >> 29));
}

template <typename Value>
class StringIndex {
 public:
  // The value of `key`, made (value-initialised) when missing. The key's
  // text must outlive the index.
  Value& Get(std::string_view key) {
    if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
    const std::size_t hash = HashOfKey(key);
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
    const std::size_t hash = HashOfKey(key);
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
