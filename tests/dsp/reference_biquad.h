#pragma once
// A second-order section written straight from its difference equation, for
// tests of the effects that filter their input: coefficients in the stored
// order b2, b1, b0, a2, a1; 32-bit sums; outputs shifted by 14 and clamped.

#include <array>
#include <cstdint>

struct ReferenceDirectForm {
  std::array<int32_t, 5> c{};  // b2, b1, b0, a2, a1
  int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0;

  int16_t Step(int16_t x) {
    const int64_t sum = int64_t{c[0]} * x2 + int64_t{c[1]} * x1 + int64_t{c[2]} * x -
                        int64_t{c[3]} * y2 - int64_t{c[4]} * y1;
    int32_t y = static_cast<int32_t>(sum) >> 14;
    y = y > 32767 ? 32767 : (y < -32767 ? -32767 : y);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return static_cast<int16_t>(y);
  }
};
