// Name lists and the blank-text test.
//
// A name list is one block of characters: names one after another, each
// closed by a NUL, the list closed by an empty name (a second NUL). A list
// whose first character is NUL is empty. Fixed lists are written as string
// literals with embedded NULs, e.g. "b\0i\0" (the literal's own terminator
// closes the list).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/case_folding.h"

namespace quillmark {

// 1 when name equals one of the list's names, ignoring case; a null list or
// a null name never matches.
int32_t IsNameInList(const char* name, const char* list);

// 1 when every byte of text, taken as unsigned, is 32 or less; "" is blank.
int32_t IsBlank(const char* text);

}  // namespace quillmark
