#include "device/configuration_notes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/case_folding.h"
#include "base/xml_declaration.h"
#include "device/configuration_keys.h"
#include "platform/transcoder.h"

namespace quillmark {

namespace {

using Key = ConfigurationKey;

// A note quotes at most this much of a line it did not understand.
constexpr std::size_t kLongestQuote = 60;

std::string Quoted(std::string_view text) {
  if (text.size() <= kLongestQuote) return "\"" + std::string(text) + "\"";
  return "\"" + std::string(text.substr(0, kLongestQuote)) + "...\"";
}

// The edits (a byte put in, left out or changed) that make `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  // row[j] is the distance of a[0, i) to b[0, j), for the i reached.
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "unknown key K: ignored", naming the key that K may be a typing slip of.
std::string UnknownKeyNote(std::string_view key) {
  std::string note = "unknown key " + Quoted(key) + ": ignored";
  // Two edits away at most: a slip of one or two keys, found at a cost
  // bounded for each key, however many unknown keys a file holds.
  constexpr std::size_t kMostEdits = 2;
  if (key.size() < 4) return note;
  for (const ConfigurationKeyName& entry : kConfigurationKeys) {
    const std::size_t apart =
        key.size() > entry.name.size() ? key.size() - entry.name.size() : entry.name.size() - key.size();
    if (apart <= kMostEdits && EditDistance(key, entry.name) <= kMostEdits) {
      return note + " (" + std::string(entry.name) + "?)";
    }
  }
  return note;
}

// "KEY=value", as the note quotes a pair.
std::string Pair(const char* key, const char* value) { return std::string(key) + "=" + Quoted(value); }

// The note on the value of a key that knows two words (see FlagWords) when
// it is neither, naming the reading of every other value; "" otherwise.
std::string WordNote(Key key, const char* name, const char* value) {
  const FlagWords* words = FlagWordsOf(key);
  if (words == nullptr || EqualsIgnoringCase(value, words->word) || EqualsIgnoringCase(value, words->otherWord)) {
    return "";
  }
  // The word that reads as 1 first: "neither true nor false".
  const bool wordFirst = words->wordReading > words->otherReading;
  const std::string_view first = wordFirst ? words->word : words->otherWord;
  const std::string_view second = wordFirst ? words->otherWord : words->word;
  return Pair(name, value) + " is neither " + std::string(first) + " nor " + std::string(second) + ": read as " +
         std::string(words->otherWord);
}

// The note on a size limit that is not a plain number of bytes, or "".
std::string SizeNote(Key which, const char* key, const char* value) {
  if (which != Key::kMaxCardSize && which != Key::kMaxDeckSize) return "";
  const std::string_view text(value);
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
  const int32_t limit = SizeLimit(value);
  const std::string reading = limit == 0 ? "0 (no limit)" : std::to_string(limit);
  if (!digits) return Pair(key, value) + " is not a number of bytes: read as " + reading;
  if (limit == INT32_MAX && text != std::to_string(INT32_MAX))
    return Pair(key, value) + " is too large: read as " + reading;
  return "";
}

// The note on a NEXT_LABEL that would leave the link to the next card
// without text, or "".
std::string LabelNote(Key key, const char* name, const char* value) {
  if (key != Key::kNextLabel || !ShowsNothing(value)) return "";
  return Pair(name, value) + " would leave the link to the next card or part without text: ignored";
}

// The note on an XMLVERSION whose declaration names an encoding iconv does
// not know, or "": a phone's XML parser refuses such a deck, and decks in
// it keep to ASCII.
std::string EncodingNote(Key key, const char* name, const char* value) {
  if (key != Key::kXmlVersion) return "";
  const std::string_view encoding = EncodingOf(value);
  if (encoding.empty() || IsKnownCharset(UpperCaseCopy(encoding))) return "";
  return std::string(name) + " names the encoding " + Quoted(encoding) +
         ", which iconv does not know: a phone may not read a deck that names it, and with CHARSET=convert decks "
         "keep to ASCII";
}

// The characters a field keeps of the value of `key`; 0 for no limit.
std::size_t LongestValue(Key key) {
  switch (key) {
    case Key::kIncludeTagStart:
    case Key::kIncludeTagStop:
    case Key::kExcludeTagStart:
    case Key::kExcludeTagStop:
      return kMarkerWordLength;
    case Key::kXmlVersion:
      return kXmlVersionSize - 1;
    case Key::kDocType:
      return kDocTypeSize - 1;
    case Key::kTagReplace:
      return kTagReplaceValueLength;
    case Key::kAmpersand:
    case Key::kNextLabel:
    case Key::kBackLabel:
      return kShortTextSize - 1;
    default:
      return 0;
  }
}

// The note on a value longer than its field holds, or "".
std::string LengthNote(Key key, const char* name, const char* value) {
  const std::size_t longest = LongestValue(key);
  const std::size_t length = key == Key::kAmpersand ? AmpersandText(value).size() : std::strlen(value);
  if (longest == 0 || length <= longest) return "";
  return "the value of " + std::string(name) + " is " + std::to_string(length) + " characters long: only its first " +
         std::to_string(longest) + " are kept";
}

bool IsSettingsKey(Key key) {
  switch (key) {
    case Key::kDefaultExclude:
    case Key::kIncludeTagStart:
    case Key::kIncludeTagStop:
    case Key::kExcludeTagStart:
    case Key::kExcludeTagStop:
    case Key::kDeviceGroup:
    case Key::kDevice:
    case Key::kUserAgent:
    case Key::kGroup:
      return false;
    default:
      return true;
  }
}

}  // namespace

ConfigurationNoteTaker::ConfigurationNoteTaker(const char* text, std::vector<ConfigurationNote>& notes)
    : text_(text), notes_(notes), firstNote_(notes.size()) {
  // Every line feed before the reader cuts the text.
  for (const char* at = std::strchr(text, '\n'); at != nullptr; at = std::strchr(at + 1, '\n')) {
    lineEnds_.push_back(static_cast<std::size_t>(at - text));
  }
}

int ConfigurationNoteTaker::LineOf(const char* at) const {
  const auto offset = static_cast<std::size_t>(at - text_);
  return 1 + static_cast<int>(std::lower_bound(lineEnds_.begin(), lineEnds_.end(), offset) - lineEnds_.begin());
}

void ConfigurationNoteTaker::NoteFragment(const char* begin, const char* end) {
  std::string_view fragment(begin, static_cast<std::size_t>(end - begin));
  fragment = fragment.substr(0, fragment.find("//"));
  while (!fragment.empty() && static_cast<unsigned char>(fragment.back()) <= 32) fragment.remove_suffix(1);
  if (fragment.empty() || fragment.front() == '#') return;
  Note(begin, Quoted(fragment) + " is no KEY=value pair: ignored");
}

void ConfigurationNoteTaker::NoteAfterQuote(const char* resume, int line, const char* key) {
  const char* at = resume;
  while (*at == ' ' || *at == '\t') ++at;
  if (static_cast<unsigned char>(*at) < 32 || *at == ';' || (at[0] == '/' && at[1] == '/')) return;
  Note(line, "text after the closing quote of the value of " + std::string(key) +
                 " is read as further pairs: write a quote inside a quoted value as \\\"");
  quietLine_ = line;
}

void ConfigurationNoteTaker::SortByLine() {
  std::stable_sort(notes_.begin() + static_cast<std::ptrdiff_t>(firstNote_), notes_.end(),
                   [](const ConfigurationNote& a, const ConfigurationNote& b) { return a.line < b.line; });
}

void DeviceConfiguration::notePair(ConfigurationNoteTaker& taker, const char* key, const char* value,
                                   const ValueScan& scan) const {
  const int line = taker.LineOf(key);
  if (scan.closingQuote) taker.NoteAfterQuote(scan.resume, line, key);
  const ConfigurationKeyName* match = FindConfigurationKey(key);
  if (match == nullptr) {
    // "#KEY=value" is a pair commented out as other formats do it.
    if (key[0] == '\0') {
      taker.Note(line, "a value without a key: ignored");
    } else if (key[0] != '#') {
      taker.Note(line, UnknownKeyNote(key));
    }
    return;
  }
  if (scan.openQuote) {
    taker.Note(line,
               "the quoted value of " + std::string(key) + " has no closing quote: it runs to the end of its line");
  }
  if (scan.commentInWord) {
    taker.Note(line, "the value of " + std::string(key) +
                         " is cut at \"//\", which begins a comment: write the value in double quotes");
  }
  if (noteSectionKey(taker, line, match->key, key, value)) return;
  if (IsSettingsKey(match->key) && !inDeviceSection_ && groupTable.empty()) {
    taker.Note(line, std::string(key) + " before any DEVICE_GROUP or DEVICE line: ignored");
    return;
  }
  for (const std::string& note :
       {WordNote(match->key, key, value), SizeNote(match->key, key, value), LengthNote(match->key, key, value),
        LabelNote(match->key, key, value), EncodingNote(match->key, key, value)}) {
    if (!note.empty()) taker.Note(line, note);
  }
}

bool DeviceConfiguration::noteSectionKey(ConfigurationNoteTaker& taker, int line, ConfigurationKey which,
                                         const char* key, const char* value) const {
  switch (which) {
    case Key::kDeviceGroup: {
      const auto [first, added] = taker.groupLines.emplace(UpperCaseCopy(value), line);
      if (!added) {
        taker.Note(line, "group " + Quoted(value) + " is defined again: GROUP=" + value + " finds the group of line " +
                             std::to_string(first->second));
      }
      return true;
    }
    case Key::kDevice:
      taker.deviceLines.push_back(line);
      if (!EqualsIgnoringCase(value, "DEFAULT")) return true;
      if (taker.defaultDeviceLine != 0) {
        taker.Note(line, "a second DEVICE=DEFAULT: it replaces the default device of line " +
                             std::to_string(taker.defaultDeviceLine));
      }
      taker.defaultDeviceLine = line;
      return true;
    case Key::kUserAgent:
    case Key::kGroup:
      break;
    default:
      return false;
  }
  if (!inDeviceSection_) {
    const std::string where =
        groupTable.empty() ? " before any DEVICE line" : " in the section of group " + Quoted(groupTable.back()->name);
    taker.Note(line, std::string(key) + where + ": ignored");
    return true;
  }
  if (which != Key::kGroup) return true;
  std::string name = UpperCaseCopy(value);
  if (groupsByName_.count(name) == 0) {
    const CDevice& device = *deviceTable.back();
    const std::string kept = device.group != nullptr ? "group " + Quoted(device.group->name) : "no group";
    taker.unfoundGroups.push_back(
        {line, std::move(name),
         Pair(key, value) + " names no group defined above it: device " + Quoted(device.name) + " keeps " + kept});
  }
  return true;
}

void DeviceConfiguration::noteFile(ConfigurationNoteTaker& taker) const {
  for (const ConfigurationNoteTaker::UnfoundGroup& unfound : taker.unfoundGroups) {
    const auto below = taker.groupLines.find(unfound.name);
    if (below == taker.groupLines.end()) {
      taker.Note(unfound.line, unfound.text);
      continue;
    }
    taker.Note(unfound.line, unfound.text + " (that group is defined on line " + std::to_string(below->second) +
                                 ", below: a group must come before the devices that name it)");
  }
  // The last device is never tried, and the default device needs no pattern.
  for (std::size_t i = 0; i + 1 < deviceTable.size() && i < taker.deviceLines.size(); ++i) {
    const CDevice& device = *deviceTable[i];
    if ((device.hasUserAgent && !device.userAgent.empty()) || &device == defaultDevice) continue;
    taker.Note(taker.deviceLines[i], "device " + Quoted(device.name) + " has no USERAGENT: no device text selects it");
  }
  if (!deviceTable.empty() && !taker.deviceLines.empty() && deviceTable.back()->hasUserAgent &&
      deviceTable.back()->userAgent != "*" && deviceTable.back().get() != defaultDevice) {
    taker.Note(taker.deviceLines.back(), "device " + Quoted(deviceTable.back()->name) +
                                             " is the last one, whose USERAGENT is never tried: "
                                             "put the devices to be matched above it");
  }
  taker.SortByLine();
}

}  // namespace quillmark
