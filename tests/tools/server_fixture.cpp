#include "server_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tools/ascii_case.h"

namespace quillmark::tools::testing {

UniqueFd Connect(int port, int timeoutMs) {
  UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) return socket;
  const timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  ::setsockopt(socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) socket.Reset();
  return socket;
}

std::string SendRaw(int port, const std::string& requestText) {
  const UniqueFd socket = Connect(port);
  std::string answer;
  if (socket.Valid() && ::send(socket.Get(), requestText.data(), requestText.size(), MSG_NOSIGNAL) ==
                            static_cast<ssize_t>(requestText.size())) {
    char chunk[4096];
    ssize_t n = 0;
    while ((n = ::recv(socket.Get(), chunk, sizeof chunk, 0)) > 0) answer.append(chunk, static_cast<size_t>(n));
  }
  return answer;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string HttpReply::Header(const std::string& name) const { return FindHeader(headers, name).value_or(""); }

bool HttpReply::Has(const std::string& name) const { return FindHeader(headers, name).has_value(); }

HttpReply ParseReply(const std::string& answer) {
  HttpReply reply;
  const size_t headEnd = answer.find("\r\n\r\n");
  if (headEnd == std::string::npos) return reply;
  reply.status = StatusOf(answer);
  size_t line = answer.find("\r\n") + 2;
  while (line < headEnd) {
    const size_t end = answer.find("\r\n", line);
    const std::string text = answer.substr(line, end - line);
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
      reply.headers.emplace_back(text.substr(0, colon), std::string(TrimmedBlanks(text.substr(colon + 1))));
    }
    line = end + 2;
  }
  reply.body = answer.substr(headEnd + 4);
  return reply;
}

HttpReply Request(int port, const std::string& method, const std::string& target, const HeaderList& headers,
                  const std::string& body) {
  std::string text = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
  for (const auto& [name, value] : headers) text += name + ": " + value + "\r\n";
  if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return ParseReply(SendRaw(port, text + "\r\n" + body));
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
