#include "dsp/comb.h"

#include "dsp/saturate.h"
#include "dsp/wrap32.h"

void RunComb(const int16_t* src, int16_t* dst, CombDelay* comb, int32_t count) {
  int16_t* buffer = comb->buffer.data();
  const int32_t g = comb->gain;
  ForEachSample(*comb, count, [&](int32_t n, int32_t read, int32_t write) {
    const int32_t y = buffer[read];
    dst[n] = static_cast<int16_t>(y);
    buffer[write] = Saturate(Wrap32(static_cast<int64_t>(src[n]) - (Mul32(y, g) >> 8)));
  });
}
