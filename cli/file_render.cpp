#include "cli/file_render.h"

#include "cli/render_run.h"
#include "cli/stop_signals.h"
#include "effects/effect_chain.h"
#include "engine/file_identity.h"
#include "engine/file_run.h"

FileRenderResult RenderFile(const RenderOptions& options, const std::string& input,
                            const std::string& output, Notifier& notifier, ProgressSink* progress,
                            std::string* refusal, std::optional<RunLevels>* levels) {
  if (SameFile(input, output)) {
    *refusal = "INPUT and OUTPUT are the same file";
    return FileRenderResult::kRefused;
  }
  EffectChain left;
  EffectChain right;
  if (!options.effects.empty()) {
    // The effects' values are applied at the input's own rate.
    const std::optional<int32_t> rate = ReadSourceRate(input, notifier);
    if (!rate) {
      return FileRenderResult::kFailed;
    }
    if (!AppendRequestedEffects(options, left, right, *rate, refusal)) {
      return FileRenderResult::kRefused;
    }
  }

  FileRunSettings run;
  run.inputFileName = input;
  run.outputFileName = output;
  run.blockBytes = options.blockBytes;
  run.leftChain = &left;
  run.rightChain = &right;
  run.notifier = &notifier;
  run.progress = progress;
  run.afterBlock = [] { return StopSignals::Received() != 0; };
  run.tail = options.tail;
  LevelMeter meter;
  run.meter = &meter;
  const FileRunResult result = ProcessFileToFile(run);
  switch (result) {
    case FileRunResult::kOutputIsInput:
    case FileRunResult::kInputRefused:
    case FileRunResult::kOutputRefused:
      return FileRenderResult::kFailed;  // nothing was processed
    default:
      break;
  }
  *levels = meter.Run();
  switch (result) {
    case FileRunResult::kCompleted:
      return FileRenderResult::kDone;
    case FileRunResult::kCancelled:
      return FileRenderResult::kStopped;
    default:
      return FileRenderResult::kFailed;
  }
}
