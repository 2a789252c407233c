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
//
// Presets are read and written with Qt (cli/preset_files.h), in
// tonalith-render-qt: --preset is read by the options' loader, and where
// there is none it is only noted (RenderOptions::presetUnread).

#include <span>
#include <string>

#include "cli/render_options.h"

std::span<const RenderOptionSpec> PresetRenderOptionSpecs();

// The --help lines of the preset options.
std::string PresetUsage();
