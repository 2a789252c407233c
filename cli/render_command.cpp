#include "cli/render_command.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/device_options.h"
#include "cli/device_run.h"
#include "cli/preset_options.h"
#include "cli/terminal_output.h"
#include "effects/effect_chain.h"
#include "engine/file_identity.h"
#include "engine/file_run.h"
#include "engine/wave_file.h"

namespace {

void PrintRefusal(const std::string& error) {
  std::fprintf(stderr, "tonalith-render: %s\n", error.c_str());
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

// SIGINT, SIGTERM and SIGHUP end a file render after the block in hand, so
// that the output is finished with its sizes; a second one acts as usual.
volatile std::sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) {
  stopSignal = signal;
}

class StopSignals {
 public:
  StopSignals() {
    stopSignal = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kCount; ++i) {
      sigaction(kSignals[i], nullptr, &old_[i]);
      // A signal the caller has the program ignore (nohup) stays ignored.
      if (old_[i].sa_handler != SIG_IGN) {
        sigaction(kSignals[i], &action, nullptr);
      }
    }
  }
  ~StopSignals() {
    for (size_t i = 0; i < kCount; ++i) {
      sigaction(kSignals[i], &old_[i], nullptr);
    }
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  static constexpr size_t kCount = 3;
  static constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction old_[kCount] {};
};

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
  const StopSignals stopSignals;
  settings.afterBlock = [] { return stopSignal != 0; };
  switch (ProcessFileToFile(settings)) {
    case FileRunResult::kCompleted:
      return kRenderDone;
    case FileRunResult::kCancelled:
      return kRenderStoppedBase + stopSignal;
    default:
      return kRenderFailed;
  }
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
    case RenderMode::kListPresets:
      return ListFactoryPresets();
    case RenderMode::kWritePreset:
      return WritePresetFromOptions(options);
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
