// A deadline for each connection to send its whole request: a client that
// trickles its request a byte at a time is cut off when the deadline
// passes, however often it sends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

#include "tools/unique_fd.h"

namespace quillmark::tools {

// Connections are named by any pointer that stays unique while they are
// open. The watcher shuts a late connection's socket down through a
// duplicate of its descriptor, so the descriptor number that the server
// closes and reuses is never touched.
class HeadDeadlines {
 public:
  explicit HeadDeadlines(std::chrono::milliseconds limit);
  ~HeadDeadlines();
  HeadDeadlines(const HeadDeadlines&) = delete;
  HeadDeadlines& operator=(const HeadDeadlines&) = delete;

  // A new connection on socket `fd`, waiting for its first request.
  void Opened(const void* connection, int fd);
  // The connection waits for its next request from now.
  void Waiting(const void* connection);
  // The connection's request has arrived whole: no deadline until Waiting.
  void Received(const void* connection);
  void Closed(const void* connection);

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    UniqueFd socket;
    std::optional<Clock::time_point> deadline;
  };

  void Watch();
  void SetDeadline(const void* connection, std::optional<Clock::time_point> deadline);

  std::chrono::milliseconds limit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::unordered_map<const void*, Entry> entries_;
  bool closing_ = false;
  std::thread watcher_;
};

}  // namespace quillmark::tools
