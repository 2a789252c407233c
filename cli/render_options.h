#pragma once
// The command line of tonalith-render:
//
//   tonalith-render [--block BYTES] [--preset FILE|NAME]... [--effect SPEC]...
//                   [--tail auto|SECONDS] [--quiet] INPUT.wav OUTPUT.wav
//   tonalith-render [options] --out-dir DIR [--jobs N] INPUT.wav...
//   tonalith-render [--block BYTES] [--preset FILE|NAME]... [--effect SPEC]...
//                   --write-preset FILE
//   tonalith-render --help
//   tonalith-render --list-effects
//   tonalith-render --list-presets
//
// Options are described by a table (RenderOptionTable) of names, whether
// they take a value, and a handler that stores the value in RenderOptions.
// To add options (device modes, for instance): put their handlers in a file of
// their own that returns a span of RenderOptionSpec, add that span to
// RenderOptionTable() in render_options.cpp, add the fields they fill to
// RenderOptions, and the checks of the operands they change to
// CheckRenderOperands().

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/effect_options.h"
#include "engine/file_run.h"

#include "preset/preset.h"

enum class RenderMode {
  kFileToFile,
  kHelp,
  kListEffects,
  kListDevices,
  kListPresets,
  kWritePreset
};

struct RenderOptions;

// Reads the preset `value` names (a file, or a factory preset) into
// `options`: its effects, and its block length unless --block was given.
// False with a one-line *error.
using PresetLoader = bool (*)(std::string_view value, RenderOptions* options, std::string* error);

inline constexpr int32_t kDefaultBlockBytes = 1024;
// The block lengths the engine runs with.
inline constexpr const auto& kBlockBytesChoices = kPresetBlockBytes;

struct RenderOptions {
  RenderMode mode = RenderMode::kFileToFile;
  int32_t blockBytes = kDefaultBlockBytes;
  bool blockGiven = false;             // --block was given: a preset's block length yields
  std::vector<EffectRequest> effects;  // in the order given, a preset's in its place
  bool quiet = false;
  RunTail tail;                       // file to file: what follows the end of the input
  std::vector<std::string> operands;  // INPUT.wav OUTPUT.wav, or the inputs of a batch
  // Batch renders (cli/batch_options.h): each input into this folder.
  std::string outDir;
  int32_t jobs = 0;  // worker threads; 0: one per core
  // Device modes (cli/device_options.h): -1 when that end is a file,
  // kJackUnconnected for "none" (JACK ports left unconnected).
  int32_t inputDevice = -1;
  int32_t outputDevice = -1;
  // --driver jack: the devices are a JACK server's ports.
  bool jack = false;
  std::string jackName = "tonalith";
  // Options a JACK run takes from the server or that only it takes.
  bool rateGiven = false;
  bool buffersGiven = false;
  bool jackNameGiven = false;
  int32_t buffers = 16;
  int32_t rate = 22000;
  int32_t channels = 2;
  int32_t bits = 16;
  double seconds = 0;    // 0: until Ctrl-C (live, record) or the file's end (play)
  bool verbose = false;  // show ALSA's own diagnostics
  // The first of the options above that only a run with a device takes, as
  // given ("--rate"); empty when none was given.
  std::string deviceSetting;
  // --write-preset: the file to write.
  std::string writePreset;
  // How --preset is read, set before the parse by the program that reads
  // presets (tonalith-render-qt). Without it a --preset is only noted, and
  // the command line goes to that program.
  PresetLoader loadPreset = nullptr;
  bool presetUnread = false;
};

struct RenderOptionSpec {
  std::string_view name;       // "--block"
  std::string_view valueName;  // "BYTES"; empty for a flag
  // Stores `value` (empty for a flag). False with a one-line *error.
  bool (*handle)(std::string_view value, RenderOptions* options, std::string* error);
};

// A whole decimal number within [low, high] for the option `name`; false
// with a one-line *error.
bool ParseInt(std::string_view name, std::string_view value, int32_t low, int32_t high,
              int32_t* out, std::string* error);

std::span<const RenderOptionSpec> FileRenderOptionSpecs();
// Every option: the file, batch and device options.
std::vector<RenderOptionSpec> RenderOptionTable();

// Parses the arguments after the program name (`--name VALUE` and
// `--name=VALUE` both work; `--` ends the options). False with a one-line
// *error: the caller exits with status 2.
bool ParseRenderArguments(std::span<const std::string> arguments, RenderOptions* options,
                          std::string* error);

// Checks the operands for the chosen mode, and that the options given belong
// to it.
bool CheckRenderOperands(const RenderOptions& options, std::string* error);

// The --help text.
std::string RenderUsage();
