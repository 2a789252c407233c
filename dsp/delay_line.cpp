#include "dsp/delay_line.h"

void RunDelayLine(const int16_t* src, int16_t* dst, DelayLine* line, int32_t count) {
  int16_t* buffer = line->buffer.data();
  // Each sample is stored before the delayed one is taken, so a read position
  // at the write position sees the new input.
  ForEachSample(*line, count, [&](int32_t n, int32_t read, int32_t write) {
    buffer[write] = src[n];
    dst[n] = buffer[read];
  });
}
