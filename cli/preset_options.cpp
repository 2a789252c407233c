#include "cli/preset_options.h"

namespace {

bool HandlePreset(std::string_view value, RenderOptions* options, std::string* error) {
  if (!options->loadPreset) {
    options->presetUnread = true;
    return true;
  }
  return options->loadPreset(value, options, error);
}

bool HandleWritePreset(std::string_view value, RenderOptions* options, std::string* error) {
  if (value.empty()) {
    *error = "--write-preset needs a file name";
    return false;
  }
  options->mode = RenderMode::kWritePreset;
  options->writePreset = value;
  return true;
}

bool HandleListPresets(std::string_view, RenderOptions* options, std::string*) {
  options->mode = RenderMode::kListPresets;
  return true;
}

constexpr RenderOptionSpec kPresetOptions[] = {
    {"--preset", "FILE|NAME", HandlePreset},
    {"--write-preset", "FILE", HandleWritePreset},
    {"--list-presets", "", HandleListPresets},
};

}  // namespace

std::span<const RenderOptionSpec> PresetRenderOptionSpecs() {
  return kPresetOptions;
}

std::string PresetUsage() {
  return R"(
Presets:
  tonalith-render [--block BYTES] [--preset FILE|NAME]... [--effect SPEC]... [--quiet]
                  INPUT.wav OUTPUT.wav
  tonalith-render [--block BYTES] [--preset FILE|NAME]... [--effect SPEC]... --write-preset FILE
  tonalith-render --list-presets

  --preset FILE|NAME   append the effects of a preset file, or of the factory
                       preset NAME, to both chains; an --effect after it
                       appends to them. The preset's block length is used
                       unless --block is given. A refused preset exits 2.
  --write-preset FILE  write the preset the options describe (its effects and
                       block length) instead of rendering; no INPUT or OUTPUT
  --list-presets       show the factory presets
)";
}
