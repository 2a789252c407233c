#include "cli/render_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "cli/device_options.h"
#include "cli/device_run.h"
#include "cli/terminal_output.h"
#include "effects/effect_chain.h"
#include "engine/file_run.h"
#include "engine/wave_file.h"

namespace {

void PrintRefusal(const std::string& error) {
  std::fprintf(stderr, "tonalith-render: %s\n", error.c_str());
}

// Writing the output over the input would destroy the input while it is read.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// The input's sampling rate, which the effects' values are applied at. False
// after the reader's message.
bool ReadInputRate(const std::string& input, Notifier& notifier, int32_t* rate) {
  if (ReadWaveFile(kWaveOpen, input, nullptr, notifier) != kWaveDone) {
    return false;
  }
  *rate = static_cast<int32_t>(WaveFiles().inputFormat.samplesPerSec);
  ReadWaveFile(kWaveClose, input, nullptr, notifier);
  return true;
}

}  // namespace

int RunFileRender(const RenderOptions& options, Notifier& notifier, ProgressSink* progress) {
  const std::string& input = options.operands[0];
  const std::string& output = options.operands[1];
  if (SameFile(input, output)) {
    PrintRefusal("INPUT and OUTPUT are the same file");
    return kRenderRefused;
  }

  EffectChain left;
  EffectChain right;
  if (!options.effects.empty()) {
    int32_t rate = 0;
    if (!ReadInputRate(input, notifier, &rate)) {
      return kRenderFailed;
    }
    for (const EffectRequest& request : options.effects) {
      std::string error;
      if (!AppendRequestedEffect(request, left, right, rate, &error)) {
        PrintRefusal(error);
        return kRenderRefused;
      }
    }
  }

  FileRunSettings settings;
  settings.inputFileName = input;
  settings.outputFileName = output;
  settings.blockLength = options.blockBytes;
  settings.leftChain = &left;
  settings.rightChain = &right;
  settings.notifier = &notifier;
  settings.progress = progress;
  return ProcessFileToFile(settings) == FileRunResult::kCompleted ? kRenderDone : kRenderFailed;
}

int RenderMain(std::span<const std::string> arguments) {
  RenderOptions options;
  std::string error;
  if (!ParseRenderArguments(arguments, &options, &error)) {
    PrintRefusal(error);
    return kRenderRefused;
  }
  switch (options.mode) {
    case RenderMode::kHelp:
      std::fputs(RenderUsage().c_str(), stdout);
      return kRenderDone;
    case RenderMode::kListEffects: {
      const std::string effects = DescribeEffects();
      std::fputs(effects.empty() ? "No effects are available in this build.\n" : effects.c_str(),
                 stdout);
      return kRenderDone;
    }
    case RenderMode::kListDevices:
      return ListDevices(options);
    case RenderMode::kFileToFile:
      break;
  }
  TerminalProgress bar(stderr);
  const bool showProgress = !options.quiet && isatty(STDERR_FILENO) == 1;
  StreamNotifier notifier(stderr, showProgress ? &bar : nullptr);
  if (UsesDevice(options)) {
    return RunDeviceRender(options, notifier, showProgress ? &bar : nullptr);
  }
  return RunFileRender(options, notifier, showProgress ? &bar : nullptr);
}
