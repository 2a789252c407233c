#include "dsp/allpass.h"

#include "dsp/saturate.h"
#include "dsp/wrap32.h"

void RunAllpass(const int16_t* src, int16_t* dst, AllpassDelay* allpass, int32_t count) {
  int32_t* buffer = allpass->buffer;
  const int32_t length = allpass->length;
  const int32_t g = allpass->gain;
  int32_t write = allpass->writePosition;
  int32_t read = allpass->readPosition;
  for (int32_t n = 0; n < count; ++n) {
    const int32_t t = Mul32(buffer[read], g) >> 8;
    const int32_t v = Wrap32(static_cast<int64_t>(src[n]) + t);
    buffer[write] = v;
    // Read again after the store: with read == write the stored value is the
    // one that leaves.
    const int32_t y = Wrap32(static_cast<int64_t>(buffer[read]) - (Mul32(v, g) >> 8));
    if (++read == length) {
      read = 0;
    }
    if (++write == length) {
      write = 0;
    }
    dst[n] = Saturate(y);
  }
  allpass->writePosition = write;
  allpass->readPosition = read;
}
