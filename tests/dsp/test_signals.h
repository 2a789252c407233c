#pragma once
// Test signals for the sample routines: the shapes that reach the corners of
// fixed-point code (impulses, full-scale squares including -32768, noise,
// sweeps, silence), and block splits to run them through.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace test_signals {

using Block = std::vector<int16_t>;

// A deterministic 32-bit generator, so failures reproduce.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_;
  }
  // Uniform in lo..hi inclusive.
  int32_t Uniform(int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(Next() % static_cast<uint32_t>(hi - lo + 1));
  }

 private:
  uint32_t state_;
};

inline Block Impulse(size_t length, int16_t height = 32767, size_t at = 0) {
  Block b(length, 0);
  if (at < length) {
    b[at] = height;
  }
  return b;
}

inline Block Silence(size_t length) {
  return Block(length, 0);
}

inline Block Sine(size_t length, double cyclesPerSample, double amplitude = 30000.0) {
  Block b(length);
  for (size_t i = 0; i < length; ++i) {
    b[i] = static_cast<int16_t>(std::lround(
        amplitude * std::sin(6.283185307179586 * cyclesPerSample * static_cast<double>(i))));
  }
  return b;
}

// Alternates between +32767 and -32768 every `half` samples.
inline Block FullScaleSquare(size_t length, size_t half) {
  Block b(length);
  for (size_t i = 0; i < length; ++i) {
    b[i] = (i / half) % 2 == 0 ? int16_t{32767} : int16_t{-32768};
  }
  return b;
}

// Every value, -32768 included, equally likely.
inline Block Noise(size_t length, uint32_t seed) {
  Lcg rng(seed);
  Block b(length);
  for (auto& s : b) {
    s = static_cast<int16_t>(rng.Next() >> 16);
  }
  return b;
}

// A linear sweep from near DC to near Nyquist.
inline Block Sweep(size_t length, double amplitude = 32000.0) {
  Block b(length);
  double phase = 0.0;
  for (size_t i = 0; i < length; ++i) {
    const double f = 0.5 * static_cast<double>(i) / static_cast<double>(length);
    phase += 6.283185307179586 * f;
    b[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
  }
  return b;
}

// Named signals for loops over "many signals".
inline std::vector<std::pair<std::string, Block>> Catalogue(size_t length) {
  return {
      {"impulse", Impulse(length)},
      {"negative impulse", Impulse(length, -32768, 3)},
      {"silence", Silence(length)},
      {"sine", Sine(length, 0.013)},
      {"high sine", Sine(length, 0.41, 32767.0)},
      {"square", FullScaleSquare(length, 37)},
      {"noise", Noise(length, 12345)},
      {"sweep", Sweep(length)},
  };
}

// Cuts `total` samples into block lengths drawn from `lengths` in turn (the
// last one shortened to fit).
inline std::vector<int32_t> Split(size_t total, const std::vector<int32_t>& lengths) {
  std::vector<int32_t> out;
  size_t done = 0;
  for (size_t i = 0; done < total; ++i) {
    const auto n = static_cast<int32_t>(
        std::min<size_t>(static_cast<size_t>(lengths[i % lengths.size()]), total - done));
    out.push_back(n);
    done += static_cast<size_t>(n);
  }
  return out;
}

// Runs `process(src, dst, count)` over `input` in the given block lengths.
template <typename Process>
Block RunInBlocks(const Block& input, const std::vector<int32_t>& lengths, Process process) {
  Block output(input.size(), 0);
  size_t at = 0;
  for (const int32_t n : Split(input.size(), lengths)) {
    process(input.data() + at, output.data() + at, n);
    at += static_cast<size_t>(n);
  }
  return output;
}

// Block-length patterns: single samples, odd sizes, the engine's sizes.
inline std::vector<std::vector<int32_t>> BlockPatterns() {
  return {{1}, {7, 1, 64}, {256}, {512}, {1000, 3}};
}

inline bool NeverMinus32768(const Block& b) {
  for (const int16_t s : b) {
    if (s == -32768) {
      return false;
    }
  }
  return true;
}

}  // namespace test_signals
