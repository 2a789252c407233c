#include "cli/render_run.h"

#include <cstdio>

#include "engine/wave_file.h"

WaveRunSettings RunSettingsFrom(const RenderOptions& options) {
  WaveRunSettings settings;
  settings.blockBytes = options.blockBytes;
  settings.bufferCount = options.buffers;
  settings.sampleRate = options.rate;
  settings.channels = options.channels;
  settings.bitsPerSample = options.bits;
  size_t operand = 0;
  settings.jackClientName = options.jackName;
  settings.inputIsFile = options.inputDevice == -1;
  if (settings.inputIsFile) {
    settings.inputFileName = options.operands.at(operand++);
  } else {
    settings.inputDeviceId = options.inputDevice;
  }
  settings.outputIsFile = options.outputDevice == -1;
  if (settings.outputIsFile) {
    settings.outputFileName = options.operands.at(operand++);
  } else {
    settings.outputDeviceId = options.outputDevice;
  }
  return settings;
}

std::optional<int32_t> ReadSourceRate(const std::string& path, Notifier& notifier) {
  WaveReader reader;
  if (ReadWaveFile(reader, kWaveOpen, path, nullptr, notifier) != kWaveDone) {
    return std::nullopt;
  }
  return static_cast<int32_t>(reader.Format().samplesPerSec);
}

bool AppendRequestedEffects(const RenderOptions& options, EffectChain& left, EffectChain& right,
                            int32_t rate) {
  for (const EffectRequest& request : options.effects) {
    std::string error;
    if (!AppendRequestedEffect(request, left, right, rate, &error)) {
      PrintRefusal(error);
      return false;
    }
  }
  return true;
}

void PrintRefusal(const std::string& error) {
  std::fprintf(stderr, "tonalith-render: %s\n", error.c_str());
}
