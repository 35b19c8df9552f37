// The device configuration: groups, devices, the default device, the marker
// words and the default-include flag, as read from the configuration file.
//
// A loaded configuration is immutable. A conversion takes a snapshot (a
// shared reference) when it starts and keeps it to the end, so a reload
// never frees a profile that a running conversion is using.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "device/device_profile.h"
#include "markup/xml_object.h"
#include "platform/file_status.h"

namespace quillmark {

// A line of a configuration file that the reader ignores, cuts or reads
// otherwise than it seems to say. The library reads every file without a
// word; tools ask for these to tell the file's author.
struct ConfigurationNote {
  int line = 0;  // counted from 1
  std::string text;
};

class ConfigurationNoteTaker;
struct ValueScan;
enum class ConfigurationKey;

class DeviceConfiguration {
 public:
  // Empty tables, default marker words, defaultInclude 1, no default device.
  DeviceConfiguration();

  std::vector<std::unique_ptr<CDeviceGroup>> groupTable;
  std::vector<std::unique_ptr<CDevice>> deviceTable;
  // The default device: one of deviceTable (DEVICE=DEFAULT) or builtDefault.
  const CDevice* defaultDevice = nullptr;
  std::unique_ptr<CDevice> builtDefault;
  int32_t defaultInclude = 1;
  MarkerWords markerWords;
  FileStatus recordedStatus;
  // The configuration file this configuration was read for; a host that
  // points the library at another file makes it stale.
  std::string sourcePath;

  // The device whose pattern matches text (the last device defined is not
  // examined), else the default device. A null text gives the default device.
  const CDevice* findDevice(const char* text) const;

  // Applies one key/value pair in file order (keys arrive upper-cased).
  void applyKey(const char* key, const char* value);
  // Parses a whole configuration text, in place (it is modified). With
  // `notes`, also appends a note for each pair or fragment that the reader
  // ignores, cuts or reads otherwise than it seems to say, in line order;
  // the reading itself is the same either way.
  void parseText(char* text, std::vector<ConfigurationNote>* notes = nullptr);
  // Adds the three WAP groups when the file defined none, and builds the
  // default device when the file named none.
  void finish();
  // Gives a device its own settings (defaults) if it has none, then copies
  // its group's declaration, document type and texts into them.
  static CWmlSettings& ensureDeviceSettings(CDevice& device);

 private:
  void openGroup(const char* name);
  void openDevice(const char* name);
  void setUserAgent(const char* pattern);
  void setGroup(const char* name);
  // Settings a settings key acts on; null before the first section key.
  CWmlSettings* sectionSettings();

  // The notes on one pair, taken before it is applied, and those on the
  // whole file, taken after the last (configuration_notes.cpp).
  void notePair(ConfigurationNoteTaker& taker, const char* key, const char* value, const ValueScan& scan) const;
  // The notes on a key bound to sections (DEVICE_GROUP, DEVICE, USERAGENT,
  // GROUP); false for any other key.
  bool noteSectionKey(ConfigurationNoteTaker& taker, int line, ConfigurationKey which, const char* key,
                      const char* value) const;
  void noteFile(ConfigurationNoteTaker& taker) const;

  bool inDeviceSection_ = false;
  // Upper-cased group name -> the first group of that name defined so far.
  std::unordered_map<std::string, CDeviceGroup*> groupsByName_;
};

// The configuration every conversion starts from. Never null once the
// library is loaded.
std::shared_ptr<const DeviceConfiguration> currentConfiguration();

// Path of the configuration file in force: the one a host chose with
// setConfigurationFile, else the file beside the library module.
std::string configurationPath();
// Makes `path` the configuration file from the next freshness check on; an
// empty path returns to the file beside the module. Safe from any thread.
void setConfigurationFile(const std::string& path);
// The configuration file path for a module path: the module's name up to and
// including its last dot, then ".cfg" ("lib.so" -> "lib..cfg"); "" for "".
std::string configurationPathFor(const std::string& modulePath);
// Reads the configuration file (if any) into a fresh configuration and makes
// it current.
void loadConfiguration();
// Reloads when the file's size or last-write time differs from the one
// recorded at the last load; a missing file changes nothing.
void refreshConfiguration();

}  // namespace quillmark
