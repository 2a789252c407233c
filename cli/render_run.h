#pragma once
// What the file and the device modes of tonalith-render share: the sampling
// rate of a WAV source, the requested effects on both chains, and the line
// with the output's levels that ends a run.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/render_options.h"
#include "effects/effect_chain.h"
#include "engine/level_meter.h"
#include "engine/notifier.h"

// The sampling rate of the WAV file `path`; none after the reader's message.
std::optional<int32_t> ReadSourceRate(const std::string& path, Notifier& notifier);

// Appends each requested effect to both chains, its values applied at
// `rate`. False with a one-line *error when one was refused.
bool AppendRequestedEffects(const RenderOptions& options, EffectChain& left, EffectChain& right,
                            int32_t rate, std::string* error);

// A run's summary: each output channel's peak and, when output samples were
// clipped, a warning with their count.
std::string LevelSummaryText(const RunLevels& levels);
// Prints "tonalith-render: " and the summary on stderr.
void PrintLevelSummary(const RunLevels& levels);

// Prints "tonalith-render: `error`" on stderr.
void PrintRefusal(const std::string& error);
