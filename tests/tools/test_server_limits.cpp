// The server against clients that try to take it down: floods, trickles and
// crowds of connections, all on loopback and bounded in time.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "server_fixture.h"
#include "tools/site_root.h"

namespace quillmark::tools::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Resident memory of this process, which runs the server, in bytes.
int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  int64_t pages = 0;
  int64_t resident = 0;
  statm >> pages >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

bool SendAll(int socket, const std::string& text) {
  return ::send(socket, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// Everything the server sends until it closes the connection (or the
// socket's timeout passes).
std::string ReadToEnd(int socket) {
  std::string answer;
  char chunk[4096];
  ssize_t n = 0;
  while ((n = ::recv(socket, chunk, sizeof chunk, 0)) > 0) answer.append(chunk, static_cast<size_t>(n));
  return answer;
}

// True when the server has closed `socket` (within the socket's timeout).
bool ClosedByServer(int socket) {
  char byte = 0;
  return ::recv(socket, &byte, 1, 0) == 0;
}

class LimitedServer : public ::testing::Test {
 protected:
  LimitedServer() {
    site_.Write("site/index.html", "<p>hello</p>");
    root_ = std::make_unique<SiteRoot>((site_.Path() / "site").string(), 1 << 20);
  }
  void Start(const ServerSettings& settings) { server_ = std::make_unique<RunningServer>(*root_, settings); }

  TemporaryFolder site_;
  std::unique_ptr<SiteRoot> root_;
  std::unique_ptr<RunningServer> server_;
};

TEST_F(LimitedServer, RequestHeadsAreLimitedTo16KiB) {
  Start(RunningServer::Settings(2));
  const std::string start = "HTTP/1.1\r\nHost: x\r\nConnection: close\r\n";
  struct Case {
    const char* name;
    std::string target;
    std::string headers;
    int status;
  };
  std::string fiveThousand;
  for (int i = 0; i < 5000; ++i) fiveThousand += "X-" + std::to_string(i) + ": a\r\n";
  const auto padding = [&](size_t total) { return "X-Pad: " + std::string(total - start.size() - 17, 'p') + "\r\n"; };
  // Many short query parameters: the query counts as the bytes it has.
  const auto parameters = [](int count) {
    std::string target = "/?";
    for (int i = 0; i < count; ++i) target += "a" + std::to_string(i) + "=1&";
    return target;
  };
  const Case cases[] = {
      {"just under", "/", padding(kMaxRequestHeadBytes - 100), 200},
      {"just over", "/", padding(kMaxRequestHeadBytes + 100), 431},
      {"5000 headers", "/", fiveThousand, 431},
      {"one huge header", "/", "X-Big: " + std::string(200000, 'b') + "\r\n", 431},
      {"2,000 query parameters", parameters(2000), "", 200},
      {"3,000 query parameters", parameters(3000), "", 431},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StatusOf(SendRaw(server_->Port(), "GET " + c.target + " " + start + c.headers + "\r\n")), c.status);
  }
}

TEST_F(LimitedServer, AHeaderFloodIsRefusedAndItsMemoryReturns) {
  Start(RunningServer::Settings(2));
  const int64_t before = ResidentBytes();
  const UniqueFd socket = Connect(server_->Port());
  ASSERT_TRUE(socket.Valid());
  std::string lines;
  for (int i = 0; lines.size() < 64 * 1024; ++i) lines += "X-" + std::to_string(i) + ": flood\r\n";
  bool refused = !SendAll(socket.Get(), "GET / HTTP/1.1\r\nHost: x\r\n");
  // Up to 50 MB of header lines: the server answers 431 (see above) and
  // closes the connection long before, and sending fails.
  int sent = 0;
  for (; sent < 800 && !refused; ++sent) refused = !SendAll(socket.Get(), lines);
  EXPECT_TRUE(refused);
  EXPECT_LT(sent, 100);
  EXPECT_LT(ResidentBytes() - before, 5 * 1024 * 1024);
  EXPECT_EQ(server_->Get("/").status, 200);
}

TEST_F(LimitedServer, SlowClientsDoNotHoldTheWorkers) {
  Start(RunningServer::Settings(2));
  constexpr int kSlowClients = 50;
  std::vector<UniqueFd> slow;
  for (int i = 0; i < kSlowClients; ++i) {
    slow.push_back(Connect(server_->Port()));
    ASSERT_TRUE(slow.back().Valid());
    SendAll(slow.back().Get(), "GET / HTTP/1.1\r\nHo");
  }
  std::atomic<bool> done{false};
  std::thread trickler([&] {
    while (!done) {
      for (const UniqueFd& socket : slow) SendAll(socket.Get(), "s");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  });
  int answered = 0;
  for (int i = 0; i < 20; ++i) answered += server_->Get("/").status == 200 ? 1 : 0;
  done = true;
  trickler.join();
  EXPECT_EQ(answered, 20);
}

TEST_F(LimitedServer, AClientThatTricklesItsRequestIsCutOffAtTheDeadline) {
  ServerSettings settings = RunningServer::Settings(1);
  settings.headTimeout = std::chrono::milliseconds(500);
  Start(settings);
  const UniqueFd socket = Connect(server_->Port(), 3000);
  ASSERT_TRUE(socket.Valid());
  const std::string request = "GET / HTTP/1.1\r\nHost: x\r\nX-Slow: " + std::string(40, 's');
  const Clock::time_point start = Clock::now();
  bool cut = false;
  // One byte every 50 ms: 2 s for the whole request, far past the deadline.
  for (char byte : request) {
    if (!SendAll(socket.Get(), std::string(1, byte))) {
      cut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  cut = cut || ClosedByServer(socket.Get());
  EXPECT_TRUE(cut);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1900));
}

TEST_F(LimitedServer, OneAddressGetsNoMoreThanItsShareOfConnections) {
  ServerSettings settings = RunningServer::Settings(1);
  settings.maxPerAddress = 3;
  Start(settings);
  std::vector<UniqueFd> held;
  for (int i = 0; i < 3; ++i) {
    held.push_back(Connect(server_->Port()));
    SendAll(held.back().Get(), "GET / HTTP/1.1\r\n");
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const UniqueFd extra = Connect(server_->Port(), 2000);
  ASSERT_TRUE(extra.Valid());
  SendAll(extra.Get(), "GET / HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_TRUE(ReadToEnd(extra.Get()).empty());  // closed unanswered
  held.pop_back();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(server_->Get("/").status, 200);
}

TEST_F(LimitedServer, APortInUseIsRefused) {
  Start(RunningServer::Settings(1));
  ASSERT_GT(server_->Port(), 0);
  ServerSettings settings = RunningServer::Settings(1);
  settings.port = server_->Port();
  AccessLog log(stderr);
  ConversionServer second(*root_, settings, log);
  EXPECT_EQ(second.Bind(), -1);
  EXPECT_EQ(second.BindError(), "Address already in use");
}

TEST_F(LimitedServer, KeepAliveConnectionsServeSeveralRequests) {
  Start(RunningServer::Settings(1));
  const UniqueFd socket = Connect(server_->Port());
  const std::string request = "GET / HTTP/1.1\r\nHost: x\r\n\r\n";
  ASSERT_TRUE(SendAll(socket.Get(), request + request + "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
  const std::string answers = ReadToEnd(socket.Get());
  size_t count = 0;
  for (size_t at = answers.find("HTTP/1.1 200 "); at != std::string::npos; at = answers.find("HTTP/1.1 200 ", at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 3u) << answers;
}

// A proxy in front that read such a body's length otherwise would send its
// rest on as a request of its own: the server refuses and closes instead.
TEST_F(LimitedServer, ABodyOfUnclearLengthIsRefusedAndItsConnectionClosed) {
  Start(RunningServer::Settings(1));
  struct Case {
    const char* headers;
    int status;
  };
  const Case cases[] = {
      {"Content-Length: 3\r\nContent-Length: 5\r\n", 400},
      {"Transfer-Encoding: chunked\r\nContent-Length: 3\r\n", 400},
      {"Transfer-Encoding: gzip, chunked\r\n", 501},
      {"Transfer-Encoding: identity\r\n", 501},
      {"Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n", 501},
      {"Transfer-Encoding: chunked \r\n", 501},
      {"Transfer-Encoding:  Chunked\r\n", 200},
      {"Content-Length: 3\r\ncontent-length: 3\r\n", 200},
      // Field names that are no tokens: a proxy may read the length there.
      {"Content-Length : 3\r\n", 400},
      {"Content-Length\t: 3\r\n", 400},
      {"Content Length: 3\r\n", 400},
      {"Host: y\r\nContent-Length: 3\r\n", 400},
  };
  const std::string next = "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headers);
    const bool chunked = std::string_view(c.headers).find("Transfer") != std::string_view::npos;
    const UniqueFd socket = Connect(server_->Port());
    ASSERT_TRUE(SendAll(socket.Get(), std::string("GET / HTTP/1.1\r\nHost: x\r\n") + c.headers + "\r\n" +
                                          (chunked ? "3\r\nabc\r\n0\r\n\r\n" : "abc") + next));
    const std::string answers = ReadToEnd(socket.Get());
    EXPECT_EQ(StatusOf(answers), c.status) << answers;
    const bool answeredNext = answers.find("HTTP/1.1 ", 1) != std::string::npos;
    EXPECT_EQ(answeredNext, c.status == 200) << answers;
  }
}

TEST_F(LimitedServer, AnHttp11RequestNeedsOneHostLine) {
  Start(RunningServer::Settings(1));
  const std::pair<const char*, int> cases[] = {
      {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: x\r\nhost: y\r\nConnection: close\r\n\r\n", 400},
      {"GET / HTTP/1.0\r\n\r\n", 200},
      {"GET / HTTP/1.1\r\nHOST: x\r\nConnection: close\r\n\r\n", 200},
  };
  for (const auto& [request, status] : cases) {
    SCOPED_TRACE(request);
    const UniqueFd socket = Connect(server_->Port());
    ASSERT_TRUE(SendAll(socket.Get(), request));
    EXPECT_EQ(StatusOf(ReadToEnd(socket.Get())), status);
  }
}

// Stopping races with the event threads that accept connections and read
// requests; whatever the timing, the server stops, and each client gets its
// whole answer, a 503, or a closed connection.
TEST_F(LimitedServer, StoppingWhileClientsConnectAnswersOrClosesEach) {
  const std::string deck = [&] {
    Start(RunningServer::Settings(1));
    return server_->Get("/").body;
  }();
  ASSERT_FALSE(deck.empty());
  for (int round = 0; round < 10; ++round) {
    Start(RunningServer::Settings(4));
    const int port = server_->Port();
    std::atomic<bool> stopped{false};
    std::atomic<int> answered{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> clients;
    for (int client = 0; client < 3; ++client) {
      clients.emplace_back([&] {
        while (!stopped.load()) {
          const HttpReply reply = Request(port, "GET", "/");
          if (reply.status == 200 && reply.body == deck) {
            ++answered;
          } else if (reply.status != -1 && reply.status != 503) {
            ++wrong;
          }
        }
      });
    }
    while (answered.load() < 3) std::this_thread::yield();
    server_.reset();
    stopped.store(true);
    for (std::thread& client : clients) client.join();
    EXPECT_EQ(wrong.load(), 0) << "round " << round;
  }
}

}  // namespace
}  // namespace quillmark::tools::testing
