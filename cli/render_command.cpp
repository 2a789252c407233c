#include "cli/render_command.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "cli/device_options.h"
#include "cli/device_run.h"
#include "cli/preset_options.h"
#include "cli/render_run.h"
#include "cli/terminal_output.h"
#include "effects/effect_chain.h"
#include "engine/file_identity.h"
#include "engine/wave_engine.h"

namespace {

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
  const WaveRunSettings settings = RunSettingsFrom(options);
  if (SameFile(settings.inputFileName, settings.outputFileName)) {
    PrintRefusal("INPUT and OUTPUT are the same file");
    return kRenderRefused;
  }

  EffectChain left;
  EffectChain right;
  if (!options.effects.empty()) {
    // The effects' values are applied at the input's own rate.
    const std::optional<int32_t> rate = ReadSourceRate(settings.inputFileName, notifier);
    if (!rate) {
      return kRenderFailed;
    }
    if (!AppendRequestedEffects(options, left, right, *rate)) {
      return kRenderRefused;
    }
  }

  WaveEngine engine(&notifier, CreateDevicelessWaveService());
  engine.settings = settings;
  engine.leftChain = &left;
  engine.rightChain = &right;
  engine.progress = progress;
  const StopSignals stopSignals;
  const FileRunResult result = engine.ProcessFileToFile([] { return stopSignal != 0; });
  switch (result) {
    case FileRunResult::kOutputIsInput:
    case FileRunResult::kInputRefused:
    case FileRunResult::kOutputRefused:
      return kRenderFailed;  // nothing was processed
    default:
      break;
  }
  PrintLevelSummary(engine.Levels().Run());
  switch (result) {
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
