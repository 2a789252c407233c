#pragma once
// A second-order section written straight from its difference equation, for
// tests of the effects that filter their input: coefficients in the stored
// order b2, b1, b0, a2, a1; 32-bit sums plus the previous step's remainder;
// outputs shifted by 14 and clamped; the new remainder is the sum's low 14
// bits (the sum minus the unclamped output times 16384).

#include <array>
#include <cstdint>

struct ReferenceDirectForm {
  std::array<int32_t, 5> c{};  // b2, b1, b0, a2, a1
  int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0, r = 0;

  int16_t Step(int16_t x) {
    const int64_t sum = int64_t{c[0]} * x2 + int64_t{c[1]} * x1 + int64_t{c[2]} * x -
                        int64_t{c[3]} * y2 - int64_t{c[4]} * y1 + r;
    const auto acc = static_cast<int32_t>(sum);
    int32_t y = acc >> 14;
    r = static_cast<int32_t>(int64_t{acc} - int64_t{y} * 16384);
    y = y > 32767 ? 32767 : (y < -32767 ? -32767 : y);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return static_cast<int16_t>(y);
  }
};
