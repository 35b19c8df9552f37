#include "markup/xml_object.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "markup/name_list.h"

namespace quillmark {

namespace {

constexpr char kBoolValueList[] = "true\0false\0";

// Token characters are read as signed bytes: 128..255 are negative and so
// count as white space, like every byte up to 32.
bool IsTokenSpace(char c) { return static_cast<signed char>(c) <= 32; }
// Element names start at the first byte from "0" (48) to 127.
bool CanStartName(char c) { return static_cast<signed char>(c) >= 48; }
bool EndsName(char c) { return IsTokenSpace(c) || c == '>' || c == '/' || c == '-'; }

// Where a tag's name lies in its `length` bytes at `text`: from the first
// byte after "<" that can start one to the first that ends it. A tag with
// no such byte before its final ">" has the empty name, which ends there.
struct NameSpan {
  int32_t start = 0;
  int32_t end = 0;
  std::string_view View(const char* text) const { return {text + start, static_cast<size_t>(end - start)}; }
};
NameSpan FindName(const char* text, int32_t length) {
  int32_t start = 1;
  while (start < length - 1 && !CanStartName(text[start])) ++start;
  if (start >= length - 1) return NameSpan{length - 1, length - 1};
  int32_t end = start;
  while (end < length && !EndsName(text[end])) ++end;
  return NameSpan{start, end};
}
bool IsQuote(char c) { return c == '"' || c == '\''; }
// White space, or punctuation from "!" to "/" except ".", ends an unquoted value.
bool EndsValue(char c) { return IsTokenSpace(c) || (c >= '!' && c <= '/' && c != '.'); }
// HTML's white space alone ends an unquoted value read as HTML reads it.
bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// The span up to (not including) its first NUL.
std::string_view CutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

// A part of a token as it is stored: cut at its first NUL when the token
// holds one (see Parse).
std::string_view TokenPart(std::string_view part, bool holdsNul) { return holdsNul ? CutAtNul(part) : part; }

std::string UpperCased(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(), ToUpperAscii);
  return upper;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Cuts the attributes out of a tag's characters after its name, in one pass.
// A completed attribute is handed to the sink as (name, value) spans.
template <typename Sink>
class AttributeScanner {
 public:
  AttributeScanner(const char* text, int32_t length, UnquotedValues values, Sink sink)
      : text_(text), length_(length), htmlValues_(values == UnquotedValues::kEndAtSpace), sink_(std::move(sink)) {}

  // Scans from `from` up to the character before the final one. Returns
  // true when the last value was unquoted, read as HTML, and took in the
  // slash before the final character.
  bool Run(int32_t from) {
    for (index_ = from; index_ < length_ - 1; ++index_) {
      if (inQuotes_) SkipQuotedCharacters();
      ScanCharacter(text_[index_]);
    }
    return slashInValue_;
  }

 private:
  void ScanCharacter(char c) {
    if (TrackQuotes(c)) {
      if (!inProgress_) {
        StartAttribute(c);
      }
      if (inProgress_ && nameEnd_ < 0) {
        ScanName(c);
      } else if (inProgress_ && valueStart_ >= 0 && valueEnd_ < 0) {
        ScanValue(c);
      }
    }
    if (inProgress_ && (complete_ || index_ == length_ - 2)) {
      Complete();
    }
  }

  // Inside quotes only the closing quote changes the scan, and the last
  // character scanned (which completes the attribute in progress): moves
  // to the first of the two.
  void SkipQuotedCharacters() {
    const int32_t last = length_ - 2;
    const void* quote = std::memchr(text_ + index_, quote_, static_cast<size_t>(last - index_));
    index_ = quote != nullptr ? static_cast<int32_t>(static_cast<const char*>(quote) - text_) : last;
  }

  // Updates the quote state; true when the character is outside quotes
  // (a closing quote included) and so takes part in the attribute rules.
  bool TrackQuotes(char c) {
    if (!inQuotes_ && IsQuote(c)) {
      inQuotes_ = true;
      quote_ = c;
      hasQuote_ = true;
      return false;
    }
    if (inQuotes_ && c == quote_) {
      inQuotes_ = false;
      return true;
    }
    return !inQuotes_;
  }

  void StartAttribute(char c) {
    if (IsTokenSpace(c) || c == '/' || c == '-') {
      return;
    }
    inProgress_ = true;
    complete_ = false;
    nameStart_ = index_;
    nameEnd_ = valueStart_ = valueEnd_ = -1;
  }

  // White space or "=" ends the name; anything else belongs to it.
  void ScanName(char c) {
    if (IsTokenSpace(c)) {
      nameEnd_ = index_;
      SkipSpaces();
      if (!NextIs('=')) {
        complete_ = true;
        return;
      }
      ++index_;
      SkipSpaces();
      valueStart_ = index_ + 1;
    } else if (c == '=') {
      nameEnd_ = index_;
      SkipSpaces();
      valueStart_ = index_ + 1;
    }
  }

  // A closing quote stays in the value; another value end stays out of it.
  // Only a closing quote reaches here of the quotes (TrackQuotes).
  void ScanValue(char c) {
    if (htmlValues_ ? !IsHtmlSpace(c) && !IsQuote(c) : !EndsValue(c)) {
      return;
    }
    valueEnd_ = (hasQuote_ && c == quote_) ? index_ + 1 : index_;
    complete_ = true;
  }

  // Moves the scan over white space without passing the last scanned index.
  void SkipSpaces() {
    while (index_ + 1 < length_ - 1 && IsTokenSpace(text_[index_ + 1])) {
      ++index_;
    }
  }

  bool NextIs(char c) const { return index_ + 1 < length_ - 1 && text_[index_ + 1] == c; }

  void Complete() {
    const int32_t nameEnd = nameEnd_ < 0 ? index_ + 1 : nameEnd_;
    std::string_view name(text_ + nameStart_, static_cast<size_t>(nameEnd - nameStart_));
    std::string_view value;
    if (valueStart_ >= 0) {
      const int32_t valueEnd = std::max(valueEnd_ < 0 ? index_ + 1 : valueEnd_, valueStart_);
      value = std::string_view(text_ + valueStart_, static_cast<size_t>(valueEnd - valueStart_));
    }
    if (!value.empty() && IsQuote(value.front())) {
      quote_ = value.front();
      hasQuote_ = true;
      value = value.size() < 2 ? std::string_view() : value.substr(1, value.size() - 2);
    } else if (htmlValues_ && !value.empty()) {
      slashInValue_ = value.data() + value.size() == text_ + length_ - 1 && value.back() == '/';
    }
    sink_(name, value);
    inProgress_ = false;
    complete_ = false;
  }

  const char* text_;
  int32_t length_;
  bool htmlValues_;
  bool slashInValue_ = false;
  Sink sink_;
  int32_t index_ = 0;
  bool inQuotes_ = false;
  bool hasQuote_ = false;  // the last quote character stays remembered
  char quote_ = 0;
  bool inProgress_ = false;
  bool complete_ = false;
  int32_t nameStart_ = -1;
  int32_t nameEnd_ = -1;
  int32_t valueStart_ = -1;
  int32_t valueEnd_ = -1;
};

}  // namespace

const MarkerWords& DefaultMarkerWords() {
  static const MarkerWords words;
  return words;
}

// ---- storage ----------------------------------------------------------------

// The words are taken in the initializer, so that a move (one per token)
// does not first look up the default ones.
CXmlObject::CXmlObject(CXmlObject&& other) noexcept : arena_(other.arena_), words_(other.words_) {
  TakeFrom(other);
  CopyFactsFrom(other);
}

CXmlObject& CXmlObject::operator=(CXmlObject&& other) {
  if (this == &other) return *this;
  if (arena_ != other.arena_) {
    CopyFrom(other);
    return *this;
  }
  ReleaseAll();
  TakeFrom(other);
  CopyFactsFrom(other);
  return *this;
}

void CXmlObject::TakeFrom(CXmlObject& other) {
  attributes_ = std::exchange(other.attributes_, nullptr);
  attributeCount_ = std::exchange(other.attributeCount_, 0);
  copies_ = std::exchange(other.copies_, 1);
  strings_ = std::exchange(other.strings_, StringPair());
}

void CXmlObject::CopyFrom(const CXmlObject& other) {
  ClearAttributes();
  strings_.Assign(arena_, other.strings_.First(), other.strings_.Second());
  for (const Attribute& attribute : other) AppendAttribute(attribute.Name(), attribute.Value());
  RebuildNameIndex();
  CopyFactsFrom(other);
  copies_ = other.copies_;
}

void CXmlObject::CopyFactsFrom(const CXmlObject& other) {
  hasText_ = other.hasText_;
  hasName_ = other.hasName_;
  kinds_ = other.kinds_;
  nameId_ = other.nameId_;
  nameExact_ = other.nameExact_;
  htmlValues_ = other.htmlValues_;
  slashInValue_ = other.slashInValue_;
  words_ = other.words_;
}

void CXmlObject::ReleaseAttribute(Attribute& attribute) {
  attribute.strings.Release(arena_);
}

void CXmlObject::ClearAttributes() {
  for (uint32_t i = 0; i < attributeCount_; ++i) ReleaseAttribute(attributes_[i]);
  attributeCount_ = 0;
  DropNameIndex();
}

void CXmlObject::DropNameIndex() {
  if (attributes_ == nullptr) return;
  delete IndexPlace();
  IndexPlace() = nullptr;
}

void CXmlObject::ReleaseAll() {
  ClearAttributes();
  if (attributes_ != nullptr) arena_->Free(Header(), ListBytes(Capacity()));
  attributes_ = nullptr;
  strings_.Release(arena_);
}

void CXmlObject::ReserveAttributes(std::size_t capacity) {
  if (capacity <= Capacity()) return;
  if (capacity > (UINT32_MAX - sizeof(ListHeader)) / sizeof(Attribute)) throw std::length_error("attribute list too long");
  // The slots are plain data and move as bytes.
  static_assert(sizeof(ListHeader) % alignof(Attribute) == 0 && alignof(ListHeader) <= alignof(Attribute));
  const uint32_t slots = static_cast<uint32_t>(capacity);
  auto* header = ::new (arena_->Allocate(ListBytes(slots), alignof(Attribute))) ListHeader{Index(), slots};
  auto* grown = reinterpret_cast<Attribute*>(header + 1);
  if (attributes_ != nullptr) {
    std::memcpy(static_cast<void*>(grown), attributes_, attributeCount_ * sizeof(Attribute));
    arena_->Free(Header(), ListBytes(Capacity()));
  }
  attributes_ = grown;
}

void CXmlObject::AppendAttribute(std::string_view name, std::string_view value) {
  // Doubling, so that a list built one attribute at a time costs linear time.
  if (const uint32_t capacity = Capacity(); attributeCount_ == capacity) ReserveAttributes(capacity == 0 ? 1 : 2 * std::size_t{capacity});
  // Counted before its strings are made, so that the record frees what it
  // holds even when making the second one fails.
  Attribute& attribute = *::new (&attributes_[attributeCount_++]) Attribute();
  attribute.strings.Assign(arena_, name, value);
}

// ---- parsing ----------------------------------------------------------------

void CXmlObject::Parse(const char* text, int32_t length, const MarkerWords& words, UnquotedValues values) {
  if (text == nullptr || length < 0) {
    length = 0;
  }
  const std::string_view whole(text == nullptr ? "" : text, static_cast<size_t>(length));
  // Most tokens hold no NUL: then none of their parts is cut at one.
  const size_t nul = whole.find('\0');
  ParseText(whole, nul == std::string_view::npos ? whole.size() : nul, words, values);
}

void CXmlObject::ParseToken(const char* text, int32_t length, const MarkerWords& words, UnquotedValues values) {
  const std::string_view whole(text, static_cast<size_t>(length));
  ParseText(whole, whole.size(), words, values);
}

void CXmlObject::ParseText(std::string_view whole, size_t nul, const MarkerWords& words, UnquotedValues values) {
  ClearAttributes();
  words_ = &words;
  htmlValues_ = values == UnquotedValues::kEndAtSpace;
  slashInValue_ = false;
  copies_ = 1;
  const bool holdsNul = nul < whole.size();
  const auto length = static_cast<int32_t>(whole.size());
  // Only a token that opens with "<" can be a tag or a marker, which have a
  // name; it is found first, so that text and name take one block.
  const NameSpan name = !whole.empty() && whole[0] == '<' ? FindName(whole.data(), length) : NameSpan{};
  strings_.Assign(arena_, whole.substr(0, nul), TokenPart(name.View(whole.data()), holdsNul));
  hasText_ = true;
  Classify();
  hasName_ = false;
  if (!IsTag() && GetMarkerKind() == 0) {
    strings_.ClearSecond();
    NameChanged();
    return;
  }
  // The name is interned as found, the empty one included.
  hasName_ = true;
  NameChanged();
  if (!ParseAttributes(whole.data(), length, name.end, holdsNul)) return;
  slashInValue_ = true;
  Classify();
}

namespace {

// Attribute spans whose gathering room a thread keeps between tags.
constexpr std::size_t kKeptSpans = 256;

}  // namespace

bool CXmlObject::ParseAttributes(const char* text, int32_t length, int32_t from, bool holdsNul) {
  // The spans are gathered first, so that the list's block is made once at
  // its size: a list grown by doubling leaves each smaller block behind in
  // the arena. The gathering room is the thread's, kept between tags.
  using Span = std::pair<std::string_view, std::string_view>;
  thread_local std::vector<Span> spans;
  spans.clear();
  AttributeScanner scanner(text, length, ValueReading(),
                           [](std::string_view name, std::string_view value) { spans.emplace_back(name, value); });
  const bool slashInValue = scanner.Run(from);
  ReserveAttributes(spans.size());
  for (const Span& span : spans) StoreAttribute(TokenPart(span.first, holdsNul), TokenPart(span.second, holdsNul));
  // A huge list's room is not kept for the thread's later tags.
  if (spans.capacity() > kKeptSpans) std::vector<Span>().swap(spans);
  return slashInValue;
}

CXmlObject CXmlObject::Clone() const {
  CXmlObject clone(arena_);
  if (hasText_) {
    clone.Parse(strings_.FirstCStr(), static_cast<int32_t>(strings_.FirstSize()), *words_, ValueReading());
  }
  return clone;
}

CXmlObject CXmlObject::Copy() const {
  CXmlObject copy(arena_);
  copy.CopyFrom(*this);
  return copy;
}

void CXmlObject::SetName(const char* name) {
  if (name == nullptr) {
    strings_.ClearSecond();
    hasName_ = false;
  } else {
    const char* kept = name[0] == '/' ? name + 1 : name;
    // The rewrite names many tags what they are already called ("td").
    if (hasName_ && strings_.Second() == kept) return;
    strings_.AssignSecond(arena_, kept);
    hasName_ = true;
  }
  NameChanged();
}

void CXmlObject::SetText(std::string text) {
  strings_.AssignFirst(arena_, CutAtNul(text));
  hasText_ = true;
  slashInValue_ = false;
  Classify();
}

const char* CXmlObject::GetAttributeName(int32_t index) const {
  if (index < 0 || index >= GetAttributeCount()) {
    return nullptr;
  }
  return attributes_[index].strings.FirstCStr();
}

const char* CXmlObject::GetAttributeValue(int32_t index) const {
  if (index < 0 || index >= GetAttributeCount()) {
    return nullptr;
  }
  return attributes_[index].strings.SecondCStr();
}

int32_t CXmlObject::FindAttributeSlot(std::string_view name) const {
  if (const NameIndex* index = Index()) {
    const auto found = index->find(UpperCased(name));
    return found == index->end() ? -1 : found->second;
  }
  for (uint32_t slot = 0; slot < attributeCount_; ++slot) {
    if (EqualsIgnoringCase(attributes_[slot].Name(), name)) {
      return static_cast<int32_t>(slot);
    }
  }
  return -1;
}

CXmlObject::Attribute* CXmlObject::FindAttribute(const char* name) {
  const int32_t slot = name == nullptr ? -1 : FindAttributeSlot(name);
  return slot < 0 ? nullptr : &attributes_[slot];
}

const CXmlObject::Attribute* CXmlObject::FindAttribute(const char* name) const {
  const int32_t slot = name == nullptr ? -1 : FindAttributeSlot(name);
  return slot < 0 ? nullptr : &attributes_[slot];
}

char* CXmlObject::GetAttribute(const char* name) {
  Attribute* attribute = FindAttribute(name);
  return attribute == nullptr ? nullptr : attribute->strings.SecondData();
}

const char* CXmlObject::GetAttribute(const char* name) const {
  const Attribute* attribute = FindAttribute(name);
  return attribute == nullptr ? nullptr : attribute->strings.SecondCStr();
}

void CXmlObject::SetAttribute(const char* name, const char* value) {
  if (name == nullptr || value == nullptr) {
    return;
  }
  StoreAttribute(name, value);
}

void CXmlObject::StoreAttribute(std::string_view name, std::string_view value) {
  const int32_t slot = FindAttributeSlot(name);
  if (slot >= 0) {
    Attribute& attribute = attributes_[slot];
    attribute.strings.Assign(arena_, name, value);
    return;
  }
  AppendAttribute(name, value);
  if (NameIndex* index = Index()) {
    index->emplace(UpperCased(name), GetAttributeCount() - 1);
  } else if (attributeCount_ > kIndexedAttributeCount) {
    RebuildNameIndex();
  }
}

void CXmlObject::RebuildNameIndex() {
  DropNameIndex();
  if (attributeCount_ <= kIndexedAttributeCount) {
    return;
  }
  auto index = std::make_unique<NameIndex>();
  for (uint32_t slot = 0; slot < attributeCount_; ++slot) {
    index->emplace(UpperCased(attributes_[slot].Name()), static_cast<int32_t>(slot));
  }
  IndexPlace() = index.release();
  arena_->NoteIndexMade();
}

void CXmlObject::RetainAttributes(const char* list) {
  // attributes_[0, kept) are the survivors among attributes_[0, slot).
  uint32_t kept = 0;
  for (uint32_t slot = 0; slot < attributeCount_; ++slot) {
    if (IsNameInList(attributes_[slot].strings.FirstCStr(), list) == 0) {
      ReleaseAttribute(attributes_[slot]);
      continue;
    }
    attributes_[kept++] = attributes_[slot];
  }
  attributeCount_ = kept;
  RebuildNameIndex();
}

void CXmlObject::RemoveAttribute(const char* name) {
  Attribute* found = FindAttribute(name);
  if (found == nullptr) return;
  ReleaseAttribute(*found);
  // The attributes after it move up one slot, keeping their order.
  std::copy(found + 1, attributes_ + attributeCount_, found);
  --attributeCount_;
  RebuildNameIndex();
}

int32_t CXmlObject::GetBoolAttribute(const char* name, int32_t defaultValue) const {
  const char* value = GetAttribute(name);
  if (value == nullptr) {
    return defaultValue;
  }
  return (value[0] == '\0' || EqualsIgnoringCase(value, "true")) ? 1 : 0;
}

void CXmlObject::NormalizeBoolAttribute(const char* name, const char* defaultValue) {
  const char* value = GetAttribute(name);
  if (value != nullptr && value[0] == '\0') {
    SetAttribute(name, "true");
    return;
  }
  NormalizeEnumAttribute(name, kBoolValueList, defaultValue, 0);
}

void CXmlObject::NormalizeEnumAttribute(const char* name, const char* allowed,
                                        const char* defaultValue, int32_t addIfMissing) {
  Attribute* attribute = FindAttribute(name);
  if (attribute == nullptr) {
    if (addIfMissing != 0) {
      SetAttribute(name, defaultValue);
    }
    return;
  }
  StringPair& strings = attribute->strings;
  std::transform(strings.SecondData(), strings.SecondData() + strings.SecondSize(), strings.SecondData(), ToLowerAscii);
  const std::string_view value = strings.Second();
  for (const char* entry = allowed; entry != nullptr && *entry != '\0';
       entry += std::strlen(entry) + 1) {
    if (value == entry) {
      return;
    }
  }
  SetAttribute(name, defaultValue);
}

bool CXmlObject::TextIsComment() const {
  const std::string_view text = strings_.First();
  if (!hasText_ || text.size() < 7) {
    return false;
  }
  return StartsWith(text, "<!--") && text.substr(text.size() - 3) == "-->";
}

bool CXmlObject::TextIsBracketed() const {
  const std::string_view text = strings_.First();
  return hasText_ && text.size() >= 3 && text.front() == '<' && text.back() == '>';
}

bool CXmlObject::TagTextIsClosed() const {
  const std::string_view text = strings_.First();
  const char second = text[1];
  return second == '!' || second == '?' || second == '/' || (text[text.size() - 2] == '/' && !slashInValue_);
}

bool CXmlObject::OtherNamesEqual(const CXmlObject& other) const {
  return EqualsIgnoringCase(GetName(), other.GetName());
}

void CXmlObject::NameChanged() {
  const ElementMatch match = hasName_ ? MatchElementName(strings_.Second()) : ElementMatch();
  nameId_ = match.id;
  nameExact_ = match.exact;
}

void CXmlObject::Classify() {
  kinds_ = 0;
  const std::string_view text = strings_.First();
  if (text.size() >= 2 && (text[1] == '?' || text[1] == '!')) kinds_ |= kDeclaration;
  if (TextIsComment()) {
    kinds_ |= kComment;
    if (StartsWithMarkerWord(words_->includeStart) || StartsWithMarkerWord(words_->excludeStart)) {
      kinds_ |= kStartMarker;
    } else if (IsStopMarker() != 0) {
      kinds_ |= kStopMarker;
    }
    return;
  }
  // Not a comment: a tag when it is bracketed.
  if (!TextIsBracketed()) {
    return;
  }
  kinds_ |= kTag;
  if (text[1] != '/') kinds_ |= kStartTag;
  if (TagTextIsClosed()) kinds_ |= kClosedTag;
}

int32_t CXmlObject::IsStopMarker() const {
  return (StartsWithMarkerWord(words_->includeStop) || StartsWithMarkerWord(words_->excludeStop))
             ? 1
             : 0;
}

bool CXmlObject::StartsWithMarkerWord(const std::string& word) const {
  const std::string_view text = strings_.First();
  if (word.empty() || text.size() < 4) {
    return false;  // an empty word would turn every comment into a marker
  }
  const size_t start = text.find_first_not_of(' ', 4);
  return start != std::string_view::npos && StartsWith(text.substr(start), word);
}



void CXmlObject::MakeSelfClosing() {
  const std::string_view text = strings_.First();
  if (text.empty()) {
    return;
  }
  // The final character gives way to "/>": one byte more than the block
  // holds, so both strings go to a new one.
  strings_.Assign(arena_, {text.substr(0, text.size() - 1), "/>"}, strings_.Second());
  // The new slash is the tag's own.
  slashInValue_ = false;
  Classify();
}

bool CXmlObject::IsWrittenVerbatim() const {
  const std::string_view text = strings_.First();
  return !IsTag() || text[1] == '?' || text[1] == '!';
}

bool CXmlObject::EndsSelfClosed() const {
  const std::string_view text = strings_.First();
  return text.size() >= 2 && text[text.size() - 2] == '/';
}

size_t CXmlObject::GetWriteLength() const {
  if (!hasText_) {
    return 0;
  }
  if (IsWrittenVerbatim()) {
    return strings_.FirstSize();
  }
  size_t length = strings_.SecondSize() + 2 + (IsClosedTag() ? 1 : 0);
  for (const Attribute& attribute : *this) {
    length += attribute.strings.FirstSize() + attribute.strings.SecondSize() + 4;
  }
  return length * copies_;
}

char* CXmlObject::WriteTo(char* buffer) const {
  char* out = buffer;
  const auto put = [&out](std::string_view part) {
    out = std::copy(part.begin(), part.end(), out);
  };
  if (IsWrittenVerbatim()) {
    put(strings_.First());
    *out = '\0';
    return buffer;
  }
  // Rebuilt from name and attributes: exactly one "/" for a closed tag,
  // after "<" for an end tag, before ">" for an empty-element tag.
  const bool closed = IsClosedTag() != 0;
  for (int32_t copy = 0; copy < copies_; ++copy) {
    put(closed && !EndsSelfClosed() ? "</" : "<");
    put(strings_.Second());
    for (const Attribute& attribute : *this) {
      put(" ");
      put(attribute.Name());
      put("=\"");
      put(attribute.Value());
      put("\"");
    }
    put(closed && EndsSelfClosed() ? "/>" : ">");
  }
  *out = '\0';
  return buffer;
}

CXmlObject CXmlObject::MakeEndTag() const {
  CXmlObject endTag(arena_);
  const std::string_view name = strings_.Second();
  // A name that parsing "</name>" reads back whole (it starts as a name
  // starts and holds nothing that ends one) is taken over as it is; any
  // other goes through the parser, which decides what it becomes.
  const bool readsBackWhole =
      !name.empty() && CanStartName(name[0]) && std::none_of(name.begin(), name.end(), EndsName);
  if (!readsBackWhole) {
    const std::string text = "</" + std::string(name) + ">";
    endTag.Parse(text.data(), static_cast<int32_t>(text.size()), *words_);
    return endTag;
  }
  endTag.words_ = words_;
  endTag.strings_.Assign(arena_, {"</", name, ">"}, name);
  endTag.hasText_ = true;
  // What Classify finds in "</name>" with such a name: a tag that closes.
  endTag.kinds_ = kTag | kClosedTag;
  endTag.hasName_ = true;
  endTag.nameId_ = nameId_;
  endTag.nameExact_ = nameExact_;
  return endTag;
}

}  // namespace quillmark
