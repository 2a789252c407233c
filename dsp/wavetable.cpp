#include "dsp/wavetable.h"

#include <algorithm>

#include "dsp/vector_clones.h"
#include "dsp/wrap32.h"

namespace {

// One output: the entry y0 plus fraction/4096 of the step d, scaled by depth.
inline int16_t TableOutput(int32_t y0, int32_t d, int32_t fraction, int32_t depth) {
  const int32_t value = Add32(y0, Mul32(d, fraction) >> 12);
  // Only the low 16 bits are kept: callers scale the table to fit.
  return static_cast<int16_t>(Mul32(value, depth) >> 12);
}

// n outputs between two table steps, the fraction rising by `increment` from
// one to the next.
TONALITH_VECTOR_CLONES
void RunBetweenSteps(int16_t* dst, int32_t y0, int32_t d, int32_t fraction, int32_t increment,
                     int32_t depth, int32_t n) {
  for (int32_t k = 0; k < n; ++k) {
    dst[k] = TableOutput(y0, d, fraction + k * increment, depth);
  }
}

}  // namespace

void RunWavetable(const int16_t* /*src*/, int16_t* dst, Wavetable* oscillator, int32_t count) {
  const int16_t* table = oscillator->table.data();
  const int32_t length = oscillator->Length();
  const int32_t wrap = oscillator->wrap;
  const int32_t increment = oscillator->increment;
  const int32_t depth = oscillator->depth;
  int32_t p = oscillator->position;
  int32_t fraction = oscillator->fraction;

  // The entry at p and the step to the next one, the next wrapping once.
  int32_t y0 = 0;
  int32_t d = 0;
  auto load = [&] {
    const int32_t next = p + 1 >= length ? p + 1 - wrap : p + 1;
    y0 = table[p];
    d = table[next] - y0;
  };
  // The position moves on after each output whose fraction, raised by the
  // increment, reaches 4096.
  auto advance = [&] {
    if (fraction >= 4096) {
      p += fraction >> 12;
      if (p >= length) {
        p -= wrap;
      }
      fraction &= 4095;
      load();
    }
  };
  load();
  if (increment > 0 && increment < 4096 && fraction >= 0 && fraction < 4096) {
    // A slow oscillator: runs of outputs between two steps, each run as
    // long as the fraction stays below 4096.
    for (int32_t n = 0; n < count;) {
      const int32_t untilStep = (4096 - fraction + increment - 1) / increment;
      const int32_t run = std::min(untilStep, count - n);
      RunBetweenSteps(dst + n, y0, d, fraction, increment, depth, run);
      n += run;
      fraction += run * increment;
      advance();
    }
  } else {
    for (int32_t n = 0; n < count; ++n) {
      dst[n] = TableOutput(y0, d, fraction, depth);
      fraction = Add32(fraction, increment);
      advance();
    }
  }
  oscillator->position = p;
  oscillator->fraction = fraction;
}
