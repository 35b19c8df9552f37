// The command-line host, run as a user runs it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/tools/cli_runner.h"

namespace {

using quillmark::testing::ExpectOneLineError;
using quillmark::testing::RunResult;

// Runs the tool with `arguments` (shell words) and `input` on stdin.
RunResult RunTool(const std::string& arguments, const std::string& input = "") {
  const auto dir = std::filesystem::temp_directory_path() / ("qm_cli_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto in = dir / "in";
  const auto err = dir / "err";
  std::ofstream(in, std::ios::binary) << input;
  const std::string command = std::string("'") + QUILLMARK_CLI_PATH + "' " + arguments + " < '" +
                              in.string() + "' 2> '" + err.string() + "'";
  RunResult result = quillmark::testing::RunShell(command, err);
  std::filesystem::remove_all(dir);
  return result;
}

TEST(Cli, ConvertsStandardInputAndFilesAlike) {
  const RunResult fromStdin = RunTool("", "<p>Hello</p>");
  EXPECT_EQ(fromStdin.status, 0);
  EXPECT_NE(fromStdin.out.find("Hello"), std::string::npos);
  EXPECT_TRUE(fromStdin.err.empty()) << fromStdin.err;

  const std::string example = std::string(QUILLMARK_SOURCE_DIR) + "/examples/welcome.html";
  const RunResult fromFile = RunTool("'" + example + "'");
  EXPECT_EQ(fromFile.status, 0);
  std::ifstream page(example);
  const std::string text((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
  EXPECT_EQ(RunTool("-", text).out, fromFile.out);
}

TEST(Cli, TheReadmeShowsTheDeckItsFirstCommandPrints) {
  std::ifstream readme(std::string(QUILLMARK_SOURCE_DIR) + "/README.md");
  const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  const size_t start = text.find("```\n<?xml");
  ASSERT_NE(start, std::string::npos) << "no deck shown in README.md";
  const size_t end = text.find("```", start + 3);
  ASSERT_NE(end, std::string::npos);
  std::string deck = RunTool("'" + std::string(QUILLMARK_SOURCE_DIR) + "/examples/welcome.html'").out;
  for (size_t at = deck.find("\r\n"); at != std::string::npos; at = deck.find("\r\n", at)) deck.erase(at, 1);
  EXPECT_EQ(text.substr(start + 4, end - start - 4), deck);
}

TEST(Cli, LargePagesGrowTheBufferUntilTheDeckFits) {
  // Nested tags ask for far more room than the page size, since the measure
  // allows line breaks around every tag; the first buffer is too small.
  std::string page;
  for (int i = 0; i < 20000; ++i) page += "<b>";
  page += "x";
  const RunResult result = RunTool("", page);
  EXPECT_EQ(result.status, 0);
  size_t tags = 0;
  for (size_t at = result.out.find("<b>"); at != std::string::npos; at = result.out.find("<b>", at + 1)) ++tags;
  EXPECT_EQ(tags, 20000u);
}

TEST(Cli, ErrorsAreOneLineOnStandardError) {
  struct Case {
    const char* arguments;
    int status;
    const char* message;
  };
  const Case cases[] = {
      {"/nonexistent/page.html", 1, "quillmark: cannot read /nonexistent/page.html"},
      {"--device", 2, "quillmark: --device needs a value"},
      {"--bogus", 2, "quillmark: unknown option --bogus"},
      {"a b", 2, "quillmark: more than one file given"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    ExpectOneLineError(RunTool(c.arguments), c.status, c.message);
  }
}

#if !QUILLMARK_SERVER_BUILT
TEST(Cli, ServeSaysInOneLineThatThisBuildHasNoServer) {
  ExpectOneLineError(RunTool("serve --root ."), 1,
                     "quillmark: serve is not available: this quillmark was built without its server");
}
#endif

TEST(Cli, HelpAndVersion) {
  const RunResult help = RunTool("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: quillmark", 0), 0u);
  const RunResult version = RunTool("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Quillmark, v0.9.21\n");
}

}  // namespace
