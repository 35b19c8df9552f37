#include "tools/check_config_command.h"

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "device/configuration.h"
#include "platform/file_status.h"
#include "tools/configuration_report.h"
#include "tools/input_files.h"

namespace quillmark::tools {

namespace {

constexpr char kCheckConfigUsage[] =
    "Usage: quillmark check-config [--device TEXT] [--strict] FILE\n"
    "Reads the configuration file FILE as the library reads it and prints its\n"
    "marker words, groups, devices (in the order their patterns are tried) and\n"
    "each device's effective settings. Lines that the library ignores, cuts or\n"
    "reads otherwise than they seem to say are named on standard error, as\n"
    "FILE:LINE: what the library does with them.\n"
    "\n"
    "  --device TEXT  also tell which device this user-agent text selects\n"
    "  --strict       exit with status 3 when a line is named\n"
    "  --help         show this help and exit\n";

struct CheckOptions {
  std::optional<std::string> device;
  std::optional<std::string> file;
  bool strict = false;
};

// Reads the options of "check-config"; returns 0 after --help, else nullopt.
std::optional<int> ParseCheckOptions(ArgumentCursor& arguments, CheckOptions& options) {
  while (!arguments.Done()) {
    const std::string word = arguments.Next();
    if (word == "--help" || word == "-h") {
      std::cout << kCheckConfigUsage;
      return 0;
    }
    if (word == "--device") {
      options.device = arguments.ValueOf(word);
    } else if (word == "--strict") {
      options.strict = true;
    } else if (IsOption(word)) {
      throw UsageError("unknown option " + word);
    } else if (options.file) {
      throw UsageError("check-config reads one file");
    } else {
      options.file = word;
    }
  }
  if (!options.file) throw UsageError("check-config needs a FILE");
  return std::nullopt;
}

// The file's text as the library would read it; nullopt (with one line on
// standard error) when the library would not read it at all.
std::optional<std::string> ReadConfigurationText(const std::string& file) {
  const std::optional<FileStatus> status = QueryRegularFile(file);
  if (!status) {
    std::cerr << "quillmark: cannot read " << file << ": missing or not a regular file\n";
    return std::nullopt;
  }
  if (status->size > kMaxTextFileBytes) {
    std::cerr << "quillmark: " << file << " is larger than 4 MiB; the library would not read it\n";
    return std::nullopt;
  }
  std::optional<std::string> text = ReadTextFile(file);
  if (!text) std::cerr << "quillmark: cannot read " << file << "\n";
  return text;
}

}  // namespace

int RunCheckConfigCommand(ArgumentCursor& arguments) {
  CheckOptions options;
  if (auto status = ParseCheckOptions(arguments, options)) return *status;
  std::optional<std::string> text = ReadConfigurationText(*options.file);
  if (!text) return 1;
  DeviceConfiguration configuration;
  std::vector<ConfigurationNote> notes;
  configuration.parseText(text->data(), &notes);
  configuration.finish();
  for (const ConfigurationNote& note : notes) std::cerr << *options.file << ":" << note.line << ": " << note.text << "\n";
  std::cout << "Configuration file: " << *options.file << "\n";
  WriteConfigurationReport(configuration, options.device, std::cout);
  if (!FlushedStandardOutput()) return 1;
  // 1 and 2 are taken by unreadable files and wrong command lines.
  constexpr int kNotesFound = 3;
  return options.strict && !notes.empty() ? kNotesFound : 0;
}

}  // namespace quillmark::tools
