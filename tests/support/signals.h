#pragma once
// Test signals: 16-bit sample sequences a listener or an engineer can name.

#include <cstdint>
#include <vector>

namespace test_support {

// amplitude x sin(2 pi f n / rate), truncated toward zero.
std::vector<int16_t> Sine(int32_t frames, double frequencyHz, int32_t rate, double amplitude);
// One sample of `height` at `position`, zeros elsewhere.
std::vector<int16_t> Impulse(int32_t frames, int32_t position, int16_t height);
// Full-scale square (+32767/-32767) with the given period in samples.
std::vector<int16_t> Square(int32_t frames, int32_t period);
// Deterministic white noise over the whole 16-bit range (-32768 included).
std::vector<int16_t> Noise(int32_t frames, uint32_t seed);
// Interleaves two channels of equal length: L0 R0 L1 R1 ...
std::vector<int16_t> Interleave(const std::vector<int16_t>& left,
                                const std::vector<int16_t>& right);

}  // namespace test_support
