#include "dsp/comb.h"

#include <algorithm>

#include "dsp/saturate.h"
#include "dsp/wrap32.h"

void RunComb(const int16_t* src, int16_t* dst, CombDelay* comb, int32_t count) {
  int16_t* buffer = comb->buffer;
  const int32_t length = comb->length;
  const int32_t g = comb->gain;
  int32_t write = comb->writePosition;
  int32_t read = comb->readPosition;
  // Runs of samples in which neither position wraps, each sample in order:
  // y = buffer[read]; out = y; buffer[write] = sat(x - (y g >> 8)).
  for (int32_t done = 0; done < count;) {
    const int32_t run = std::min({count - done, length - read, length - write});
    const int16_t* x = src + done;
    int16_t* out = dst + done;
    int16_t* from = buffer + read;
    int16_t* to = buffer + write;
    for (int32_t k = 0; k < run; ++k) {
      const int32_t y = from[k];
      out[k] = static_cast<int16_t>(y);
      to[k] = Saturate(Wrap32(static_cast<int64_t>(x[k]) - (Mul32(y, g) >> 8)));
    }
    done += run;
    read += run;
    write += run;
    if (read == length) {
      read = 0;
    }
    if (write == length) {
      write = 0;
    }
  }
  comb->writePosition = write;
  comb->readPosition = read;
}
