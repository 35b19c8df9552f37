#include "tools/signal_watcher.h"

#include <pthread.h>

namespace quillmark::tools {

SignalWatcher::SignalWatcher(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
  sigemptyset(&watched_);
  sigaddset(&watched_, SIGINT);
  sigaddset(&watched_, SIGTERM);
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
  int number = 0;
  while (sigwait(&watched_, &number) != 0) {
  }
  if (!closing_) onSignal_(number);
}

}  // namespace quillmark::tools
