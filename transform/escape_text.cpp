#include "transform/escape_text.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "base/byte_blocks.h"
#include "base/case_folding.h"
#include "device/wml_settings.h"

namespace quillmark {
namespace {

// A reference is "&", at most 6 characters and ";": 8 characters in all.
constexpr std::size_t kReferenceReach = 7;

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when `body` (between "&" and ";") names an entity or a character
// number: an optional "#" followed by one or more letters and digits.
bool IsReferenceBody(std::string_view body) {
  if (!body.empty() && body.front() == '#') body.remove_prefix(1);
  if (body.empty()) return false;
  for (char c : body) {
    if (!IsAsciiAlnum(c)) return false;
  }
  return true;
}

// Length of the reference that starts with the "&" at `at`, ";" included, or
// 0 when that "&" opens no reference.
std::size_t ReferenceLength(std::string_view text, std::size_t at) {
  const std::size_t last = std::min(text.size(), at + 1 + kReferenceReach);
  for (std::size_t i = at + 1; i < last; ++i) {
    if (text[i] != ';') continue;
    return IsReferenceBody(text.substr(at + 1, i - at - 1)) ? i - at + 1 : 0;
  }
  return 0;
}

// Appends the reference with its letters lower-cased; the copyright sign
// goes out as a number because WML defines no "copy" entity.
void AppendReference(std::string& out, std::string_view reference) {
  const std::string lowered = LowerCasedAscii(reference);
  out += lowered == "&copy;" ? std::string_view("&#169;") : std::string_view(lowered);
}

// A set of bytes, for scans that look at each byte of a text once.
class ByteSet {
 public:
  constexpr explicit ByteSet(std::string_view bytes) {
    for (char c : bytes) members_[static_cast<unsigned char>(c)] = true;
  }
  bool AnyIn(std::string_view text) const { return SpanWithout(text, 0) != text.size(); }
  // The first index from `from` on whose byte is a member; text.size() if none.
  std::size_t SpanWithout(std::string_view text, std::size_t from) const {
    while (from < text.size() && !members_[static_cast<unsigned char>(text[from])]) ++from;
    return from;
  }

 private:
  bool members_[256] = {};
};

// The first index from `from` on whose byte is "&", "<" or ">"; text.size()
// if none. Eight bytes are looked at together: most texts have none.
std::size_t NextEscapedByte(std::string_view text, std::size_t from) {
  if constexpr (std::endian::native == std::endian::little) {
    for (; text.size() - from >= 8; from += 8) {
      uint64_t word;
      std::memcpy(&word, text.data() + from, 8);
      const uint64_t found = BytesEqual(word, '&') | BytesEqual(word, '<') | BytesEqual(word, '>');
      if (found != 0) return from + static_cast<std::size_t>(std::countr_zero(found)) / 8;
    }
  }
  static constexpr ByteSet kEscaped("&<>");
  return kEscaped.SpanWithout(text, from);
}

// True when `text` holds one of `specials`.
bool HoldsAny(std::string_view text, std::string_view specials) {
  if (specials == kTextSpecials) return NextEscapedByte(text, 0) != text.size();
  if (specials == kLinkSpecials) return text.find('&') != std::string_view::npos;
  return ByteSet(specials).AnyIn(text);
}

}  // namespace

ReferenceMode ReferenceModeOf(const CWmlSettings& settings) {
  return settings.convertEntities != 0 ? ReferenceMode::kConvert : ReferenceMode::kKeep;
}

std::optional<std::string> EscapeText(std::string_view text, std::string_view specials,
                                      std::string_view ampersandReplacement, ReferenceMode mode,
                                      ReferenceContext context) {
  if (!HoldsAny(text, specials)) return std::nullopt;
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  // Invariant: out is the escaped form of text[0, i).
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::size_t run = NextEscapedByte(text, i);
    out.append(text.data() + i, run - i);
    i = run;
    if (i == text.size()) break;
    const char c = text[i];
    if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (mode == ReferenceMode::kConvert) {
      const ResolvedReference reference = ResolveReference(text.substr(i), context);
      if (reference.length == 0) {
        out += ampersandReplacement;
        continue;
      }
      AppendReference(out, reference);
      i += reference.length - 1;
    } else if (const std::size_t length = ReferenceLength(text, i); length > 0) {
      AppendReference(out, text.substr(i, length));
      i += length - 1;
    } else {
      out += ampersandReplacement;
    }
  }
  return out;
}

std::string AttributeValueText(std::string_view text, ReferenceMode mode, ReferenceContext context) {
  const std::optional<std::string> escaped = EscapeText(text, kTextSpecials, kAmpersandEntity, mode, context);
  const std::string_view source = escaped ? std::string_view(*escaped) : text;
  std::string out;
  out.reserve(source.size());
  for (char c : source) {
    if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillmark
