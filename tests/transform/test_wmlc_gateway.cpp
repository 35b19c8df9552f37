// Our WMLC against a real gateway's compiler: for the decks of the sample
// pages installed with html2wml, valgrind and libxslt, our compiled deck and
// Kannel's decode (wbxml2xml) to the same document, and ours is seldom
// larger and never by more than 5%. Runs where both tools are installed.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "interface/convert_helpers.h"
#include "support/corpus_pages.h"
#include "transform/wmlc_encoder.h"

namespace quillmark {
namespace {

namespace fs = std::filesystem;

constexpr char kKannelCompiler[] = "/usr/lib/kannel/test/wml_tester";
constexpr char kDecoder[] = "/usr/bin/wbxml2xml";

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

using testing::CorpusPages;
using testing::ReadFile;

// The deck re-encoded in UTF-8 when its declaration names ISO-8859-1: the
// packaged decoder converts no other charset.
std::string InUtf8(std::string deck) {
  constexpr std::string_view kLatin1 = "encoding=\"ISO-8859-1\"";
  const std::size_t declaration = deck.find(kLatin1);
  if (declaration == std::string::npos || declaration > deck.find('\n')) return deck;
  deck.replace(declaration, kLatin1.size(), "encoding=\"UTF-8\"");
  std::string out;
  for (unsigned char c : deck) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

// True when a "$" of the deck is neither "$$" nor starts a variable: the
// gateway drops such a "$" with what follows, where we keep it as text.
bool HasStrayDollar(const std::string& deck) {
  for (std::size_t at = deck.find('$'); at != std::string::npos; at = deck.find('$', at + 1)) {
    const char next = at + 1 < deck.size() ? deck[at + 1] : '\0';
    if (next == '$') {
      ++at;
      continue;
    }
    if (IsNameStart(next)) continue;
    if (next != '(' || at + 2 >= deck.size() || !IsNameStart(deck[at + 2])) return true;
    const std::size_t close = deck.find(')', at);
    if (close == std::string::npos || deck.find_first_of(" <>\"", at) < close) return true;
  }
  return false;
}

// The document that wbxml2xml decodes from `wmlc`, or nothing.
std::optional<std::string> Decoded(const fs::path& wmlc, const fs::path& xml) {
  const std::string command =
      std::string(kDecoder) + " -m 0 -k -o '" + xml.string() + "' '" + wmlc.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  return ReadFile(xml);
}

struct Tally {
  int compared = 0;
  int rejected = 0;
  int strayDollar = 0;
  int notLarger = 0;
};

// Compiles every `work`/N.wml with Kannel into N.kannel.wmlc, its messages
// in N.log; several at once, as the compiler mostly waits on its own start.
void CompileAllWithKannel(const fs::path& work) {
  const std::string command = "cd '" + work.string() + "' && ls | grep '[.]wml$' | xargs -P 8 -I{} sh -c '" +
                              kKannelCompiler + " -b -f {}.kannel.wmlc {} >{}.log 2>&1; true'";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

TEST(WmlcGateway, DecodesLikeKannelAndIsNoLarger) {
  if (access(kKannelCompiler, X_OK) != 0 || access(kDecoder, X_OK) != 0) {
    GTEST_SKIP() << "needs kannel-extras and libwbxml2-utils";
  }
  const std::vector<fs::path> pages = CorpusPages();
  if (pages.empty()) GTEST_SKIP() << "no sample pages installed";
  const fs::path work = fs::temp_directory_path() / ("quillmark-wmlc-" + std::to_string(getpid()));
  fs::create_directories(work);
  Tally tally;
  std::vector<std::pair<fs::path, std::string>> decks;  // page, deck
  for (const fs::path& page : pages) {
    std::string deck = InUtf8(testing::Convert(ReadFile(page)).text);
    if (HasStrayDollar(deck)) {
      ++tally.strayDollar;
      continue;
    }
    WriteFile(work / (std::to_string(decks.size()) + ".wml"), deck);
    decks.emplace_back(page, std::move(deck));
  }
  CompileAllWithKannel(work);
  for (std::size_t i = 0; i < decks.size(); ++i) {
    const auto& [page, deck] = decks[i];
    const fs::path base = work / std::to_string(i);
    const fs::path theirs = base.string() + ".wml.kannel.wmlc";
    std::error_code missing;
    if (ReadFile(base.string() + ".wml.log").find("ERROR") != std::string::npos ||
        fs::file_size(theirs, missing) == 0 || missing) {
      ++tally.rejected;
      continue;
    }
    const std::string compiled = CompileWmlc(deck);
    const fs::path ours = base.string() + ".ours.wmlc";
    WriteFile(ours, compiled);
    const std::optional<std::string> theirDocument = Decoded(theirs, base.string() + ".kannel.xml");
    ASSERT_TRUE(theirDocument) << page;
    EXPECT_EQ(Decoded(ours, base.string() + ".ours.xml"), theirDocument) << page;
    const std::uintmax_t theirSize = fs::file_size(theirs);
    EXPECT_LE(compiled.size() * 100, theirSize * 105) << page << ": " << compiled.size() << " > " << theirSize;
    ++tally.compared;
    if (compiled.size() <= theirSize) ++tally.notLarger;
  }
  fs::remove_all(work);
  std::cout << "compared " << tally.compared << ", no larger " << tally.notLarger << ", rejected by Kannel "
            << tally.rejected << ", with a stray $ " << tally.strayDollar << "\n";
  EXPECT_GT(tally.compared, 0);
  EXPECT_GE(tally.notLarger * 10, tally.compared * 9);
}

}  // namespace
}  // namespace quillmark
