#pragma once
// How the command line shows the engine's messages and progress: each message
// as one line on stderr, and a progress bar on stderr when it is a terminal.

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/notifier.h"

// Draws the run's 0..32768 progress as a bar on one line, redrawn only when
// the shown percentage changes; position 0 after a drawn bar clears the line.
class TerminalProgress : public ProgressSink {
 public:
  explicit TerminalProgress(std::FILE* stream) : stream_(stream) {}
  void SetProgress(int32_t position) override;
  // Clears the bar so that a message can take the line.
  void Clear();

 private:
  std::FILE* stream_;
  int32_t shownPercent_ = -1;
};

// Prints each message on a line of its own, and its detail on the next,
// clearing the progress bar first.
class StreamNotifier : public Notifier {
 public:
  StreamNotifier(std::FILE* stream, TerminalProgress* progress)
      : stream_(stream), progress_(progress) {}
  void ShowMessage(const std::string& text, const std::string& detail = {}) override;

 private:
  std::FILE* stream_;
  TerminalProgress* progress_;
};
