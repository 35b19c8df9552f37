// The string table of a compiled deck: which strings go into it, and the
// writing of strings, variable names and literal names with or without it.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "transform/wml_tokens.h"
#include "transform/wmlc_string_index.h"

namespace quillmark::wmlc {

// The bytes of a compiled deck as they are written. Each call makes room
// for what it writes once, inline, so that writing a token byte costs a
// comparison and a store; the room doubles when it runs out.
class WbxmlBytes {
 public:
  explicit WbxmlBytes(std::size_t reserve) : bytes_(reserve < 16 ? 16 : reserve, '\0') {}

  void Byte(uint8_t byte) {
    MakeRoom(1);
    bytes_[size_++] = static_cast<char>(byte);
  }
  void Append(std::string_view text) {
    MakeRoom(text.size());
    if (!text.empty()) std::memcpy(&bytes_[size_], text.data(), text.size());
    size_ += text.size();
  }
  // A zero-terminated inline string's bytes after its STR_I: text and zero.
  void Terminated(std::string_view text) {
    Append(text);
    Byte(0);
  }
  // `value` as a WBXML multi-byte integer.
  void MultiByte(uint32_t value) {
    // Most string references and tokens' numbers take one byte.
    if (value < 0x80) return Byte(static_cast<uint8_t>(value));
    LongMultiByte(value);
  }
  // `count` copies of `byte`.
  void Repeat(std::size_t count, uint8_t byte) {
    MakeRoom(count);
    std::memset(&bytes_[size_], byte, count);
    size_ += count;
  }

  // Room for `count` more bytes, written through the pointer; Commit then
  // takes the bytes up to `end` (at most `count` past the pointer).
  char* Room(std::size_t count) {
    MakeRoom(count);
    return bytes_.data() + size_;
  }
  void Commit(const char* end) { size_ = static_cast<std::size_t>(end - bytes_.data()); }

  // The bytes written; the writer is empty afterwards.
  std::string Take() {
    bytes_.resize(size_);
    size_ = 0;
    return std::move(bytes_);
  }

 private:
  void MakeRoom(std::size_t count) {
    if (bytes_.size() - size_ < count) Grow(count);
  }
  void Grow(std::size_t count);
  void LongMultiByte(uint32_t value);

  std::string bytes_;  // the written bytes, then room
  std::size_t size_ = 0;
};

// The most bytes a multi-byte integer of 32 bits takes.
inline constexpr std::size_t kLongestMultiByte = 5;

// Writes `value` as a WBXML multi-byte integer at `at`; returns its end.
char* PutMultiByte(char* at, uint32_t value);

// The characters beyond ASCII that part words (see StringTable): in
// UTF-8 the no-break space, signs, punctuation and emoji; in the ISO 8859
// and Windows single-byte charsets the no-break space, byte A0, alone (the
// rest of their upper half mixes letters with signs); none elsewhere.
enum class MarkSet : uint8_t { kNone, kNoBreakSpaceA0, kUtf8 };

// Filled in two phases: first every string the body will write is counted,
// then Choose() fixes the table, then the body is written through it, its
// texts in the order they were counted. A string goes into the table when
// that makes the deck smaller: strings that repeat whole, words that repeat
// inside texts (a word is a run of letters and digits, or of marks: the
// characters beyond ASCII that are no letters, such as the no-break space,
// punctuation, signs and emoji), and short whole strings, or their cores
// without the spaces and marks around the words, that come back inside
// longer texts, beginning and ending at word edges (a link's target with an
// anchor after it, a title that begins a paragraph, a name after "#", a
// heading that comes back followed by a colon). Each text is hashed once
// and each of its words once; the choice and the writing then work on
// those counts. Views passed to the counting calls must stay valid until
// the last write.
class StringTable {
 public:
  // Empties the table for a new deck in the charset numbered `charset`,
  // keeping its room, and makes room for `texts` texts of `bytes` bytes in
  // all, so that counting them does not grow the tables as it goes.
  void Reset(std::size_t texts, std::size_t bytes, uint32_t charset);
  void CountText(std::string_view text);      // text, which may be split into parts
  void CountVariable(std::string_view name);  // a variable's name, used whole
  void Require(std::string_view name);        // a literal tag or attribute name

  void Choose();

  // The table's bytes, each string followed by a zero.
  const std::string& Bytes() const { return bytes_; }

  // Writes the next counted text, which must be `text`.
  void WriteText(WbxmlBytes& out, std::string_view text);
  void WriteVariable(WbxmlBytes& out, std::string_view name, Conversion conversion) const;
  // `token` (LITERAL with its content and attribute bits) and the name's index.
  void WriteLiteral(WbxmlBytes& out, uint8_t token, std::string_view name) const;

 private:
  struct Uses {
    uint32_t whole = 0;     // uses as a whole string
    uint32_t edge = 0;      // uses at the start or end of a longer text
    uint32_t middle = 0;    // uses inside a longer text
    uint32_t variable = 0;  // uses as a variable's name
    int32_t phrases = -1;   // index of the whole strings that begin with this word
    // Of those: a bit for each one's second word (SecondWordBit), and
    // whether one has no second word, so that most places where none can
    // stand are passed over before the list is looked at.
    uint64_t secondWords = 0;
    bool phraseWithoutSecond = false;
    bool required = false;
    bool chosen = false;
    bool listed = false;  // among the phrases of its first word
    int64_t offset = -1;  // in the table when not negative
    uint32_t referenceLength = 2;  // bytes of a reference to it at offset
  };

  // A word or phrase of a text that may be written as a reference.
  struct Part {
    uint32_t start = 0;
    uint32_t length = 0;
    Uses* uses = nullptr;
  };

  struct Text {
    std::string_view text;
    Uses* whole;
    uint32_t firstPart;  // its words and phrases in parts_, by start
    uint32_t endPart;
  };

  // A whole string looked for inside other texts. `second` is the next
  // word after its first that is a part (null when it has none) and
  // `secondStart` where that word starts in it: a text where the phrase
  // stands has that same word at that distance as its next part, which
  // rules out nearly every place before any bytes are compared.
  struct Phrase {
    std::string_view text;
    Uses* uses;
    const Uses* second;
    uint32_t secondStart;
  };

  // The whole strings that begin with one word, longest first: a few, kept
  // in place so that looking them up is one step from the word.
  static constexpr std::size_t kMostPhrasesPerWord = 4;
  struct PhraseList {
    std::array<Phrase, kMostPhrasesPerWord> items;
    uint32_t count = 0;
    const Phrase* begin() const { return items.data(); }
    const Phrase* end() const { return items.data() + count; }
  };

  // A string that may go into the table.
  struct Candidate {
    std::string_view text;
    Uses* uses;
    uint32_t order;  // its place among the candidates, the order of first use
  };

  Uses& UsesOf(std::string_view text);
  // The length of the mark at `at` of `text`, or 0 for none.
  std::size_t MarkAt(std::string_view text, std::size_t at) const;
  // True when a word byte that is no mark stands at `at` of `text`.
  bool WordGoesOnAt(std::string_view text, std::size_t at) const;
  // The length of the mark that ends at `end` of `text`, or 0 for none.
  std::size_t MarkEndingAt(std::string_view text, std::size_t end) const;
  // The end of the run of marks at `start` of `text`, `wordEnd` at most.
  std::size_t MarksEnd(std::string_view text, std::size_t start, std::size_t wordEnd) const;
  // The end of the word that starts at `start` with a letter or digit and
  // runs to `wordEnd` at most: its first mark, if any.
  std::size_t LettersEnd(std::string_view text, std::size_t start, std::size_t wordEnd) const;
  static uint64_t SecondWordBit(const Uses* second);
  // True when a phrase of `first`'s list may have `next` as its second word.
  static bool MayBeginPhrase(const Uses& first, const Uses* next);
  void ListPhrases();
  // True when `phrase`, the whole of `text` or its core, may be listed: it
  // begins with the text's first part, holds more than that word and is
  // not too long.
  bool CanBePhraseOf(const Text& text, std::string_view phrase) const;
  // Lists `phrase`, which CanBePhraseOf allows, under its first word.
  void ListPhrase(const Text& text, std::string_view phrase, Uses& uses);
  // `text` from its first part to its last word byte: the text without the
  // white space, no-break spaces and marks around its words.
  std::string_view CoreOf(const Text& text) const;
  // Finds the phrases that stand in the texts and drops the words that
  // cannot go into the table (see the definition).
  void FindPhrasesAndDropHopelessWords();
  // Counts each listed phrase that stands at part `i` of `text`, whose next
  // part's uses are `next` (null for none), and calls `visit(part)` with
  // its part, longest first; called where MayBeginPhrase let one begin.
  template <typename Visit>
  void ForEachPhraseAt(const Text& text, uint32_t i, const Uses* next, Visit visit);
  // True when `phrase`, whose first word is the part `word` of `text` and
  // whose second word (if any) is the next part, stands in `text` there
  // and ends at a word's end.
  bool PhraseStandsAt(const Text& text, const Part& word, const Phrase& phrase) const;
  // Counts the uses the writer would make of the strings that can go into
  // the table.
  void CountReferences();
  // Puts the chosen candidates into chosen_ in the order of the table.
  void SortChosen();
  // Gives the strings of chosen_ their offsets in the table, in order.
  void Layout();
  // Calls `reference(part)` for each part of `text` written as a reference,
  // in order; the rest is written inline.
  template <typename Visit>
  void ForEachReference(const Text& text, Visit reference) const;
  // Calls `visit(part, taken)` for each part of `text` when the whole text
  // is no reference, `taken` telling whether it is written as one.
  template <typename Visit>
  void ForEachPart(const Text& text, Visit visit) const;

  StringIndex<Uses> uses_;
  std::vector<Text> texts_;  // every counted text, in order
  std::vector<Part> parts_;
  std::vector<PhraseList> phrases_;
  std::vector<Candidate> candidates_;
  std::vector<Candidate> chosen_;                  // the table's strings, in order
  std::vector<Part> kept_;  // the parts being dropped into
  MarkSet marks_ = MarkSet::kNone;  // of the deck's charset
  std::size_t written_ = 0;         // texts written so far
  std::string bytes_;
};

}  // namespace quillmark::wmlc
