#include "dsp/wavetable.h"

#include "dsp/wrap32.h"

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
  load();
  for (int32_t n = 0; n < count; ++n) {
    const int32_t value = Wrap32(static_cast<int64_t>(y0) + (Mul32(d, fraction) >> 12));
    // Only the low 16 bits are kept: callers scale the table to fit.
    dst[n] = static_cast<int16_t>(Mul32(value, depth) >> 12);
    fraction = Wrap32(static_cast<int64_t>(fraction) + increment);
    if (fraction >= 4096) {
      p += fraction >> 12;
      if (p >= length) {
        p -= wrap;
      }
      fraction &= 4095;
      load();
    }
  }
  oscillator->position = p;
  oscillator->fraction = fraction;
}
