// Device groups, devices and the effective settings of a device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "device/wml_settings.h"

namespace quillmark {

struct CDeviceGroup {
  std::string name;                        // as written in the configuration
  std::unique_ptr<CWmlSettings> settings;  // own settings; null until a settings key
};

struct CDevice {
  std::unique_ptr<CWmlSettings> settings;  // own settings; may be null
  std::string name;                        // as written; meaningful only when hasName
  bool hasName = false;                    // false only for the built default device
  std::string userAgent;                   // wildcard pattern; meaningful only when hasUserAgent
  bool hasUserAgent = false;
  std::string upperUserAgent;              // userAgent upper-cased once, for matching
  const CDeviceGroup* group = nullptr;     // borrowed from the group table; may be null

  const char* Name() const { return hasName ? name.c_str() : nullptr; }
  const char* UserAgent() const { return hasUserAgent ? userAgent.c_str() : nullptr; }
};

// The library default settings: built once, never changed or released.
const CWmlSettings& LibraryDefaultSettings();

// The device's own settings, else its group's, else the library defaults.
// A null device answers the library defaults.
const CWmlSettings& settingsOf(const CDevice* device);

// 1 when text matches the "*"-wildcard pattern (case-insensitive, first
// occurrence, no backtracking); 0 when either is null or empty.
int32_t matchPattern(const char* pattern, const char* text);

// matchPattern on texts already upper-cased: no copies, and each segment is
// found in time linear in the text.
int32_t matchUpperCasePattern(std::string_view pattern, std::string_view text);

// ASCII upper-case copy; bytes above 127 are kept as they are.
std::string UpperCaseCopy(std::string_view text);

}  // namespace quillmark
