#include "dsp/mix.h"

#include "dsp/saturate.h"
#include "dsp/wrap32.h"

void MixSignals(const int16_t* src, int16_t* dst, MixStage* stage, int32_t count) {
  int32_t* acc = stage->accumulator.data();
  const int32_t* gains = stage->gains.data();
  const int32_t g0 = gains[0];
  for (int32_t i = 0; i < count; ++i) {
    acc[i] = Mul32(g0, src[i]);
  }
  const int16_t* extra = stage->extraSignals.data();
  for (int32_t k = 1; k < stage->signalCount; ++k, extra += count) {
    const int32_t gk = gains[k];
    for (int32_t i = 0; i < count; ++i) {
      acc[i] = Wrap32(static_cast<int64_t>(acc[i]) + Mul32(gk, extra[i]));
    }
  }
  for (int32_t i = 0; i < count; ++i) {
    dst[i] = Saturate(acc[i] >> 8);
  }
}
