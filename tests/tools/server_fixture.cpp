#include "server_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillmark::tools::testing {

std::string SendRaw(int port, const std::string& requestText) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  if (socket < 0) return std::string();
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::send(socket, requestText.data(), requestText.size(), 0) == static_cast<ssize_t>(requestText.size())) {
    char chunk[4096];
    ssize_t n = 0;
    while ((n = ::recv(socket, chunk, sizeof chunk, 0)) > 0) answer.append(chunk, static_cast<size_t>(n));
  }
  ::close(socket);
  return answer;
}

int UnusedLoopbackPort() {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = -1;
  if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(socket);
  return port;
}

int StatusOf(const std::string& answer) {
  if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12) return -1;
  return std::stoi(answer.substr(9, 3));
}

}  // namespace quillmark::tools::testing
