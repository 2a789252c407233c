#include "cli/preset_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "cli/render_command.h"
#include "cli/render_run.h"
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

}  // namespace

bool LoadPreset(std::string_view value, RenderOptions* options, std::string* error) {
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
