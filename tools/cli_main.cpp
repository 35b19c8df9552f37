// quillmark: converts HTML pages into WML decks, explains configuration
// files and serves decks over HTTP.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "interface/quillmark.h"
#include "tools/arguments.h"
#include "tools/check_config_command.h"
#include "tools/convert_command.h"
#include "tools/serve_command.h"

namespace {

using quillmark::tools::ArgumentCursor;

constexpr char kUsage[] =
    "Usage: quillmark [--device TEXT] [--config FILE] [FILE]\n"
    "       quillmark convert [--device TEXT] [--config FILE] [-o OUT] FILE...\n"
    "       quillmark convert [--device TEXT] [--config FILE] -r SRC -o OUT\n"
    "       quillmark check-config [--device TEXT] [--strict] FILE\n"
    "       quillmark serve (--root DIR | --origin URL) [OPTIONS]\n"
    "The first form converts the HTML page FILE (standard input when FILE is\n"
    "absent or \"-\") into a WML deck written to standard output.\n"
    "\n"
    "  --device TEXT  the requesting device's user-agent text\n"
    "  --config FILE  the configuration file to use instead of the one beside\n"
    "                 the library\n"
    "  --help         show this help and exit (COMMAND --help: that command's)\n"
    "  --version      show the library version and exit\n";

// Runs the command that the first word names, or the plain conversion.
int Dispatch(const std::vector<std::string>& words) {
  const std::string first = words.empty() ? std::string() : words.front();
  ArgumentCursor rest(std::vector<std::string>(words.begin() + (words.empty() ? 0 : 1), words.end()));
  if (first == "convert") return quillmark::tools::RunConvertCommand(rest);
  if (first == "check-config") return quillmark::tools::RunCheckConfigCommand(rest);
  if (first == "serve") return quillmark::tools::RunServeCommand(rest);
  for (const std::string& word : words) {
    if (word == "--help" || word == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (word == "--version") {
      std::cout << LibraryVersion() << "\n";
      return 0;
    }
  }
  ArgumentCursor all(words);
  return quillmark::tools::RunPlainConversion(all);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Dispatch(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const quillmark::tools::UsageError& error) {
    std::cerr << "quillmark: " << error.what() << " (try --help)\n";
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "quillmark: " << error.what() << "\n";
    return 1;
  }
}
