// Reading the number an attribute value begins with.
#pragma once

#include <cstdint>

namespace quillmark {

// The value of the decimal integer `text` begins with, as the C library's
// conversion reads it (white space and a sign allowed before the digits; 0
// when there are none), clamped to the 32-bit range so that no run of
// digits overflows.
int32_t LeadingInteger(const char* text);

}  // namespace quillmark
