#include "transform/wml_text_decoding.h"

#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "base/byte_blocks.h"
#include "base/utf8.h"

namespace quillmark::wmlc {
namespace {

struct NamedEntity {
  std::string_view name;
  uint32_t codePoint;
};

// The entities a WML 1.1 deck may name.
constexpr NamedEntity kNamedEntities[] = {
    {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}, {"nbsp", 0xA0}, {"shy", 0xAD},
};

// Digits of a decimal or hexadecimal reference number; beyond this the
// number is no character anyway.
constexpr std::size_t kLongestNumber = 8;
constexpr std::size_t kLongestName = 4;
constexpr uint32_t kLastCodePoint = 0x10FFFF;

bool IsWhitespace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }


// What a byte is to a run of plain bytes: part of it, a space that may be,
// or the end of it.
enum ByteKind : uint8_t { kPlainByte, kSpaceByte, kEndByte };

constexpr auto kByteKinds = [] {
  std::array<uint8_t, 256> kinds{};
  for (unsigned char c : {'\t', '\r', '\n', '&', '\0'}) kinds[c] = kEndByte;
  kinds[' '] = kSpaceByte;
  return kinds;
}();

constexpr auto kWhitespaceBytes = [] {
  std::array<uint8_t, 256> whitespace{};
  for (unsigned char c : {' ', '\t', '\r', '\n'}) whitespace[c] = 1;
  return whitespace;
}();

// True when raw[at] ends the run of plain bytes that starts at `start`: a
// special byte, except a single space between two bytes of the run (a
// space before a reference is not: the reference may be white space that
// collapses with it). Worked out without branches: the outcome is as good
// as random.
bool EndsRun(std::string_view raw, std::size_t start, std::size_t at) {
  const uint8_t kind = kByteKinds[static_cast<unsigned char>(raw[at])];
  const char next = at + 1 < raw.size() ? raw[at + 1] : '\n';
  const bool spaceEnds = kWhitespaceBytes[static_cast<unsigned char>(next)] | (next == '&') | (at == start);
  return (kind == kEndByte) | ((kind == kSpaceByte) & spaceEnds);
}

int DigitValue(char c, bool hex) {
  if (c >= '0' && c <= '9') return c - '0';
  if (!hex) return -1;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<uint32_t> NumberValue(std::string_view digits, bool hex) {
  if (digits.empty() || digits.size() > kLongestNumber) return std::nullopt;
  uint32_t value = 0;
  for (char c : digits) {
    const int digit = DigitValue(c, hex);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
  }
  if (value > kLastCodePoint) return std::nullopt;
  return value;
}

// The character of the reference body between "&" and ";".
std::optional<uint32_t> ReferenceValue(std::string_view body) {
  if (body.size() > 1 && body[0] == '#') {
    const bool hex = body[1] == 'x' || body[1] == 'X';
    return NumberValue(body.substr(hex ? 2 : 1), hex);
  }
  for (const NamedEntity& entity : kNamedEntities) {
    if (entity.name == body) return entity.codePoint;
  }
  return std::nullopt;
}

// The bytes of `word` (eight from the text, in order) that may end a run of
// plain bytes: controls and white space, "&", and a space followed by a
// control, by white space, by "&" or by the block's end. A space followed
// inside the block by any other byte never ends a run.
constexpr uint64_t MayEndRun(uint64_t word) {
  const uint64_t control = BytesBelow(word, '!');
  const uint64_t space = BytesEqual(word, ' ');
  const uint64_t ampersand = BytesEqual(word, '&');
  const uint64_t lastByte = Repeated(0x80) & ~(Repeated(0x80) >> 8);
  const uint64_t spaceEnds = space & (((control | ampersand) >> 8) | lastByte);
  return (control & ~space) | ampersand | spaceEnds;
}

// The end of the run of plain bytes that starts at `start`: where EndsRun
// first holds, or the end of `raw`. Eight bytes are looked at together;
// only those MayEndRun flags are looked at one by one.
std::size_t PlainRunEnd(std::string_view raw, std::size_t start) {
  if (start < raw.size() && EndsRun(raw, start, start)) return start;
  std::size_t at = start + 1;
  while (at < raw.size()) {
    if constexpr (std::endian::native == std::endian::little) {
      if (raw.size() - at >= 8) {
        uint64_t word;
        std::memcpy(&word, raw.data() + at, 8);
        const uint64_t flagged = MayEndRun(word);
        if (flagged == 0) {
          at += 8;
          continue;
        }
        at += static_cast<std::size_t>(std::countr_zero(flagged)) / 8;
      }
    }
    if (EndsRun(raw, start, at)) return at;
    ++at;
  }
  return raw.size();
}

// Collects decoded characters into pieces, keeping the raw white space that
// may still be trimmed apart until the next character decides about it. The
// open text piece is the bytes from `textStart_` to the arena's end.
class PieceBuilder {
 public:
  PieceBuilder(uint32_t charset, WhitespaceRule rule, TextArena& arena, Pieces& out)
      : charset_(charset), rule_(rule), arena_(arena), out_(out), first_(out.size()) {}

  void RawWhitespace(char c) {
    // CR LF and lone CR count as one line end, like in any XML parser.
    if (c == '\n' && lastWasCarriageReturn_) {
      lastWasCarriageReturn_ = false;
      return;
    }
    lastWasCarriageReturn_ = c == '\r';
    if (rule_.collapse) return RunCharacter(c == '\r' ? '\n' : c);
    pendingSpaces_ += 1;
  }

  // Bytes that are neither white space, "&" nor NUL.
  void RawRun(std::string_view run) {
    FlushSpace();
    OpenText();
    arena_.Append(run);
  }

  void Character(uint32_t c) {
    // Collapsing works on the decoded text, as gateways do: white space
    // from a reference joins the run around it.
    if (rule_.collapse && c < 0x80 && IsWhitespace(static_cast<char>(c))) {
      lastWasCarriageReturn_ = false;
      return RunCharacter(static_cast<char>(c));
    }
    FlushSpace();
    if (!Holds(c)) {
      CloseText();
      out_.push_back(Piece{PieceKind::kEntity, c, {}});
      return;
    }
    char bytes[4];
    const std::size_t length = charset_ == kUtf8Mib ? WriteUtf8(bytes, c) : (bytes[0] = static_cast<char>(c), 1);
    OpenText();
    arena_.Append(std::string_view(bytes, length));
  }

  void Finish() {
    if (!rule_.trimTrailing) FlushSpace();
    CloseText();
  }

 private:
  bool Holds(uint32_t c) const {
    if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (charset_ == kUtf8Mib) return true;
    if (charset_ == kLatin1Mib) return c < 0x100;
    return c < 0x80;  // every other charset: only what ASCII has in common
  }

  void OpenText() {
    if (textStart_ == nullptr) textStart_ = arena_.End();
  }

  void CloseText() {
    if (textStart_ == nullptr) return;
    out_.push_back(Piece{PieceKind::kText, 0,
                         std::string_view(textStart_, static_cast<std::size_t>(arena_.End() - textStart_))});
    textStart_ = nullptr;
  }

  // One more character of a run of white space that collapses.
  void RunCharacter(char c) {
    if (++runLength_ == 2) runSecond_ = c;
  }

  void FlushSpace() {
    lastWasCarriageReturn_ = false;
    const bool atStart = out_.size() == first_ && textStart_ == nullptr;
    if (atStart && rule_.trimLeading) {
      pendingSpaces_ = runLength_ = 0;
      return;
    }
    if (pendingSpaces_ > 0) {
      OpenText();
      for (std::size_t i = 0; i < pendingSpaces_; ++i) arena_.Append(" ");
    }
    // A run becomes one space, except that a run of exactly two keeps its
    // second character: gateways' compilers shrink only longer runs, and
    // the compiled deck decodes to what theirs does.
    if (runLength_ > 0) {
      OpenText();
      arena_.Append(" ");
      if (runLength_ == 2) arena_.Append(std::string_view(&runSecond_, 1));
    }
    pendingSpaces_ = runLength_ = 0;
  }

  uint32_t charset_;
  WhitespaceRule rule_;
  TextArena& arena_;
  Pieces& out_;
  std::size_t first_;  // the first piece of this run in out_
  const char* textStart_ = nullptr;
  bool lastWasCarriageReturn_ = false;
  std::size_t pendingSpaces_ = 0;  // spaces owed without collapsing
  std::size_t runLength_ = 0;      // characters of the run owed when collapsing
  char runSecond_ = ' ';           // its second character
};

// Length of the reference at `at` ("&" up to ";" included) and its
// character, or nothing when no reference starts there.
std::optional<std::pair<std::size_t, uint32_t>> ReferenceAt(std::string_view raw, std::size_t at) {
  const std::size_t reach = std::min(raw.size(), at + 3 + kLongestNumber);
  for (std::size_t i = at + 1; i < reach; ++i) {
    if (raw[i] != ';') continue;
    const std::string_view body = raw.substr(at + 1, i - at - 1);
    if (body.empty() || (body[0] != '#' && body.size() > kLongestName)) return std::nullopt;
    if (auto value = ReferenceValue(body)) return std::pair{i - at + 1, *value};
    return std::nullopt;
  }
  return std::nullopt;
}

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

bool EqualsAsciiFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

std::optional<Conversion> ConversionNamed(std::string_view name) {
  if (EqualsAsciiFolded(name, "e") || EqualsAsciiFolded(name, "escape")) return Conversion::kEscape;
  if (EqualsAsciiFolded(name, "u") || EqualsAsciiFolded(name, "unesc")) return Conversion::kUnescape;
  if (EqualsAsciiFolded(name, "n") || EqualsAsciiFolded(name, "noesc")) return Conversion::kNone;
  return std::nullopt;
}

std::size_t NameEnd(std::string_view text, std::size_t from) {
  if (from >= text.size() || !IsNameStart(text[from])) return from;
  while (from < text.size() && IsNameChar(text[from])) ++from;
  return from;
}

struct VariableReference {
  std::size_t length;
  std::string_view name;
  Conversion conversion;
};

// The variable reference that starts with the "$" at `at`, if any.
std::optional<VariableReference> VariableAt(std::string_view text, std::size_t at, Conversion plain) {
  if (at + 1 >= text.size()) return std::nullopt;
  if (text[at + 1] != '(') {
    const std::size_t end = NameEnd(text, at + 1);
    if (end == at + 1) return std::nullopt;
    return VariableReference{end - at, text.substr(at + 1, end - at - 1), plain};
  }
  const std::size_t nameEnd = NameEnd(text, at + 2);
  if (nameEnd == at + 2 || nameEnd >= text.size()) return std::nullopt;
  const std::string_view name = text.substr(at + 2, nameEnd - at - 2);
  if (text[nameEnd] == ')') return VariableReference{nameEnd + 1 - at, name, plain};
  if (text[nameEnd] != ':') return std::nullopt;
  const std::size_t close = text.find(')', nameEnd);
  if (close == std::string_view::npos) return std::nullopt;
  const auto conversion = ConversionNamed(text.substr(nameEnd + 1, close - nameEnd - 1));
  if (!conversion) return std::nullopt;
  return VariableReference{close + 1 - at, name, *conversion};
}

// Rewrites one text piece's bytes in place from the front while its
// references are cut out: what is kept never moves right, so bytes not yet
// read are never overwritten.
class VariableSplitter {
 public:
  VariableSplitter(std::string_view text, Conversion plain, Pieces& out)
      : text_(text), plain_(plain), out_(out), write_(const_cast<char*>(text.data())), start_(write_) {}

  void Run() {
    std::size_t done = 0;
    // text_[0, done) has been moved to its place.
    for (std::size_t at = text_.find('$'); at != std::string_view::npos; at = text_.find('$', at)) {
      Keep(text_.substr(done, at - done));
      if (at + 1 < text_.size() && text_[at + 1] == '$') {
        Keep(text_.substr(at, 1));
        done = at += 2;
        continue;
      }
      const auto reference = VariableAt(text_, at, plain_);
      if (!reference) {
        Keep(text_.substr(at, 1));
        done = at += 1;
        continue;
      }
      CloseText();
      const std::string_view name = Keep(reference->name);
      out_.push_back(Piece{PieceKind::kVariable, static_cast<uint32_t>(reference->conversion), name});
      start_ = write_;
      done = at += reference->length;
    }
    Keep(text_.substr(done));
    CloseText();
  }

 private:
  std::string_view Keep(std::string_view bytes) {
    char* at = write_;
    if (!bytes.empty() && bytes.data() != at) std::memmove(at, bytes.data(), bytes.size());
    write_ += bytes.size();
    return std::string_view(at, bytes.size());
  }

  void CloseText() {
    if (write_ > start_) {
      out_.push_back(Piece{PieceKind::kText, 0, std::string_view(start_, static_cast<std::size_t>(write_ - start_))});
    }
    start_ = write_;
  }

  std::string_view text_;
  Conversion plain_;
  Pieces& out_;
  char* write_;
  char* start_;
};

}  // namespace

bool IsRawWhitespace(std::string_view raw) {
  for (char c : raw) {
    if (!IsWhitespace(c)) return false;
  }
  return true;
}

void TextArena::Append(std::string_view text) {
  if (text.size() > capacity_ - used_) throw std::length_error("decoded text outgrew its deck");
  std::memcpy(bytes_.get() + used_, text.data(), text.size());
  used_ += text.size();
}

void DecodeCharacters(std::string_view raw, uint32_t charset, WhitespaceRule rule, TextArena& arena,
                      Pieces& out) {
  PieceBuilder builder(charset, rule, arena, out);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    // A run of plain bytes, single spaces between them included: those
    // stay as they are under every rule.
    const std::size_t end = PlainRunEnd(raw, i);
    if (end > i) {
      builder.RawRun(raw.substr(i, end - i));
      i = end - 1;
      continue;
    }
    const char c = raw[i];
    if (IsWhitespace(c)) {
      builder.RawWhitespace(c);
      continue;
    }
    if (c == '&') {
      if (auto reference = ReferenceAt(raw, i)) {
        builder.Character(reference->second);
        i += reference->first - 1;
        continue;
      }
      builder.RawRun(raw.substr(i, 1));
    }
    // A NUL would end the compiled string: it goes.
  }
  builder.Finish();
}

namespace {

// Bytes that decoding or variable splitting may change.
constexpr auto kChangingBytes = [] {
  std::array<bool, 256> changing{};
  for (unsigned char c : {'&', '$', '\0', '\t', '\r', '\n'}) changing[c] = true;
  return changing;
}();

// True when the eight bytes at `at` hold no byte that may change and, when
// `collapse`, no three spaces together (a run of two stays as it is).
bool BlockStaysAsItIs(std::string_view raw, std::size_t at, bool collapse) {
  uint64_t word;
  std::memcpy(&word, raw.data() + at, 8);
  // A few controls besides the changing bytes are flagged; they are looked
  // at one by one.
  for (uint64_t flagged = BytesEqual(word, '&') | BytesEqual(word, '$') | BytesBelow(word, '\r' + 1); flagged != 0;
       flagged &= flagged - 1) {
    if (kChangingBytes[static_cast<unsigned char>(raw[at + std::countr_zero(flagged) / 8])]) return false;
  }
  const uint64_t spaces = BytesEqual(word, ' ');
  return !collapse || (spaces & (spaces >> 8) & (spaces >> 16)) == 0;
}

}  // namespace

bool DecodesToItself(std::string_view raw, WhitespaceRule rule) {
  if (raw.empty()) return false;
  if (rule.trimLeading && raw.front() == ' ') return false;
  if (rule.trimTrailing && raw.back() == ' ') return false;
  if (std::endian::native == std::endian::little && raw.size() >= 8) {
    // Blocks of eight that overlap by two bytes, so that three spaces
    // across a block's edge are seen too; the last block ends where the
    // run does (looking at bytes again changes nothing).
    std::size_t at = 0;
    for (; raw.size() - at > 8; at += 6) {
      if (!BlockStaysAsItIs(raw, at, rule.collapse)) return false;
    }
    return BlockStaysAsItIs(raw, raw.size() - 8, rule.collapse);
  }
  std::size_t spaces = 0;  // spaces just before this byte
  for (const char c : raw) {
    if (kChangingBytes[static_cast<unsigned char>(c)]) return false;
    spaces = c == ' ' ? spaces + 1 : 0;
    if (spaces == 3 && rule.collapse) return false;
  }
  return true;
}

void SplitVariables(const Pieces& pieces, Conversion plain, Pieces& out) {
  for (const Piece& piece : pieces) {
    if (piece.kind != PieceKind::kText || piece.text.find('$') == std::string_view::npos) {
      out.push_back(piece);
      continue;
    }
    VariableSplitter(piece.text, plain, out).Run();
  }
}

}  // namespace quillmark::wmlc
