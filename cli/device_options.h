#pragma once
// The device options of tonalith-render: sound-card input and output instead
// of the WAV files, the device run settings, and the device list.
//
//   tonalith-render [--driver alsa|jack] --list-devices
//   tonalith-render [options] (INPUT.wav | --input-device N) (OUTPUT.wav | --output-device N)
//
// With --driver jack the devices are the JACK server's capture and playback
// ports, and "none" leaves our ports unconnected.

#include <span>
#include <string>

#include "cli/render_options.h"

std::span<const RenderOptionSpec> DeviceRenderOptionSpecs();

// The operands a command line needs besides its device options: one WAV file
// for each end that is not a device.
bool CheckDeviceOperands(const RenderOptions& options, std::string* error);

// Whether the run has a device (or unconnected JACK ports) at either end.
inline bool UsesDevice(const RenderOptions& options) {
  return options.inputDevice != -1 || options.outputDevice != -1;
}

// The --help lines of the device options.
std::string DeviceUsage();
