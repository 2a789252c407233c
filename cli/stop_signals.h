#pragma once
// SIGINT, SIGTERM and SIGHUP end a file render after the block in hand, so
// that the output is finished with its sizes; a second one acts as usual.
// One stop reaches every worker of a batch render.

#include <csignal>

class StopSignals {
 public:
  // Clears the stop and installs the handlers; a signal the caller has the
  // program ignore (nohup) stays ignored.
  StopSignals();
  // Puts the earlier handlers back.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal that asked for the stop, or 0. Any thread may ask.
  static int Received();

 private:
  static constexpr int kCount = 3;
  struct sigaction old_[kCount] {};
};
