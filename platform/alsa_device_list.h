#pragma once
// The ALSA backend's device lists and ALSA's own diagnostics. The lists come
// from the system's PCM names that support each direction, the default device
// first; PCMs that are converters, channel-layout variants or not paced in
// real time (the "null" plugin) are left out. Nothing is opened.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/wave_service.h"

// The input list (index 0) and the output list (index 1).
using AlsaDeviceLists = std::array<std::vector<WaveDeviceCaps>, 2>;
AlsaDeviceLists ListAlsaDevices();

// Routes ALSA's diagnostics ("ALSA lib ...") on this thread to a handler that
// counts them and prints them only when shown.
void InstallAlsaDiagnosticHandler();
void ShowAlsaDiagnostics(bool shown);
int32_t AlsaDiagnosticCount();
