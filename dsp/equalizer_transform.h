#pragma once
// Radix-2 block transforms of the graphic equalizer, and the tables they use.
//
// The twiddle table is built from angles::kTwiddleTwoPi (6.283) rather than
// 2 pi, so the transforms are close to, but not exactly, discrete Fourier transforms: a
// real input does not give an exactly conjugate-symmetric spectrum, and the
// filtered result depends (slightly) on which tables and which form of the
// transform are used. The equalizer uses these n-point routines throughout.

#include <cstdint>

struct Complex {
  float re;
  float im;
};

// out[i] = (cos(i * step), sin(i * step)) for i = 0..n-1, step = 6.283 / n
// rounded to a float.
void TwiddleTable(Complex* out, int32_t n);

// out[i] = i with its lowest `bits` bits reversed, for i = 0..n-1.
void BitReverseTable(int32_t* out, int32_t bits, int32_t n);

// out[k] = 0.54 - 0.46 cos(2 pi k / n) for k = 0..n: n + 1 values.
void HammingWindow(float* out, int32_t n);

// Decimation-in-time transform of n = 2^bits points with kernel
// e^(-j angle(k m)), unscaled. `in` and `out` must be distinct.
void ForwardTransform(const int32_t* bitReverse, const Complex* twiddle, const Complex* in,
                      Complex* out, int32_t n, int32_t bits);

// The same with kernel e^(+j angle(k m)) and the input scaled by 1/n.
void InverseTransform(const int32_t* bitReverse, const Complex* twiddle, const Complex* in,
                      Complex* out, int32_t n, int32_t bits);

// The butterfly stages of an n-point transform on data already in
// bit-reversed order, in place: twiddle j of a stage with span s is
// twiddle[j * n / s], multiplied as conj(w) forward and as w when `inverse`.
// ForwardTransform and InverseTransform are the input copy plus this.
void RunButterflies(Complex* data, const Complex* twiddle, int32_t n, int32_t bits, bool inverse);
