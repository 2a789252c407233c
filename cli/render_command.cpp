#include "cli/render_command.h"

#include <unistd.h>

#include <cstdio>

#include "cli/batch_options.h"
#include "cli/batch_render.h"
#include "cli/device_options.h"
#include "cli/file_render.h"
#include "cli/render_run.h"
#include "cli/stop_signals.h"
#include "cli/terminal_output.h"

int RunFileRender(const RenderOptions& options, Notifier& notifier, ProgressSink* progress) {
  const StopSignals stopSignals;
  std::string refusal;
  std::optional<RunLevels> levels;
  const FileRenderResult result =
      RenderFile(options, options.operands.at(0), options.operands.at(1), notifier, progress,
                 &refusal, &levels);
  if (levels) {
    PrintLevelSummary(*levels);
  }
  switch (result) {
    case FileRenderResult::kDone:
      return kRenderDone;
    case FileRenderResult::kRefused:
      PrintRefusal(refusal);
      return kRenderRefused;
    case FileRenderResult::kStopped:
      return kRenderStoppedBase + StopSignals::Received();
    case FileRenderResult::kFailed:
      break;
  }
  return kRenderFailed;
}

int RenderMain(std::span<const std::string> arguments, const QtModes& qt) {
  RenderOptions options;
  options.loadPreset = qt.loadPreset;
  std::string error;
  if (!ParseRenderArguments(arguments, &options, &error)) {
    PrintRefusal(error);
    return kRenderRefused;
  }
  TerminalProgress bar(stderr);
  const bool showProgress = !options.quiet && isatty(STDERR_FILENO) == 1;
  StreamNotifier notifier(stderr, showProgress ? &bar : nullptr);
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
    case RenderMode::kListPresets:
    case RenderMode::kWritePreset:
      return qt.run(options, arguments, notifier, nullptr);
    case RenderMode::kFileToFile:
      break;
  }
  if (UsesDevice(options) || options.presetUnread) {
    return qt.run(options, arguments, notifier, showProgress ? &bar : nullptr);
  }
  if (UsesBatch(options)) {
    return RunBatchRender(options, showProgress ? &bar : nullptr);
  }
  return RunFileRender(options, notifier, showProgress ? &bar : nullptr);
}
