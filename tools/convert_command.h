// "quillmark convert" and the plain "quillmark [--device TEXT] [FILE]".
#pragma once

#include "tools/arguments.h"

namespace quillmark::tools {

// Converts the files the arguments name; returns the exit status.
int RunConvertCommand(ArgumentCursor& arguments);

// The original usage: at most one file, the deck on standard output.
int RunPlainConversion(ArgumentCursor& arguments);

}  // namespace quillmark::tools
