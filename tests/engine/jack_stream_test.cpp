// The pieces of a JACK run's stream that need no server: the float <-> 16-bit
// conversion and the byte ring between the server's thread and the event
// loop.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "engine/byte_ring.h"
#include "engine/jack_run.h"

namespace {

TEST(SampleFromFloat, RoundsHalvesAwayFromZeroAndNeverGivesMinus32768) {
  struct Row {
    float value;
    int16_t sample;
  };
  const float step = 1.0f / 32768.0f;
  for (const Row& row :
       {Row{0.0f, 0}, Row{step, 1}, Row{-step, -1}, Row{0.5f * step, 1}, Row{-0.5f * step, -1},
        Row{0.49f * step, 0}, Row{std::nextafter(0.5f, 0.0f) * step, 0},
        Row{std::nextafter(-0.5f, 0.0f) * step, 0}, Row{1000.4f * step, 1000},
        Row{32767.0f * step, 32767}, Row{-32767.0f * step, -32767}, Row{-1.0f, -32767},
        Row{1.0f, 32767}, Row{-7.5f, -32767}, Row{std::numeric_limits<float>::infinity(), 32767},
        Row{std::numeric_limits<float>::quiet_NaN(), 0}}) {
    EXPECT_EQ(SampleFromFloat(row.value), row.sample) << row.value;
  }
}

TEST(SampleFromFloat, EverySampleComesBackFromItsFloat) {
  for (int32_t s = -32767; s <= 32767; ++s) {
    ASSERT_EQ(SampleFromFloat(FloatFromSample(static_cast<int16_t>(s))), s);
  }
}

TEST(ByteRing, TakesWhatFitsAndGivesItBackInOrderAcrossTheEnd) {
  ByteRing ring(10);
  const uint8_t first[] = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(ring.Write(first, sizeof first), 7u);
  uint8_t out[16] = {};
  EXPECT_EQ(ring.Read(out, 5), 5u);
  EXPECT_EQ(ring.WriteSpace(), 8u);
  const uint8_t second[] = {8, 9, 10, 11, 12, 13, 14, 15, 16};
  EXPECT_EQ(ring.Write(second, sizeof second), 8u);  // one does not fit
  EXPECT_EQ(ring.ReadSpace(), 10u);
  EXPECT_EQ(ring.Read(out, sizeof out), 10u);
  const std::vector<uint8_t> expected = {6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  EXPECT_EQ(std::vector<uint8_t>(out, out + 10), expected);
  EXPECT_EQ(ring.ReadSpace(), 0u);
}

// A writer and a reader thread that never wait for each other: every byte
// arrives once, in order (and ThreadSanitizer sees no race on the bytes).
TEST(ByteRing, CarriesAStreamBetweenTwoThreads) {
  ByteRing ring(257);
  constexpr uint32_t kBytes = 200000;
  std::thread writer([&ring] {
    uint32_t sent = 0;
    uint8_t chunk[61];
    while (sent < kBytes) {
      const uint32_t n = std::min<uint32_t>(1 + sent % 61, kBytes - sent);
      for (uint32_t i = 0; i < n; ++i) {
        chunk[i] = static_cast<uint8_t>((sent + i) * 7);
      }
      sent += static_cast<uint32_t>(ring.Write(chunk, n));
      std::this_thread::yield();
    }
  });
  std::vector<uint8_t> received;
  uint8_t chunk[97];
  while (received.size() < kBytes) {
    const size_t n = ring.Read(chunk, 1 + received.size() % 97);
    received.insert(received.end(), chunk, chunk + n);
    std::this_thread::yield();
  }
  writer.join();
  for (uint32_t i = 0; i < kBytes; ++i) {
    ASSERT_EQ(received[i], static_cast<uint8_t>(i * 7)) << i;
  }
}

}  // namespace
