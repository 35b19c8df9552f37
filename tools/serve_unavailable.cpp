// "quillmark serve" in a build made without the server's HTTP libraries:
// the command exists, so that its help and its error say what is missing.
#include <iostream>

#include "tools/serve_command.h"

namespace quillmark::tools {

int RunServeCommand(ArgumentCursor&) {
  std::cerr << "quillmark: serve is not available: this quillmark was built without its server\n";
  return 1;
}

}  // namespace quillmark::tools
