#include "base/leading_integer.h"

namespace quillmark {

int32_t LeadingInteger(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  // The magnitude that still fits: one more below zero than above.
  const int64_t most = negative ? int64_t{INT32_MAX} + 1 : int64_t{INT32_MAX};
  int64_t value = 0;
  // value is the number of the digits passed so far, capped at `most`.
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > most) value = most;
  }
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace quillmark
