#include "markup/name_list.h"


namespace quillmark {

int32_t IsNameInList(const char* name, const char* list) {
  if (name == nullptr || list == nullptr) {
    return 0;
  }
  // Each entry is closed by its own NUL; the empty entry closes the list.
  // One pass over the list: an entry is compared as far as it matches, then
  // skipped to its end.
  const char first = ToUpperAscii(name[0]);
  for (const char* entry = list; *entry != '\0'; ++entry) {
    if (ToUpperAscii(*entry) == first) {
      const char* a = name;
      // name and entry agree before a and entry.
      while (*entry != '\0' && ToUpperAscii(*a) == ToUpperAscii(*entry)) {
        ++a;
        ++entry;
      }
      if (*entry == '\0' && *a == '\0') return 1;
    }
    while (*entry != '\0') ++entry;
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

}  // namespace quillmark
