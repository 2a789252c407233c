#include "dsp/mix.h"

#include "dsp/saturate.h"
#include "dsp/vector_clones.h"
#include "dsp/wrap32.h"

TONALITH_VECTOR_CLONES
void MixTwoSignals(const int16_t* a, const int16_t* b, int16_t* dst, int32_t gainA, int32_t gainB,
                   int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    dst[i] = Saturate(Add32(Mul32(gainA, a[i]), Mul32(gainB, b[i])) >> 8);
  }
}

TONALITH_VECTOR_CLONES
void MixSignals(const int16_t* src, int16_t* dst, MixStage* stage, int32_t count) {
  const int32_t* gains = stage->gains.data();
  const int16_t* extra = stage->extraSignals.data();
  const int32_t g0 = gains[0];
  if (stage->signalCount == 2) {
    MixTwoSignals(src, extra, dst, g0, gains[1], count);
    return;
  }
  // The sums wrap modulo 2^32, so adding one signal per pass over the block
  // gives the same bits as any other order.
  int32_t* acc = stage->accumulator.data();
  for (int32_t i = 0; i < count; ++i) {
    acc[i] = Mul32(g0, src[i]);
  }
  for (int32_t k = 1; k < stage->signalCount; ++k, extra += count) {
    const int32_t gk = gains[k];
    for (int32_t i = 0; i < count; ++i) {
      acc[i] = Add32(acc[i], Mul32(gk, extra[i]));
    }
  }
  for (int32_t i = 0; i < count; ++i) {
    dst[i] = Saturate(acc[i] >> 8);
  }
}
