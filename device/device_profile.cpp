#include "device/device_profile.h"

#include <string>
#include <string_view>

#include <string.h>

#include "base/case_folding.h"

namespace quillmark {

namespace {

// Position of the first occurrence of `segment` in `text` at or after
// `from`, or npos; linear in the text (glibc's memmem).
size_t FindSegment(std::string_view text, std::string_view segment, size_t from) {
  if (segment.empty()) return from <= text.size() ? from : std::string_view::npos;
  if (from >= text.size()) return std::string_view::npos;
  const void* found = memmem(text.data() + from, text.size() - from, segment.data(), segment.size());
  return found == nullptr ? std::string_view::npos : static_cast<size_t>(static_cast<const char*>(found) - text.data());
}

}  // namespace

std::string UpperCaseCopy(std::string_view text) {
  std::string copy(text);
  for (char& c : copy) c = ToUpperAscii(c);
  return copy;
}

const CWmlSettings& LibraryDefaultSettings() {
  static const CWmlSettings defaults;
  return defaults;
}

const CWmlSettings& settingsOf(const CDevice* device) {
  if (device == nullptr) return LibraryDefaultSettings();
  if (device->settings) return *device->settings;
  if (device->group != nullptr && device->group->settings) return *device->group->settings;
  return LibraryDefaultSettings();
}

int32_t matchPattern(const char* pattern, const char* text) {
  if (pattern == nullptr || text == nullptr) return 0;
  return matchUpperCasePattern(UpperCaseCopy(pattern), UpperCaseCopy(text));
}

int32_t matchUpperCasePattern(std::string_view p, std::string_view t) {
  if (p.empty() || t.empty()) return 0;
  size_t textAt = 0;
  size_t patternAt = 0;
  while (patternAt < p.size()) {
    if (p[patternAt] == '*') {
      ++patternAt;
      if (patternAt == p.size()) return 1;  // a trailing "*" accepts any rest
    }
    const size_t star = p.find('*', patternAt);
    const std::string_view segment = p.substr(patternAt, star - patternAt);
    if (star == std::string_view::npos) {
      // Last segment: it must end the text. After a "*" it is searched at its
      // first occurrence; without one it must equal the rest exactly.
      if (patternAt == 0 || p[patternAt - 1] != '*') return t.substr(textAt) == segment ? 1 : 0;
      const size_t found = FindSegment(t, segment, textAt);
      return found != std::string_view::npos && found + segment.size() == t.size() ? 1 : 0;
    }
    const size_t found = FindSegment(t, segment, textAt);
    if (found == std::string_view::npos) return 0;
    textAt = found + segment.size();
    patternAt = star;
  }
  return 1;
}

}  // namespace quillmark
