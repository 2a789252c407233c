#pragma once
// Two's-complement 32-bit arithmetic for the sample loops.
//
// Products and sums of the fixed-point routines are 32-bit signed values. They
// are formed here in 64 bits and reduced modulo 2^32, which gives exactly the
// 32-bit result (including its wrap-around on overflow, which only extreme
// coefficients can reach) without signed-overflow undefined behaviour.

#include <cstdint>

inline constexpr int32_t Wrap32(int64_t value) {
  return static_cast<int32_t>(value);
}

// a x b as a 32-bit product.
inline constexpr int32_t Mul32(int32_t a, int32_t b) {
  return Wrap32(static_cast<int64_t>(a) * b);
}
