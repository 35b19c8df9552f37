// Decks of real pages compile with a WAP gateway's WML compiler (Kannel's
// wml_tester, Debian package kannel-extras), where it is installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "interface/conversion.h"
#include "support/corpus_pages.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

constexpr char kCompiler[] = "/usr/lib/kannel/test/wml_tester";

using testing::CorpusPages;
using testing::ReadFile;

// The compiler's ERROR lines for `deck`.
std::string CompilerErrors(const std::string& deck, const fs::path& scratch) {
  std::ofstream(scratch, std::ios::binary) << deck;
  const std::string command = std::string(kCompiler) + " " + scratch.string() + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return "cannot run the compiler";
  std::string errors;
  char line[4096];
  while (fgets(line, sizeof line, pipe.get()) != nullptr) {
    if (std::string(line).find("] ERROR:") != std::string::npos) errors += line;
  }
  return errors;
}

// The corpus pages and the built-in configuration; every test is skipped
// where the compiler or the pages are missing.
class GatewayCompile : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kCompiler)) GTEST_SKIP() << "kannel-extras is not installed";
    pages = CorpusPages();
    if (pages.empty()) GTEST_SKIP() << "no corpus pages installed";
    configuration->finish();
  }

  std::vector<fs::path> pages;
  std::shared_ptr<DeviceConfiguration> configuration = std::make_shared<DeviceConfiguration>();
};

TEST_F(GatewayCompile, EveryCorpusDeckCompiles) {
  const fs::path scratch = fs::temp_directory_path() / ("quillmark-gateway-" + std::to_string(getpid()) + ".wml");
  int rejected = 0;
  for (const fs::path& page : pages) {
    const std::string errors = CompilerErrors(MakeDeck(configuration, nullptr, ReadFile(page), ""), scratch);
    if (errors.empty()) continue;
    ++rejected;
    ADD_FAILURE() << page << "\n" << errors.substr(0, 600);
  }
  fs::remove(scratch);
  RecordProperty("pages", static_cast<int>(pages.size()));
  EXPECT_EQ(rejected, 0) << "of " << pages.size() << " pages";
}

// Decks cut to a colour phone's limits: every part of every page compiles.
TEST_F(GatewayCompile, EveryPartOfACutCorpusDeckCompiles) {
  const fs::path scratch = fs::temp_directory_path() / ("quillmark-parts-" + std::to_string(getpid()) + ".wml");
  int parts = 0;
  for (const fs::path& page : pages) {
    const std::string deck = MakeDeck(configuration, nullptr, ReadFile(page), "");
    for (const std::string& part : SplitDeck(deck, DeckLimits{2500, 8000}, PartLinks{"", "?qm-part={n}"})) {
      ++parts;
      const std::string errors = CompilerErrors(part, scratch);
      if (!errors.empty()) ADD_FAILURE() << page << " part " << parts << "\n" << errors.substr(0, 600);
    }
  }
  fs::remove(scratch);
  RecordProperty("parts", parts);
}

}  // namespace
}  // namespace quillmark
