#pragma once
// Notifier and ProgressSink stand-ins that remember what the engine told them.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/notifier.h"

namespace test_support {

class RecordingNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

class RecordingProgress : public ProgressSink {
 public:
  void SetProgress(int32_t position) override { positions.push_back(position); }
  std::vector<int32_t> positions;
};

}  // namespace test_support
