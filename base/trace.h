// The trace sink: every subsystem reports its steps here with fixed
// messages. It has no destination: every call is a no-op, and the format is
// checked by the compiler only.
#pragma once

namespace quillmark {

[[gnu::format(printf, 1, 2)]] inline void Trace(const char* /*format*/, ...) {}

}  // namespace quillmark
