#include "markup/character_references.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <charconv>

#include "markup/html_entities.h"

namespace quillmark {
namespace {

// Longer names than any HTML name are never looked up.
constexpr size_t kLongestName = 32;
// More digits than this name no character (U+10FFFF has 7 decimal digits).
constexpr size_t kLongestNumber = 16;

constexpr std::string_view kWmlNames[] = {"amp", "lt", "gt", "quot", "apos", "nbsp", "shy"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAlnum(char c) { return IsLetter(c) || IsDigit(c); }

std::string LowerCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

const HtmlEntity* FindEntity(std::string_view name) {
  const auto* end = std::end(kHtmlEntities);
  const auto* found = std::lower_bound(std::begin(kHtmlEntities), end, name,
                                       [](const HtmlEntity& e, std::string_view n) { return e.name < n; });
  return found != end && found->name == name ? found : nullptr;
}

std::string_view FindWmlName(std::string_view name) {
  for (std::string_view known : kWmlNames) {
    if (known == name) return known;
  }
  return {};
}

// The reference a name stands for, exact case first, then lower-cased;
// `legacyOnly` accepts only names browsers read without ";".
ResolvedReference ResolveName(std::string_view name, size_t length, bool legacyOnly) {
  const std::string lowered = LowerCopy(name);
  for (std::string_view candidate : {name, std::string_view(lowered)}) {
    if (std::string_view wml = FindWmlName(candidate); !wml.empty() && !legacyOnly) {
      return {length, wml, 0};
    }
    const HtmlEntity* entity = FindEntity(candidate);
    if (entity == nullptr || (legacyOnly && !entity->legacy)) continue;
    // The four markup characters keep their WML names.
    if (std::string_view wml = FindWmlName(entity->name); !wml.empty()) return {length, wml, 0};
    return {length, {}, entity->codePoint};
  }
  return {};
}

// Numbers 128 to 159 name the characters Windows-1252 puts there, as HTML
// reads them; 0 where that code page has none.
uint32_t Windows1252CodePoint(uint32_t number) {
  static const std::array<uint32_t, 32> table = [] {
    std::array<uint32_t, 32> values{};
    iconv_t decoder = iconv_open("UTF-32LE", "WINDOWS-1252");
    if (decoder == reinterpret_cast<iconv_t>(-1)) return values;
    for (uint32_t i = 0; i < values.size(); ++i) {
      char in = static_cast<char>(0x80 + i);
      unsigned char out[4] = {};
      char* inPointer = &in;
      char* outPointer = reinterpret_cast<char*>(out);
      size_t inLeft = 1;
      size_t outLeft = sizeof out;
      if (iconv(decoder, &inPointer, &inLeft, &outPointer, &outLeft) != static_cast<size_t>(-1)) {
        values[i] = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<uint32_t>(out[3]) << 24);
      }
    }
    iconv_close(decoder);
    return values;
  }();
  return table[number - 0x80];
}

// True for the characters XML 1.0 allows.
bool IsXmlCharacter(uint32_t c) {
  if (c < 0x20) return c == 0x9 || c == 0xA || c == 0xD;
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  return c <= 0xFFFD || (c >= 0x10000 && c <= 0x10FFFF);
}

// "&#" digits, "&#x" hex digits; the ";" may be missing, as browsers allow.
ResolvedReference ResolveNumber(std::string_view text) {
  const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
  const size_t first = hex ? 3 : 2;
  size_t end = first;
  while (end < text.size() && end - first <= kLongestNumber && (hex ? IsHexDigit(text[end]) : IsDigit(text[end]))) {
    ++end;
  }
  if (end == first || end - first > kLongestNumber) return {};
  uint64_t number = 0;
  std::from_chars(text.data() + first, text.data() + end, number, hex ? 16 : 10);
  const size_t length = end < text.size() && text[end] == ';' ? end + 1 : end;
  uint32_t codePoint = number > 0x10FFFF ? 0 : static_cast<uint32_t>(number);
  if (codePoint >= 0x80 && codePoint <= 0x9F) codePoint = Windows1252CodePoint(codePoint);
  if (codePoint == 0 || !IsXmlCharacter(codePoint)) return {};
  return {length, {}, codePoint};
}

ResolvedReference ResolveNamed(std::string_view text, ReferenceContext context) {
  size_t end = 1;
  while (end < text.size() && end <= kLongestName && IsAlnum(text[end])) ++end;
  if (end == 1 || end > kLongestName) return {};
  const std::string_view name = text.substr(1, end - 1);
  if (end < text.size() && text[end] == ';') {
    if (ResolvedReference whole = ResolveName(name, end + 1, false); whole.length > 0) return whole;
  }
  if (context == ReferenceContext::kAttribute) {
    // In a value only a whole legacy name counts, and not before "=".
    const bool followed = end < text.size() && (text[end] == '=' || text[end] == ';');
    return followed ? ResolvedReference{} : ResolveName(name, end, true);
  }
  // In text the longest legacy name the letters begin with counts.
  for (size_t length = std::min<size_t>(name.size(), 8); length >= 2; --length) {
    if (ResolvedReference prefix = ResolveName(name.substr(0, length), length + 1, true); prefix.length > 0) {
      return prefix;
    }
  }
  return {};
}

}  // namespace

ResolvedReference ResolveReference(std::string_view text, ReferenceContext context) {
  if (text.size() < 2) return {};
  if (text[1] == '#') return ResolveNumber(text);
  return ResolveNamed(text, context);
}

void AppendReference(std::string& out, const ResolvedReference& reference) {
  out += '&';
  if (!reference.wmlName.empty()) {
    out += reference.wmlName;
  } else {
    char digits[12];
    const auto result = std::to_chars(digits, digits + sizeof digits, reference.codePoint);
    out += '#';
    out.append(digits, result.ptr);
  }
  out += ';';
}

size_t WellFormedReferenceLength(std::string_view text) {
  size_t end = 1;
  if (text.size() > 1 && text[1] == '#') {
    const bool hex = text.size() > 2 && text[2] == 'x';
    end = hex ? 3 : 2;
    const size_t first = end;
    while (end < text.size() && end - first <= kLongestNumber &&
           (hex ? IsHexDigit(text[end]) : IsDigit(text[end]))) {
      ++end;
    }
    if (end == first || end - first > kLongestNumber) return 0;
    uint64_t number = 0;
    std::from_chars(text.data() + first, text.data() + end, number, hex ? 16 : 10);
    if (number > 0x10FFFF || !IsXmlCharacter(static_cast<uint32_t>(number))) return 0;
  } else {
    auto isNameStart = [](char c) { return IsLetter(c) || c == '_' || c == ':'; };
    auto isNameChar = [&](char c) { return isNameStart(c) || IsDigit(c) || c == '-' || c == '.'; };
    if (end >= text.size() || !isNameStart(text[end])) return 0;
    while (end < text.size() && isNameChar(text[end])) ++end;
  }
  return end < text.size() && text[end] == ';' ? end + 1 : 0;
}

size_t NumberReferenceLength(std::string_view text) {
  const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
  const size_t first = hex ? 3 : 2;
  size_t end = first;
  while (end < text.size() && (hex ? IsHexDigit(text[end]) : IsDigit(text[end]))) ++end;
  if (end == first) return 0;
  return end < text.size() && text[end] == ';' ? end + 1 : end;
}

size_t VariableNameLength(std::string_view text) {
  if (text.empty() || !(IsLetter(text[0]) || text[0] == '_')) return 0;
  size_t end = 1;
  while (end < text.size() && (IsAlnum(text[end]) || text[end] == '_')) ++end;
  return end;
}

size_t VariableReferenceLength(std::string_view text) {
  auto nameEnd = [&](size_t from) { return from + VariableNameLength(text.substr(std::min(from, text.size()))); };
  if (text.size() < 2) return 0;
  if (text[1] != '(') {
    const size_t end = nameEnd(1);
    return end > 1 ? end : 0;
  }
  const size_t end = nameEnd(2);
  if (end == 2 || end >= text.size()) return 0;
  if (text[end] == ')') return end + 1;
  if (text[end] != ':') return 0;
  const size_t close = text.find(')', end);
  if (close == std::string_view::npos || close - end > 7) return 0;
  const std::string conversion = LowerCopy(text.substr(end + 1, close - end - 1));
  for (std::string_view known : {"e", "escape", "n", "noesc", "u", "unesc"}) {
    if (conversion == known) return close + 1;
  }
  return 0;
}

uint32_t HtmlEntityCodePoint(std::string_view name) {
  const HtmlEntity* entity = FindEntity(name);
  return entity != nullptr ? entity->codePoint : 0;
}

}  // namespace quillmark
