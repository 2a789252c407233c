#pragma once
// The command line of tonalith-render:
//
//   tonalith-render [--block BYTES] [--effect SPEC]... [--quiet] INPUT.wav OUTPUT.wav
//   tonalith-render --help
//   tonalith-render --list-effects
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

enum class RenderMode { kFileToFile, kHelp, kListEffects, kListDevices };

inline constexpr int32_t kDefaultBlockBytes = 1024;
// The block lengths the engine runs with.
inline constexpr int32_t kBlockBytesChoices[] = {128, 256, 512, 1024, 2048, 4096, 8192};

struct RenderOptions {
  RenderMode mode = RenderMode::kFileToFile;
  int32_t blockBytes = kDefaultBlockBytes;
  std::vector<EffectRequest> effects;  // in the order given
  bool quiet = false;
  std::vector<std::string> operands;  // INPUT.wav OUTPUT.wav
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
};

struct RenderOptionSpec {
  std::string_view name;       // "--block"
  std::string_view valueName;  // "BYTES"; empty for a flag
  // Stores `value` (empty for a flag). False with a one-line *error.
  bool (*handle)(std::string_view value, RenderOptions* options, std::string* error);
};

std::span<const RenderOptionSpec> FileRenderOptionSpecs();
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
