#include "dsp/envelope_follower.h"

#include <cmath>
#include <cstdlib>

#include "dsp/saturate.h"
#include "dsp/wrap32.h"

void RunEnvelope(const int16_t* src, int16_t* dst, EnvelopeFollower* follower, int32_t count) {
  int16_t* buffer = follower->buffer.data();
  const float k = follower->scale;
  int32_t sum = follower->sum;
  ForEachSample(*follower, count, [&](int32_t n, int32_t read, int32_t write) {
    // |-32768| is 32768: the magnitude is taken in 32 bits.
    const int32_t a = std::abs(static_cast<int32_t>(src[n]));
    // The one floating-point step of the sample loops: a single-precision
    // product, rounded to nearest with ties to even (the default mode).
    const int32_t e = static_cast<int32_t>(std::nearbyint(static_cast<float>(a) * k));
    const int32_t old = buffer[read];
    // Stored as 16 bits; the sum takes e itself.
    buffer[write] = static_cast<int16_t>(e);
    sum = Wrap32(static_cast<int64_t>(sum) + e - old);
    dst[n] = Saturate(sum);
  });
  follower->sum = sum;
}
