// "quillmark check-config": what a configuration file means to the library.
#pragma once

#include "tools/arguments.h"

namespace quillmark::tools {

// Reads the configuration file the arguments name and prints its account;
// returns the exit status.
int RunCheckConfigCommand(ArgumentCursor& arguments);

}  // namespace quillmark::tools
