// CWorkingVariables: the document context of one conversion.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/configuration.h"
#include "device/markers.h"

namespace quillmark {

class CWorkingVariables {
 public:
  // Counters 0, no title, no device; the marker state starts empty and takes
  // its default-include flag from the configuration snapshot.
  explicit CWorkingVariables(std::shared_ptr<const DeviceConfiguration> configuration);

  // Frees the title and zeroes the counters; marker state and device stay.
  void Reset();

  int32_t cardCount = 0;
  int32_t formCount = 0;
  int32_t tableDepth = 0;
  std::string title;
  bool hasTitle = false;
  CPrePocessControl markerState;
  const CDevice* device = nullptr;  // borrowed from the configuration
  // Keeps the configuration (and so the device) alive for the conversion.
  std::shared_ptr<const DeviceConfiguration> configuration;

  const char* Title() const { return hasTitle ? title.c_str() : nullptr; }
  void SetTitle(std::string text) {
    title = std::move(text);
    hasTitle = true;
  }
};

}  // namespace quillmark
