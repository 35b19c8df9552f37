// Reading a command's arguments: options with values, flags and plain words.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillmark::tools {

// A wrong command line; main prints it as one line and exits with status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Walks the words of a command line once, front to back. "--name=value" is
// read as the option "--name" followed by its value.
class ArgumentCursor {
 public:
  explicit ArgumentCursor(std::vector<std::string> words);

  bool Done() const;
  // The next word, consumed; call only when not Done().
  std::string Next();
  // The value that follows option `name`; throws UsageError when none does.
  std::string ValueOf(const std::string& name);

 private:
  std::vector<std::string> words_;
  size_t next_ = 0;
  std::optional<std::string> pendingValue_;
};

// True for a word that looks like an option ("-x", "--x"), but not "-".
bool IsOption(const std::string& word);

// `text` as a whole number in [low, high]; throws UsageError naming `option`.
int64_t ParseNumber(const std::string& text, const std::string& option, int64_t low, int64_t high);

}  // namespace quillmark::tools
