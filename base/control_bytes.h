// The control bytes and blanks that pages put around texts and targets.
#pragma once

#include <string_view>

namespace quillmark {

// `text` without leading and trailing bytes of value 1 to 32.
inline std::string_view TrimControlBytes(std::string_view text) {
  const auto isControl = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 1 && byte <= 32;
  };
  while (!text.empty() && isControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && isControl(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace quillmark
