// The ALSA backend's device lists, read from the system's configuration
// (no device is opened, no sound server is needed).
#include <gtest/gtest.h>

#include "platform/alsa_wave_service.h"

namespace {

// ALSA's "null" PCM takes and gives samples as fast as they are asked for:
// recording from it filled a disk at full speed, so it is not offered.
TEST(AlsaDeviceListTest, LeavesOutThePcmsThatAreNotPaced) {
  AlsaWaveService service;
  for (const WaveDirection direction : {WaveDirection::kInput, WaveDirection::kOutput}) {
    for (int32_t id = 0; id < service.DeviceCount(direction); ++id) {
      WaveDeviceCaps caps;
      ASSERT_EQ(service.DeviceCaps(direction, id, &caps), WaveResult::kOk);
      EXPECT_NE(caps.pcmName, "null") << caps.productName;
    }
  }
}

}  // namespace
