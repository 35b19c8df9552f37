#include "tools/configuration_watch.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "device/configuration.h"
#include "interface/quillmark.h"

namespace quillmark::tools {

namespace {

// What the library reads from `file`: the built-in defaults when the file
// cannot be read.
struct FileReading {
  std::size_t devices = 0;
  std::vector<ConfigurationNote> notes;
};

FileReading ReadConfiguration(const std::string& file) {
  std::optional<std::string> text = ReadTextFile(file);
  DeviceConfiguration configuration;
  FileReading reading;
  if (text) configuration.parseText(text->data(), &reading.notes);
  configuration.finish();
  reading.devices = configuration.deviceTable.size();
  return reading;
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
  // Named as the library names it: the module's name is the one it was
  // loaded by ("libquillmark.so.0"), which reads as the name without its
  // version numbers.
  std::error_code error;
  const std::filesystem::path module = std::filesystem::absolute(info.dli_fname, error);
  return configurationPathFor(WithoutSharedObjectVersion(error ? std::string(info.dli_fname) : module.string()));
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
  const FileReading reading = ReadConfiguration(file_);
  log_.Note("configuration " + file_ + " generation " + std::to_string(generation_) + ": " +
            std::to_string(reading.devices) + " devices");
  // The lines the library ignores or reads otherwise than they seem to say,
  // as check-config names them; the first few, at every reload.
  constexpr std::size_t kMostNotesLogged = 20;
  for (std::size_t i = 0; i < reading.notes.size() && i < kMostNotesLogged; ++i) {
    const ConfigurationNote& note = reading.notes[i];
    log_.Note("configuration " + file_ + ":" + std::to_string(note.line) + ": " + note.text);
  }
  if (reading.notes.size() > kMostNotesLogged) {
    log_.Note("configuration " + file_ + ": " + std::to_string(reading.notes.size() - kMostNotesLogged) +
              " more lines to look at: quillmark check-config " + file_ + " names them all");
  }
}

}  // namespace quillmark::tools
