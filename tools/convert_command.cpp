#include "tools/convert_command.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "interface/page_charset.h"
#include "tools/input_files.h"
#include "tools/page_converter.h"
#include "tools/site_conversion.h"

namespace quillmark::tools {

namespace {

namespace fs = std::filesystem;

constexpr char kConvertUsage[] =
    "Usage: quillmark convert [--device TEXT] [--config FILE] [--charset NAME] [--wmlc] [-o OUT] FILE...\n"
    "       quillmark convert [--device TEXT] [--config FILE] [--charset NAME] -r SRC -o OUT\n"
    "Converts HTML pages into WML decks. \"-\" reads standard input.\n"
    "\n"
    "  --device TEXT  the requesting device's user-agent text\n"
    "  --config FILE  the configuration file to use instead of the one beside\n"
    "                 the library\n"
    "  --charset NAME the pages' charset, where a page does not declare its own\n"
    "                 (without it: UTF-8 when the bytes are valid UTF-8, else\n"
    "                 Windows-1252)\n"
    "  --wmlc         write compiled decks (WMLC, as a WAP gateway sends them)\n"
    "                 named NAME.wmlc\n"
    "  -o OUT         write the deck to the file OUT (\"-\": standard output,\n"
    "                 also with --wmlc); with several pages, or when\n"
    "                 OUT is a folder or ends with \"/\", write each deck as\n"
    "                 OUT/NAME.wml (or OUT/NAME.wmlc)\n"
    "  -r, --recursive  convert the whole folder SRC into the folder OUT: a deck\n"
    "                 for every .html, .htm and .xhtml page, with relative links\n"
    "                 to them made to point at their decks, and a copy of every\n"
    "                 image and .wml file\n"
    "  --help         show this help and exit\n"
    "Without -o the deck of the single page goes to standard output; with --wmlc\n"
    "each page's compiled deck goes to NAME.wmlc in the current folder (standard\n"
    "input's to standard output).\n";

struct ConvertOptions {
  std::optional<std::string> device;
  std::optional<std::string> config;
  std::optional<std::string> output;
  std::string charset;
  bool recursive = false;
  std::vector<std::string> files;
  bool wmlc = false;
};

// One page to convert and where its deck goes ("" for standard output).
struct Job {
  std::string input;
  std::string output;
};

// The value of --charset; throws UsageError for a name the converter would
// pass over, which would leave the pages to be read as their bytes suggest.
std::string CharsetValue(ArgumentCursor& arguments, const std::string& word) {
  std::string name = arguments.ValueOf(word);
  if (!CharsetOfLabel(name)) throw UsageError("unknown charset \"" + name + "\" for " + word);
  return name;
}

// Reads the options of "convert"; returns 0 after --help, else nullopt.
std::optional<int> ParseConvertOptions(ArgumentCursor& arguments, ConvertOptions& options) {
  while (!arguments.Done()) {
    const std::string word = arguments.Next();
    if (word == "--help" || word == "-h") {
      std::cout << kConvertUsage;
      return 0;
    }
    if (word == "--device") {
      options.device = arguments.ValueOf(word);
    } else if (word == "--config") {
      options.config = arguments.ValueOf(word);
    } else if (word == "--charset") {
      options.charset = CharsetValue(arguments, word);
    } else if (word == "--wmlc") {
      options.wmlc = true;
    } else if (word == "-o" || word == "--output") {
      options.output = arguments.ValueOf(word);
    } else if (word == "-r" || word == "--recursive") {
      options.recursive = true;
    } else if (IsOption(word)) {
      throw UsageError("unknown option " + word);
    } else {
      options.files.push_back(word);
    }
  }
  if (options.files.empty()) options.files.push_back("-");
  return std::nullopt;
}

// The deck file of `input` in `folder`: its name with `extension`.
std::string DeckPathIn(const std::string& folder, const std::string& input, const char* extension) {
  const std::string stem = input == "-" ? std::string("stdin") : fs::path(input).stem().string();
  return (fs::path(folder) / (stem + extension)).string();
}

// True when the decks go into the folder OUT rather than to the file OUT.
bool WritesIntoFolder(const ConvertOptions& options) {
  if (!options.output) return false;
  std::error_code ignored;
  return options.files.size() > 1 || options.output->ends_with('/') || fs::is_directory(*options.output, ignored);
}

// Where each page's deck goes; throws UsageError for impossible requests.
std::vector<Job> PlanJobs(const ConvertOptions& options) {
  const bool several = options.files.size() > 1;
  if (options.output == "-") {
    if (several) throw UsageError("several pages need -o FOLDER");
    return {Job{options.files.front(), ""}};
  }
  // Compiled decks are binary: without -o they go to files of their own.
  const bool ownFiles = options.wmlc && !options.output && !(options.files == std::vector<std::string>{"-"});
  if (!options.output && !ownFiles) {
    if (several) throw UsageError("several pages need -o FOLDER");
    return {Job{options.files.front(), ""}};
  }
  if (options.output && !WritesIntoFolder(options)) return {Job{options.files.front(), *options.output}};
  const std::string folder = options.output.value_or(".");
  const char* extension = options.wmlc ? ".wmlc" : ".wml";
  std::vector<Job> jobs;
  std::set<std::string> targets;
  for (const std::string& file : options.files) {
    const std::string target = DeckPathIn(folder, file, extension);
    if (!targets.insert(target).second) throw UsageError("two pages would both be written to " + target);
    jobs.push_back(Job{file, target});
  }
  return jobs;
}

// Writes `deck` to standard output or to the file `output`; false (with one
// line on standard error) when it cannot.
bool WriteDeck(const std::string& deck, const std::string& output) {
  if (output.empty()) {
    std::cout.write(deck.data(), static_cast<std::streamsize>(deck.size()));
    return FlushedStandardOutput();
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  out.write(deck.data(), static_cast<std::streamsize>(deck.size()));
  out.close();
  if (out) return true;
  std::cerr << "quillmark: cannot write " << output << "\n";
  return false;
}

// Converts one page; false (with one line on standard error) on failure. A
// deck cut into parts for the device's limits goes into one file a part;
// `targets` are the decks of the run's pages, which no later part may take.
bool RunJob(const Job& job, const ConvertOptions& options, const std::set<std::string>& targets) {
  const std::optional<std::string> page = ReadInput(job.input);
  if (!page) return false;
  if (job.output.empty()) {
    DeckForm form;
    form.wmlc = options.wmlc;
    const std::optional<ConvertedDeck> deck = ConvertDeck(*page, options.device, options.charset, form);
    if (!deck) {
      std::cerr << "quillmark: " << job.input << ": " << ConversionFailureText() << "\n";
      return false;
    }
    if (deck->parts > 1) {
      std::cerr << "quillmark: " << job.input << ": the deck has " << deck->parts
                << " parts for this device; only the first goes to standard output (use -o)\n";
    }
    return WriteDeck(deck->body, "");
  }
  const std::optional<std::vector<DeckFile>> files =
      ConvertToDeckFiles(*page, options.device, options.charset, options.wmlc, job.output);
  if (!files) {
    std::cerr << "quillmark: " << job.input << ": " << ConversionFailureText() << "\n";
    return false;
  }
  if (std::optional<std::string> overwriting = PartsOverwritingOthers(*files, targets)) {
    std::cerr << "quillmark: " << job.input << ": " << *overwriting << "\n";
    return false;
  }
  bool written = true;
  for (const DeckFile& file : *files) written = WriteDeck(file.body, file.path) && written;
  return written;
}

// Creates the folder that the decks go into.
bool PrepareOutputFolder(const ConvertOptions& options) {
  if (!WritesIntoFolder(options)) return true;
  std::error_code error;
  fs::create_directories(*options.output, error);
  if (!error) return true;
  std::cerr << "quillmark: cannot create " << *options.output << ": " << error.message() << "\n";
  return false;
}

// "convert -r SRC -o OUT"; throws UsageError for anything else.
int RunSiteConversion(const ConvertOptions& options) {
  if (!options.output || *options.output == "-") throw UsageError("-r needs -o FOLDER");
  if (options.files.size() != 1 || options.files.front() == "-") throw UsageError("-r needs one folder SRC");
  // The links between a site's decks are rewritten in their text, which
  // compiled decks no longer are.
  if (options.wmlc) throw UsageError("-r writes WML decks only: --wmlc converts single pages");
  if (options.config && !UseConfigurationFile(*options.config)) return 1;
  return ConvertSite(SiteRequest{options.files.front(), *options.output, options.device, options.charset});
}

}  // namespace

int RunConvertCommand(ArgumentCursor& arguments) {
  ConvertOptions options;
  if (auto status = ParseConvertOptions(arguments, options)) return *status;
  if (options.recursive) return RunSiteConversion(options);
  const std::vector<Job> jobs = PlanJobs(options);
  if (options.config && !UseConfigurationFile(*options.config)) return 1;
  if (!PrepareOutputFolder(options)) return 1;
  // The decks of every page, which no later part of another page's deck may take.
  std::set<std::string> targets;
  for (const Job& job : jobs) targets.insert(job.output);
  bool allConverted = true;
  for (const Job& job : jobs) allConverted = RunJob(job, options, targets) && allConverted;
  return allConverted ? 0 : 1;
}

int RunPlainConversion(ArgumentCursor& arguments) {
  ConvertOptions options;
  std::optional<std::string> file;
  while (!arguments.Done()) {
    const std::string word = arguments.Next();
    if (word == "--device") {
      options.device = arguments.ValueOf(word);
    } else if (word == "--charset") {
      options.charset = CharsetValue(arguments, word);
    } else if (word == "--config") {
      options.config = arguments.ValueOf(word);
    } else if (IsOption(word)) {
      throw UsageError("unknown option " + word);
    } else if (file) {
      throw UsageError("more than one file given");
    } else {
      file = word;
    }
  }
  if (options.config && !UseConfigurationFile(*options.config)) return 1;
  return RunJob(Job{file.value_or("-"), ""}, options, {}) ? 0 : 1;
}

}  // namespace quillmark::tools
