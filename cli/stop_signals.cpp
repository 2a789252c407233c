#include "cli/stop_signals.h"

#include <atomic>
#include <iterator>

namespace {

// Written by the handler, read by every worker between blocks.
std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free,
              "a signal handler may only touch lock-free atomics");

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void OnStopSignal(int signal) {
  stopSignal.store(signal, std::memory_order_relaxed);
}

}  // namespace

StopSignals::StopSignals() {
  static_assert(std::size(kSignals) == kCount);
  stopSignal.store(0);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kCount; ++i) {
    sigaction(kSignals[i], nullptr, &old_[i]);
    if (old_[i].sa_handler != SIG_IGN) {
      sigaction(kSignals[i], &action, nullptr);
    }
  }
}

StopSignals::~StopSignals() {
  for (int i = 0; i < kCount; ++i) {
    sigaction(kSignals[i], &old_[i], nullptr);
  }
}

int StopSignals::Received() {
  return stopSignal.load(std::memory_order_relaxed);
}
