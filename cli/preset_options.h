#pragma once
// The preset options of tonalith-render:
//
//   --preset FILE|NAME   the effects of a preset file, or of the factory
//                        preset NAME, appended to both chains where the
//                        option stands (an --effect after it appends to
//                        them); its block length too, unless --block is given
//   --write-preset FILE  writes the preset the other options describe; no
//                        INPUT or OUTPUT
//   --list-presets       the factory presets, one a line

#include <span>
#include <string>

#include "cli/render_options.h"

std::span<const RenderOptionSpec> PresetRenderOptionSpecs();

// A request that sets both channels' effects up as `setup` says. A value
// that does not fit at the input's rate is refused naming `origin` ("FILE:
// effects[2]"), the channel and the key.
EffectRequest RequestFromSetup(const EffectSetup& setup, const std::string& origin);

// --write-preset: checks the effects the options describe and writes them
// with the block length. Returns the exit status.
int WritePresetFromOptions(const RenderOptions& options);

// --list-presets: each factory preset's name and description. Returns the
// exit status.
int ListFactoryPresets();

// The --help lines of the preset options.
std::string PresetUsage();
