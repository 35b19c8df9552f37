#include "interface/page_charset.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "base/case_folding.h"
#include "base/utf8.h"
#include "base/xml_declaration.h"
#include "platform/transcoder.h"

namespace quillmark {
namespace {

// Declarations are looked for this far into the page, as browsers do.
constexpr size_t kDeclarationReach = 64 * 1024;

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToLowerAscii(c);
  return out;
}

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
  const std::string lowered = Lowered(label);
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

// The label a <meta> tag declares, in its own attribute (charset=...) or in
// a content type (content="text/html; charset=..."), or empty.
std::string_view MetaLabel(std::string_view tag) {
  const std::string lowered = Lowered(tag);
  const size_t at = lowered.find("charset");
  if (at == std::string::npos) return {};
  size_t value = lowered.find_first_not_of(" \t\r\n", at + 7);
  if (value == std::string::npos || lowered[value] != '=') return {};
  value = lowered.find_first_not_of(" \t\r\n\"'", value + 1);
  if (value == std::string::npos) return {};
  const size_t end = lowered.find_first_of(" \t\r\n\"';>/", value);
  return tag.substr(value, end == std::string::npos ? std::string::npos : end - value);
}

// The first charset the page declares that iconv knows.
std::optional<std::string> DeclaredCharset(std::string_view page) {
  page = page.substr(0, kDeclarationReach);
  if (page.substr(0, 5) == "<?xml") {
    const size_t end = page.find("?>");
    if (auto charset = CharsetOfLabel(EncodingOf(page.substr(0, end)))) return charset;
  }
  // Every "<meta" before `at` has been examined.
  for (size_t at = page.find('<'); at != std::string_view::npos; at = page.find('<', at + 1)) {
    if (!EqualsIgnoringCase(std::string(page.substr(at + 1, 4)).c_str(), "meta")) continue;
    const size_t end = page.find('>', at);
    if (end == std::string_view::npos) break;
    if (auto charset = CharsetOfLabel(MetaLabel(page.substr(at, end - at + 1)))) return charset;
  }
  return std::nullopt;
}

}  // namespace

bool IsUtf8Name(std::string_view charset) {
  const std::string lowered = Lowered(Trimmed(charset));
  return lowered == "utf-8" || lowered == "utf8" || lowered == "unicode-1-1-utf-8";
}

PageCharset DetectPageCharset(std::string_view page, std::string_view hostCharset) {
  if (page.substr(0, 3) == "\xEF\xBB\xBF") return {"UTF-8", 3};
  if (page.substr(0, 2) == "\xFE\xFF") return {"UTF-16BE", 2};
  if (page.substr(0, 2) == "\xFF\xFE") return {"UTF-16LE", 2};
  if (auto declared = DeclaredCharset(page)) return {*declared, 0};
  if (auto host = CharsetOfLabel(hostCharset)) return {*host, 0};
  return {IsValidUtf8(page) ? "UTF-8" : "WINDOWS-1252", 0};
}

bool KeepsAsciiMarkup(const std::string& encoding) {
  if (IsUtf8Name(encoding)) return true;
  // Decks name few encodings: each is probed once per thread.
  thread_local std::unordered_map<std::string, bool> probed;
  if (const auto found = probed.find(encoding); found != probed.end()) return found->second;
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
  if (probed.size() < 64) probed.emplace(encoding, keeps);
  return keeps;
}

std::string DeclaredEncoding(std::string_view xmlDeclaration) {
  const std::string_view encoding = EncodingOf(xmlDeclaration);
  return encoding.empty() ? std::string("UTF-8") : std::string(encoding);
}

}  // namespace quillmark
