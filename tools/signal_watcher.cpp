#include "tools/signal_watcher.h"

#include <pthread.h>

namespace quillmark::tools {

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal, std::function<void()> onHangUp)
    : onSignal_(std::move(onSignal)), onHangUp_(std::move(onHangUp)) {
  sigemptyset(&watched_);
  sigaddset(&watched_, SIGINT);
  sigaddset(&watched_, SIGTERM);
  if (onHangUp_) sigaddset(&watched_, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &watched_, &previousMask_);
  watcher_ = std::thread([this] { Watch(); });
}

// Wakes the watcher with a signal addressed to it alone; `closing_` tells it
// that this one is not a request to stop.
SignalWatcher::~SignalWatcher() {
  closing_ = true;
  pthread_kill(watcher_.native_handle(), SIGTERM);
  watcher_.join();
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void SignalWatcher::Watch() {
  // Every hang-up before the signal that stops the watch has been handled.
  for (;;) {
    int number = 0;
    if (sigwait(&watched_, &number) != 0) continue;
    if (closing_) return;
    if (number != SIGHUP) {
      onSignal_(number);
      return;
    }
    onHangUp_();
  }
}

}  // namespace quillmark::tools
