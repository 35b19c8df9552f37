// A readable account of what a configuration means: its groups, its devices
// in the order their patterns are tried, and each one's effective settings.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "device/configuration.h"

namespace quillmark::tools {

// Writes the account of `configuration` to `out`; with a device text, also
// the device that text selects.
void WriteConfigurationReport(const DeviceConfiguration& configuration,
                              const std::optional<std::string>& deviceText, std::ostream& out);

}  // namespace quillmark::tools
