// Exports through which a host steers the library's configuration: which
// file it reads, and which device a device text selects under it.

#include <cstring>
#include <exception>
#include <string>

#include "device/configuration.h"
#include "interface/quillmark.h"

extern "C" void WapSetConfigurationFile(const char* path) {
  try {
    quillmark::setConfigurationFile(path == nullptr ? std::string() : std::string(path));
  } catch (const std::exception&) {
    // Out of memory: the file in force stays in force.
  }
}

extern "C" int32_t WapDeviceName(const char* deviceText, char* nameBuffer, int32_t capacity) {
  try {
    quillmark::refreshConfiguration();
    const auto configuration = quillmark::currentConfiguration();
    const char* name = configuration->findDevice(deviceText)->Name();
    const size_t length = name == nullptr ? 0 : std::strlen(name);
    if (nameBuffer == nullptr || capacity < 0 || length + 1 > static_cast<size_t>(capacity)) {
      return static_cast<int32_t>(length);
    }
    std::memcpy(nameBuffer, name == nullptr ? "" : name, length);
    nameBuffer[length] = '\0';
    return static_cast<int32_t>(length);
  } catch (const std::exception&) {
    return 0;
  }
}
