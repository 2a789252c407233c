#pragma once
// A preset: the whole processing setup. The effects in chain order, each
// with both channels' enabled flags, mix positions and parameters; the block
// length the effects run at (the equalizer's kernel follows it); and, in a
// session preset, the I/O settings of the window.
//
// On disk a preset is JSON (preset_file.h): "format": "tonalith-preset",
// "version": 1, effects named by the renderer's names and parameters by the
// renderer's keys.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "effects/effect_parameters.h"

// One end of a run: a WAV file or a sound device (by its number, with its
// name, which finds it again when the numbers have moved).
struct IoEndpoint {
  bool isFile = true;
  std::string file;
  int32_t device = 0;
  std::string deviceName;
};

// The I/O page's settings, as typed (the page limits them when it hands
// them to the engine). A preset that has them has all of them.
struct IoSetup {
  int32_t buffers = 0;
  int32_t rate = 0;
  int32_t channels = 0;
  int32_t bits = 0;
  IoEndpoint source;
  IoEndpoint sink;
};

struct Preset {
  std::string description;
  // The engine's block length in bytes; 0 when the preset does not say.
  int32_t blockBytes = 0;
  // Complete: every channel has every parameter that has a default.
  std::vector<EffectSetup> effects;
  std::optional<IoSetup> io;
};

// The block lengths the engine runs with, in bytes.
inline constexpr int32_t kPresetBlockBytes[] = {128, 256, 512, 1024, 2048, 4096, 8192};
