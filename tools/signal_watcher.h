// Turning SIGINT and SIGTERM into an orderly call on an ordinary thread.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace quillmark::tools {

// Blocks SIGINT and SIGTERM in the constructing thread, and so in every
// thread it starts afterwards, and waits for them on a thread of its own,
// where `onSignal` runs (with the signal number) for the first one. With
// `onHangUp`, SIGHUP is watched as well, and calls it each time it comes
// (an access log is reopened so: the way log rotation asks for it). Must
// be constructed before any other thread is started. The destructor stops
// watching and restores the signal mask.
class SignalWatcher {
 public:
  explicit SignalWatcher(std::function<void(int)> onSignal, std::function<void()> onHangUp = {});
  ~SignalWatcher();
  SignalWatcher(const SignalWatcher&) = delete;
  SignalWatcher& operator=(const SignalWatcher&) = delete;

 private:
  void Watch();

  std::function<void(int)> onSignal_;
  std::function<void()> onHangUp_;
  sigset_t watched_{};
  sigset_t previousMask_{};
  std::atomic<bool> closing_{false};
  std::thread watcher_;
};

}  // namespace quillmark::tools
