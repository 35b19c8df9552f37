// Test support: running the command-line tool as a user runs it.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace quillmark::testing {

struct RunResult {
  int status = -1;  // exit status, -1 when the tool did not exit normally
  std::string out;
  std::string err;
};

// Runs the shell `command`, whose standard error goes to `errFile`; returns
// its exit status, standard output and what it wrote to `errFile`.
inline RunResult RunShell(const std::string& command, const std::filesystem::path& errFile) {
  RunResult result;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::array<char, 4096> chunk{};
  size_t n = 0;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), pipe.get())) > 0) result.out.append(chunk.data(), n);
  const int status = pclose(pipe.release());
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errFile, std::ios::binary);
  result.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
  return result;
}

// Checks that the tool failed with `status` and one line on standard error
// that begins with `message`, and wrote nothing to standard output.
inline void ExpectOneLineError(const RunResult& result, int status, const std::string& message) {
  EXPECT_EQ(result.status, status);
  EXPECT_EQ(result.err.rfind(message, 0), 0u) << result.err;
  EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
  EXPECT_TRUE(result.out.empty()) << result.out;
}

// Runs the tool with `arguments` (shell words) in `folder`, with nothing on
// standard input; standard error goes through the file `folder`/stderr.
inline RunResult RunToolIn(const std::filesystem::path& folder, const std::string& arguments) {
  const std::filesystem::path err = folder / "stderr";
  const std::string command = "cd '" + folder.string() + "' && '" + QUILLMARK_CLI_PATH + "' " + arguments +
                              " < /dev/null 2> '" + err.string() + "'";
  return RunShell(command, err);
}

// The whole of `file` ("" when it cannot be read).
inline std::string ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace quillmark::testing
