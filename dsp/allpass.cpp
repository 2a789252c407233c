#include "dsp/allpass.h"

#include "dsp/saturate.h"
#include "dsp/wrap32.h"

void RunAllpass(const int16_t* src, int16_t* dst, AllpassDelay* allpass, int32_t count) {
  int32_t* buffer = allpass->buffer.data();
  const int32_t g = allpass->gain;
  ForEachSample(*allpass, count, [&](int32_t n, int32_t read, int32_t write) {
    const int32_t v = Wrap32(static_cast<int64_t>(src[n]) + (Mul32(buffer[read], g) >> 8));
    buffer[write] = v;
    // Read again after the store: with read == write the stored value is the
    // one that leaves.
    dst[n] = Saturate(Wrap32(static_cast<int64_t>(buffer[read]) - (Mul32(v, g) >> 8)));
  });
}
