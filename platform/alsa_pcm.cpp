#include "platform/alsa_pcm.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace {

constexpr unsigned kPeriodMicroseconds = 10000;
constexpr unsigned kInputBufferMicroseconds = 1000000;
constexpr unsigned kOutputBufferMicroseconds = 250000;

}  // namespace

WaveResult OpenError(int error) {
  switch (-error) {
    case EBUSY:
    case EAGAIN:
      return WaveResult::kAllocated;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ECONNREFUSED:
    case EHOSTDOWN:
      return WaveResult::kNoDriver;
    case ENOMEM:
      return WaveResult::kNoMemory;
    case EINVAL:
      return WaveResult::kBadFormat;
    default:
      return WaveResult::kOther;
  }
}

WaveResult OpenPcm(const std::string& name, WaveDirection direction, const WaveDeviceFormat& format,
                   snd_pcm_t** out, int* errorCode) {
  const snd_pcm_stream_t stream =
      direction == WaveDirection::kInput ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
  // Non-blocking: the UI thread's event loop waits on the PCM's descriptors.
  snd_pcm_t* pcm = nullptr;
  int& error = *errorCode;
  error = snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
  if (error < 0) {
    return OpenError(error);
  }
  // Closed again on every failure below.
  std::unique_ptr<snd_pcm_t, int (*)(snd_pcm_t*)> owned(pcm, snd_pcm_close);

  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_hw_params_alloca(&hw);
  if ((error = snd_pcm_hw_params_any(pcm, hw)) < 0) {
    return OpenError(error);
  }
  if ((error = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
      (error = snd_pcm_hw_params_set_format(
           pcm, hw, format.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE)) < 0 ||
      (error = snd_pcm_hw_params_set_channels(pcm, hw, format.channels)) < 0 ||
      (error = snd_pcm_hw_params_set_rate(pcm, hw, format.samplesPerSec, 0)) < 0) {
    error = 0;  // the format is the reason
    return WaveResult::kBadFormat;
  }
  unsigned period = kPeriodMicroseconds;
  unsigned buffer =
      direction == WaveDirection::kInput ? kInputBufferMicroseconds : kOutputBufferMicroseconds;
  int dir = 0;
  snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer, &dir);
  dir = 0;
  snd_pcm_hw_params_set_period_time_near(pcm, hw, &period, &dir);
  if ((error = snd_pcm_hw_params(pcm, hw)) < 0) {
    return OpenError(error);
  }

  snd_pcm_uframes_t periodFrames = 0;
  snd_pcm_uframes_t bufferFrames = 0;
  snd_pcm_get_params(pcm, &bufferFrames, &periodFrames);
  snd_pcm_sw_params_t* sw = nullptr;
  snd_pcm_sw_params_alloca(&sw);
  snd_pcm_sw_params_current(pcm, sw);
  snd_pcm_sw_params_set_avail_min(pcm, sw, std::max<snd_pcm_uframes_t>(periodFrames, 1));
  // Playback starts once it holds two periods, however short the buffers
  // written: a sound server left with less than a period runs dry at once.
  // (Less that stays alone is started by CheckPlayed.) Capture is started
  // explicitly (the PulseAudio plugin wants the low threshold there too).
  snd_pcm_sw_params_set_start_threshold(
      pcm, sw,
      direction == WaveDirection::kOutput ? std::max<snd_pcm_uframes_t>(2 * periodFrames, 1) : 1);
  snd_pcm_sw_params(pcm, sw);
  // Prepared again so that the PulseAudio plugin takes the start threshold
  // as its pre-buffer: otherwise playback waits for a full buffer.
  if ((error = snd_pcm_prepare(pcm)) < 0) {
    return OpenError(error);
  }
  *out = owned.release();
  return WaveResult::kOk;
}
