#include "transform/wmlc_string_table.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace quillmark::wmlc {
namespace {

// Shorter words never pay for their reference.
constexpr std::size_t kShortestWord = 3;
// Longer whole strings seldom come back inside others.
constexpr std::size_t kLongestPhrase = 64;

// Letters, digits and the bytes of characters beyond ASCII.
constexpr auto kWordBytes = [] {
  std::array<bool, 256> word{};
  for (int c = 0; c < 256; ++c) {
    word[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
  }
  return word;
}();

bool IsWordByte(char c) { return kWordBytes[static_cast<unsigned char>(c)]; }

// The high bit of each byte of `word` that is not a word byte: eight bytes
// tested at once. For a 7-bit byte x, x + (0x80 - low) has its high bit set
// when x >= low, and x + (0x7F - high) when x > high; neither sum carries
// into the next byte. Letters are tested with the case bit set.
constexpr uint64_t NonWordBytes(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHigh = 0x80 * kOnes;
  const uint64_t ascii = word & ~kHigh;
  const auto inRange = [](uint64_t x, uint8_t low, uint8_t high) {
    return (x + (0x80 - low) * kOnes) & ~(x + (0x7F - high) * kOnes) & kHigh;
  };
  const uint64_t letter = inRange(ascii | 0x20 * kOnes, 'a', 'z');
  const uint64_t digit = inRange(ascii, '0', '9');
  return ~(word | letter | digit) & kHigh;
}

// The end of the run of word bytes that starts at `start`: eight bytes at a
// time, so that a word's end costs no mispredicted loop exit. `high` is set
// when the run, or a byte read beside it, is beyond ASCII.
std::size_t WordEnd(std::string_view text, std::size_t start, bool& high) {
  constexpr uint64_t kHigh = 0x8080808080808080ull;
  std::size_t end = start;
  uint64_t seen = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; text.size() - end >= 8; end += 8) {
      uint64_t block;
      std::memcpy(&block, text.data() + end, 8);
      const uint64_t nonWord = NonWordBytes(block);
      seen |= block;
      if (nonWord != 0) {
        high = (seen & kHigh) != 0;
        return end + static_cast<std::size_t>(std::countr_zero(nonWord)) / 8;
      }
    }
  }
  for (; end < text.size() && IsWordByte(text[end]); ++end) seen |= static_cast<unsigned char>(text[end]);
  high = (seen & kHigh) != 0;
  return end;
}

// The marks of the charset numbered `charset` (an IANA MIBenum).
MarkSet MarkSetOf(uint32_t charset) {
  if (charset == kUtf8Mib) return MarkSet::kUtf8;
  const bool iso8859 = (charset >= kLatin1Mib && charset <= 13) || (charset >= 109 && charset <= 112);
  const bool windows = charset >= 2250 && charset <= 2258;
  return iso8859 || windows ? MarkSet::kNoBreakSpaceA0 : MarkSet::kNone;
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

}  // namespace

char* PutMultiByte(char* at, uint32_t value) {
  const uint32_t length = MultiByteLength(value);
  // Seven bits a byte, most significant first; all but the last byte have
  // the continuation bit.
  for (uint32_t i = length; i-- > 0; value >>= 7) {
    at[i] = static_cast<char>((value & 0x7F) | (i + 1 < length ? 0x80 : 0));
  }
  return at + length;
}

void WbxmlBytes::LongMultiByte(uint32_t value) {
  MakeRoom(kLongestMultiByte);
  size_ = static_cast<std::size_t>(PutMultiByte(bytes_.data() + size_, value) - bytes_.data());
}

void WbxmlBytes::Grow(std::size_t count) { bytes_.resize(std::max(2 * bytes_.size(), size_ + count)); }

StringTable::Uses& StringTable::UsesOf(std::string_view text) {
  // Entries come in the order of first use, which keeps the table stable.
  return uses_.Get(text);
}

void StringTable::Reset(std::size_t texts, std::size_t bytes, uint32_t charset) {
  marks_ = MarkSetOf(charset);
  texts_.clear();
  parts_.clear();
  phrases_.clear();
  candidates_.clear();
  written_ = 0;
  bytes_.clear();
  texts_.reserve(texts);
  // About a part per eight bytes of text; the vector grows past that.
  parts_.reserve(bytes / 8 + texts);
  // Texts and the distinct words among their parts: a guess, the index grows past it.
  uses_.Reset(texts + bytes / 64);
}

void StringTable::CountText(std::string_view text) {
  if (text.empty()) return;
  Uses& whole = UsesOf(text);
  ++whole.whole;
  const uint32_t firstPart = static_cast<uint32_t>(parts_.size());
  // The run of word bytes last scanned ends at runEnd; marks cut it into
  // several words, each found inside it, so that no byte is scanned twice.
  std::size_t runEnd = 0;
  bool high = false;
  for (std::size_t start = 0; start < text.size();) {
    if (!IsWordByte(text[start])) {
      ++start;
      continue;
    }
    if (start >= runEnd) runEnd = WordEnd(text, start, high);
    std::size_t end = runEnd;
    // A run of marks is a word of its own (indents of no-break spaces
    // repeat as much as words do), and ends or begins the words beside it.
    // Marks are beyond ASCII, where most words never go.
    if (high && marks_ != MarkSet::kNone) {
      end = MarkAt(text, start) != 0 ? MarksEnd(text, start, runEnd) : LettersEnd(text, start, runEnd);
    }
    const bool before = start > 0;
    const bool after = end < text.size();
    if (end - start >= kShortestWord && (before || after)) {
      Uses& uses = UsesOf(text.substr(start, end - start));
      // Counted without branches: whether a word pays is as good as random.
      const uint32_t pays = PartSaving(end - start, 2, before, after) > 0;
      const uint32_t middle = before && after;
      uses.middle += pays & middle;
      uses.edge += pays & (middle ^ 1);
      parts_.push_back(Part{static_cast<uint32_t>(start), static_cast<uint32_t>(end - start), &uses});
    }
    start = end;
  }
  texts_.push_back(Text{text, &whole, firstPart, static_cast<uint32_t>(parts_.size())});
}

std::size_t StringTable::MarkAt(std::string_view text, std::size_t at) const {
  const auto byte = [&](std::size_t i) -> unsigned {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0;
  };
  switch (marks_) {
    case MarkSet::kNone:
      return 0;
    case MarkSet::kNoBreakSpaceA0:
      return byte(0) == 0xA0 ? 1 : 0;
    case MarkSet::kUtf8:
      break;
  }
  const auto continues = [&](std::size_t i) { return (byte(i) & 0xC0) == 0x80; };
  // U+0080 to U+00BF: the no-break space and Latin-1's signs.
  if (byte(0) == 0xC2 && continues(1)) return 2;
  // U+2000 to U+2BFF: punctuation, currency, arrows, mathematics, shapes.
  if (byte(0) == 0xE2 && byte(1) >= 0x80 && byte(1) <= 0xAF && continues(2)) return 3;
  // U+1F000 to U+1FFFF: emoji and other pictographs.
  if (byte(0) == 0xF0 && byte(1) == 0x9F && continues(2) && continues(3)) return 4;
  return 0;
}

bool StringTable::WordGoesOnAt(std::string_view text, std::size_t at) const {
  if (at >= text.size() || !IsWordByte(text[at])) return false;
  return static_cast<unsigned char>(text[at]) < 0x80 || MarkAt(text, at) == 0;
}

std::size_t StringTable::MarkEndingAt(std::string_view text, std::size_t end) const {
  // A lead byte of UTF-8 starts a character wherever it stands.
  for (std::size_t length = 1; length <= 4 && length <= end; ++length) {
    if (MarkAt(text, end - length) == length) return length;
  }
  return 0;
}

std::size_t StringTable::MarksEnd(std::string_view text, std::size_t start, std::size_t wordEnd) const {
  std::size_t end = start;
  while (end < wordEnd) {
    const std::size_t mark = MarkAt(text, end);
    if (mark == 0) break;
    end += mark;
  }
  return std::min(end, wordEnd);
}

std::size_t StringTable::LettersEnd(std::string_view text, std::size_t start, std::size_t wordEnd) const {
  for (std::size_t at = start + 1; at < wordEnd; ++at) {
    if (static_cast<unsigned char>(text[at]) >= 0x80 && MarkAt(text, at) != 0) return at;
  }
  return wordEnd;
}

void StringTable::CountVariable(std::string_view name) { ++UsesOf(name).variable; }

void StringTable::Require(std::string_view name) { UsesOf(name).required = true; }

namespace {

bool Pays(std::size_t length, uint32_t whole, uint32_t edge, uint32_t middle, bool required,
          uint32_t referenceLength) {
  if (required) return true;
  const int64_t saving = whole * PartSaving(length, referenceLength, false, false) +
                         edge * PartSaving(length, referenceLength, true, false) +
                         middle * PartSaving(length, referenceLength, true, true);
  return saving > static_cast<int64_t>(length) + 1;
}

}  // namespace

uint64_t StringTable::SecondWordBit(const Uses* second) {
  const auto address = reinterpret_cast<std::uintptr_t>(second);
  return uint64_t{1} << ((address >> 4) * 0x9E3779B97F4A7C15ull >> 58);
}

bool StringTable::MayBeginPhrase(const Uses& first, const Uses* next) {
  if (first.phraseWithoutSecond) return true;
  return next != nullptr && (first.secondWords & SecondWordBit(next)) != 0;
}

void StringTable::ListPhrases() {
  // Every whole text of more than one word under its first word; then,
  // where places are left, the cores of those that differ from theirs.
  for (const Text& text : texts_) {
    if (text.whole->listed || text.firstPart == text.endPart) continue;
    text.whole->listed = true;
    if (CanBePhraseOf(text, text.text)) ListPhrase(text, text.text, *text.whole);
  }
  for (const Text& text : texts_) {
    if (text.firstPart == text.endPart) continue;
    const std::string_view core = CoreOf(text);
    // Looked at before its uses are made, so that a core that is no phrase
    // (one word, or none in a text of marks) adds no string to the index.
    if (core.size() == text.text.size() || !CanBePhraseOf(text, core)) continue;
    Uses& uses = UsesOf(core);
    if (uses.listed) continue;
    uses.listed = true;
    ListPhrase(text, core, uses);
  }
  for (PhraseList& list : phrases_) {
    std::sort(list.items.begin(), list.items.begin() + list.count,
              [](const Phrase& a, const Phrase& b) { return a.text.size() > b.text.size(); });
  }
}

std::string_view StringTable::CoreOf(const Text& text) const {
  const std::size_t start = parts_[text.firstPart].start;
  std::size_t end = text.text.size();
  // Back over what is not a word byte, marks included.
  while (end > start) {
    const auto last = static_cast<unsigned char>(text.text[end - 1]);
    if (last < 0x80) {
      if (IsWordByte(text.text[end - 1])) break;
      --end;
      continue;
    }
    const std::size_t mark = MarkEndingAt(text.text, end);
    if (mark == 0 || end - start < mark) break;
    end -= mark;
  }
  return text.text.substr(start, end - start);
}

bool StringTable::CanBePhraseOf(const Text& text, std::string_view phrase) const {
  const Part& first = parts_[text.firstPart];
  const auto start = static_cast<std::size_t>(phrase.data() - text.text.data());
  return phrase.size() <= kLongestPhrase && first.start == start && phrase.size() > first.length;
}

void StringTable::ListPhrase(const Text& text, std::string_view phrase, Uses& uses) {
  const Part& first = parts_[text.firstPart];
  Uses& word = *first.uses;
  if (word.phrases < 0) {
    word.phrases = static_cast<int32_t>(phrases_.size());
    phrases_.emplace_back();
  }
  // Only the first ones counted, so that a common word costs bounded time.
  PhraseList& list = phrases_[static_cast<std::size_t>(word.phrases)];
  if (list.count >= kMostPhrasesPerWord) return;
  // Every part of the text after the first lies inside its core.
  const bool hasSecond = text.firstPart + 1 < text.endPart;
  const Part* second = hasSecond ? &parts_[text.firstPart + 1] : nullptr;
  if (second != nullptr) {
    word.secondWords |= SecondWordBit(second->uses);
  } else {
    word.phraseWithoutSecond = true;
  }
  list.items[list.count++] =
      Phrase{phrase, &uses, second ? second->uses : nullptr, second ? second->start - first.start : 0};
}

inline bool StringTable::PhraseStandsAt(const Text& text, const Part& word, const Phrase& candidate) const {
  const std::string_view phrase = candidate.text;
  const std::size_t end = word.start + phrase.size();
  if (phrase.size() <= word.length || end > text.text.size()) return false;
  if (WordGoesOnAt(text.text, end)) return false;
  // The phrase is the whole text itself.
  if (word.start == 0 && end == text.text.size()) return false;
  // The first word matches already: it is the same string. The phrase's
  // last byte rules most phrases out before a whole comparison.
  if (text.text[end - 1] != phrase.back()) return false;
  return SameKey(text.text.substr(word.start + word.length, phrase.size() - word.length), phrase.substr(word.length));
}

template <typename Visit>
void StringTable::ForEachPhraseAt(const Text& text, uint32_t i, const Uses* next, Visit visit) {
  const Part& word = parts_[i];
  // A phrase with a second word stands only where that word is the next
  // part, at the same distance from the first.
  const uint32_t nextDistance = next != nullptr ? parts_[i + 1].start - word.start : 0;
  // Longest first, as the writer takes the first that pays where several
  // begin at one place.
  for (const Phrase& phrase : phrases_[static_cast<std::size_t>(word.uses->phrases)]) {
    if (phrase.second != nullptr && (phrase.second != next || phrase.secondStart != nextDistance)) continue;
    if (!PhraseStandsAt(text, word, phrase)) continue;
    const std::size_t end = word.start + phrase.text.size();
    ++(word.start > 0 && end < text.text.size() ? phrase.uses->middle : phrase.uses->edge);
    visit(Part{word.start, static_cast<uint32_t>(phrase.text.size()), phrase.uses});
  }
}

void StringTable::FindPhrasesAndDropHopelessWords() {
  // Before each word that begins listed phrases at that place, each of them
  // becomes a part of its own, longest first: written as one reference when
  // it pays, else a shorter one or the words inside it stay candidates.
  // The same walk copies the parts into kept_ and keeps a word only when it
  // was chosen, without a branch: whether it was is as good as random. A
  // word's uses are final before the walk (it counts only phrases' uses), a
  // phrase's only after it, so every phrase part found is kept and the
  // writer passes over those that were not chosen.
  std::size_t kept = 0;
  if (kept_.size() < parts_.size() + 1) kept_.resize(parts_.size() + 1);
  for (Text& text : texts_) {
    const uint32_t firstPart = static_cast<uint32_t>(kept);
    for (uint32_t i = text.firstPart; i < text.endPart; ++i) {
      const Part& word = parts_[i];
      const Uses* next = i + 1 < text.endPart ? parts_[i + 1].uses : nullptr;
      if (word.uses->phrases >= 0 && MayBeginPhrase(*word.uses, next)) {
        ForEachPhraseAt(text, i, next, [&](const Part& phrase) {
          // A phrase part takes a place more than the words have; the room
          // doubles, as up to four phrases may begin at every word.
          const std::size_t needed = kept + (parts_.size() - i) + 1;
          if (kept_.size() < needed) kept_.resize(std::max(2 * kept_.size(), needed));
          kept_[kept++] = phrase;
        });
      }
      kept_[kept] = word;
      kept += word.uses->chosen;
    }
    text.firstPart = firstPart;
    text.endPart = static_cast<uint32_t>(kept);
  }
  kept_.resize(kept);
  parts_.swap(kept_);
}

namespace {

uint32_t ReferenceLengthAt(int64_t offset) { return 1 + MultiByteLength(offset < 0 ? 0 : static_cast<uint64_t>(offset)); }

}  // namespace

template <typename Visit>
void StringTable::ForEachPart(const Text& text, Visit visit) const {
  std::size_t inlineFrom = 0;
  for (uint32_t i = text.firstPart; i < text.endPart; ++i) {
    const Part& part = parts_[i];
    const Uses& uses = *part.uses;
    const std::size_t end = part.start + part.length;
    // Worked out without branches: whether a part is taken is as good as
    // random from one word to the next.
    const int64_t saving =
        PartSaving(part.length, uses.referenceLength, part.start > inlineFrom, end < text.text.size());
    const bool taken = (part.start >= inlineFrom) & uses.chosen & (saving > 0);
    visit(part, taken);
    inlineFrom = taken ? end : inlineFrom;
  }
}

template <typename Visit>
void StringTable::ForEachReference(const Text& text, Visit reference) const {
  if (text.whole->chosen) {
    reference(Part{0, static_cast<uint32_t>(text.text.size()), text.whole});
    return;
  }
  ForEachPart(text, [&](const Part& part, bool taken) {
    if (taken) reference(part);
  });
}

void StringTable::CountReferences() {
  for (const Candidate& candidate : candidates_) {
    Uses& uses = *candidate.uses;
    uses.whole = uses.edge = uses.middle = 0;
  }
  for (const Text& text : texts_) {
    if (text.whole->chosen) {
      ++text.whole->whole;
      continue;
    }
    // A part is never its whole text: a word or phrase is counted only
    // beside other bytes of it.
    ForEachPart(text, [&](const Part& part, bool taken) {
      const bool middle = part.start > 0 && part.start + part.length < text.text.size();
      (middle ? part.uses->middle : part.uses->edge) += taken;
    });
  }
}

void StringTable::Choose() {
  ListPhrases();
  // Only what pays with every possible use counted can pay later: first
  // for the words, whose uses are all counted, then, once the phrases are
  // found, for every string.
  const auto choosePaying = [&](std::string_view text, Uses& uses) {
    uses.chosen = Pays(text.size(), uses.whole + uses.variable, uses.edge, uses.middle, uses.required, 2);
  };
  uses_.ForEach(choosePaying);
  FindPhrasesAndDropHopelessWords();
  uses_.ForEach([&](std::string_view text, Uses& uses) {
    choosePaying(text, uses);
    if (uses.chosen) candidates_.push_back(Candidate{text, &uses, static_cast<uint32_t>(candidates_.size())});
  });
  // Count again what the writer would really use, and keep only what then
  // pays. The uses a drop frees go to the strings that remain, which only
  // makes those pay better; the table is laid out again without the drops,
  // which only shortens references.
  CountReferences();
  SortChosen();
  Layout();
  for (const Candidate& candidate : candidates_) {
    Uses& uses = *candidate.uses;
    uses.chosen = Pays(candidate.text.size(), uses.whole + uses.variable, uses.edge, uses.middle,
                       uses.required, uses.referenceLength);
  }
  // The counts stay as they were, so the strings left keep their order.
  std::erase_if(chosen_, [](const Candidate& candidate) { return !candidate.uses->chosen; });
  Layout();
}

void StringTable::SortChosen() {
  chosen_.clear();
  for (const Candidate& candidate : candidates_) {
    if (candidate.uses->chosen) chosen_.push_back(candidate);
  }
  // The strings with the most uses per byte of table first: references
  // past offset 127 take a byte more, and a long string seldom used would
  // push many shorter, busier ones there.
  auto usesOf = [](const Uses& u) { return u.whole + u.variable + u.edge + u.middle; };
  // Among equals the order of first use decides, so that the same deck
  // always gets the same table (and the sort needs no buffer of its own).
  std::sort(chosen_.begin(), chosen_.end(), [&](const Candidate& a, const Candidate& b) {
    const uint64_t aFirst = uint64_t{usesOf(*a.uses)} * (b.text.size() + 1);
    const uint64_t bFirst = uint64_t{usesOf(*b.uses)} * (a.text.size() + 1);
    return aFirst != bFirst ? aFirst > bFirst : a.order < b.order;
  });
}

void StringTable::Layout() {
  for (const Candidate& candidate : candidates_) {
    candidate.uses->offset = -1;
    candidate.uses->referenceLength = ReferenceLengthAt(-1);
  }
  bytes_.clear();
  for (const Candidate& candidate : chosen_) {
    candidate.uses->offset = static_cast<int64_t>(bytes_.size());
    candidate.uses->referenceLength = ReferenceLengthAt(candidate.uses->offset);
    bytes_.append(candidate.text);
    bytes_ += '\0';
  }
}

namespace {

// Writes `text` at `at` as an inline string (STR_I, its bytes, a zero),
// nothing when it is empty; returns the end.
char* PutInline(char* at, std::string_view text) {
  if (text.empty()) return at;
  *at++ = static_cast<char>(kStrI);
  std::memcpy(at, text.data(), text.size());
  at += text.size();
  *at++ = '\0';
  return at;
}

// Writes a reference to the table's string at `offset` at `at`; returns the end.
char* PutReference(char* at, int64_t offset) {
  *at++ = static_cast<char>(kStrT);
  return PutMultiByte(at, static_cast<uint32_t>(offset));
}

}  // namespace

void StringTable::WriteText(WbxmlBytes& out, std::string_view text) {
  if (text.empty()) return;
  // Texts come in the order they were counted; anything else is written
  // inline, which is always correct.
  if (written_ >= texts_.size() || texts_[written_].text.data() != text.data() ||
      texts_[written_].text.size() != text.size()) {
    out.Commit(PutInline(out.Room(text.size() + 2), text));
    return;
  }
  const Text& counted = texts_[written_++];
  // Room for the text and, for each reference, the end of the inline
  // string before it, its STR_T and index, and the STR_I after it.
  const std::size_t references = counted.endPart - counted.firstPart + 1;
  char* at = out.Room(text.size() + 2 + references * (3 + kLongestMultiByte));
  std::size_t inlineFrom = 0;
  ForEachReference(counted, [&](const Part& part) {
    at = PutReference(PutInline(at, text.substr(inlineFrom, part.start - inlineFrom)), part.uses->offset);
    inlineFrom = part.start + part.length;
  });
  out.Commit(PutInline(at, text.substr(inlineFrom)));
}

void StringTable::WriteVariable(WbxmlBytes& out, std::string_view name, Conversion conversion) const {
  const uint8_t index = static_cast<uint8_t>(conversion);
  const Uses* found = uses_.Find(name);
  if (found == nullptr || !found->chosen) {
    out.Byte(static_cast<uint8_t>(kExtI0 + index));
    out.Terminated(name);
    return;
  }
  out.Byte(static_cast<uint8_t>(kExtT0 + index));
  out.MultiByte(static_cast<uint32_t>(found->offset));
}

void StringTable::WriteLiteral(WbxmlBytes& out, uint8_t token, std::string_view name) const {
  out.Byte(token);
  out.MultiByte(static_cast<uint32_t>(uses_.Find(name)->offset));
}

}  // namespace quillmark::wmlc
