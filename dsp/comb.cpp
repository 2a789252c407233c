#include "dsp/comb.h"

#include "dsp/ring_runs.h"
#include "dsp/saturate.h"
#include "dsp/wrap32.h"

void RunComb(const int16_t* src, int16_t* dst, CombDelay* comb, int32_t count) {
  int16_t* buffer = comb->buffer;
  const int32_t length = comb->length;
  const int32_t g = comb->gain;
  int32_t write = comb->writePosition;
  int32_t read = comb->readPosition;
  // Each sample in order: y = buffer[read]; out = y;
  // buffer[write] = sat(x - (y g >> 8)).
  ForEachRingRun(count, length, read, write,
                 [&](int32_t done, int32_t from, int32_t to, int32_t n) {
                   for (int32_t k = 0; k < n; ++k) {
                     const int32_t y = buffer[from + k];
                     dst[done + k] = static_cast<int16_t>(y);
                     buffer[to + k] =
                         Saturate(Wrap32(static_cast<int64_t>(src[done + k]) - (Mul32(y, g) >> 8)));
                   }
                 });
  comb->writePosition = write;
  comb->readPosition = read;
}
