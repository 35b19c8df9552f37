// "quillmark serve": the conversion server.
#pragma once

#include "tools/arguments.h"

namespace quillmark::tools {

// Serves until SIGINT or SIGTERM; returns the exit status.
int RunServeCommand(ArgumentCursor& arguments);

}  // namespace quillmark::tools
