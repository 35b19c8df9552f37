#include "transform/wmlc_string_table.h"

#include <algorithm>
#include <array>

namespace quillmark::wmlc {
namespace {

// Shorter parts never pay for their reference.
constexpr std::size_t kShortestPart = 3;
// Longest run of words considered as one table string.
constexpr std::size_t kLongestPhrase = 5;
// Candidates of more than one word are counted up to this many, so that a
// huge deck costs bounded memory; single words and whole strings always.
constexpr std::size_t kMostPhraseCandidates = 1 << 16;

bool IsWordByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         static_cast<unsigned char>(c) >= 0x80;
}

uint32_t MultiByteLength(uint64_t value) {
  uint32_t length = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++length;
  }
  return length;
}

// Bytes saved by writing a part of `length` bytes as a reference of
// `referenceLength` bytes instead of inline, when `before` and `after` tell
// whether inline text is left on each side (each such side costs a new
// inline string's STR_I and terminator).
int64_t PartSaving(std::size_t length, uint32_t referenceLength, bool before, bool after) {
  return static_cast<int64_t>(length) + 1 - referenceLength - 2 * before - 2 * after;
}

// The ends of the first kLongestPhrase words from the word start `start`.
std::size_t WordEnds(std::string_view text, std::size_t start, std::array<std::size_t, kLongestPhrase>& ends) {
  std::size_t count = 0;
  std::size_t i = start;
  while (count < kLongestPhrase && i < text.size()) {
    while (i < text.size() && IsWordByte(text[i])) ++i;
    ends[count++] = i;
    while (i < text.size() && !IsWordByte(text[i])) ++i;
  }
  return count;
}

bool IsWordStart(std::string_view text, std::size_t i) {
  return IsWordByte(text[i]) && (i == 0 || !IsWordByte(text[i - 1]));
}

}  // namespace

void AppendMultiByte(std::string& out, uint32_t value) {
  char digits[5];
  int count = 0;
  do {
    digits[count++] = static_cast<char>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count-- > 0) out += static_cast<char>(digits[count] | (count > 0 ? 0x80 : 0));
}

StringTable::Uses& StringTable::UsesOf(std::string_view text) {
  auto [entry, added] = uses_.try_emplace(text);
  if (added) entry->second.first = static_cast<uint32_t>(uses_.size());
  return entry->second;
}

void StringTable::CountText(std::string_view text) {
  if (text.empty()) return;
  texts_.push_back(text);
  ++UsesOf(text).whole;
  CountParts(text);
}

void StringTable::CountParts(std::string_view text) {
  std::array<std::size_t, kLongestPhrase> ends{};
  for (std::size_t start = 0; start < text.size(); ++start) {
    if (!IsWordStart(text, start)) continue;
    const std::size_t words = WordEnds(text, start, ends);
    for (std::size_t k = 0; k < words; ++k) {
      const std::size_t length = ends[k] - start;
      const bool before = start > 0;
      const bool after = ends[k] < text.size();
      if (length < kShortestPart || !(before || after)) continue;
      if (PartSaving(length, 2, before, after) <= 0) continue;
      if (k > 0 && phraseCandidates_ >= kMostPhraseCandidates &&
          uses_.find(text.substr(start, length)) == uses_.end()) {
        break;
      }
      Uses& uses = UsesOf(text.substr(start, length));
      if (k > 0 && uses.edge + uses.middle == 0) ++phraseCandidates_;
      ++(before && after ? uses.middle : uses.edge);
    }
  }
}

void StringTable::CountVariable(std::string_view name) { ++UsesOf(name).variable; }

void StringTable::Require(std::string_view name) { UsesOf(name).required = true; }

bool StringTable::Pays(std::string_view text, const Uses& uses, uint32_t referenceLength) const {
  if (uses.required) return true;
  const std::size_t length = text.size();
  const int64_t saving = (uses.whole + uses.variable) * PartSaving(length, referenceLength, false, false) +
                         uses.edge * PartSaving(length, referenceLength, true, false) +
                         uses.middle * PartSaving(length, referenceLength, true, true);
  return saving > static_cast<int64_t>(length) + 1;
}

uint32_t StringTable::ReferenceLength(std::string_view text) const {
  const auto found = uses_.find(text);
  if (found == uses_.end() || !found->second.chosen) return 0;
  const int64_t offset = found->second.offset;
  return 1 + MultiByteLength(offset < 0 ? 0 : static_cast<uint64_t>(offset));
}

template <typename Visit>
void StringTable::ForEachReference(std::string_view text, Visit reference) const {
  if (ReferenceLength(text) != 0) {
    reference(0, text.size());
    return;
  }
  std::array<std::size_t, kLongestPhrase> ends{};
  std::size_t inlineFrom = 0;
  for (std::size_t start = 0; start < text.size();) {
    if (!IsWordStart(text, start)) {
      ++start;
      continue;
    }
    const std::size_t words = WordEnds(text, start, ends);
    std::size_t next = ends[0];
    // The longest run of words from here that is in the table and pays.
    for (std::size_t k = words; k-- > 0;) {
      const std::size_t length = ends[k] - start;
      const uint32_t referenceLength = ReferenceLength(text.substr(start, length));
      if (referenceLength == 0) continue;
      if (PartSaving(length, referenceLength, start > inlineFrom, ends[k] < text.size()) <= 0) continue;
      reference(start, length);
      inlineFrom = next = ends[k];
      break;
    }
    start = next;
  }
}

void StringTable::CountChosenUses() {
  for (auto& entry : uses_) entry.second.whole = entry.second.edge = entry.second.middle = 0;
  for (std::string_view text : texts_) {
    ForEachReference(text, [&](std::size_t start, std::size_t length) {
      Uses& uses = uses_.find(text.substr(start, length))->second;
      if (length == text.size()) {
        ++uses.whole;
      } else {
        ++(start > 0 && start + length < text.size() ? uses.middle : uses.edge);
      }
    });
  }
}

void StringTable::Choose() {
  for (auto& [text, uses] : uses_) uses.chosen = Pays(text, uses, 2);
  // The estimate counts every possible use; count again what the writer
  // would really use, and keep only what then pays, twice over because
  // each drop frees uses for others.
  for (int round = 0; round < 2; ++round) {
    CountChosenUses();
    Layout();
    for (auto& [text, uses] : uses_) {
      if (uses.chosen) uses.chosen = Pays(text, uses, ReferenceLength(text));
    }
  }
  CountChosenUses();
  Layout();
}

void StringTable::Layout() {
  std::vector<std::pair<std::string_view, Uses*>> chosen;
  for (auto& [text, uses] : uses_) {
    uses.offset = -1;
    if (uses.chosen) chosen.emplace_back(text, &uses);
  }
  // The most used strings first, so that they get the short references.
  std::sort(chosen.begin(), chosen.end(), [](const auto& a, const auto& b) {
    const uint32_t usesA = a.second->whole + a.second->variable + a.second->edge + a.second->middle;
    const uint32_t usesB = b.second->whole + b.second->variable + b.second->edge + b.second->middle;
    return usesA != usesB ? usesA > usesB : a.second->first < b.second->first;
  });
  bytes_.clear();
  for (auto& [text, uses] : chosen) {
    uses->offset = static_cast<int64_t>(bytes_.size());
    bytes_.append(text);
    bytes_ += '\0';
  }
}

void StringTable::WriteText(std::string& out, std::string_view text) const {
  std::size_t inlineFrom = 0;
  auto writeInline = [&](std::size_t to) {
    if (to == inlineFrom) return;
    out += static_cast<char>(kStrI);
    out.append(text.substr(inlineFrom, to - inlineFrom));
    out += '\0';
  };
  ForEachReference(text, [&](std::size_t start, std::size_t length) {
    writeInline(start);
    out += static_cast<char>(kStrT);
    AppendMultiByte(out, static_cast<uint32_t>(uses_.find(text.substr(start, length))->second.offset));
    inlineFrom = start + length;
  });
  writeInline(text.size());
}

void StringTable::WriteVariable(std::string& out, std::string_view name, Conversion conversion) const {
  const uint8_t index = static_cast<uint8_t>(conversion);
  if (ReferenceLength(name) == 0) {
    out += static_cast<char>(kExtI0 + index);
    out.append(name);
    out += '\0';
    return;
  }
  out += static_cast<char>(kExtT0 + index);
  AppendMultiByte(out, static_cast<uint32_t>(uses_.find(name)->second.offset));
}

void StringTable::WriteLiteral(std::string& out, uint8_t token, std::string_view name) const {
  out += static_cast<char>(token);
  AppendMultiByte(out, static_cast<uint32_t>(uses_.find(name)->second.offset));
}

}  // namespace quillmark::wmlc
