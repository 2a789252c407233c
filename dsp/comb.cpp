#include "dsp/comb.h"

#include "dsp/saturate.h"
#include "dsp/vector_clones.h"
#include "dsp/wrap32.h"

namespace {

// n samples in which nothing read from `delayed` is written to `fed`: the
// delayed samples go out first, then the fed-back ones go in. Out before in
// also holds sample by sample, so in may be out.
TONALITH_VECTOR_CLONES
void CombRun(const int16_t* in, int16_t* out, const int16_t* delayed, int16_t* fed, int32_t g,
             int32_t n) {
  for (int32_t k = 0; k < n; ++k) {
    out[k] = delayed[k];
  }
  for (int32_t k = 0; k < n; ++k) {
    fed[k] = Saturate(Sub32(in[k], Mul32(out[k], g) >> 8));
  }
}

}  // namespace

void RunComb(const int16_t* src, int16_t* dst, CombDelay* comb, int32_t count) {
  int16_t* buffer = comb->buffer.data();
  ForEachIndependentRun(count, comb->Length(), comb->readPosition, comb->writePosition,
                        [&](int32_t done, int32_t from, int32_t to, int32_t n) {
                          CombRun(src + done, dst + done, buffer + from, buffer + to, comb->gain,
                                  n);
                        });
}
