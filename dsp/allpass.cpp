#include "dsp/allpass.h"

#include "dsp/saturate.h"
#include "dsp/vector_clones.h"
#include "dsp/wrap32.h"

namespace {

// n samples from line positions `from` (read) and `to` (written), in which
// nothing read is written first, so the store leaves each delayed value alone.
TONALITH_VECTOR_CLONES
void AllpassRun(const int16_t* in, int16_t* out, int32_t* line, int32_t from, int32_t to, int32_t g,
                int32_t n) {
  for (int32_t k = 0; k < n; ++k) {
    const int32_t old = line[from + k];
    const int32_t v = Add32(in[k], Mul32(old, g) >> 8);
    line[to + k] = v;
    out[k] = Saturate(Sub32(old, Mul32(v, g) >> 8));
  }
}

// n samples of a zero delay: the value read back after the store is the one
// just stored.
void AllpassRunUndelayed(const int16_t* in, int16_t* out, int32_t* line, int32_t g, int32_t n) {
  for (int32_t k = 0; k < n; ++k) {
    const int32_t v = Add32(in[k], Mul32(line[k], g) >> 8);
    line[k] = v;
    out[k] = Saturate(Sub32(v, Mul32(v, g) >> 8));
  }
}

}  // namespace

void RunAllpass(const int16_t* src, int16_t* dst, AllpassDelay* allpass, int32_t count) {
  int32_t* buffer = allpass->buffer.data();
  const int32_t g = allpass->gain;
  ForEachIndependentRun(count, allpass->Length(), allpass->readPosition, allpass->writePosition,
                        [&](int32_t done, int32_t from, int32_t to, int32_t n) {
                          if (from == to) {
                            AllpassRunUndelayed(src + done, dst + done, buffer + to, g, n);
                          } else {
                            AllpassRun(src + done, dst + done, buffer, from, to, g, n);
                          }
                        });
}
