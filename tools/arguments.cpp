#include "tools/arguments.h"

#include <charconv>

namespace quillmark::tools {

ArgumentCursor::ArgumentCursor(std::vector<std::string> words) : words_(std::move(words)) {}

bool ArgumentCursor::Done() const { return !pendingValue_ && next_ >= words_.size(); }

std::string ArgumentCursor::Next() {
  if (pendingValue_) throw UsageError("unexpected value " + *pendingValue_);
  std::string word = words_.at(next_++);
  const size_t equals = word.find('=');
  if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
    pendingValue_ = word.substr(equals + 1);
    word.resize(equals);
  }
  return word;
}

std::string ArgumentCursor::ValueOf(const std::string& name) {
  if (pendingValue_) {
    std::string value = std::move(*pendingValue_);
    pendingValue_.reset();
    return value;
  }
  if (next_ >= words_.size()) throw UsageError(name + " needs a value");
  return words_[next_++];
}

bool IsOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

int64_t ParseNumber(const std::string& text, const std::string& option, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
    throw UsageError(option + " needs a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not \"" + text + "\"");
  }
  return value;
}

}  // namespace quillmark::tools
