#include "dsp/delay_line.h"

#include "dsp/ring_runs.h"

void RunDelayLine(const int16_t* src, int16_t* dst, DelayLine* line, int32_t count) {
  line->busy = 1;
  int16_t* buffer = line->buffer;
  const int32_t length = line->length;
  int32_t write = line->writePosition;
  int32_t read = line->readPosition;
  // Within a run each sample is stored before the delayed one is taken, as
  // in the per-sample order, so a read position at or just behind the write
  // sees the new input.
  ForEachRingRun(count, length, read, write,
                 [&](int32_t done, int32_t from, int32_t to, int32_t n) {
                   for (int32_t k = 0; k < n; ++k) {
                     buffer[to + k] = src[done + k];
                     dst[done + k] = buffer[from + k];
                   }
                 });
  line->writePosition = write;
  line->readPosition = read;
  line->busy = 0;
}
