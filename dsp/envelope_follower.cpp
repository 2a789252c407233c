#include "dsp/envelope_follower.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "dsp/saturate.h"
#include "dsp/vector_clones.h"
#include "dsp/wrap32.h"

namespace {

// Samples whose change to the sum is formed ahead of the sum at a time.
constexpr int32_t kTile = 256;

// n samples of the window in which nothing read is written first: each
// sample's scaled magnitude e goes into the ring over the oldest entry, and
// change[k] = e - oldest is what the sum gains.
TONALITH_VECTOR_CLONES
void WindowRun(const int16_t* in, int32_t* change, int16_t* ring, int32_t from, int32_t to,
               float scale, int32_t n) {
  for (int32_t k = 0; k < n; ++k) {
    // |-32768| is 32768: the magnitude is taken in 32 bits.
    const int32_t a = std::abs(static_cast<int32_t>(in[k]));
    // The one floating-point step of the sample loops: a single-precision
    // product, rounded to nearest with ties to even (the default mode).
    const auto e = static_cast<int32_t>(std::nearbyint(static_cast<float>(a) * scale));
    const int32_t oldest = ring[from + k];
    // Stored as 16 bits; the sum takes e itself.
    ring[to + k] = static_cast<int16_t>(e);
    change[k] = Sub32(e, oldest);
  }
}

}  // namespace

void RunEnvelope(const int16_t* src, int16_t* dst, EnvelopeFollower* follower, int32_t count) {
  int16_t* ring = follower->buffer.data();
  int32_t sum = follower->sum;
  ForEachIndependentRun(count, follower->Length(), follower->readPosition, follower->writePosition,
                        [&](int32_t done, int32_t from, int32_t to, int32_t n) {
                          for (int32_t t = 0; t < n; t += kTile) {
                            const int32_t m = std::min(kTile, n - t);
                            int32_t change[kTile];
                            WindowRun(src + done + t, change, ring, from + t, to + t,
                                      follower->scale, m);
                            int16_t* out = dst + done + t;
                            for (int32_t k = 0; k < m; ++k) {
                              sum = Add32(sum, change[k]);
                              out[k] = Saturate(sum);
                            }
                          }
                        });
  follower->sum = sum;
}
