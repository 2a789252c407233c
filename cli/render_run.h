#pragma once
// What the file and the device modes of tonalith-render share: the sampling
// rate of a WAV source, and the requested effects on both chains.

#include <cstdint>
#include <optional>
#include <string>

#include "cli/render_options.h"
#include "effects/effect_chain.h"
#include "engine/notifier.h"

// The sampling rate of the WAV file `path`; none after the reader's message.
std::optional<int32_t> ReadSourceRate(const std::string& path, Notifier& notifier);

// Appends each requested effect to both chains, its values applied at
// `rate`. False with a one-line *error when one was refused.
bool AppendRequestedEffects(const RenderOptions& options, EffectChain& left, EffectChain& right,
                            int32_t rate, std::string* error);

// Prints "tonalith-render: `error`" on stderr.
void PrintRefusal(const std::string& error);
