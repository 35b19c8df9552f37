#include "base/case_folding.h"

namespace quillmark {

std::string LowerCasedAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = ToLowerAscii(c);
  return lowered;
}

bool EqualsIgnoringCase(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) {
    return false;
  }
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (ToUpperAscii(*a) != ToUpperAscii(*b)) {
      return false;
    }
  }
  return *a == *b;
}

}  // namespace quillmark
