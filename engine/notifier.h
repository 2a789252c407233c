#pragma once
// The small interfaces through which engine code reaches the user: messages
// (a modal box in the desktop program, stderr on the command line, a recorder
// in tests) and the progress bar. (The end of a run is reported through
// WaveEngine::runEnded.)

#include <cstdint>
#include <string>

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows `text` exactly as given and returns when the user has seen it.
  // `detail`, when not empty, is a second line beside it (the file or device
  // concerned and the system's reason): the message box shows it as its
  // informative text, the command line on the next line.
  virtual void ShowMessage(const std::string& text, const std::string& detail = {}) = 0;
};

// The run's progress, 0..kProgressRange; 0 again when a run ends.
class ProgressSink {
 public:
  static constexpr int32_t kProgressRange = 32768;
  virtual ~ProgressSink() = default;
  virtual void SetProgress(int32_t position) = 0;
};
