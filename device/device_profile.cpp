#include "device/device_profile.h"

#include <string>
#include <string_view>

#include "markup/name_list.h"

namespace quillmark {

namespace {

// ASCII upper-case copy; bytes above 127 are kept as they are.
std::string UpperCopy(const char* text) {
  std::string copy(text);
  for (char& c : copy) c = ToUpperAscii(c);
  return copy;
}

}  // namespace

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
  if (pattern == nullptr || text == nullptr || *pattern == '\0' || *text == '\0') return 0;
  const std::string patternCopy = UpperCopy(pattern);
  const std::string textCopy = UpperCopy(text);
  const std::string_view p = patternCopy;
  const std::string_view t = textCopy;
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
      const size_t found = t.find(segment, textAt);
      return found != std::string_view::npos && found + segment.size() == t.size() ? 1 : 0;
    }
    const size_t found = t.find(segment, textAt);
    if (found == std::string_view::npos) return 0;
    textAt = found + segment.size();
    patternAt = star;
  }
  return 1;
}

}  // namespace quillmark
