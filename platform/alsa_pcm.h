#pragma once
// Opening an ALSA PCM the way the wave service uses it, and ALSA's error
// codes as wave service results.

#include <alsa/asoundlib.h>

#include <string>

#include "platform/wave_service.h"

// The result an open-time ALSA error code stands for: busy -> allocated; no
// PCM, driver or server -> no driver; out of memory -> no memory; refused
// access/format/channels/rate -> bad format; anything else -> other.
WaveResult OpenError(int error);

// Opens and configures a PCM, non-blocking: interleaved, the format's sample
// format, channels and exact rate; a period of about 10 ms, whatever the
// engine's block length. *errorCode is ALSA's error code of a failure, 0
// when the PCM refuses the format.
WaveResult OpenPcm(const std::string& name, WaveDirection direction, const WaveDeviceFormat& format,
                   snd_pcm_t** out, int* errorCode);
