#include "cli/terminal_output.h"

namespace {
constexpr int32_t kBarWidth = 40;
}

void TerminalProgress::SetProgress(int32_t position) {
  if (position <= 0) {
    Clear();
    return;
  }
  const int32_t percent =
      static_cast<int32_t>(static_cast<int64_t>(position) * 100 / kProgressRange);
  if (percent == shownPercent_) {
    return;
  }
  shownPercent_ = percent;
  const int32_t filled =
      static_cast<int32_t>(static_cast<int64_t>(position) * kBarWidth / kProgressRange);
  char bar[kBarWidth + 1];
  for (int32_t i = 0; i < kBarWidth; ++i) {
    bar[i] = i < filled ? '#' : '.';
  }
  bar[kBarWidth] = '\0';
  std::fprintf(stream_, "\r[%s] %3d%%", bar, static_cast<int>(percent));
  std::fflush(stream_);
}

void TerminalProgress::Clear() {
  if (shownPercent_ >= 0) {
    std::fprintf(stream_, "\r\033[K");
    std::fflush(stream_);
    shownPercent_ = -1;
  }
}

void StreamNotifier::ShowMessage(const std::string& text, const std::string& detail) {
  if (progress_) {
    progress_->Clear();
  }
  std::fprintf(stream_, "%s\n", text.c_str());
  if (!detail.empty()) {
    std::fprintf(stream_, "%s\n", detail.c_str());
  }
  std::fflush(stream_);
}
