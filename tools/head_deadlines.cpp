#include "tools/head_deadlines.h"

#include <fcntl.h>
#include <sys/socket.h>

namespace quillmark::tools {

namespace {

// How often late connections are looked for; a deadline is kept to within
// this much.
constexpr std::chrono::milliseconds kCheckInterval(100);

}  // namespace

HeadDeadlines::HeadDeadlines(std::chrono::milliseconds limit) : limit_(limit) {
  watcher_ = std::thread([this] { Watch(); });
}

HeadDeadlines::~HeadDeadlines() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  watcher_.join();
}

void HeadDeadlines::Opened(const void* connection, int fd) {
  UniqueFd duplicate(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[connection] = Entry{std::move(duplicate), Clock::now() + limit_};
}

void HeadDeadlines::Waiting(const void* connection) { SetDeadline(connection, Clock::now() + limit_); }

void HeadDeadlines::Received(const void* connection) { SetDeadline(connection, std::nullopt); }

void HeadDeadlines::Closed(const void* connection) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.erase(connection);
}

void HeadDeadlines::SetDeadline(const void* connection, std::optional<Clock::time_point> deadline) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = entries_.find(connection);
  if (found != entries_.end()) found->second.deadline = deadline;
}

void HeadDeadlines::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!closing_) {
    wake_.wait_for(lock, kCheckInterval);
    const Clock::time_point now = Clock::now();
    for (auto& [connection, entry] : entries_) {
      if (!entry.deadline || *entry.deadline > now || !entry.socket.Valid()) continue;
      // The server sees the end of the connection and closes it.
      ::shutdown(entry.socket.Get(), SHUT_RDWR);
      entry.deadline.reset();
    }
  }
}

}  // namespace quillmark::tools
