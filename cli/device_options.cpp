#include "cli/device_options.h"

#include <charconv>
#include <cmath>

#include "engine/run_limits.h"

namespace {

bool HandleListDevices(std::string_view, RenderOptions* options, std::string*) {
  options->mode = RenderMode::kListDevices;
  return true;
}

// Remembers the first option given that only a device run takes.
void NoteDeviceSetting(const char* name, RenderOptions* options) {
  if (options->deviceSetting.empty()) {
    options->deviceSetting = name;
  }
}

// A device number, or "none" (checked against the driver once all options
// are read).
bool ParseDevice(std::string_view name, std::string_view value, int32_t* out, std::string* error) {
  if (value == "none") {
    *out = kJackUnconnected;
    return true;
  }
  return ParseInt(name, value, 0, 9999, out, error);
}

bool HandleInputDevice(std::string_view value, RenderOptions* options, std::string* error) {
  return ParseDevice("--input-device", value, &options->inputDevice, error);
}

bool HandleOutputDevice(std::string_view value, RenderOptions* options, std::string* error) {
  return ParseDevice("--output-device", value, &options->outputDevice, error);
}

bool HandleDriver(std::string_view value, RenderOptions* options, std::string* error) {
  if (value != "alsa" && value != "jack") {
    *error = "--driver: \"" + ShownValue(value) + "\" is not alsa or jack";
    return false;
  }
  NoteDeviceSetting("--driver", options);
  options->jack = value == "jack";
  return true;
}

bool HandleJackName(std::string_view value, RenderOptions* options, std::string* error) {
  NoteDeviceSetting("--jack-name", options);
  options->jackNameGiven = true;
  if (value.empty() || value.size() > 64) {
    *error = "--jack-name: a client name of 1 to 64 characters is needed";
    return false;
  }
  options->jackName = std::string(value);
  return true;
}

bool HandleBuffers(std::string_view value, RenderOptions* options, std::string* error) {
  NoteDeviceSetting("--buffers", options);
  options->buffersGiven = true;
  return ParseInt("--buffers", value, kMinBufferCount, kMaxBufferCount, &options->buffers, error);
}

bool HandleRate(std::string_view value, RenderOptions* options, std::string* error) {
  NoteDeviceSetting("--rate", options);
  options->rateGiven = true;
  return ParseInt("--rate", value, kMinSampleRate, kMaxSampleRate, &options->rate, error);
}

// `first` or `second`, written in decimal; false with a one-line *error.
bool ParseEither(std::string_view name, std::string_view value, int32_t first, int32_t second,
                 int32_t* out, std::string* error) {
  const std::string a = std::to_string(first);
  const std::string b = std::to_string(second);
  if (value == a || value == b) {
    *out = value == a ? first : second;
    return true;
  }
  *error = std::string(name) + ": \"" + ShownValue(value) + "\" is not " + a + " or " + b;
  return false;
}

bool HandleChannels(std::string_view value, RenderOptions* options, std::string* error) {
  NoteDeviceSetting("--channels", options);
  return ParseEither("--channels", value, 1, 2, &options->channels, error);
}

bool HandleBits(std::string_view value, RenderOptions* options, std::string* error) {
  NoteDeviceSetting("--bits", options);
  return ParseEither("--bits", value, 8, 16, &options->bits, error);
}

bool HandleVerbose(std::string_view, RenderOptions* options, std::string*) {
  options->verbose = true;
  return true;
}

bool HandleSeconds(std::string_view value, RenderOptions* options, std::string* error) {
  NoteDeviceSetting("--seconds", options);
  double parsed = 0;
  const auto [end, status] = std::from_chars(value.data(), value.data() + value.size(), parsed);
  if (status != std::errc() || end != value.data() + value.size() || !std::isfinite(parsed) ||
      parsed <= 0 || parsed > 1e6) {
    *error = "--seconds: \"" + ShownValue(value) + "\" is not a positive number of seconds";
    return false;
  }
  options->seconds = parsed;
  return true;
}

constexpr RenderOptionSpec kDeviceOptions[] = {
    {"--list-devices", "", HandleListDevices},
    {"--driver", "alsa|jack", HandleDriver},
    {"--jack-name", "NAME", HandleJackName},
    {"--input-device", "N", HandleInputDevice},
    {"--output-device", "N", HandleOutputDevice},
    {"--buffers", "N", HandleBuffers},
    {"--rate", "HZ", HandleRate},
    {"--channels", "1|2", HandleChannels},
    {"--bits", "8|16", HandleBits},
    {"--seconds", "S", HandleSeconds},
    {"--verbose", "", HandleVerbose},
};

}  // namespace

std::span<const RenderOptionSpec> DeviceRenderOptionSpecs() {
  return kDeviceOptions;
}

bool CheckDeviceOperands(const RenderOptions& options, std::string* error) {
  if (!options.jack &&
      (options.inputDevice == kJackUnconnected || options.outputDevice == kJackUnconnected)) {
    *error = "a device \"none\" is only for --driver jack";
    return false;
  }
  if (!options.jack && options.jackNameGiven) {
    *error = "--jack-name is only for --driver jack";
    return false;
  }
  if (options.jack && (options.rateGiven || options.buffersGiven)) {
    *error = std::string(options.rateGiven ? "--rate" : "--buffers") +
             " does not apply to --driver jack: the server's rate and period are used";
    return false;
  }
  const size_t files = (options.inputDevice == -1 ? 1 : 0) + (options.outputDevice == -1 ? 1 : 0);
  if (options.operands.size() == files)
    return true;
  if (options.inputDevice != -1 && options.outputDevice != -1) {
    *error = "no WAV file is taken with --input-device and --output-device (see --help)";
  } else if (options.inputDevice != -1) {
    *error = "expected OUTPUT.wav after the options (see --help)";
  } else {
    *error = "expected INPUT.wav after the options (see --help)";
  }
  return false;
}

std::string DeviceUsage() {
  return R"(
Sound devices:
  tonalith-render --list-devices
  tonalith-render [options] (INPUT.wav | --input-device N) (OUTPUT.wav | --output-device N)

  --list-devices     show the numbered input and output devices
  --input-device N   record from input device N (0-based, as listed)
  --output-device N  play to output device N (0-based, as listed)
  --driver alsa|jack the sound system of the devices (default alsa)
  --jack-name NAME   the JACK client's name (default tonalith)
  --buffers N        buffers per ring, 4..32 (default 16)
  --rate HZ          device sampling rate, 11000..44100 (default 22000)
  --channels 1|2     (default 2)
  --bits 8|16        (default 16)
  --seconds S        end a live or record run after S seconds
  --verbose          show the sound system's own diagnostics (ALSA lib ...)

With --driver jack the devices are the ports of the JACK server that libjack
picks (JACK_DEFAULT_SERVER, else "default"): --list-devices numbers its
capture and playback ports, device N connects in_1 (out_1) to port N and, in
stereo, in_2 (out_2) to port N+1, and "none" connects nothing (for a
patchbay). The chains run in the server's process callback at its rate and
period, so --rate and --buffers do not apply and --block is the period.

A WAV source brings its own channels, bits and rate: the device plays it and
the effects run at the file's rate. Play ends when the file has been played;
live and record run until --seconds or Ctrl-C, which stop cleanly. A device
that stops working (its sound server ended, say) ends the run with exit
status 1; a WAV file being recorded keeps what was captured.
)";
}
