#pragma once
// What the preset options do with preset files, through Qt's JSON: part of
// tonalith-render-qt, which tonalith-render hands such command lines over to.

#include <string>
#include <string_view>

#include "cli/render_options.h"
#include "preset/preset.h"

// --preset: reads the preset file `value`, or the factory preset of that
// name, into `options`. A PresetLoader.
bool LoadPreset(std::string_view value, RenderOptions* options, std::string* error);

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
