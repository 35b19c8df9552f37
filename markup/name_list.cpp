#include "markup/name_list.h"

#include <cstring>

namespace quillmark {

int32_t IsNameInList(const char* name, const char* list) {
  if (name == nullptr || list == nullptr) {
    return 0;
  }
  // Each entry is closed by its own NUL; the empty entry closes the list.
  for (const char* entry = list; *entry != '\0'; entry += std::strlen(entry) + 1) {
    if (EqualsIgnoringCase(name, entry)) {
      return 1;
    }
  }
  return 0;
}

int32_t IsBlank(const char* text) {
  if (text == nullptr) {
    return 1;  // no characters at all, like ""
  }
  for (const char* p = text; *p != '\0'; ++p) {
    if (static_cast<unsigned char>(*p) > 32) {
      return 0;
    }
  }
  return 1;
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
