#pragma once
// Two's-complement 32-bit arithmetic for the sample loops.
//
// Products and sums of the fixed-point routines are 32-bit signed values,
// reduced modulo 2^32: exactly the 32-bit result, including its wrap-around on
// overflow (which only extreme coefficients can reach), without signed-overflow
// undefined behaviour. Wrap32 reduces a value formed in 64 bits; Mul32, Add32
// and Sub32 give the same bits in unsigned 32-bit arithmetic, which the
// compiler can vectorise.

#include <cstdint>

inline constexpr int32_t Wrap32(int64_t value) {
  return static_cast<int32_t>(value);
}

// a x b as a 32-bit product.
inline constexpr int32_t Mul32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// a + b and a - b as 32-bit results. Sums wrapped this way may be formed in
// any order.
inline constexpr int32_t Add32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline constexpr int32_t Sub32(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// a x b / 256 as a 32-bit product, the quotient truncated toward zero. Used
// for the x 256 feedback gains of loops that must die out: an arithmetic
// shift rounds toward minus infinity and keeps a small negative value alive
// for ever ((g x -1) >> 8 = -1 for every gain g > 0), while the truncated
// share of a loop gain below 1 is always smaller in size than its input.
inline constexpr int32_t MulDiv256TowardZero(int32_t a, int32_t b) {
  return Mul32(a, b) / 256;
}
