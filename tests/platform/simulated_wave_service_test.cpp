// The simulated wave service: the stand-in every engine test relies on must
// keep the wave service's rules (queue order, prepared headers, resets that
// return every buffer, nothing reported to a destroyed target).
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/simulated_wave_service.h"

namespace {

class Recorder : public WaveEventTarget {
 public:
  void OnWaveMessage(WaveMessage message, WaveHandle handle, WaveHeader* header) override {
    seen.push_back({message, handle, header});
  }
  struct Seen {
    WaveMessage message;
    WaveHandle handle;
    WaveHeader* header;
  };
  std::vector<Seen> seen;
};

WaveDeviceFormat Stereo16() {
  WaveDeviceFormat format;
  format.channels = 2;
  format.bitsPerSample = 16;
  format.samplesPerSec = 22000;
  format.blockAlign = 4;
  format.avgBytesPerSec = 88000;
  return format;
}

class SimulatedWaveServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (size_t i = 0; i < headers.size(); ++i) {
      buffers[i].assign(64, 0);
      headers[i].data = buffers[i].data();
      headers[i].bufferLength = 64;
    }
  }
  SimulatedWaveService service{2, 1};
  Recorder target;
  std::vector<WaveHeader> headers = std::vector<WaveHeader>(4);
  std::vector<std::vector<uint8_t>> buffers = std::vector<std::vector<uint8_t>>(4);
};

TEST_F(SimulatedWaveServiceTest, ListsNamedDevicesAndRefusesUnknownNumbers) {
  EXPECT_EQ(service.DeviceCount(WaveDirection::kInput), 2);
  EXPECT_EQ(service.DeviceCount(WaveDirection::kOutput), 1);
  WaveDeviceCaps caps;
  ASSERT_EQ(service.DeviceCaps(WaveDirection::kOutput, 0, &caps), WaveResult::kOk);
  EXPECT_EQ(caps.productName, "Simulated Output 1");
  EXPECT_EQ(service.DeviceCaps(WaveDirection::kOutput, 1, &caps), WaveResult::kBadDeviceId);
  WaveHandle handle = kNoWaveHandle;
  EXPECT_EQ(service.Open(WaveDirection::kInput, -1, Stereo16(), &target, &handle),
            WaveResult::kBadDeviceId);
}

TEST_F(SimulatedWaveServiceTest, ReportsOutputBuffersInQueueOrderOnlyWhenCompleted) {
  WaveHandle out = kNoWaveHandle;
  ASSERT_EQ(service.Open(WaveDirection::kOutput, 0, Stereo16(), &target, &out), WaveResult::kOk);
  EXPECT_EQ(service.Write(out, &headers[0]), WaveResult::kUnprepared);
  for (WaveHeader& header : headers) {
    ASSERT_EQ(service.PrepareHeader(out, &header), WaveResult::kOk);
    ASSERT_EQ(service.Write(out, &header), WaveResult::kOk);
  }
  EXPECT_TRUE(target.seen.empty());
  EXPECT_EQ(service.UnprepareHeader(out, &headers[0]), WaveResult::kStillPlaying);
  ASSERT_TRUE(service.CompleteOutput());
  ASSERT_TRUE(service.CompleteOutput());
  ASSERT_EQ(target.seen.size(), 2u);
  EXPECT_EQ(target.seen[0].header, &headers[0]);
  EXPECT_EQ(target.seen[1].header, &headers[1]);
  EXPECT_EQ(target.seen[0].message, WaveMessage::kOutputDone);
  EXPECT_TRUE(headers[0].flags & kWaveHeaderDone);
  EXPECT_EQ(service.UnprepareHeader(out, &headers[0]), WaveResult::kOk);
}

TEST_F(SimulatedWaveServiceTest, InputFillsOnlyOnceStartedAndResetReturnsEveryBuffer) {
  WaveHandle in = kNoWaveHandle;
  ASSERT_EQ(service.Open(WaveDirection::kInput, 1, Stereo16(), &target, &in), WaveResult::kOk);
  service.SetInputGenerator([](uint8_t* data, uint32_t bytes) {
    for (uint32_t i = 0; i < bytes; ++i)
      data[i] = 7;
  });
  for (int i = 0; i < 3; ++i) {
    service.PrepareHeader(in, &headers[static_cast<size_t>(i)]);
    ASSERT_EQ(service.AddBuffer(in, &headers[static_cast<size_t>(i)]), WaveResult::kOk);
  }
  EXPECT_FALSE(service.CompleteInput());
  ASSERT_EQ(service.Start(in), WaveResult::kOk);
  ASSERT_TRUE(service.CompleteInput());
  EXPECT_EQ(headers[0].bytesRecorded, 64u);
  EXPECT_EQ(buffers[0][10], 7);
  // The reset's returns are reported from the "loop", not inside the call.
  ASSERT_EQ(service.Reset(in), WaveResult::kOk);
  EXPECT_EQ(target.seen.size(), 1u);
  service.Deliver();
  ASSERT_EQ(target.seen.size(), 3u);
  EXPECT_EQ(target.seen[1].header, &headers[1]);
  EXPECT_EQ(target.seen[2].header, &headers[2]);
  EXPECT_EQ(headers[1].bytesRecorded, 0u);
  EXPECT_FALSE(service.InputRunning());
}

TEST_F(SimulatedWaveServiceTest, InjectsBusyDevicesRefusedFormatsAndFailingCalls) {
  WaveHandle handle = kNoWaveHandle;
  service.SetBusy(WaveDirection::kInput, 0, true);
  EXPECT_EQ(service.Open(WaveDirection::kInput, 0, Stereo16(), &target, &handle),
            WaveResult::kAllocated);
  service.SetFormatCheck([](WaveDirection, const WaveDeviceFormat& f) { return f.channels == 1; });
  EXPECT_EQ(service.Open(WaveDirection::kInput, 1, Stereo16(), &target, &handle),
            WaveResult::kBadFormat);
  service.SetFormatCheck(nullptr);
  ASSERT_EQ(service.Open(WaveDirection::kInput, 1, Stereo16(), &target, &handle), WaveResult::kOk);
  // A second open of the same device is refused as busy.
  WaveHandle again = kNoWaveHandle;
  EXPECT_EQ(service.Open(WaveDirection::kInput, 1, Stereo16(), &target, &again),
            WaveResult::kAllocated);
  service.FailNext(SimulatedCall::kPrepare, WaveResult::kNoMemory, 1, 1);
  EXPECT_EQ(service.PrepareHeader(handle, &headers[0]), WaveResult::kOk);
  EXPECT_EQ(service.PrepareHeader(handle, &headers[1]), WaveResult::kNoMemory);
  EXPECT_EQ(service.PrepareHeader(handle, &headers[1]), WaveResult::kOk);
  EXPECT_EQ(service.CallCount(SimulatedCall::kPrepare), 3);
  EXPECT_EQ(service.Close(handle), WaveResult::kOk);
  EXPECT_EQ(service.Close(handle), WaveResult::kInvalidHandle);
  EXPECT_EQ(service.OpenDeviceCount(), 0);
}

TEST_F(SimulatedWaveServiceTest, NothingReachesADestroyedTargetOrAClosedDevice) {
  auto doomed = std::make_unique<Recorder>();
  WaveHandle out = kNoWaveHandle;
  ASSERT_EQ(service.Open(WaveDirection::kOutput, 0, Stereo16(), doomed.get(), &out),
            WaveResult::kOk);
  service.PrepareHeader(out, &headers[0]);
  service.Write(out, &headers[0]);
  service.PrepareHeader(out, &headers[1]);
  service.Write(out, &headers[1]);
  doomed.reset();
  EXPECT_TRUE(service.CompleteOutput());  // dropped, not delivered to freed memory
  service.Reset(out);
  service.Close(out);
  service.Deliver();
  EXPECT_FALSE(service.CompleteOutput());
  EXPECT_FALSE(headers[1].flags & kWaveHeaderInQueue);
}

}  // namespace
