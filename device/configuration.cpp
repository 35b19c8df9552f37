#include "device/configuration.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>

#include "base/case_folding.h"
#include "base/trace.h"
#include "device/configuration_keys.h"
#include "device/configuration_notes.h"

namespace quillmark {

namespace {

constexpr const char* kWapGroupNames[] = {"WAP_SMALL", "WAP_MEDIUM", "WAP_LARGE"};

using Key = ConfigurationKey;

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Bytes are compared as unsigned values throughout the reader.
unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

// The first `limit` characters of value.
std::string Truncated(const char* value, size_t limit) {
  return std::string(std::string_view(value).substr(0, limit));
}

// Cuts trailing characters of code 32 or less from [begin, end) in place.
void TrimTrailingBlanks(char* begin, char* end) {
  while (end > begin && Byte(end[-1]) <= 32) --end;
  *end = '\0';
}

// Resolves the escapes of a value in place: "\n", "\r", "\t" give control
// characters, any other escaped character stands for itself, and a lone
// backslash at the end is dropped. Returns the new end.
char* ResolveEscapes(char* value) {
  char* out = value;
  for (char* in = value; *in != '\0'; ++in) {
    if (*in != '\\') {
      *out++ = *in;
      continue;
    }
    ++in;
    if (*in == '\0') break;
    switch (*in) {
      case 'n': *out++ = '\n'; break;
      case 'r': *out++ = '\r'; break;
      case 't': *out++ = '\t'; break;
      default: *out++ = *in; break;
    }
  }
  *out = '\0';
  return out;
}

// The tagReplace list for a TAG_REPLACE value: "," + value + "," with every
// character of code 32 or less removed.
std::string TagReplaceList(const char* value) {
  std::string list = "," + Truncated(value, kTagReplaceValueLength) + ",";
  std::string compact;
  compact.reserve(list.size());
  for (char c : list) {
    if (Byte(c) > 32) compact.push_back(c);
  }
  return compact;
}

// Position of the character that ends a key: "=", ";", a control character
// or the end of the text; a "//" comment runs to the end of its line.
char* ScanKey(char* at) {
  while (*at != '\0' && *at != '=' && *at != ';' && Byte(*at) >= 32) {
    if (at[0] == '/' && at[1] == '/') {
      while (*at != '\0' && Byte(*at) >= 32) ++at;
      return at;
    }
    ++at;
  }
  return at;
}

// Scans the value that starts at `value` and cuts it off with a terminator
// in place; tells where scanning resumes and how the value ended.
ValueScan ScanValue(char* value, bool quoted) {
  char* at = value;
  while (*at != '\0' && Byte(*at) >= 32) {
    if (*at == '\\') {
      if (at[1] == '\0') return ValueScan{at + 1, false, false, quoted};
      at += 2;
      continue;
    }
    if (quoted ? *at == '"' : *at == ';') break;
    if (!quoted && at[0] == '/' && at[1] == '/') {
      const bool inWord = at > value && Byte(at[-1]) > 32;
      *at = '\0';
      ++at;
      while (*at != '\0' && Byte(*at) >= 32) ++at;
      return ValueScan{at, inWord};
    }
    ++at;
  }
  if (*at == '\0') return ValueScan{at, false, false, quoted};
  const bool closingQuote = quoted && *at == '"';
  *at = '\0';
  return ValueScan{at + 1, false, closingQuote, quoted && !closingQuote};
}

}  // namespace

DeviceConfiguration::DeviceConfiguration() = default;

const CDevice* DeviceConfiguration::findDevice(const char* text) const {
  if (text == nullptr) {
    Trace("Device= NULL\r\n");
    return defaultDevice;
  }
  // The last device defined is never examined: stored configuration files
  // rely on it (a final catch-all entry that only the default answers for).
  const std::string upperText = UpperCaseCopy(text);
  for (size_t i = 0; i + 1 < deviceTable.size(); ++i) {
    const CDevice& device = *deviceTable[i];
    if (device.hasUserAgent && matchUpperCasePattern(device.upperUserAgent, upperText) == 1) {
      Trace("Device= %s\r\n", device.UserAgent());
      return &device;
    }
  }
  Trace("Device= Default\r\n");
  return defaultDevice;
}

void DeviceConfiguration::parseText(char* text, std::vector<ConfigurationNote>* notes) {
  std::optional<ConfigurationNoteTaker> taker;
  if (notes != nullptr) taker.emplace(text, *notes);
  // A file saved with a UTF-8 byte-order mark (as Windows editors save
  // one) would otherwise lose its first key to the mark's three bytes.
  char* at = std::string_view(text).starts_with(kUtf8ByteOrderMark) ? text + kUtf8ByteOrderMark.size() : text;
  while (*at != '\0') {
    while (*at != '\0' && (Byte(*at) <= 32 || *at == ';')) ++at;
    if (*at == '\0') break;
    char* key = at;
    at = ScanKey(at);
    if (*at != '=') {
      if (taker) taker->NoteFragment(key, at);
      continue;
    }
    TrimTrailingBlanks(key, at);
    for (char* c = key; *c != '\0'; ++c) *c = ToUpperAscii(*c);
    char* value = at + 1;
    const bool quoted = *value == '"';
    if (quoted) ++value;
    const ValueScan scan = ScanValue(value, quoted);
    at = scan.resume;
    char* valueEnd = ResolveEscapes(value);
    TrimTrailingBlanks(value, valueEnd);
    if (taker) notePair(*taker, key, value, scan);
    applyKey(key, value);
  }
  if (taker) noteFile(*taker);
}

void DeviceConfiguration::applyKey(const char* key, const char* value) {
  if (key == nullptr || value == nullptr) return;
  const ConfigurationKeyName* match = FindConfigurationKey(key);
  if (match == nullptr) return;
  switch (match->key) {
    case Key::kDefaultExclude:
      defaultInclude = kDefaultExcludeWords.Read(value);
      return;
    case Key::kIncludeTagStart:
      markerWords.includeStart = Truncated(value, kMarkerWordLength);
      return;
    case Key::kIncludeTagStop:
      markerWords.includeStop = Truncated(value, kMarkerWordLength);
      return;
    case Key::kExcludeTagStart:
      markerWords.excludeStart = Truncated(value, kMarkerWordLength);
      return;
    case Key::kExcludeTagStop:
      markerWords.excludeStop = Truncated(value, kMarkerWordLength);
      return;
    case Key::kDeviceGroup:
      openGroup(value);
      return;
    case Key::kDevice:
      openDevice(value);
      return;
    case Key::kUserAgent:
      setUserAgent(value);
      return;
    case Key::kGroup:
      setGroup(value);
      return;
    case Key::kTables:
    case Key::kXmlVersion:
    case Key::kDocType:
    case Key::kTagReplace:
    case Key::kEntities:
    case Key::kDollar:
    case Key::kCharset:
    case Key::kAmpersand:
    case Key::kBlockBreaks:
    case Key::kMaxCardSize:
    case Key::kMaxDeckSize:
    case Key::kNextLabel:
    case Key::kBackLabel:
      break;
  }
  CWmlSettings* settings = sectionSettings();
  if (settings == nullptr) return;
  switch (match->key) {
    case Key::kTables:
      settings->tables = kTablesWords.Read(value);
      return;
    case Key::kXmlVersion:
      CopyField(settings->xmlVersion, value);
      return;
    case Key::kDocType:
      CopyField(settings->docType, value);
      return;
    case Key::kTagReplace:
      CopyField(settings->tagReplace, TagReplaceList(value).c_str());
      return;
    case Key::kEntities:
      settings->convertEntities = kEntitiesWords.Read(value);
      settings->ownKeys |= kOwnEntities;
      return;
    case Key::kDollar:
      settings->doubleDollars = kDollarWords.Read(value);
      settings->ownKeys |= kOwnDollar;
      return;
    case Key::kCharset:
      settings->transcode = kCharsetWords.Read(value);
      settings->ownKeys |= kOwnCharset;
      return;
    case Key::kAmpersand:
      CopyField(settings->ampersandText, AmpersandText(value).c_str());
      settings->ownKeys |= kOwnAmpersand;
      return;
    case Key::kBlockBreaks:
      settings->blockBreaks = kBlockBreaksWords.Read(value);
      settings->ownKeys |= kOwnBlockBreaks;
      return;
    case Key::kMaxCardSize:
      settings->maxCardSize = SizeLimit(value);
      settings->ownKeys |= kOwnMaxCardSize;
      return;
    case Key::kMaxDeckSize:
      settings->maxDeckSize = SizeLimit(value);
      settings->ownKeys |= kOwnMaxDeckSize;
      return;
    case Key::kNextLabel:
      // The section keeps the label it had (its group's, or "Next").
      if (ShowsNothing(value)) return;
      CopyField(settings->nextLabel, value);
      settings->ownKeys |= kOwnNextLabel;
      return;
    case Key::kBackLabel:
      CopyField(settings->backLabel, value);
      settings->ownKeys |= kOwnBackLabel;
      return;
    default:
      return;
  }
}

void DeviceConfiguration::openGroup(const char* name) {
  inDeviceSection_ = false;
  auto group = std::make_unique<CDeviceGroup>();
  group->name = name;
  groupsByName_.emplace(UpperCaseCopy(name), group.get());  // the first of a name stays
  groupTable.push_back(std::move(group));
}

void DeviceConfiguration::openDevice(const char* name) {
  inDeviceSection_ = true;
  auto device = std::make_unique<CDevice>();
  device->name = name;
  device->hasName = true;
  if (EqualsIgnoringCase(name, "DEFAULT")) defaultDevice = device.get();
  deviceTable.push_back(std::move(device));
}

void DeviceConfiguration::setUserAgent(const char* pattern) {
  if (!inDeviceSection_ || deviceTable.empty()) return;
  CDevice& device = *deviceTable.back();
  device.userAgent = pattern;
  device.hasUserAgent = true;
  device.upperUserAgent = UpperCaseCopy(pattern);
}

void DeviceConfiguration::setGroup(const char* name) {
  if (!inDeviceSection_ || deviceTable.empty()) return;
  const auto found = groupsByName_.find(UpperCaseCopy(name));
  if (found != groupsByName_.end()) deviceTable.back()->group = found->second;
}

CWmlSettings* DeviceConfiguration::sectionSettings() {
  if (inDeviceSection_) {
    if (deviceTable.empty()) return nullptr;
    return &ensureDeviceSettings(*deviceTable.back());
  }
  if (groupTable.empty()) return nullptr;
  CDeviceGroup& group = *groupTable.back();
  if (!group.settings) group.settings = std::make_unique<CWmlSettings>();
  return group.settings.get();
}

CWmlSettings& DeviceConfiguration::ensureDeviceSettings(CDevice& device) {
  if (!device.settings) device.settings = std::make_unique<CWmlSettings>();
  CWmlSettings& own = *device.settings;
  if (device.group == nullptr || !device.group->settings) return own;
  const CWmlSettings& inherited = *device.group->settings;
  CopyField(own.xmlVersion, inherited.xmlVersion);
  CopyField(own.docType, inherited.docType);
  CopyField(own.cellLeadText, inherited.cellLeadText);
  CopyField(own.cellBreakText, inherited.cellBreakText);
  // A device's own AMPERSAND outlives the copies later settings keys make.
  if ((own.ownKeys & kOwnAmpersand) == 0) CopyField(own.ampersandText, inherited.ampersandText);
  return own;
}

namespace {

// The output keys a device with settings of its own did not set take its
// group's values, wherever the GROUP line stood in its section.
void InheritOutputKeys(CDevice& device) {
  if (!device.settings || device.group == nullptr || !device.group->settings) return;
  CWmlSettings& own = *device.settings;
  const CWmlSettings& group = *device.group->settings;
  if ((own.ownKeys & kOwnEntities) == 0) own.convertEntities = group.convertEntities;
  if ((own.ownKeys & kOwnDollar) == 0) own.doubleDollars = group.doubleDollars;
  if ((own.ownKeys & kOwnCharset) == 0) own.transcode = group.transcode;
  if ((own.ownKeys & kOwnBlockBreaks) == 0) own.blockBreaks = group.blockBreaks;
  if ((own.ownKeys & kOwnMaxCardSize) == 0) own.maxCardSize = group.maxCardSize;
  if ((own.ownKeys & kOwnMaxDeckSize) == 0) own.maxDeckSize = group.maxDeckSize;
  if ((own.ownKeys & kOwnNextLabel) == 0) CopyField(own.nextLabel, group.nextLabel);
  if ((own.ownKeys & kOwnBackLabel) == 0) CopyField(own.backLabel, group.backLabel);
}

}  // namespace

void DeviceConfiguration::finish() {
  for (const auto& device : deviceTable) InheritOutputKeys(*device);
  if (groupTable.empty()) {
    for (const char* name : kWapGroupNames) openGroup(name);
  }
  if (defaultDevice != nullptr) return;
  builtDefault = std::make_unique<CDevice>();
  builtDefault->group = groupTable.front().get();
  defaultDevice = builtDefault.get();
}

std::string configurationPathFor(const std::string& modulePath) {
  if (modulePath.empty()) return std::string();
  const size_t slash = modulePath.rfind('/');
  const size_t dot = modulePath.rfind('.');
  const bool nameHasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  // "name.ext" reads "name..cfg"; a name without a dot reads "name..cfg" too,
  // so the file always lies beside the module.
  if (nameHasDot) return modulePath.substr(0, dot + 1) + ".cfg";
  return modulePath + "..cfg";
}

namespace {

// The library's one configuration: the current snapshot and the file a host
// chose instead of the one beside the module (null: none). Both are copied or
// replaced under `stateMutex`, which guards nothing else; every change bumps
// `generation`. One load runs at a time under `loadMutex`.
struct ConfigurationSlot {
  std::mutex loadMutex;
  std::mutex stateMutex;
  std::shared_ptr<const DeviceConfiguration> current;
  std::shared_ptr<const std::string> chosenPath;
  std::atomic<uint64_t> generation{0};
};

ConfigurationSlot& Slot() {
  static ConfigurationSlot slot;
  return slot;
}

// What one thread last read of the slot. While the generation stands, the
// thread reuses it with one atomic load and no lock; so the freshness check
// of a conversion takes no lock unless the configuration changed.
struct SlotView {
  uint64_t generation = UINT64_MAX;  // no generation has this value
  std::shared_ptr<const DeviceConfiguration> current;
  std::shared_ptr<const std::string> chosenPath;
};

const SlotView& View() {
  thread_local SlotView view;
  ConfigurationSlot& slot = Slot();
  if (view.generation == slot.generation.load(std::memory_order_acquire)) return view;
  std::lock_guard<std::mutex> guard(slot.stateMutex);
  view.current = slot.current;
  view.chosenPath = slot.chosenPath;
  view.generation = slot.generation.load(std::memory_order_relaxed);
  return view;
}

std::shared_ptr<const DeviceConfiguration> LoadCurrent() { return View().current; }

// The previous snapshot is released here, or by the last conversion (or
// thread view) that still holds it.
void StoreCurrent(std::shared_ptr<const DeviceConfiguration> configuration) {
  ConfigurationSlot& slot = Slot();
  std::lock_guard<std::mutex> guard(slot.stateMutex);
  slot.current.swap(configuration);
  slot.generation.fetch_add(1, std::memory_order_release);
}

// Reads the file at `path` into `configuration`; a file that is missing
// leaves the status recorded by the previous load.
void ReadInto(DeviceConfiguration& configuration, const std::string& path) {
  configuration.sourcePath = path;
  const std::optional<FileStatus> status = QueryRegularFile(path);
  if (!status) return;
  configuration.recordedStatus = *status;
  std::optional<std::string> text = ReadTextFile(path);
  if (text) configuration.parseText(text->data());
}

// A complete configuration from the file at `path`, or the built-in one when
// memory runs out while building it. Caller holds the load lock.
std::shared_ptr<const DeviceConfiguration> BuildConfiguration(const std::string& path,
                                                              const FileStatus& previousStatus) {
  try {
    auto configuration = std::make_shared<DeviceConfiguration>();
    configuration->recordedStatus = previousStatus;
    ReadInto(*configuration, path);
    configuration->finish();
    return configuration;
  } catch (const std::bad_alloc&) {
    auto fallback = std::make_shared<DeviceConfiguration>();
    fallback->sourcePath = path;
    fallback->recordedStatus = previousStatus;
    fallback->finish();
    return fallback;
  }
}

// Status a reload of `path` starts from: the one `current` recorded when it
// was read for the same file, else "never seen", so that the built-in
// defaults apply when a newly chosen file does not exist.
FileStatus PreviousStatusFor(const std::shared_ptr<const DeviceConfiguration>& current,
                             const std::string& path) {
  if (!current || current->sourcePath != path) return FileStatus{};
  return current->recordedStatus;
}

// True when `current` was read for `path` and the file status gives no
// reason to reload: the file is missing, or unchanged since it was read.
bool IsCurrentFor(const std::shared_ptr<const DeviceConfiguration>& current,
                  const std::string& path, const std::optional<FileStatus>& status) {
  if (!current || current->sourcePath != path) return false;
  return !status || current->recordedStatus == *status;
}

// The file beside the module; the module does not move while loaded. The
// library's versioned file names all read the file of its plain name.
const std::string& ModuleConfigurationPath() {
  static const std::string path = configurationPathFor(WithoutSharedObjectVersion(ModulePath()));
  return path;
}

}  // namespace

std::string configurationPath() {
  const std::shared_ptr<const std::string>& chosen = View().chosenPath;
  return chosen ? *chosen : ModuleConfigurationPath();
}

void setConfigurationFile(const std::string& path) {
  auto chosen = path.empty() ? nullptr : std::make_shared<const std::string>(path);
  ConfigurationSlot& slot = Slot();
  std::lock_guard<std::mutex> guard(slot.stateMutex);
  slot.chosenPath.swap(chosen);
  slot.generation.fetch_add(1, std::memory_order_release);
}

std::shared_ptr<const DeviceConfiguration> currentConfiguration() {
  std::shared_ptr<const DeviceConfiguration> current = LoadCurrent();
  if (current) return current;
  std::lock_guard<std::mutex> load(Slot().loadMutex);
  current = LoadCurrent();
  if (current) return current;
  current = BuildConfiguration(configurationPath(), FileStatus{});
  StoreCurrent(current);
  return current;
}

void loadConfiguration() {
  std::lock_guard<std::mutex> load(Slot().loadMutex);
  const std::string path = configurationPath();
  StoreCurrent(BuildConfiguration(path, PreviousStatusFor(LoadCurrent(), path)));
}

// The common case, an unchanged file, takes no lock: one status query and
// the thread's view of the slot. A changed file (or a newly chosen one) is read by one
// caller at a time; callers that raced it find the new snapshot current and
// return.
void refreshConfiguration() {
  const std::string path = configurationPath();
  const std::optional<FileStatus> status = QueryRegularFile(path);
  if (IsCurrentFor(LoadCurrent(), path, status)) return;
  std::lock_guard<std::mutex> load(Slot().loadMutex);
  const std::shared_ptr<const DeviceConfiguration> current = LoadCurrent();
  if (IsCurrentFor(current, path, status)) return;
  StoreCurrent(BuildConfiguration(path, PreviousStatusFor(current, path)));
}

}  // namespace quillmark
