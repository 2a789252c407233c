#include "cli/render_run.h"

#include <cstdio>

#include "engine/wave_file.h"

std::optional<int32_t> ReadSourceRate(const std::string& path, Notifier& notifier) {
  WaveReader reader;
  if (ReadWaveFile(reader, kWaveOpen, path, nullptr, notifier) != kWaveDone) {
    return std::nullopt;
  }
  return static_cast<int32_t>(reader.Format().samplesPerSec);
}

bool AppendRequestedEffects(const RenderOptions& options, EffectChain& left, EffectChain& right,
                            int32_t rate, std::string* error) {
  for (const EffectRequest& request : options.effects) {
    if (!AppendRequestedEffect(request, left, right, rate, error)) {
      return false;
    }
  }
  return true;
}

std::string LevelSummaryText(const RunLevels& levels) {
  std::string text = OutputPeakText(levels);
  if (levels.OutputClipped() > 0) {
    text += "; warning: " + OutputClippedText(levels) + " (saturated to +/-32767)";
  }
  return text;
}

void PrintLevelSummary(const RunLevels& levels) {
  std::fprintf(stderr, "tonalith-render: %s\n", LevelSummaryText(levels).c_str());
}

void PrintRefusal(const std::string& error) {
  std::fprintf(stderr, "tonalith-render: %s\n", error.c_str());
}
