#pragma once
// Preset files: JSON read strictly and written whole.
//
// Reading refuses malformed JSON, an unknown format or version, an unknown
// effect or key, a value of the wrong type and a value out of range, each
// with one line that names the file and the offending key (and the line and
// column where the JSON parser gives one). A refused preset changes nothing.
// Values left out take their defaults.
//
// Writing goes to a temporary file in the same folder, renamed over the
// target when it is complete, so an interrupted save leaves the old file (or
// none), never a broken one.

#include <QByteArray>
#include <string>

#include "preset/preset.h"

// The "format" every preset names, and the version this program reads and writes.
inline constexpr const char* kPresetFormat = "tonalith-preset";
inline constexpr int32_t kPresetVersion = 1;

// Reads the preset file at `path` (a local path). False with a one-line
// *error; *preset is then unchanged.
bool ReadPresetFile(const std::string& path, Preset* preset, std::string* error);

// Reads a preset from `text`; `name` stands for the file in the messages.
bool ParsePreset(const QByteArray& text, const std::string& name, Preset* preset,
                 std::string* error);

// The preset as JSON text: every value given, one key a line, numbers
// written so that they read back to the values the effects hold.
std::string PresetText(const Preset& preset);

// Writes the preset to `path` through a temporary file and a rename. False
// with a one-line *error naming the file; the file at `path` is then as it
// was.
bool WritePresetFile(const std::string& path, const Preset& preset, std::string* error);
