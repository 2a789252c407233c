#pragma once
// A table oscillator with linear interpolation and a 12-bit phase fraction.

#include <cstdint>
#include <vector>

struct Wavetable {
  std::vector<int16_t> table;  // the oscillator's own table
  int32_t position = 0;        // p, the current entry
  int32_t fraction = 0;        // 0..4095, phase between entry p and the next
  int32_t wrap = 0;            // subtracted (once) from a position reaching the table's end
  int32_t increment = 0;       // table steps x 4096 per output sample
  int32_t depth = 0;           // output scale x 4096

  int32_t Length() const { return static_cast<int32_t>(table.size()); }
};

// out = ((y0 + (d fraction >> 12)) depth) >> 12, kept as its low 16 bits (no
// saturation), with y0 = table[p] and d the step to the next entry. The
// source block is ignored.
void RunWavetable(const int16_t* src, int16_t* dst, Wavetable* oscillator, int32_t count);
