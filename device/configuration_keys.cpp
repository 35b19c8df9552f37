#include "device/configuration_keys.h"

#include <algorithm>

namespace quillmark {

const ConfigurationKeyName* FindConfigurationKey(std::string_view name) {
  for (const ConfigurationKeyName& entry : kConfigurationKeys) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

const FlagWords* FlagWordsOf(ConfigurationKey key) {
  switch (key) {
    case ConfigurationKey::kDefaultExclude:
      return &kDefaultExcludeWords;
    case ConfigurationKey::kTables:
      return &kTablesWords;
    case ConfigurationKey::kBlockBreaks:
      return &kBlockBreaksWords;
    case ConfigurationKey::kEntities:
      return &kEntitiesWords;
    case ConfigurationKey::kDollar:
      return &kDollarWords;
    case ConfigurationKey::kCharset:
      return &kCharsetWords;
    default:
      return nullptr;
  }
}

int32_t SizeLimit(const char* value) {
  int64_t limit = 0;
  for (const char* at = value; *at >= '0' && *at <= '9'; ++at) {
    limit = std::min<int64_t>(limit * 10 + (*at - '0'), INT32_MAX);
  }
  return static_cast<int32_t>(limit);
}

bool ShowsNothing(const char* value) {
  for (const char* at = value; *at != '\0'; ++at) {
    if (static_cast<unsigned char>(*at) > 32) return false;
  }
  return true;
}

std::string AmpersandText(const char* value) {
  const std::string_view text(value);
  if (text.size() < 2 || text.front() != '&') return std::string(text);
  for (char c : text.substr(1)) {
    const bool nameCharacter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '#';
    if (!nameCharacter) return std::string(text);
  }
  return std::string(text) + ";";
}

}  // namespace quillmark
