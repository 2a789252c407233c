#pragma once
// One WAV file rendered into another with the options' block length and
// effects: the single render and every file of a batch go through here, so
// a file comes out the same either way. Re-entrant: each call has its own
// chains, reader and writer; only the stop (StopSignals) is shared.

#include <optional>
#include <string>

#include "cli/render_options.h"
#include "engine/level_meter.h"
#include "engine/notifier.h"

enum class FileRenderResult {
  kDone,
  kFailed,   // the engine's message was shown
  kRefused,  // nothing was run; *refusal says why in one line
  kStopped,  // a stop signal ended it; the output holds the blocks so far
};

// Renders `input` into `output`, with the tail the options ask for.
// Messages go to `notifier`; `progress` may be null. Once blocks have gone
// through the chains (whatever ended the run), *levels is what the output
// came to.
FileRenderResult RenderFile(const RenderOptions& options, const std::string& input,
                            const std::string& output, Notifier& notifier, ProgressSink* progress,
                            std::string* refusal, std::optional<RunLevels>* levels);
