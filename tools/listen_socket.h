// The server's listening socket.
#pragma once

#include <string>

#include "tools/unique_fd.h"

namespace quillmark::tools {

struct ListeningSocket {
  UniqueFd socket;
  int port = -1;      // the port bound, -1 on failure
  std::string error;  // why it failed, "" otherwise
};

// A non-blocking socket listening on `address` and `port` (0: any free port)
// with room for `backlog` connections not yet accepted. A port that another
// socket listens on is refused: the socket never shares its port.
ListeningSocket OpenListeningSocket(const std::string& address, int port, int backlog);

}  // namespace quillmark::tools
