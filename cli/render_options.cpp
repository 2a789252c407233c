#include "cli/render_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "cli/batch_options.h"
#include "cli/device_options.h"
#include "cli/preset_options.h"

namespace {

bool HandleBlock(std::string_view value, RenderOptions* options, std::string* error) {
  for (const int32_t choice : kBlockBytesChoices) {
    if (value == std::to_string(choice)) {
      options->blockBytes = choice;
      options->blockGiven = true;
      return true;
    }
  }
  *error = "--block: \"" + ShownValue(value) +
           "\" is not a block length (allowed: 128, 256, 512, 1024, 2048, 4096, 8192)";
  return false;
}

bool HandleEffect(std::string_view value, RenderOptions* options, std::string* error) {
  EffectRequest request;
  if (!ParseEffectSpec(value, &request, error)) {
    return false;
  }
  options->effects.push_back(std::move(request));
  return true;
}

bool HandleTail(std::string_view value, RenderOptions* options, std::string* error) {
  if (value == "auto") {
    options->tail = {TailMode::kUntilQuiet, 0};
    return true;
  }
  double seconds = 0;
  const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), seconds);
  if (status != std::errc() || end != value.data() + value.size() || !std::isfinite(seconds) ||
      seconds < 0 || seconds > kMaxTailSeconds) {
    *error = "--tail: \"" + ShownValue(value) + "\" is not auto or a number of seconds from 0 to " +
             FormatNumber(kMaxTailSeconds);
    return false;
  }
  options->tail = {seconds > 0 ? TailMode::kFixed : TailMode::kNone, seconds};
  return true;
}

bool HandleQuiet(std::string_view, RenderOptions* options, std::string*) {
  options->quiet = true;
  return true;
}

bool HandleHelp(std::string_view, RenderOptions* options, std::string*) {
  options->mode = RenderMode::kHelp;
  return true;
}

bool HandleListEffects(std::string_view, RenderOptions* options, std::string*) {
  options->mode = RenderMode::kListEffects;
  return true;
}

constexpr RenderOptionSpec kFileRenderOptions[] = {
    {"--block", "BYTES", HandleBlock},
    {"--effect", "SPEC", HandleEffect},
    {"--tail", "auto|SECONDS", HandleTail},
    {"--quiet", "", HandleQuiet},
    {"--help", "", HandleHelp},
    {"--list-effects", "", HandleListEffects},
};

}  // namespace

bool ParseInt(std::string_view name, std::string_view value, int32_t low, int32_t high,
              int32_t* out, std::string* error) {
  int32_t parsed = 0;
  const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), parsed);
  if (status != std::errc() || end != value.data() + value.size() || parsed < low ||
      parsed > high) {
    *error = std::string(name) + ": \"" + ShownValue(value) + "\" is not a number from " +
             std::to_string(low) + " to " + std::to_string(high);
    return false;
  }
  *out = parsed;
  return true;
}

std::span<const RenderOptionSpec> FileRenderOptionSpecs() {
  return kFileRenderOptions;
}

std::vector<RenderOptionSpec> RenderOptionTable() {
  std::vector<RenderOptionSpec> table;
  for (const auto group : {FileRenderOptionSpecs(), PresetRenderOptionSpecs(),
                           BatchRenderOptionSpecs(), DeviceRenderOptionSpecs()}) {
    table.insert(table.end(), group.begin(), group.end());
  }
  return table;
}

bool ParseRenderArguments(std::span<const std::string> arguments, RenderOptions* options,
                          std::string* error) {
  const std::vector<RenderOptionSpec> table = RenderOptionTable();
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      options->operands.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t equals = argument.find('=');
    const std::string_view name = std::string_view(argument).substr(0, equals);
    const auto spec = std::find_if(table.begin(), table.end(),
                                   [name](const RenderOptionSpec& s) { return s.name == name; });
    if (spec == table.end()) {
      *error = "unknown option \"" + ShownValue(name) + "\" (see --help)";
      return false;
    }
    std::string_view value;
    if (spec->valueName.empty()) {
      if (equals != std::string::npos) {
        *error = std::string(name) + " takes no value";
        return false;
      }
    } else if (equals != std::string::npos) {
      value = std::string_view(argument).substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      *error = std::string(name) + " needs a value " + std::string(spec->valueName);
      return false;
    }
    if (!spec->handle(value, options, error)) {
      return false;
    }
  }
  return CheckRenderOperands(*options, error);
}

bool CheckRenderOperands(const RenderOptions& options, std::string* error) {
  if (options.mode != RenderMode::kFileToFile) {
    if (!options.operands.empty()) {
      const char* option = options.mode == RenderMode::kHelp          ? "--help"
                           : options.mode == RenderMode::kListEffects ? "--list-effects"
                           : options.mode == RenderMode::kListPresets ? "--list-presets"
                           : options.mode == RenderMode::kWritePreset ? "--write-preset"
                                                                      : "--list-devices";
      *error = std::string(option) + " takes no INPUT or OUTPUT (\"" +
               ShownValue(options.operands.front()) + "\" given)";
      return false;
    }
    return true;
  }
  if (UsesDevice(options) && options.tail.mode != TailMode::kNone) {
    *error = "--tail is only for runs from INPUT.wav to OUTPUT.wav";
    return false;
  }
  if (UsesBatch(options)) {
    return CheckBatchOperands(options, error);
  }
  if (UsesDevice(options)) {
    return CheckDeviceOperands(options, error);
  }
  if (!options.deviceSetting.empty()) {
    *error = options.deviceSetting + " is only for runs with --input-device or --output-device";
    return false;
  }
  if (options.operands.size() != 2) {
    *error = "expected INPUT.wav and OUTPUT.wav (see --help)";
    return false;
  }
  return true;
}

std::string RenderUsage() {
  return R"(Usage:
  tonalith-render [--block BYTES] [--effect SPEC]... [--tail auto|SECONDS] [--quiet]
                  INPUT.wav OUTPUT.wav
  tonalith-render --help
  tonalith-render --list-effects

Runs INPUT.wav through the left and right effect chains into OUTPUT.wav, which
gets the input's format (PCM, 8 or 16 bits, mono or stereo).

  --block BYTES   block length: 128, 256, 512, 1024, 2048, 4096 or 8192 (default 1024)
  --effect SPEC   append an effect to both chains, enabled; repeatable, in order.
                  SPEC is NAME[:KEY=VALUE[,KEY=VALUE]...]. Every effect takes
                  in=0..512 and out=0..512 (dry input/output mix, 256 = 100%)
                  and enabled=0|1; a key written left.KEY or right.KEY sets one
                  channel only. Lists separate items with ';', curve points are
                  X:Y. --list-effects shows the effects and their keys.
  --tail auto|SECONDS
                  go on past the end of INPUT, feeding the effects silence so
                  that their echoes and reverberation are heard out: auto
                  until the output has stayed within +-1 for 100 ms (at most
                  30 s), or SECONDS (0..30) of it; 0, the default, ends the
                  output with the input
  --quiet         no progress bar (it is shown only when stderr is a terminal)

At the end of a run one line on stderr gives each output channel's peak in
dBFS and, when output samples were at full scale (saturated to +-32767), a
warning with their count.

Exit status: 0 done, 1 the run failed, 2 the command line was refused.
)" + PresetUsage() +
         BatchUsage() + DeviceUsage();
}
