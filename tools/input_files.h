// Reading pages and configuration files for the command-line tool, and
// the end of its writing to standard output.
#pragma once

#include <optional>
#include <string>

namespace quillmark::tools {

// The whole of the file `file`; nullopt with `reason` set (the system's
// error text, or "is a directory") when it cannot be read.
std::optional<std::string> ReadFileText(const std::string& file, std::string& reason);

// The whole of `file` ("-": standard input); nullopt after printing one
// line "quillmark: cannot read FILE: reason" on standard error.
std::optional<std::string> ReadInput(const std::string& file);

// Points the library at configuration file `file` after checking that it
// can be read; false (with one line on standard error) when it cannot.
bool UseConfigurationFile(const std::string& file);

// Flushes standard output; false (with one line on standard error) when
// what was written to it did not all arrive, as on a full disk.
bool FlushedStandardOutput();

}  // namespace quillmark::tools
