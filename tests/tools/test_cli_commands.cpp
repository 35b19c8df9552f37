// The subcommands of the command-line tool, run as a user runs them.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "server_fixture.h"
#include "tests/tools/cli_runner.h"
#include "transform/wmlc_encoder.h"

extern char** environ;

namespace quillmark::tools::testing {
namespace {

using quillmark::testing::ExpectOneLineError;
using quillmark::testing::RunResult;

std::string ReadFile(const fs::path& file) { return quillmark::testing::ReadWholeFile(file); }

// Runs the tool with `arguments` (shell words) in `folder`.
RunResult RunTool(const TemporaryFolder& folder, const std::string& arguments) {
  return quillmark::testing::RunToolIn(folder.Path(), arguments);
}

constexpr char kConfiguration[] =
    "DEVICE_GROUP=SMALL\nTAG_REPLACE=b=<strong>|</strong>\n"
    "BLOCK_BREAKS=false\n"
    "MAX_CARD_SIZE=900\n"
    "NEXT_LABEL=On\n"
    "DEVICE=KESTREL71;USERAGENT=Kestrel71*;GROUP=SMALL\n"
    "DEVICE=DEFAULT\n";

TEST(CliConvert, SeveralPagesGoIntoAFolderWithTheChosenConfiguration) {
  TemporaryFolder folder;
  folder.Write("a.html", "<p><b>one</b></p>");
  folder.Write("pages/b.htm", "<p><b>two</b></p>");
  folder.Write("devices.cfg", kConfiguration);
  const RunResult result =
      RunTool(folder, "convert --config devices.cfg --device Kestrel71/1 -o out a.html pages/b.htm");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.err.empty()) << result.err;
  EXPECT_TRUE(Contains(ReadFile(folder.Path() / "out/a.wml"), "<strong>one</strong>"));
  EXPECT_TRUE(Contains(ReadFile(folder.Path() / "out/b.wml"), "<strong>two</strong>"));

  const RunResult single = RunTool(folder, "convert -o single.wml a.html");
  EXPECT_EQ(single.status, 0) << single.err;
  EXPECT_TRUE(Contains(ReadFile(folder.Path() / "single.wml"), "<b>one</b>"));
}

TEST(CliConvert, WmlcDecksGoToNameDotWmlc) {
  TemporaryFolder folder;
  folder.Write("a.html", "<p><b>one</b> <a href='http://x.org/'>x</a></p>");
  folder.Write("pages/b.htm", "<p>two</p>");
  const std::string deckA = RunTool(folder, "convert a.html").out;
  const std::string deckB = RunTool(folder, "convert pages/b.htm").out;

  const RunResult here = RunTool(folder, "convert --wmlc a.html pages/b.htm");
  EXPECT_EQ(here.status, 0) << here.err;
  EXPECT_TRUE(here.out.empty());
  EXPECT_EQ(ReadFile(folder.Path() / "a.wmlc"), CompileWmlc(deckA));
  EXPECT_EQ(ReadFile(folder.Path() / "b.wmlc"), CompileWmlc(deckB));

  const RunResult intoFolder = RunTool(folder, "convert --wmlc -o out a.html pages/b.htm");
  EXPECT_EQ(intoFolder.status, 0) << intoFolder.err;
  EXPECT_EQ(ReadFile(folder.Path() / "out/b.wmlc"), CompileWmlc(deckB));

  const RunResult standardInput = RunTool(folder, "convert --wmlc -");
  EXPECT_EQ(standardInput.status, 0) << standardInput.err;
  EXPECT_EQ(standardInput.out, CompileWmlc(RunTool(folder, "convert -").out));
  // "-o -" is standard output, for the text deck and the compiled one.
  EXPECT_EQ(RunTool(folder, "convert -o - a.html").out, deckA);
  EXPECT_EQ(RunTool(folder, "convert --wmlc -o - a.html").out, CompileWmlc(deckA));
  EXPECT_FALSE(fs::exists(folder.Path() / "-"));
  EXPECT_NE(RunTool(folder, "convert -o - a.html pages/b.htm").status, 0);
}

TEST(CliConvert, ErrorsAreOneLineWithAStatus) {
  TemporaryFolder folder;
  folder.Write("a.html", "<p>a</p>");
  folder.Write("x/a.html", "<p>a</p>");
  std::string fields = "<form>";
  for (int i = 0; i < 400; ++i) fields += "<input name=f><input type=submit>";
  folder.Write("fields.html", fields);
  folder.Write("huge.cfg", std::string((4 << 20) + 1, '/'));
  folder.Write("ok.cfg", "DEVICE_GROUP=G\n");
  struct Case {
    const char* arguments;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"convert a.html x/a.html", 2, "quillmark: several pages need -o FOLDER"},
      {"convert -o out a.html x/a.html", 2, "quillmark: two pages would both be written to out/a.wml"},
      {"convert --config missing.cfg a.html", 1, "quillmark: cannot read missing.cfg"},
      {"convert --config huge.cfg a.html", 1, "quillmark: cannot read huge.cfg: larger than 4 MiB"},
      {"--config /dev/null a.html", 1, "quillmark: cannot read /dev/null: not a regular file"},
      {"convert missing.html", 1, "quillmark: cannot read missing.html"},
      {"convert x", 1, "quillmark: cannot read x: is a directory"},
      {"convert --frobnicate a.html", 2, "quillmark: unknown option --frobnicate"},
      {"convert --charset latin-9x a.html", 2, "quillmark: unknown charset \"latin-9x\" for --charset"},
      {"--charset '' a.html", 2, "quillmark: unknown charset \"\" for --charset"},
      {"convert fields.html", 1, "quillmark: fields.html: page exceeds the conversion budget"},
      {"check-config", 2, "quillmark: check-config needs a FILE"},
      {"check-config missing.cfg", 1, "quillmark: cannot read missing.cfg"},
      {"check-config ok.cfg > /dev/full", 1, "quillmark: cannot write standard output"},
      {"convert -r x -o out > /dev/full", 1, "quillmark: cannot write standard output"},
      {"serve", 2, "quillmark: serve needs either --root DIR or --origin URL"},
      {"serve --root x --origin http://h", 2, "quillmark: serve needs either --root DIR or --origin URL"},
      {"serve --root x --port 70000", 2, "quillmark: --port needs a whole number from 0 to 65535"},
      {"serve --root x --origin-ca ca.pem", 2, "quillmark: --origin-timeout and --origin-ca go with --origin"},
      {"serve --root x --origin-timeout 5", 2, "quillmark: --origin-timeout and --origin-ca go with --origin"},
      {"serve --root x --part-parameter a=b", 2, "quillmark: --part-parameter needs a name of letters, digits"},
      {"serve --root x --part-parameter ''", 2, "quillmark: --part-parameter needs a name of letters, digits"},
      {"serve --root nowhere", 1, "quillmark: nowhere is not a folder"},
      {"serve --origin ftp://h", 1, "quillmark: the origin must be an http:// URL"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ExpectOneLineError(RunTool(folder, c.arguments), c.status, c.message);
  }
}

TEST(CliConvert, CharsetNamesThePagesCharset) {
  TemporaryFolder folder;
  folder.Write("koi8.html", "<p>caf\xE9</p>");
  folder.Write("declared.html", "<meta charset=windows-1252><p>caf\xE9</p>");
  EXPECT_NE(RunTool(folder, "convert --charset KOI8-R koi8.html").out.find("caf\xD0\x98"), std::string::npos);
  EXPECT_NE(RunTool(folder, "--charset koi8-r koi8.html").out.find("caf\xD0\x98"), std::string::npos);
  // A page's own declaration wins over the one given.
  EXPECT_NE(RunTool(folder, "convert --charset KOI8-R declared.html").out.find("caf\xC3\xA9"), std::string::npos);
}

// A page of 4,000 bytes, and a configuration whose decks hold a fifth of it.
std::string LongPage() {
  std::string page;
  for (int i = 0; page.size() < 4000; ++i) page += "<p>paragraph " + std::to_string(i) + " of words</p>";
  return page;
}
constexpr char kSmallDecks[] = "DEVICE_GROUP=G\nMAX_DECK_SIZE=700\nDEVICE=DEFAULT\nGROUP=G\n";

TEST(CliConvert, APagedDeckGoesIntoOneFileAPart) {
  TemporaryFolder folder;
  folder.Write("long.html", LongPage());
  folder.Write("small.cfg", kSmallDecks);
  for (const std::string extension : {".wml", ".wmlc"}) {
    SCOPED_TRACE(extension);
    const RunResult result =
        RunTool(folder, "convert --config small.cfg " + std::string(extension == ".wmlc" ? "--wmlc " : "") +
                            "-o out/ long.html");
    EXPECT_EQ(result.status, 0) << result.err;
    int parts = 1;
    while (fs::exists(folder.Path() / ("out/long-" + std::to_string(parts + 1) + extension))) ++parts;
    EXPECT_GT(parts, 2);
    EXPECT_FALSE(fs::exists(folder.Path() / ("out/long-1" + extension)));
    for (int part = 1; part <= parts; ++part) {
      const std::string name = part == 1 ? "out/long" + extension : "out/long-" + std::to_string(part) + extension;
      const std::string deck = ReadFile(folder.Path() / name);
      EXPECT_LE(deck.size(), extension == ".wmlc" ? 700u : deck.size()) << name;
      if (extension == ".wml" && part < parts) {
        EXPECT_TRUE(Contains(deck, "href=\"long-" + std::to_string(part + 1) + ".wml")) << deck;
      }
    }
  }
  const RunResult piped = RunTool(folder, "--config small.cfg long.html");
  EXPECT_EQ(piped.status, 0);
  EXPECT_TRUE(Contains(piped.err, "only the first goes to standard output")) << piped.err;
  // A file name is linked as a relative link must write it.
  folder.Write("my long:page.html", LongPage());
  EXPECT_EQ(RunTool(folder, "convert --config small.cfg -o named/ 'my long:page.html'").status, 0);
  const std::string first = ReadFile(folder.Path() / "named/my long:page.wml");
  EXPECT_TRUE(Contains(first, "href=\"my%20long%3Apage-2.wml")) << first;
  const std::string second = ReadFile(folder.Path() / "named/my long:page-2.wml");
  EXPECT_TRUE(Contains(second, "href=\"my%20long%3Apage-3.wml")) << second;
}

TEST(CliConvert, APartNeverOverwritesAnotherFile) {
  TemporaryFolder folder;
  folder.Write("site/long.html", LongPage());
  // The deck of this page has the name of the long page's second part.
  folder.Write("site/long-2.html", "<p>a page of its own</p>");
  folder.Write("small.cfg", kSmallDecks);
  for (const std::string command : {"-o out site/long.html site/long-2.html", "-r site -o out"}) {
    SCOPED_TRACE(command);
    fs::remove_all(folder.Path() / "out");
    const RunResult result = RunTool(folder, "convert --config small.cfg " + command);
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(Contains(result.err + result.out, "long.html: its part 2 would be written to ")) << result.err;
    EXPECT_TRUE(Contains(ReadFile(folder.Path() / "out/long-2.wml"), "a page of its own"));
    EXPECT_FALSE(fs::exists(folder.Path() / "out/long.wml"));
  }
}

TEST(CliCheckConfig, TellsWhatTheFileMeans) {
  TemporaryFolder folder;
  folder.Write("devices.cfg", kConfiguration);
  const RunResult result = RunTool(folder, "check-config --device Kestrel71/1.0 devices.cfg");
  EXPECT_EQ(result.status, 0) << result.err;
  for (const char* part : {"DEVICE_GROUP=SMALL\n", "DEVICE=KESTREL71\n    USERAGENT=Kestrel71*\n    GROUP=SMALL\n",
                           "settings from: group SMALL\n", "TAG_REPLACE=b=<strong>|</strong>\n",
                           "    BLOCK_BREAKS=false\n", "    MAX_CARD_SIZE=900 (bytes of WMLC)\n",
                           "    MAX_DECK_SIZE=0 (no limit)\n", "    NEXT_LABEL=On\n", "    BACK_LABEL=Back\n",
                           "(last device: its pattern is never tried)", "Default device (when no pattern matches): DEFAULT\n",
                           "Device text \"Kestrel71/1.0\" selects: KESTREL71\n"}) {
    EXPECT_TRUE(Contains(result.out, part)) << part << "\n" << result.out;
  }
  EXPECT_TRUE(result.err.empty()) << result.err;
  const RunResult other = RunTool(folder, "check-config --strict --device Other devices.cfg");
  EXPECT_EQ(other.status, 0) << other.err;
  EXPECT_TRUE(Contains(other.out, "Device text \"Other\" selects: DEFAULT\n")) << other.out;
}

TEST(CliCheckConfig, NamesTheLinesReadOtherwiseThanTheySeem) {
  TemporaryFolder folder;
  folder.Write("typo.cfg", "DEVICE_GROUP=SMALL\nTABLES=yes\nMAX_CARDSIZE=900\nDEVICE=DEFAULT\n");
  const std::string notes =
      "typo.cfg:2: TABLES=\"yes\" is neither true nor false: read as false\n"
      "typo.cfg:3: unknown key \"MAX_CARDSIZE\": ignored (MAX_CARD_SIZE?)\n";
  const RunResult lenient = RunTool(folder, "check-config typo.cfg");
  EXPECT_EQ(lenient.status, 0);
  EXPECT_EQ(lenient.err, notes);
  EXPECT_TRUE(Contains(lenient.out, "TABLES=false\n")) << lenient.out;
  const RunResult strict = RunTool(folder, "check-config --strict typo.cfg");
  EXPECT_EQ(strict.status, 3);
  EXPECT_EQ(strict.err, notes);
  EXPECT_EQ(strict.out, lenient.out);
}

TEST(CliHelp, EveryCommandHasItsHelp) {
  TemporaryFolder folder;
  struct Case {
    const char* arguments;
    const char* start;
  };
  const Case cases[] = {
      {"--help", "Usage: quillmark [--device TEXT] [--config FILE] [FILE]\n"},
      {"convert --help", "Usage: quillmark convert "},
      {"check-config --help", "Usage: quillmark check-config "},
      {"serve --help", "Usage: quillmark serve "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const RunResult result = RunTool(folder, c.arguments);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind(c.start, 0), 0u) << result.out;
  }
}

// Starts "quillmark serve" with its standard error in `errFile`.
pid_t StartServe(const TemporaryFolder& folder, const fs::path& errFile, const std::vector<std::string>& more = {}) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const std::string root = (folder.Path() / "site").string();
  std::string program = QUILLMARK_CLI_PATH;
  std::vector<std::string> words = {program, "serve", "--root", root, "--port", "0", "--threads", "2"};
  words.insert(words.end(), more.begin(), more.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The port in the server's "serving ... on http://127.0.0.1:PORT/" line.
int WaitForPort(const fs::path& errFile) {
  for (int attempt = 0; attempt < 500; ++attempt) {
    const std::string text = ReadFile(errFile);
    const size_t at = text.find("127.0.0.1:");
    if (at != std::string::npos && text.find('/', at) != std::string::npos) return std::stoi(text.substr(at + 10));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

// Sends `signal` to the server and waits for it; true when it exited with
// status 0.
bool StoppedCleanly(pid_t pid, int signal) {
  ::kill(pid, signal);
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(CliServe, ServesAndStopsCleanlyOnSignals) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    TemporaryFolder folder;
    folder.Write("site/index.html", "<p>served</p>");
    const fs::path errFile = folder.Path() / "stderr";
    const pid_t pid = StartServe(folder, errFile);
    ASSERT_GT(pid, 0);
    const int port = WaitForPort(errFile);
    ASSERT_GT(port, 0) << ReadFile(errFile);
    const std::string answer = SendRaw(port, "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(StatusOf(answer), 200) << answer;
    EXPECT_TRUE(Contains(answer, "served")) << answer;
    EXPECT_TRUE(StoppedCleanly(pid, signal));
    const std::string log = ReadFile(errFile);
    EXPECT_TRUE(Contains(log, "\"GET / HTTP/1.1\" 200 ")) << log;
    EXPECT_TRUE(Contains(log, "quillmark: stopped\n")) << log;
    // Without --config the server watches the file the library reads.
    EXPECT_TRUE(Contains(log, "libquillmark..cfg generation 1")) << log;
  }
}

TEST(CliServe, LogsToAFileAndRefusesAPortInUse) {
  TemporaryFolder folder;
  folder.Write("site/index.html", "<p>served</p>");
  const fs::path errFile = folder.Path() / "stderr";
  const fs::path logFile = folder.Path() / "access.log";
  const pid_t pid = StartServe(folder, errFile, {"--log", logFile.string()});
  ASSERT_GT(pid, 0);
  const int port = WaitForPort(errFile);
  ASSERT_GT(port, 0) << ReadFile(errFile);
  EXPECT_EQ(StatusOf(SendRaw(port, "GET /?a=b HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")), 200);

  // A second server on the same port does not start.
  const RunResult second = RunTool(folder, "serve --root site --port " + std::to_string(port));
  ExpectOneLineError(second, 1,
                     "quillmark: cannot listen on 127.0.0.1:" + std::to_string(port) + ": Address already in use");

  // Log rotation: the file is moved away, and SIGHUP opens it anew.
  const fs::path rotated = folder.Path() / "access.log.1";
  fs::rename(logFile, rotated);
  ::kill(pid, SIGHUP);
  for (int attempt = 0; attempt < 500 && !fs::exists(logFile); ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(StatusOf(SendRaw(port, "GET /?after HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")), 200);

  EXPECT_TRUE(StoppedCleanly(pid, SIGTERM));
  const std::string before = ReadFile(rotated);
  const std::string after = ReadFile(logFile);
  EXPECT_TRUE(Contains(before, "\"GET /?a=b HTTP/1.1\" 200 ")) << before;
  EXPECT_FALSE(Contains(before, "/?after")) << before;
  EXPECT_TRUE(Contains(after, "\"GET /?after HTTP/1.1\" 200 ")) << after;
  EXPECT_FALSE(Contains(ReadFile(errFile), "GET /")) << ReadFile(errFile);
}

}  // namespace
}  // namespace quillmark::tools::testing
