#include "tools/configuration_report.h"

#include <string>
#include <string_view>

namespace quillmark::tools {

namespace {

// How a device or the built-in default device is named in the report.
std::string DisplayName(const CDevice& device) {
  return device.Name() != nullptr ? std::string(device.Name()) : std::string("(built-in default device)");
}

// A stored tag replacement list without the commas that frame it.
std::string_view TagReplaceEntries(const char* list) {
  std::string_view entries(list);
  while (!entries.empty() && entries.front() == ',') entries.remove_prefix(1);
  while (!entries.empty() && entries.back() == ',') entries.remove_suffix(1);
  return entries;
}

// A size limit as the report shows it: bytes of compiled WMLC, or none.
std::string SizeText(int32_t limit) {
  return limit > 0 ? std::to_string(limit) + " (bytes of WMLC)" : std::string("0 (no limit)");
}

// The settings keys of one record, one indented line each.
void WriteSettings(const CWmlSettings& settings, std::ostream& out) {
  const std::string_view replacements = TagReplaceEntries(settings.tagReplace);
  out << "    XMLVERSION=" << settings.xmlVersion << "\n"
      << "    DOCTYPE=" << settings.docType << "\n"
      << "    TAG_REPLACE=" << (replacements.empty() ? std::string_view("(none)") : replacements) << "\n"
      << "    TABLES=" << (settings.tables != 0 ? "true" : "false") << "\n"
      << "    ENTITIES=" << (settings.convertEntities != 0 ? "convert" : "keep") << "\n"
      << "    DOLLAR=" << (settings.doubleDollars != 0 ? "double" : "keep") << "\n"
      << "    CHARSET=" << (settings.transcode != 0 ? "convert" : "bytes") << "\n"
      << "    AMPERSAND=" << settings.ampersandText << "\n"
      << "    BLOCK_BREAKS=" << (settings.blockBreaks != 0 ? "true" : "false") << "\n"
      << "    MAX_CARD_SIZE=" << SizeText(settings.maxCardSize) << "\n"
      << "    MAX_DECK_SIZE=" << SizeText(settings.maxDeckSize) << "\n"
      << "    NEXT_LABEL=" << settings.nextLabel << "\n"
      << "    BACK_LABEL=" << settings.backLabel << "\n";
}

// Where a device's effective settings come from.
std::string SettingsSource(const CDevice& device) {
  if (device.settings) return "its own";
  if (device.group != nullptr && device.group->settings) return "group " + device.group->name;
  return "built-in defaults";
}

void WriteHeader(const DeviceConfiguration& configuration, std::ostream& out) {
  const MarkerWords& words = configuration.markerWords;
  out << "Marker words: " << words.includeStart << " " << words.includeStop << " "
      << words.excludeStart << " " << words.excludeStop << "\n"
      << "Content outside markers: "
      << (configuration.defaultInclude != 0 ? "kept" : "dropped (DEFAULT_EXCLUDE=false)") << "\n";
}

void WriteGroups(const DeviceConfiguration& configuration, std::ostream& out) {
  out << "\nGroups:\n";
  for (const auto& group : configuration.groupTable) {
    out << "  DEVICE_GROUP=" << group->name << "\n";
    if (!group->settings) {
      out << "    (no settings of its own)\n";
      continue;
    }
    WriteSettings(*group->settings, out);
  }
}

void WriteDevice(const CDevice& device, bool last, std::ostream& out) {
  out << "  DEVICE=" << DisplayName(device) << "\n";
  out << "    USERAGENT=" << (device.UserAgent() != nullptr ? device.UserAgent() : "(none)");
  if (last) out << "  (last device: its pattern is never tried)";
  out << "\n    GROUP=" << (device.group != nullptr ? device.group->name : std::string("(none)")) << "\n"
      << "    settings from: " << SettingsSource(device) << "\n";
  WriteSettings(settingsOf(&device), out);
}

void WriteDevices(const DeviceConfiguration& configuration, std::ostream& out) {
  out << "\nDevices, in the order their patterns are tried:\n";
  if (configuration.deviceTable.empty()) out << "  (none)\n";
  const size_t count = configuration.deviceTable.size();
  for (size_t i = 0; i < count; ++i) WriteDevice(*configuration.deviceTable[i], i + 1 == count, out);
  const CDevice& fallback = *configuration.defaultDevice;
  out << "\nDefault device (when no pattern matches): " << DisplayName(fallback) << "\n";
  if (configuration.builtDefault.get() == &fallback) WriteDevice(fallback, false, out);
}

}  // namespace

void WriteConfigurationReport(const DeviceConfiguration& configuration,
                              const std::optional<std::string>& deviceText, std::ostream& out) {
  WriteHeader(configuration, out);
  WriteGroups(configuration, out);
  WriteDevices(configuration, out);
  if (!deviceText) return;
  out << "\nDevice text \"" << *deviceText << "\" selects: "
      << DisplayName(*configuration.findDevice(deviceText->c_str())) << "\n";
}

}  // namespace quillmark::tools
