#pragma once
// What the file and the device modes of tonalith-render share: the engine's
// run settings as the options ask for them, the sampling rate of a WAV
// source, and the requested effects on both chains.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/render_options.h"
#include "effects/effect_chain.h"
#include "engine/notifier.h"
#include "engine/wave_engine.h"

// The block length, the device settings, and the operands as the input and
// output files of the ends that are not devices.
WaveRunSettings RunSettingsFrom(const RenderOptions& options);

// The sampling rate of the WAV file `path`; none after the reader's message.
std::optional<int32_t> ReadSourceRate(const std::string& path, Notifier& notifier);

// Appends each requested effect to both chains, its values applied at
// `rate`. False after printing why one was refused.
bool AppendRequestedEffects(const RenderOptions& options, EffectChain& left, EffectChain& right,
                            int32_t rate);

// Prints the run's summary line on stderr: each output channel's peak and,
// when output samples were clipped, a warning with their count.
void PrintLevelSummary(const RunLevels& levels);

// Prints "tonalith-render: `error`" on stderr.
void PrintRefusal(const std::string& error);
