#include "tools/listen_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace quillmark::tools {

namespace {

struct AddressDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

// The port that `socket` is bound to, or -1.
int BoundPort(int socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return -1;
}

// A listening socket for one resolved address; its error text otherwise.
ListeningSocket ListenOn(const addrinfo& address, int backlog) {
  ListeningSocket result;
  UniqueFd socket(::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
  // SO_REUSEADDR lets a restarted server bind while old connections linger;
  // unlike SO_REUSEPORT it never lets two servers listen on one port.
  const int on = 1;
  if (!socket.Valid() || ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(socket.Get(), address.ai_addr, address.ai_addrlen) != 0 || ::listen(socket.Get(), backlog) != 0) {
    result.error = std::strerror(errno);
    return result;
  }
  result.port = BoundPort(socket.Get());
  result.socket = std::move(socket);
  return result;
}

}  // namespace

ListeningSocket OpenListeningSocket(const std::string& address, int port, int backlog) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (status != 0) return ListeningSocket{UniqueFd(), -1, gai_strerror(status)};
  const std::unique_ptr<addrinfo, AddressDeleter> list(found);
  return ListenOn(*found, backlog);
}

}  // namespace quillmark::tools
