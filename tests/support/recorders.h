#pragma once
// Notifier and ProgressSink stand-ins that remember what the engine told them.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/notifier.h"

namespace test_support {

class RecordingNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text, const std::string& detail = {}) override {
    messages.push_back(text);
    details.push_back(detail);
  }
  std::vector<std::string> messages;
  std::vector<std::string> details;  // one per message, empty when it had none
};

class RecordingProgress : public ProgressSink {
 public:
  void SetProgress(int32_t position) override { positions.push_back(position); }
  std::vector<int32_t> positions;
};

}  // namespace test_support
