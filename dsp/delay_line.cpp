#include "dsp/delay_line.h"

#include <algorithm>

void RunDelayLine(const int16_t* src, int16_t* dst, DelayLine* line, int32_t count) {
  line->busy = 1;
  int16_t* buffer = line->buffer;
  const int32_t length = line->length;
  int32_t write = line->writePosition;
  int32_t read = line->readPosition;
  // Runs of samples in which neither position wraps; within a run each
  // sample is stored before the delayed one is taken, as in the per-sample
  // order, so a read position at or just behind the write sees the new input.
  for (int32_t done = 0; done < count;) {
    const int32_t run = std::min({count - done, length - read, length - write});
    const int16_t* x = src + done;
    int16_t* out = dst + done;
    int16_t* to = buffer + write;
    const int16_t* from = buffer + read;
    for (int32_t k = 0; k < run; ++k) {
      to[k] = x[k];
      out[k] = from[k];
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
  line->writePosition = write;
  line->readPosition = read;
  line->busy = 0;
}
