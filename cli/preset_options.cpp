#include "cli/preset_options.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "cli/render_command.h"
#include "effects/effect_chain.h"
#include "preset/factory_presets.h"
#include "preset/preset_file.h"

namespace {

constexpr const char* kChannelNames[2] = {"left", "right"};

// The highest rate a WAV file may have: a preset written without an input is
// checked against what any input allows.
constexpr int32_t kHighestInputRate = 384000;

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HandlePreset(std::string_view value, RenderOptions* options, std::string* error) {
  std::string path(value);
  if (!IsRegularFile(path)) {
    path = FindFactoryPreset(path);
    if (path.empty()) {
      *error = "--preset: \"" + ShownValue(value) +
               "\" is neither a file nor a factory preset (see --list-presets)";
      return false;
    }
  }
  Preset preset;
  if (!ReadPresetFile(path, &preset, error)) {
    return false;
  }
  for (size_t i = 0; i < preset.effects.size(); ++i) {
    options->effects.push_back(
        RequestFromSetup(preset.effects[i], path + ": effects[" + std::to_string(i) + "]"));
  }
  if (preset.blockBytes != 0 && !options->blockGiven) {
    options->blockBytes = preset.blockBytes;
  }
  return true;
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

void PrintRefusal(const std::string& error) {
  std::fprintf(stderr, "tonalith-render: %s\n", error.c_str());
}

}  // namespace

std::span<const RenderOptionSpec> PresetRenderOptionSpecs() {
  return kPresetOptions;
}

EffectRequest RequestFromSetup(const EffectSetup& setup, const std::string& origin) {
  EffectRequest request;
  request.name = std::string(setup.kind->renderName);
  request.typeId = setup.kind->typeId;
  request.setup = setup;
  for (int32_t channel = 0; channel < 2; ++channel) {
    request.enabled[channel] = setup.channels[channel].enabled ? 1 : 0;
  }
  request.applies.push_back(
      [setup, origin](Effect& effect, int32_t channel, int32_t sampleRate, std::string* error) {
        const ChannelSetup& values = setup.channels[channel];
        std::string problem;
        if (!ApplyParameters(*setup.kind, effect, values.values, sampleRate, &problem)) {
          *error = origin + "." + kChannelNames[channel] + ": " + problem;
          return false;
        }
        effect.SetDryInputMix(values.dryInput);
        effect.SetDryOutputMix(values.dryOutput);
        return true;
      });
  return request;
}

int WritePresetFromOptions(const RenderOptions& options) {
  Preset preset;
  preset.blockBytes = options.blockBytes;
  // What a render would refuse is refused here too, before anything is written.
  EffectChain left;
  EffectChain right;
  for (const EffectRequest& request : options.effects) {
    std::string error;
    if (!AppendRequestedEffect(request, left, right, kHighestInputRate, &error)) {
      PrintRefusal(error);
      return kRenderRefused;
    }
    EffectSetup setup = request.setup;
    CompleteSetup(setup);
    preset.effects.push_back(std::move(setup));
  }
  std::string error;
  if (!WritePresetFile(options.writePreset, preset, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kRenderFailed;
  }
  return kRenderDone;
}

int ListFactoryPresets() {
  const std::vector<FactoryPreset> presets = FactoryPresets();
  if (presets.empty()) {
    std::fputs("No factory presets are installed.\n", stdout);
    return kRenderDone;
  }
  size_t width = 0;
  for (const FactoryPreset& preset : presets) {
    width = std::max(width, preset.name.size());
  }
  for (const FactoryPreset& preset : presets) {
    std::printf("%-*s  %s\n", static_cast<int>(width), preset.name.c_str(),
                preset.description.c_str());
  }
  return kRenderDone;
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
