#include "tests/support/signals.h"

#include <cmath>
#include <numbers>

namespace test_support {

std::vector<int16_t> Sine(int32_t frames, double frequencyHz, int32_t rate, double amplitude) {
  std::vector<int16_t> out(static_cast<size_t>(frames));
  for (int32_t n = 0; n < frames; ++n) {
    out[static_cast<size_t>(n)] =
        static_cast<int16_t>(amplitude * std::sin(2.0 * std::numbers::pi * frequencyHz * n / rate));
  }
  return out;
}

std::vector<int16_t> Impulse(int32_t frames, int32_t position, int16_t height) {
  std::vector<int16_t> out(static_cast<size_t>(frames), 0);
  if (position >= 0 && position < frames) {
    out[static_cast<size_t>(position)] = height;
  }
  return out;
}

std::vector<int16_t> Square(int32_t frames, int32_t period) {
  std::vector<int16_t> out(static_cast<size_t>(frames));
  for (int32_t n = 0; n < frames; ++n) {
    out[static_cast<size_t>(n)] = (n % period) < period / 2 ? 32767 : -32767;
  }
  return out;
}

std::vector<int16_t> Noise(int32_t frames, uint32_t seed) {
  std::vector<int16_t> out(static_cast<size_t>(frames));
  uint32_t state = seed ? seed : 1;
  for (auto& sample : out) {
    state ^= state << 13;  // xorshift32
    state ^= state >> 17;
    state ^= state << 5;
    sample = static_cast<int16_t>(state >> 16);
  }
  return out;
}

std::vector<int16_t> Interleave(const std::vector<int16_t>& left,
                                const std::vector<int16_t>& right) {
  std::vector<int16_t> out;
  out.reserve(left.size() * 2);
  for (size_t i = 0; i < left.size() && i < right.size(); ++i) {
    out.push_back(left[i]);
    out.push_back(right[i]);
  }
  return out;
}

}  // namespace test_support
