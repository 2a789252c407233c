#pragma once
// Test signals and straightforward per-sample models of the fixed-point
// building blocks, for the effects' bit-exact tests.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "effects/effect.h"

namespace effect_test {

inline std::vector<int16_t> Noise(int32_t length, uint32_t seed, int32_t amplitude = 32767) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> value(-amplitude - 1, amplitude);
  std::vector<int16_t> x(length);
  for (auto& v : x) {
    v = static_cast<int16_t>(std::max(value(rng), -32768));
  }
  return x;
}

inline std::vector<int16_t> Sine(int32_t length, double cyclesPerSample, double amplitude) {
  std::vector<int16_t> x(length);
  for (int32_t i = 0; i < length; ++i) {
    x[i] = static_cast<int16_t>(
        std::lround(amplitude * std::sin(2.0 * 3.14159265358979323846 * cyclesPerSample * i)));
  }
  return x;
}

// A sine whose frequency rises linearly and whose amplitude swells and fades,
// so that level-driven effects walk through their whole range.
inline std::vector<int16_t> Chirp(int32_t length) {
  std::vector<int16_t> x(length);
  double phase = 0.0;
  for (int32_t i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / length;
    phase += 2.0 * 3.14159265358979323846 * (0.001 + 0.2 * t);
    x[i] = static_cast<int16_t>(
        std::lround(32767.0 * std::sin(3.14159265358979323846 * t) * std::sin(phase)));
  }
  return x;
}

// Full-scale square wave reaching -32768.
inline std::vector<int16_t> Square(int32_t length, int32_t period) {
  std::vector<int16_t> x(length);
  for (int32_t i = 0; i < length; ++i) {
    x[i] = (i / (period / 2)) % 2 ? int16_t{-32768} : int16_t{32767};
  }
  return x;
}

inline std::vector<std::vector<int16_t>> TestSignals(int32_t length) {
  return {Noise(length, 1), Noise(length, 2, 3000), Chirp(length), Square(length, 90),
          Sine(length, 0.003, 32767.0)};
}

// Runs the node's static callback over x in blocks of `block` samples (the
// last one shorter).
inline std::vector<int16_t> RunInBlocks(Effect& effect, const std::vector<int16_t>& x,
                                        int32_t block) {
  std::vector<int16_t> y(x.size());
  for (size_t i = 0; i < x.size(); i += static_cast<size_t>(block)) {
    const auto count = static_cast<int32_t>(std::min<size_t>(block, x.size() - i));
    effect.process(x.data() + i, y.data() + i, effect.settings, count);
  }
  return y;
}

inline int32_t Clamp16(int64_t v) {
  return static_cast<int32_t>(std::min<int64_t>(32767, std::max<int64_t>(-32767, v)));
}

// 32-bit two's-complement wrap of a wider intermediate.
inline int32_t Low32(int64_t v) {
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// (gIn x + gOut y) >> 8 in 32 bits, saturated.
inline int16_t MixSample(int32_t gIn, int32_t x, int32_t gOut, int32_t y) {
  return static_cast<int16_t>(Clamp16(Low32(int64_t{gIn} * x + int64_t{gOut} * y) >> 8));
}

// Direct form I second-order step with Q14 coefficients b2, b1, b0, a2, a1,
// carrying the part of the sum the shift drops (sum - (sum >> 14) x 16384,
// before clamping) into the next step's sum.
struct ModelBiquad {
  int32_t x1 = 0, x2 = 0, y1 = 0, y2 = 0, r = 0;
  int32_t Step(const int32_t* c, int32_t x) {
    const int32_t acc = Low32(int64_t{c[0]} * x2 + int64_t{c[1]} * x1 + int64_t{c[2]} * x -
                              int64_t{c[3]} * y2 - int64_t{c[4]} * y1 + r);
    r = static_cast<int32_t>(int64_t{acc} - int64_t{acc >> 14} * 16384);
    const int32_t y = Clamp16(acc >> 14);
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

// Running sum of round(|x| k) over a ring of L entries whose read position
// starts two ahead of the write position.
struct ModelEnvelope {
  ModelEnvelope(int32_t length, float k) : ring(length, 0), k(k) {}
  int32_t Step(int32_t x) {
    const int32_t e = static_cast<int32_t>(std::nearbyint(static_cast<float>(std::abs(x)) * k));
    const int32_t old = ring[(write + 2) % ring.size()];
    ring[write] = static_cast<int16_t>(e);
    sum += e - old;
    write = (write + 1) % ring.size();
    return Clamp16(sum);
  }
  std::vector<int16_t> ring;
  float k;
  size_t write = 0;
  int32_t sum = 0;
};

}  // namespace effect_test
