#include "base/case_folding.h"

namespace quillmark {

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
