#include "tools/http_validators.h"

#include <charconv>
#include <cstdio>

#include "tools/ascii_case.h"

namespace quillmark::tools {

namespace {

constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

uint64_t Fnv1a(std::string_view bytes, uint64_t hash = kFnvOffset) {
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= kFnvPrime;
  }
  return hash;
}

std::string Hex(uint64_t value) {
  char text[20];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, 16);
  return std::string(text, end);
}

// A whole decimal number filling `text`; nullopt otherwise.
std::optional<uint64_t> Number(std::string_view text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// An entity tag without its weakness mark.
std::string_view Opaque(std::string_view tag) {
  if (tag.rfind("W/", 0) == 0) tag.remove_prefix(2);
  return tag;
}

}  // namespace

std::string HttpDate(std::time_t seconds) {
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[40];
  const size_t length = std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
  return std::string(text, length);
}

std::optional<std::time_t> ParseHttpDate(std::string_view text) {
  const std::string copy(text);
  std::tm parts{};
  const char* end = strptime(copy.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
  if (end == nullptr || *end != '\0') return std::nullopt;
  return timegm(&parts);
}

std::string FileTag(const FileIdentity& file, std::string_view variant) {
  std::string tag = "\"" + Hex(file.device) + "-" + Hex(file.inode) + "-" + Hex(file.size) + "-" +
                    Hex(static_cast<uint64_t>(file.mtimeNanoseconds));
  if (!variant.empty()) tag += "-" + Hex(Fnv1a(variant));
  return tag + "\"";
}

std::string BodyTag(std::string_view body) { return "\"" + Hex(Fnv1a(body)) + "-" + Hex(body.size()) + "\""; }

bool NoneMatchNames(std::string_view ifNoneMatch, std::string_view tag) {
  if (TrimmedBlanks(ifNoneMatch) == "*") return true;
  while (!ifNoneMatch.empty()) {
    const size_t comma = ifNoneMatch.find(',');
    const std::string_view candidate = TrimmedBlanks(ifNoneMatch.substr(0, comma));
    if (!candidate.empty() && Opaque(candidate) == Opaque(tag)) return true;
    if (comma == std::string_view::npos) break;
    ifNoneMatch.remove_prefix(comma + 1);
  }
  return false;
}

std::optional<ByteRange> ParseByteRange(std::string_view range, uint64_t size) {
  range = TrimmedBlanks(range);
  if (range.size() < 6 || !EqualIgnoringCase(range.substr(0, 6), "bytes=")) return std::nullopt;
  range.remove_prefix(6);
  const size_t dash = range.find('-');
  if (dash == std::string_view::npos || range.find(',') != std::string_view::npos) return std::nullopt;
  const std::string_view firstText = TrimmedBlanks(range.substr(0, dash));
  const std::string_view lastText = TrimmedBlanks(range.substr(dash + 1));
  const ByteRange nothing{1, 0};
  if (firstText.empty()) {  // "-N": the last N bytes
    const std::optional<uint64_t> suffix = Number(lastText);
    if (!suffix) return std::nullopt;
    if (*suffix == 0 || size == 0) return nothing;
    return ByteRange{size - std::min(*suffix, size), size - 1};
  }
  const std::optional<uint64_t> first = Number(firstText);
  const std::optional<uint64_t> last = lastText.empty() ? std::optional<uint64_t>(UINT64_MAX) : Number(lastText);
  if (!first || !last || *last < *first) return std::nullopt;
  if (*first >= size) return nothing;
  return ByteRange{*first, std::min(*last, size - 1)};
}

}  // namespace quillmark::tools
