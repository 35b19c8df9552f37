// A hash index from strings to values, made for the string table's counts:
// open addressing over one flat array of small slots (a hash and the
// entry's number), so that a lookup is one hash and, nearly always, one
// slot in cache; entries live in fixed blocks and never move.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark::wmlc {

// The bytes of a key shorter than 9 bytes as one number, read without a
// loop: two overlapping loads cover 4 to 8 bytes, three single bytes 1 to 3.
inline uint64_t ShortBlock(const char* at, std::size_t length) {
  if (length >= 4) {
    uint32_t low;
    uint32_t high;
    std::memcpy(&low, at, 4);
    std::memcpy(&high, at + length - 4, 4);
    return uint64_t{low} | (uint64_t{high} << 32);
  }
  if (length == 0) return 0;
  const auto byte = [&](std::size_t i) { return uint64_t{static_cast<unsigned char>(at[i])}; };
  return byte(0) | (byte(length / 2) << 8) | (byte(length - 1) << 16);
}

// Eight bytes at a time, each block mixed in by one multiplication, the
// length mixed in first (so that the short block's overlaps cannot
// collide keys of different lengths), and a final mix so that the low bits
// used for the slot depend on every byte.
inline std::size_t HashOfKey(std::string_view key) {
  constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
  uint64_t hash = (key.size() + 1) * kMultiplier;
  const char* at = key.data();
  std::size_t left = key.size();
  for (; left > 8; at += 8, left -= 8) {
    uint64_t block;
    std::memcpy(&block, at, 8);
    hash = (hash ^ block) * kMultiplier;
    hash ^= hash >> 32;
  }
  hash = (hash ^ ShortBlock(at, left)) * kMultiplier;
  hash ^= hash >> 29;
  hash *= 0xBF58476D1CE4E5B9ull;
  return static_cast<std::size_t>(hash ^ (hash >> 32));
}

// True when `a` and `b` hold the same bytes; keys of up to 16 bytes, the
// common case, are compared by two overlapping loads each, without a loop,
// and keys of up to 64 bytes eight bytes at a time, without a library call.
inline bool SameKey(std::string_view a, std::string_view b) {
  const std::size_t length = a.size();
  if (length != b.size()) return false;
  if (length > 64) return std::memcmp(a.data(), b.data(), length) == 0;
  if (length > 16) {
    const auto block = [](const char* at) {
      uint64_t value;
      std::memcpy(&value, at, 8);
      return value;
    };
    uint64_t differ = block(a.data() + length - 8) ^ block(b.data() + length - 8);
    for (std::size_t at = 0; at + 8 < length; at += 8) differ |= block(a.data() + at) ^ block(b.data() + at);
    return differ == 0;
  }
  if (length >= 8) {
    uint64_t a1, a2, b1, b2;
    std::memcpy(&a1, a.data(), 8);
    std::memcpy(&a2, a.data() + length - 8, 8);
    std::memcpy(&b1, b.data(), 8);
    std::memcpy(&b2, b.data() + length - 8, 8);
    return ((a1 ^ b1) | (a2 ^ b2)) == 0;
  }
  return ShortBlock(a.data(), length) == ShortBlock(b.data(), length);
}

template <typename Value>
class StringIndex {
 public:
  // The value of `key`, made (value-initialised) when missing. The key's
  // text must outlive the index.
  Value& Get(std::string_view key) {
    if (key.size() > kShortKey) return Lookup(key);
    // Short keys, the words that repeat most, go through a small cache of
    // recent ones first: their block and length are the whole key.
    const uint64_t block = ShortBlock(key.data(), key.size());
    Recent& recent = recent_[RecentIndex(block, key.size())];
    if (recent.value != nullptr && recent.block == block && recent.length == key.size()) return *recent.value;
    Value& value = Lookup(key);
    recent = Recent{block, key.size(), &value};
    return value;
  }

  // Forgets every key and makes room for `count` keys before the slots
  // grow. Costs time in `count`, not in the room an earlier use left; the
  // entries' blocks are kept for the keys to come.
  void Reset(std::size_t count) {
    std::size_t size = 64;
    while (size < 2 * count + 2) size *= 2;
    slots_.assign(size, Slot{});
    recent_.fill(Recent{});
    count_ = 0;
  }

  // The value of `key`, or null.
  const Value* Find(std::string_view key) const {
    if (slots_.empty()) return nullptr;
    const uint32_t hash = SlotHash(key);
    for (std::size_t at = hash & (slots_.size() - 1); slots_[at].entry != kEmpty; at = (at + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[at];
      if (slot.hash != hash) continue;
      const Entry& entry = EntryAt(slot.entry);
      if (SameKey(entry.key, key)) return &entry.value;
    }
    return nullptr;
  }

  // Calls `visit(key, value)` for every entry, in the order the keys were added.
  template <typename Visit>
  void ForEach(Visit visit) {
    for (std::size_t i = 0; i < count_; ++i) visit(EntryAt(i).key, EntryAt(i).value);
  }

 private:
  static constexpr uint32_t kEmpty = UINT32_MAX;
  // Entries per block: a power of two, so that finding one is a shift.
  static constexpr unsigned kBlockBits = 10;

  struct Entry {
    std::string_view key;
    Value value{};
  };

  struct Slot {
    uint32_t hash = 0;
    uint32_t entry = kEmpty;  // its number in entries_, kEmpty for an empty slot
  };

  static uint32_t SlotHash(std::string_view key) { return static_cast<uint32_t>(HashOfKey(key)); }

  // Keys of up to this many bytes are one short block.
  static constexpr std::size_t kShortKey = 8;
  static constexpr unsigned kRecentBits = 8;

  struct Recent {
    uint64_t block = 0;
    std::size_t length = 0;
    Value* value = nullptr;  // null while unused
  };

  static std::size_t RecentIndex(uint64_t block, std::size_t length) {
    return static_cast<std::size_t>(((block ^ length) * 0x9E3779B97F4A7C15ull) >> (64 - kRecentBits));
  }

  Value& Lookup(std::string_view key) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const uint32_t hash = SlotHash(key);
    std::size_t at = hash & (slots_.size() - 1);
    // Probe until the key's slot or an empty one.
    for (; slots_[at].entry != kEmpty; at = (at + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[at];
      if (slot.hash != hash) continue;
      Entry& entry = EntryAt(slot.entry);
      if (SameKey(entry.key, key)) return entry.value;
    }
    slots_[at] = Slot{hash, static_cast<uint32_t>(count_)};
    return Add(key).value;
  }

  Entry& EntryAt(std::size_t i) const { return blocks_[i >> kBlockBits][i & ((1u << kBlockBits) - 1)]; }

  Entry& Add(std::string_view key) {
    if ((count_ >> kBlockBits) == blocks_.size()) blocks_.push_back(std::make_unique<Entry[]>(1u << kBlockBits));
    Entry& entry = EntryAt(count_++);
    entry = Entry{key, Value{}};
    return entry;
  }

  void Grow() { Rehash(slots_.empty() ? 64 : slots_.size() * 2); }

  void Rehash(std::size_t size) {
    std::vector<Slot> slots(size);
    for (const Slot& slot : slots_) {
      if (slot.entry == kEmpty) continue;
      std::size_t at = slot.hash & (slots.size() - 1);
      while (slots[at].entry != kEmpty) at = (at + 1) & (slots.size() - 1);
      slots[at] = slot;
    }
    slots_ = std::move(slots);
  }

  std::vector<Slot> slots_;
  std::array<Recent, std::size_t{1} << kRecentBits> recent_{};
  std::vector<std::unique_ptr<Entry[]>> blocks_;
  std::size_t count_ = 0;
};

}  // namespace quillmark::wmlc
