// Noticing configuration reloads from the server's side: the library reloads
// its configuration file when the file's size or time changes, and the
// server watches the same file to name the configuration in force and to
// log each reload.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/file_status.h"
#include "tools/access_log.h"

namespace quillmark::tools {

// Borrows the log, which must outlive it.
class ConfigurationWatch {
 public:
  // Watches `file`; "" watches the file beside the library module.
  ConfigurationWatch(const std::string& file, AccessLog& log);

  // A text that changes whenever the configuration file does; checks the
  // file, and logs a line when it changed since the last check ("quillmark:
  // configuration FILE generation N: D devices"). Safe from many threads.
  std::string Generation();
  // Logs the line for the configuration in force now.
  void Report();

 private:
  // Records `status` as the file's and logs the change; caller holds mutex_.
  void Reloaded(const std::optional<FileStatus>& status);
  // Logs the file, generation and devices count; caller holds mutex_.
  void LogState();

  std::string file_;
  AccessLog& log_;
  std::mutex mutex_;
  std::optional<FileStatus> status_;
  uint64_t generation_ = 0;
  std::string text_;
};

// The configuration file beside the loaded library module; "" when unknown.
std::string LibraryConfigurationFile();

}  // namespace quillmark::tools
