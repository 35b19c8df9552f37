#include "tools/configuration_watch.h"

#include <dlfcn.h>

#include "device/configuration.h"
#include "interface/quillmark.h"

namespace quillmark::tools {

namespace {

// The number of devices the library reads from `file`; the built-in
// defaults when the file cannot be read.
size_t DeviceCount(const std::string& file) {
  std::optional<std::string> text = ReadTextFile(file);
  DeviceConfiguration configuration;
  if (text) configuration.parseText(text->data());
  configuration.finish();
  return configuration.deviceTable.size();
}

// Made of the file's status alone, so that a restarted server, or one
// beside it reading the same file, gives the same entity tags.
std::string StatusText(const std::optional<FileStatus>& status) {
  return status ? std::to_string(status->size) + ":" + std::to_string(status->mtimeNanoseconds) : "none";
}

}  // namespace

std::string LibraryConfigurationFile() {
  // The version text lives in the library module, wherever the program
  // took the module from.
  Dl_info info{};
  if (::dladdr(LibraryVersion(), &info) == 0 || info.dli_fname == nullptr) return std::string();
  return configurationPathFor(info.dli_fname);
}

ConfigurationWatch::ConfigurationWatch(const std::string& file, AccessLog& log)
    : file_(file.empty() ? LibraryConfigurationFile() : file), log_(log) {
  status_ = QueryRegularFile(file_);
  generation_ = 1;
  text_ = StatusText(status_);
}

void ConfigurationWatch::Report() {
  std::lock_guard<std::mutex> lock(mutex_);
  LogState();
}

std::string ConfigurationWatch::Generation() {
  const std::optional<FileStatus> status = QueryRegularFile(file_);
  std::lock_guard<std::mutex> lock(mutex_);
  if (status != status_) Reloaded(status);
  return text_;
}

void ConfigurationWatch::Reloaded(const std::optional<FileStatus>& status) {
  status_ = status;
  ++generation_;
  text_ = StatusText(status);
  LogState();
}

void ConfigurationWatch::LogState() {
  if (!status_) {
    log_.Note("configuration " + file_ + " generation " + std::to_string(generation_) +
              ": no file, built-in defaults");
    return;
  }
  log_.Note("configuration " + file_ + " generation " + std::to_string(generation_) + ": " +
            std::to_string(DeviceCount(file_)) + " devices");
}

}  // namespace quillmark::tools
