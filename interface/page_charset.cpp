#include "interface/page_charset.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "base/case_folding.h"
#include "base/probed_once.h"
#include "base/utf8.h"
#include "base/xml_declaration.h"
#include "platform/transcoder.h"
#include "transform/wmlc_encoder.h"

namespace quillmark {
namespace {

// Declarations are looked for this far into the page, as browsers do.
constexpr size_t kDeclarationReach = 64 * 1024;

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ') text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

// Pages labelled Latin-1 or ASCII are in practice Windows-1252, which holds
// both, so they are read as that.
std::optional<std::string> CharsetOfLabel(std::string_view label) {
  label = Trimmed(label);
  if (label.size() >= 2 && (label.front() == '"' || label.front() == '\'')) {
    label = Trimmed(label.substr(1, label.size() - 2));
  }
  const std::string lowered = LowerCasedAscii(label);
  if (lowered.empty()) return std::nullopt;
  if (IsUtf8Name(lowered)) return "UTF-8";
  for (const char* latin : {"iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "l1", "us-ascii", "ascii",
                            "windows-1252", "cp1252", "x-cp1252"}) {
    if (lowered == latin) return "WINDOWS-1252";
  }
  std::string name(label);
  for (char& c : name) c = ToUpperAscii(c);
  if (!IsKnownCharset(name)) return std::nullopt;
  return name;
}

namespace {

bool IsTagSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

// Reads the attributes of the tag whose name ends at `at` of `page`, as a
// browser's scan for a charset does: names lower-cased, values quoted or
// not, each byte read once.
class TagAttributes {
 public:
  TagAttributes(std::string_view page, size_t at) : page_(page), at_(at) {}

  // The next attribute as (lower-cased name, value); false at the tag's end.
  bool Next(std::string& name, std::string_view& value) {
    SkipWhile([](char c) { return IsTagSpace(c) || c == '/'; });
    if (at_ >= page_.size() || page_[at_] == '>') return false;
    const size_t nameStart = at_;
    ++at_;  // a name holds at least one character, "=" included
    SkipWhile([](char c) { return !IsTagSpace(c) && c != '/' && c != '>' && c != '='; });
    name = LowerCasedAscii(page_.substr(nameStart, at_ - nameStart));
    value = {};
    SkipWhile(IsTagSpace);
    if (at_ >= page_.size() || page_[at_] != '=') return true;
    ++at_;
    SkipWhile(IsTagSpace);
    if (at_ < page_.size() && (page_[at_] == '"' || page_[at_] == '\'')) {
      const size_t close = page_.find(page_[at_], at_ + 1);
      const size_t end = close == std::string_view::npos ? page_.size() : close;
      value = page_.substr(at_ + 1, end - at_ - 1);
      at_ = std::min(end + 1, page_.size());
      return true;
    }
    const size_t valueStart = at_;
    SkipWhile([](char c) { return !IsTagSpace(c) && c != '>'; });
    value = page_.substr(valueStart, at_ - valueStart);
    return true;
  }
  // Where reading stopped: the tag's ">" or the page's end.
  size_t End() const { return at_; }

 private:
  template <typename Predicate>
  void SkipWhile(Predicate predicate) {
    while (at_ < page_.size() && predicate(page_[at_])) ++at_;
  }

  std::string_view page_;
  size_t at_;
};

// The label a <meta> tag declares: its charset attribute, or the charset of
// its content when it stands for the Content-Type header (http-equiv), as
// browsers read it; else empty.
std::string_view MetaLabel(TagAttributes& attributes) {
  std::string name;
  std::string_view value;
  std::string_view content;
  bool contentType = false;
  while (attributes.Next(name, value)) {
    if (name == "charset") return value;
    if (name == "content") content = value;
    if (name == "http-equiv") contentType = EqualsIgnoringCase(Trimmed(value), "content-type");
  }
  return contentType ? ContentTypeCharset(content) : std::string_view();
}

// A declaration read in ASCII bytes cannot name an encoding that writes
// ASCII otherwise (UTF-16, UTF-32): the page then is in UTF-8, as browsers
// read such a page.
std::string ReadableCharset(std::string charset) {
  thread_local std::unordered_map<std::string, bool> answers;
  const bool readable = ProbedOnce(answers, charset, [](const std::string& name) {
    const std::optional<std::string> markup = EncodeFromUtf8("<meta", name);
    return !markup || *markup == "<meta";
  });
  return readable ? charset : std::string("UTF-8");
}

// The first charset the page declares that iconv knows, as named. Comments
// are passed over, as a browser's scan passes over them: a declaration
// commented out declares nothing.
std::optional<std::string> DeclaredLabel(std::string_view page) {
  page = page.substr(0, kDeclarationReach);
  if (page.substr(0, 5) == "<?xml") {
    const size_t end = page.find("?>");
    if (auto charset = CharsetOfLabel(EncodingOf(page.substr(0, end)))) return charset;
  }
  // Every "<meta" tag before `at`, outside comments, has been examined.
  for (size_t at = page.find('<'); at != std::string_view::npos; at = page.find('<', at + 1)) {
    if (page.substr(at, 4) == "<!--") {
      // "<!-->" and "<!--->" are whole comments.
      const size_t close = page.find("-->", at + 2);
      if (close == std::string_view::npos) break;
      at = close + 2;
      continue;
    }
    const size_t nameEnd = at + 5;
    if (nameEnd >= page.size() || !EqualsIgnoringCase(page.substr(at + 1, 4), "meta")) continue;
    if (!IsTagSpace(page[nameEnd]) && page[nameEnd] != '/') continue;
    TagAttributes attributes(page, nameEnd);
    if (auto charset = CharsetOfLabel(MetaLabel(attributes))) return charset;
    // Values may hold "<": the scan goes on after the tag.
    at = attributes.End();
  }
  return std::nullopt;
}

// The charset the page declares, as the page is then read.
std::optional<std::string> DeclaredCharset(std::string_view page) {
  std::optional<std::string> charset = DeclaredLabel(page);
  if (charset) charset = ReadableCharset(std::move(*charset));
  return charset;
}

}  // namespace

bool IsUtf8Name(std::string_view charset) {
  const std::string lowered = LowerCasedAscii(Trimmed(charset));
  return lowered == "utf-8" || lowered == "utf8" || lowered == "unicode-1-1-utf-8";
}

PageCharset DetectPageCharset(std::string_view page, std::string_view hostCharset) {
  if (page.substr(0, 3) == "\xEF\xBB\xBF") return {"UTF-8", 3};
  if (page.substr(0, 2) == "\xFE\xFF") return {"UTF-16BE", 2};
  if (page.substr(0, 2) == "\xFF\xFE") return {"UTF-16LE", 2};
  // Markup in UTF-16 without a mark, as XML's autodetection reads it: "<"
  // and the next ASCII character, each beside a zero byte.
  const auto ascii = [&](size_t at) { return page[at] != '\0' && static_cast<unsigned char>(page[at]) < 0x80; };
  if (page.size() >= 4 && page[0] == '<' && page[1] == '\0' && ascii(2) && page[3] == '\0') return {"UTF-16LE", 0};
  if (page.size() >= 4 && page[0] == '\0' && page[1] == '<' && page[2] == '\0' && ascii(3)) return {"UTF-16BE", 0};
  if (auto declared = DeclaredCharset(page)) return {*declared, 0};
  if (auto host = CharsetOfLabel(hostCharset)) return {*host, 0};
  return {IsValidUtf8(page) ? "UTF-8" : "WINDOWS-1252", 0};
}

namespace {

// True when `encoding` writes ASCII as ASCII and every other character
// beyond it (see KeepsAsciiMarkup); one probe of iconv.
bool ProbeKeepsAsciiMarkup(const std::string& encoding) {
  constexpr std::string_view kAscii = "<?xml a=\"1\" b='2'?>&#38;$(c) -/;:[]!\t\r\n";
  const std::optional<std::string> ascii = EncodeFromUtf8(kAscii, encoding);
  bool keeps = !ascii || *ascii == kAscii;
  // Characters of Latin, Cyrillic, Greek, Japanese, Chinese and Korean sets,
  // and the euro sign: each that the set holds must begin with a byte beyond
  // ASCII and hold none of the bytes below "@", where markup's signs are
  // (the Asian sets' second bytes may be letters).
  for (std::string_view character : {"\xC3\xA9", "\xD0\x96", "\xCE\xA9", "\xE6\x97\xA5", "\xE4\xB8\xAD",
                                     "\xED\x95\x9C", "\xE2\x82\xAC"}) {
    if (!keeps) break;
    const std::optional<std::string> bytes = EncodeFromUtf8(character, encoding);
    if (!bytes || bytes->starts_with("&#")) continue;
    const auto byte = [](char c) { return static_cast<unsigned char>(c); };
    const auto outsideSigns = [&](char c) { return byte(c) >= 0x40; };
    keeps = byte(bytes->front()) >= 0x80 && std::all_of(bytes->begin(), bytes->end(), outsideSigns);
  }
  return keeps;
}

}  // namespace

bool KeepsAsciiMarkup(const std::string& encoding) {
  if (IsUtf8Name(encoding)) return true;
  thread_local std::unordered_map<std::string, bool> answers;
  return ProbedOnce(answers, encoding, ProbeKeepsAsciiMarkup);
}

bool CompilesAsItStands(const std::string& encoding) {
  return KeepsAsciiMarkup(encoding) && WmlcCharsetOf(encoding) != kWmlcUnknownCharset;
}

std::string WithUtf8Declaration(std::string deck) {
  static const std::string kUtf8Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  if (deck.rfind("<?xml", 0) != 0) return deck;
  const size_t end = deck.find("?>");
  if (end == std::string::npos) return deck;
  return deck.replace(0, end + 2, kUtf8Declaration);
}

std::optional<DeckBytes> OwnDeckEncoding(std::string_view deck) {
  // UTF-32's marks begin like UTF-16's, so they come first.
  if (deck.starts_with(std::string_view("\x00\x00\xFE\xFF", 4))) return DeckBytes{"UTF-32BE", 4};
  if (deck.starts_with(std::string_view("\xFF\xFE\x00\x00", 4))) return DeckBytes{"UTF-32LE", 4};
  if (deck.starts_with("\xFE\xFF")) return DeckBytes{"UTF-16BE", 2};
  if (deck.starts_with("\xFF\xFE")) return DeckBytes{"UTF-16LE", 2};
  if (deck.starts_with("\xEF\xBB\xBF")) return DeckBytes{"UTF-8", 0};
  if (deck.starts_with(std::string_view("<\0?\0", 4))) return DeckBytes{"UTF-16LE", 0};
  if (deck.starts_with(std::string_view("\0<\0?", 4))) return DeckBytes{"UTF-16BE", 0};
  if (!deck.starts_with("<?xml")) return std::nullopt;
  return DeckBytes{DeclaredEncoding(deck.substr(0, deck.find("?>"))), 0};
}

std::string CompilableDeck(std::string deck) {
  const DeckBytes bytes = OwnDeckEncoding(deck).value_or(DeckBytes{"UTF-8", 0});
  if (IsUtf8Name(bytes.encoding) || CompilesAsItStands(bytes.encoding)) return deck;
  std::optional<std::string> text = DecodeToUtf8(std::string_view(deck).substr(bytes.byteOrderMark), bytes.encoding);
  if (!text) return deck;
  return WithUtf8Declaration(std::move(*text));
}

}  // namespace quillmark
