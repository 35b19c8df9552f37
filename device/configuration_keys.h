// The keys of the configuration file, and how their values are read: shared
// by the reader, which applies them, and by its notes, which tell a file's
// author where a value is read otherwise than it seems to say.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/case_folding.h"
#include "device/wml_settings.h"

namespace quillmark {

enum class ConfigurationKey {
  kDefaultExclude,
  kIncludeTagStart,
  kIncludeTagStop,
  kExcludeTagStart,
  kExcludeTagStop,
  kDeviceGroup,
  kDevice,
  kUserAgent,
  kGroup,
  kTables,
  kXmlVersion,
  kDocType,
  kTagReplace,
  kEntities,
  kDollar,
  kCharset,
  kAmpersand,
  kBlockBreaks,
  kMaxCardSize,
  kMaxDeckSize,
  kNextLabel,
  kBackLabel,
};

struct ConfigurationKeyName {
  std::string_view name;
  ConfigurationKey key;
};

inline constexpr ConfigurationKeyName kConfigurationKeys[] = {
    {"DEFAULT_EXCLUDE", ConfigurationKey::kDefaultExclude},
    {"INCLUDE_TAG_START", ConfigurationKey::kIncludeTagStart},
    {"INCLUDE_TAG_STOP", ConfigurationKey::kIncludeTagStop},
    {"EXCLUDE_TAG_START", ConfigurationKey::kExcludeTagStart},
    {"EXCLUDE_TAG_STOP", ConfigurationKey::kExcludeTagStop},
    {"DEVICE_GROUP", ConfigurationKey::kDeviceGroup},
    {"DEVICE", ConfigurationKey::kDevice},
    {"USERAGENT", ConfigurationKey::kUserAgent},
    {"GROUP", ConfigurationKey::kGroup},
    {"TABLES", ConfigurationKey::kTables},
    {"XMLVERSION", ConfigurationKey::kXmlVersion},
    {"DOCTYPE", ConfigurationKey::kDocType},
    {"TAG_REPLACE", ConfigurationKey::kTagReplace},
    {"ENTITIES", ConfigurationKey::kEntities},
    {"DOLLAR", ConfigurationKey::kDollar},
    {"CHARSET", ConfigurationKey::kCharset},
    {"AMPERSAND", ConfigurationKey::kAmpersand},
    {"BLOCK_BREAKS", ConfigurationKey::kBlockBreaks},
    {"MAX_CARD_SIZE", ConfigurationKey::kMaxCardSize},
    {"MAX_DECK_SIZE", ConfigurationKey::kMaxDeckSize},
    {"NEXT_LABEL", ConfigurationKey::kNextLabel},
    {"BACK_LABEL", ConfigurationKey::kBackLabel},
};

// Marker words hold at most this many characters.
inline constexpr std::size_t kMarkerWordLength = kShortTextSize - 1;
// A TAG_REPLACE value keeps this many characters; the two commas added
// around it and the terminator fill the field exactly.
inline constexpr std::size_t kTagReplaceValueLength = kTagReplaceSize - 3;

// How the reader reads the value of a key that knows two words: the one
// word `word` (any case) gives `wordReading`; every other value gives
// `otherReading`, the reading of the key's other word, `otherWord`.
struct FlagWords {
  std::string_view word;
  int32_t wordReading;
  std::string_view otherWord;
  int32_t otherReading;

  int32_t Read(std::string_view value) const { return EqualsIgnoringCase(value, word) ? wordReading : otherReading; }
};

inline constexpr FlagWords kDefaultExcludeWords{"false", 0, "true", 1};
inline constexpr FlagWords kTablesWords{"true", 1, "false", 0};
inline constexpr FlagWords kBlockBreaksWords{"false", 0, "true", 1};
inline constexpr FlagWords kEntitiesWords{"keep", 0, "convert", 1};
inline constexpr FlagWords kDollarWords{"keep", 0, "double", 1};
inline constexpr FlagWords kCharsetWords{"bytes", 0, "convert", 1};

// The words of `key`, or null for a key whose value is no such word.
const FlagWords* FlagWordsOf(ConfigurationKey key);

// The entry of the key spelled `name` (upper case), or null for none.
const ConfigurationKeyName* FindConfigurationKey(std::string_view name);

// The byte count of a size limit value: its leading decimal digits, capped
// at INT32_MAX; no digits (a negative number, a word) sets no limit.
int32_t SizeLimit(const char* value);

// The link ampersand text of an AMPERSAND value. A reference written without
// quotes ("AMPERSAND=&amp;") lost its ";" to the reader, which ends a value
// there; it gets it back, since "&amp" alone would break every link.
std::string AmpersandText(const char* value);

// True when the label `value` has nothing a phone would show: it is empty
// or white space and control bytes only. A link with such a text cannot be
// seen or chosen, so every card after it would be out of reach.
bool ShowsNothing(const char* value);

}  // namespace quillmark
