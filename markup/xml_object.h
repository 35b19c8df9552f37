// CXmlObject: the element record that holds one token of markup.
//
// The raw text decides the token's kind (tag, end tag, comment, text; only
// a slash that an unquoted value read as HTML takes in keeps a tag open) and
// never changes after Parse except through MakeSelfClosing; the name and the
// attribute list are the editable, parsed form. Every string the record holds
// is a C string: it never contains a NUL byte, so lengths taken with strlen
// and sizes kept by the record always agree.
//
// Memory: a record's strings and attribute list come from the arena it was
// made with (record_arena.h). A document makes its records from its own
// arena, so that they cost no allocation of their own and are released
// with the document at once; a record made on its own uses the heap.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "markup/element_names.h"
#include "markup/record_arena.h"
#include "markup/string_pair.h"

namespace quillmark {

// The four marker words of the device configuration. A record remembers the
// words it was parsed with, so marker tests and clones read the same words
// for the whole conversion even if the configuration is reloaded meanwhile.
struct MarkerWords {
  std::string includeStart = "DINCL";
  std::string includeStop = "/DINCL";
  std::string excludeStart = "DEXCL";
  std::string excludeStop = "/DEXCL";
};

// The built-in marker words; a static object that lives for the process.
const MarkerWords& DefaultMarkerWords();

// How a tag's unquoted attribute values end. The record's own reading ends
// one at white space (any byte up to 32 or from 128) or at punctuation
// from "!" to "/" other than "."; HTML's runs it to white space alone
// (tab, line feed, form feed, carriage return, space), so that
// "href=/news/today" keeps its slashes. A closing quote ends a quoted value
// in both.
enum class UnquotedValues : uint8_t { kEndAtPunctuation, kEndAtSpace };

// Fixed name lists of the record (see name_list.h for the form).
inline constexpr char kFormattingElementList[] =
    "big\0small\0strong\0em\0b\0i\0u\0s\0sub\0sup\0tt\0center\0blinking\0font\0marquee\0";
inline constexpr char kEmptyElementList[] =
    "frame\0hr\0br\0wbr\0img\0input\0timer\0access\0meta\0noop\0postfield\0setvar\0";
inline constexpr ElementSet kFormattingElements{kFormattingElementList};
inline constexpr ElementSet kEmptyElements{kEmptyElementList};

class CXmlObject {
 public:
  explicit CXmlObject(RecordArena* arena = &RecordArena::Heap()) : arena_(arena) {}
  // A document's arena takes its blocks back all at once: a record of it
  // frees only what lives outside the arena (the name index). A record
  // that holds nothing does not look at its arena, which may be gone: the
  // root's empty record outlives the document's arena.
  ~CXmlObject() {
    if (attributes_ == nullptr && !strings_.HoldsBlock()) return;
    if (arena_->FreesBlocks()) {
      ReleaseAll();
    } else {
      DropNameIndex();
    }
  }
  // The arena the record's strings come from.
  RecordArena* Arena() const { return arena_; }
  CXmlObject(const CXmlObject&) = delete;
  CXmlObject& operator=(const CXmlObject&) = delete;
  // Moving hands the strings and attributes over, and a new record takes
  // the arena with them; the record moved from may only be parsed
  // again or destroyed. Assigning keeps the target's arena, so between
  // records of different arenas it copies (and may throw).
  CXmlObject(CXmlObject&& other) noexcept;
  CXmlObject& operator=(CXmlObject&& other);

  // Replaces the raw text with the first `length` characters of `text`
  // (stopping early at a NUL) and derives name and attributes from all
  // `length` characters. A length of 0 or less gives the empty text.
  void Parse(const char* text, int32_t length, const MarkerWords& words = DefaultMarkerWords(),
             UnquotedValues values = UnquotedValues::kEndAtPunctuation);
  // Parse for a tokenizer's token: `length` bytes at `text` (length > 0),
  // none of them NUL, so that no byte is searched for one.
  void ParseToken(const char* text, int32_t length, const MarkerWords& words, UnquotedValues values);
  // Parses this record's current text again into a new record of the same
  // arena, with the same reading of unquoted values; edits made to name or
  // attributes are therefore not carried over.
  CXmlObject Clone() const;
  // A record equal to this one (text, name, attributes, kinds and marker
  // words) whose strings are its own, in the same arena.
  CXmlObject Copy() const;

  // Borrowed pointers; null where the part is absent.
  const char* GetText() const { return hasText_ ? strings_.FirstCStr() : nullptr; }
  const char* GetName() const { return hasName_ ? strings_.SecondCStr() : nullptr; }
  // The same as views, empty where the part is absent: a record's texts
  // hold no NUL, so a view is its C string without the search for its end.
  std::string_view GetTextView() const { return hasText_ ? strings_.First() : std::string_view(); }
  std::string_view GetNameView() const { return hasName_ ? strings_.Second() : std::string_view(); }
  // Drops one leading "/"; the empty name is allowed (it suppresses the tag).
  void SetName(const char* name);
  // How many times the deck writer writes this element, one after another:
  // the empty cells that pad a table row stand in one record instead of a
  // node each. 1 unless set; parsing new text sets it back to 1.
  int32_t GetCopies() const { return copies_; }
  void SetCopies(int32_t copies) { copies_ = static_cast<uint8_t>(std::clamp(copies, 1, kMostCopies)); }
  static constexpr int32_t kMostCopies = 255;

  // The name's id, its case ignored (kOtherElement without a name).
  ElementId GetElementId() const { return nameId_; }
  // The name's id when the name is spelled exactly as kElementNames lists
  // it (in lower case); kOtherElement otherwise.
  ElementId GetExactElementId() const { return nameExact_ ? nameId_ : kOtherElement; }
  // True when both records have a name and the names are equal ignoring
  // case: a listed name by its id, any other by its bytes.
  bool NameEquals(const CXmlObject& other) const {
    // Listed names are distinct ignoring case, and no other name equals one.
    if (nameId_ != kOtherElement || other.nameId_ != kOtherElement) return nameId_ == other.nameId_;
    return OtherNamesEqual(other);
  }

  int32_t GetAttributeCount() const { return static_cast<int32_t>(attributeCount_); }
  const char* GetAttributeName(int32_t index) const;
  const char* GetAttributeValue(int32_t index) const;
  // Attribute `index`'s name and value as views; `index` must be in range.
  std::string_view GetAttributeNameView(int32_t index) const { return attributes_[index].Name(); }
  std::string_view GetAttributeValueView(int32_t index) const { return attributes_[index].Value(); }
  // The value of the first attribute whose name matches ignoring case, or
  // null. The pointer is writable: callers may change characters in place
  // but never the length.
  char* GetAttribute(const char* name);
  const char* GetAttribute(const char* name) const;
  // A null value does nothing; an existing attribute keeps its slot and takes
  // the new spelling and value; otherwise the attribute is appended.
  void SetAttribute(const char* name, const char* value);
  void ClearAttributes();
  // Removes every attribute whose name is not in the list; survivors keep order.
  void RetainAttributes(const char* list);
  // Removes the attribute `name`, if the record has it.
  void RemoveAttribute(const char* name);
  int32_t GetBoolAttribute(const char* name, int32_t defaultValue) const;
  void NormalizeBoolAttribute(const char* name, const char* defaultValue);
  void NormalizeEnumAttribute(const char* name, const char* allowed, const char* defaultValue,
                              int32_t addIfMissing);

  // Token kinds, read from the raw text alone; worked out once whenever the
  // text changes (Parse, SetText, MakeSelfClosing), so asking is a bit test.
  int32_t IsTag() const { return Has(kTag); }
  int32_t IsStartTag() const { return Has(kStartTag); }
  int32_t IsComment() const { return Has(kComment); }
  // The text begins "<!" or "<?": a declaration, a processing instruction
  // or a comment.
  int32_t IsDeclaration() const { return Has(kDeclaration); }
  // 0 none, 1 start marker, 2 stop marker (start words are tried first).
  int32_t GetMarkerKind() const { return Has(kStartMarker) ? 1 : (Has(kStopMarker) ? 2 : 0); }
  // Read from the text whatever its kind ("x/DINCL" answers 1 too).
  int32_t IsStopMarker() const;
  // Read from the name's membership in the fixed lists.
  int32_t IsFormattingElement() const { return kFormattingElements.Holds(nameId_) ? 1 : 0; }
  int32_t IsEmptyElement() const { return (Has(kDeclaration) || kEmptyElements.Holds(nameId_)) ? 1 : 0; }
  // "<br>" becomes "<br/>": the final character is replaced by "/>".
  void MakeSelfClosing();

  // Writer half.
  int32_t IsClosedTag() const { return Has(kClosedTag); }
  // Number of characters WriteTo writes, without the terminating zero.
  size_t GetWriteLength() const;
  // Writes the record as markup at buffer (a tag once per copy),
  // zero-terminated; returns buffer.
  char* WriteTo(char* buffer) const;
  // A new record parsed from "</name>", of the same arena.
  CXmlObject MakeEndTag() const;

  // Length of the raw text (0 without one).
  size_t TextLength() const { return strings_.FirstSize(); }
  // Replaces the raw text without parsing it again; used where a rule
  // changes character data (escaping, trimming) in place.
  void SetText(std::string text);
  // Lets `edit` change the raw text in place, without a copy: it gets the
  // bytes and their count and returns the new count, at most the old one;
  // it must not put a NUL byte in. The kinds are worked out again.
  template <typename Edit>
  void EditText(Edit edit) {
    if (!strings_.HoldsBlock()) return;
    strings_.ShortenFirst(edit(strings_.FirstData(), strings_.FirstSize()));
    Classify();
  }
  const MarkerWords& Words() const { return *words_; }
  // The reading of unquoted values that the record was parsed with.
  UnquotedValues ValueReading() const {
    return htmlValues_ ? UnquotedValues::kEndAtSpace : UnquotedValues::kEndAtPunctuation;
  }

 private:
  // An attribute's name (first) and value (second), in one block.
  struct Attribute {
    StringPair strings;
    std::string_view Name() const { return strings.First(); }
    std::string_view Value() const { return strings.Second(); }
  };
  // Kind bits of the current text (see Classify).
  enum Kind : uint8_t {
    kTag = 1,
    kStartTag = 2,
    kComment = 4,
    kClosedTag = 8,
    kStartMarker = 16,  // a comment that starts with a start word
    kStopMarker = 32,   // a comment that starts with a stop word and no start word
    kDeclaration = 64,  // the text begins "<?" or "<!" (a comment too)
  };
  int32_t Has(Kind kind) const { return (kinds_ & kind) != 0 ? 1 : 0; }
  // Works the kind bits of the text out from the text and words_; called
  // after every change of either.
  void Classify();
  // Interns the name; called after every change of the name or hasName_.
  void NameChanged();
  bool TextIsComment() const;
  // NameEquals for two names that kElementNames does not list.
  bool OtherNamesEqual(const CXmlObject& other) const;
  // The text is at least "<x>": "<" and ">" around something.
  bool TextIsBracketed() const;
  // For a tag's text: it ends its element itself ("</b>", "<br/>", "<!x>").
  bool TagTextIsClosed() const;

  // Above this many attributes, name lookups go through the name index.
  static constexpr size_t kIndexedAttributeCount = 16;

  // Slot of the attribute named `name` (case ignored), or -1.
  int32_t FindAttributeSlot(std::string_view name) const;
  Attribute* FindAttribute(const char* name);
  const Attribute* FindAttribute(const char* name) const;
  // SetAttribute for spans, which must hold no NUL.
  void StoreAttribute(std::string_view name, std::string_view value);
  // Upper-cased name -> slot; kept only while there are many attributes, so
  // a tag with a huge attribute list is not parsed in quadratic time. Most
  // records never need one, so the record holds no room for it: its pointer
  // sits in the attribute list's block, in front of the slots, with the
  // block's capacity.
  using NameIndex = std::unordered_map<std::string, int32_t>;
  struct ListHeader {
    NameIndex* index;
    uint32_t capacity;
  };
  static std::size_t ListBytes(uint32_t capacity) { return sizeof(ListHeader) + capacity * sizeof(Attribute); }
  // The block's header; only while there is a block.
  ListHeader* Header() const { return reinterpret_cast<ListHeader*>(attributes_) - 1; }
  uint32_t Capacity() const { return attributes_ == nullptr ? 0 : Header()->capacity; }
  NameIndex*& IndexPlace() const { return Header()->index; }
  NameIndex* Index() const { return attributes_ == nullptr ? nullptr : IndexPlace(); }
  void DropNameIndex();
  // Rebuilds the name index from the slots, or drops it when the list is short.
  void RebuildNameIndex();
  // Parse of `whole`, whose first NUL byte is at `nul` (its size for none).
  void ParseText(std::string_view whole, size_t nul, const MarkerWords& words, UnquotedValues values);
  // Returns true when the tag's last unquoted value, read as HTML reads
  // it, ran to the end of the tag and took in its closing slash.
  bool ParseAttributes(const char* text, int32_t length, int32_t from, bool holdsNul);
  // True when the comment text, after "<!--" and spaces, begins with `word`.
  bool StartsWithMarkerWord(const std::string& word) const;
  // True for text, comments and declarations, which the writer copies as is.
  bool IsWrittenVerbatim() const;
  // True when the text's second-to-last character is "/" (as in "<br/>").
  bool EndsSelfClosed() const;

  const Attribute* begin() const { return attributes_; }
  const Attribute* end() const { return attributes_ + attributeCount_; }
  // Makes room for `capacity` attributes in all.
  void ReserveAttributes(std::size_t capacity);
  // Appends an attribute, its strings made from the spans.
  void AppendAttribute(std::string_view name, std::string_view value);
  // Frees one attribute's strings.
  void ReleaseAttribute(Attribute& attribute);
  // Frees every string and the attribute list; the record is then empty.
  void ReleaseAll();
  // Takes over the strings and attributes of `other`, which then holds none.
  void TakeFrom(CXmlObject& other);
  // Makes this record a copy of `other` in this record's arena.
  void CopyFrom(const CXmlObject& other);
  // Takes what `other` worked out of its text and name (kinds, name id)
  // and the marker words it read them with.
  void CopyFactsFrom(const CXmlObject& other);

  RecordArena* arena_;
  // The slots of a block that begins with its ListHeader (ListBytes); the
  // first attributeCount_ are in use.
  Attribute* attributes_ = nullptr;
  uint32_t attributeCount_ = 0;
  // The facts worked out of text and name share the count's word, so that
  // a record (and with it a node) stays small.
  uint8_t kinds_ = 0;
  ElementId nameId_ = kOtherElement;
  bool hasText_ : 1 = false;
  bool hasName_ : 1 = false;
  bool nameExact_ : 1 = false;
  bool htmlValues_ : 1 = false;  // parsed with UnquotedValues::kEndAtSpace
  // The slash before the tag's ">" belongs to an unquoted value, as in
  // "<a href=/news/>" read as HTML: it does not close the tag.
  bool slashInValue_ : 1 = false;
  uint8_t copies_ = 1;
  // The raw text (first) and the name (second), in one block.
  StringPair strings_;
  const MarkerWords* words_ = &DefaultMarkerWords();
};

}  // namespace quillmark
