#pragma once
// The sheet's whole setup as a preset, and a preset loaded into the sheet:
// what the "Preset" menu, the start-up with a preset and the remembered
// session use.

#include <QString>
#include <string>

#include "preset/preset.h"

class EffectsSheet;

// The setup the sheet holds: its effects in chain order with each channel's
// enabled flag, mix positions and parameters (as they set the effects up
// again exactly at the chains' rate), the block length and, with `withIo`,
// the I/O page's settings.
Preset CaptureSheet(EffectsSheet& sheet, bool withIo);

// How a preset's effects meet the loaded ones.
enum class PresetFit {
  // The sheet takes the preset's effects: other effects than the loaded ones
  // (or the same in another order) rebuild it with the preset's.
  kReplaceEffects,
  // Each loaded effect takes the values of the preset's first effect of its
  // type; the others keep theirs (a remembered session at start-up).
  kMatchingEffects,
};

// Loads `preset` into the sheet: its effects' values, then its block length
// and I/O settings where it has them; the pages then show the new values.
// Refused, with a one-line *error naming `name`, before anything changes:
// while a run is in progress, when it has an effect twice (each has one
// page), or when a value does not fit at the rate the chains will run at.
bool LoadIntoSheet(EffectsSheet& sheet, const Preset& preset, const std::string& name,
                   PresetFit fit, std::string* error);

// Reads the preset file at `path` and loads it; a refusal is shown in the
// message box, and so is a notice when the preset sets the channels of an
// effect apart where its page keeps one value for both. Returns whether it
// was loaded.
bool LoadPresetFile(EffectsSheet& sheet, const QString& path);

// Takes the current page's data (as leaving it would) and writes the whole
// setup, without the I/O settings, to `path`; a failure is shown in the
// message box. Returns whether it was written.
bool SavePresetFile(EffectsSheet& sheet, const QString& path);
