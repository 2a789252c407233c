// Live mode and the device operations on the simulated wave service.
#include <gtest/gtest.h>

#include "tests/engine/wave_engine_fixture.h"

namespace wave_engine_test {
namespace {

namespace msg = wave_engine_messages;

TEST_F(WaveEngineTest, ListsTheServiceDevicesByProductName) {
  EXPECT_EQ(engine->inputDeviceCount, 2);
  EXPECT_EQ(engine->outputDeviceCount, 2);
  ASSERT_EQ(engine->inputCaps.size(), 2u);
  EXPECT_EQ(engine->inputCaps[1].productName, "Simulated Input 2");
  EXPECT_EQ(engine->outputCaps[0].productName, "Simulated Output 1");
}

TEST_F(WaveEngineTest, PrimesTwoFewerSilentBuffersThanTheRingHolds) {
  for (const int32_t buffers : {4, 16, 32}) {
    engine->settings.bufferCount = buffers;
    ASSERT_TRUE(engine->StartRun());
    EXPECT_EQ(sim->QueuedCount(WaveDirection::kOutput), buffers - 2) << buffers;
    EXPECT_EQ(sim->QueuedCount(WaveDirection::kInput), buffers - 2) << buffers;
    EXPECT_EQ(engine->Stream().output.primeCount, buffers - 2);
    EXPECT_TRUE(engine->inputStarted);
    EXPECT_TRUE(engine->outputStarted);
    EXPECT_TRUE(sim->InputRunning());
    engine->StopRun();
    ExpectIdle();
  }
  EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(WaveEngineTest, DeviceFormatFollowsTheRunSettings) {
  engine->settings.channels = 1;
  engine->settings.bitsPerSample = 8;
  engine->settings.sampleRate = 11025;
  ASSERT_TRUE(engine->StartRun());
  const WaveDeviceFormat& in = sim->LastFormat(WaveDirection::kInput);
  EXPECT_EQ(in.channels, 1);
  EXPECT_EQ(in.bitsPerSample, 8);
  EXPECT_EQ(in.samplesPerSec, 11025u);
  EXPECT_EQ(in.blockAlign, 1);
  EXPECT_EQ(in.avgBytesPerSec, 11025u);
  const WaveDeviceFormat& out = sim->LastFormat(WaveDirection::kOutput);
  EXPECT_EQ(out.samplesPerSec, 11025u);
  EXPECT_EQ(out.bitsPerSample, 8);
  // An 8-bit ring starts out as silence.
  EXPECT_EQ(engine->Stream().output.buffers[0][0], 0x80);
  EXPECT_EQ(engine->Stream().stream.framesPerBlock, 1024);
  EXPECT_EQ(left.prepared, 1);
  engine->StopRun();
}

TEST_F(WaveEngineTest, LivePlaysEveryRecordedBlockOnceInOrderBufferCountMinusOneBehind) {
  for (const int32_t buffers : {4, 8, 32}) {
    MakeEngine();
    engine->settings.bufferCount = buffers;
    ASSERT_TRUE(engine->StartRun());
    const int32_t messages = 3 * buffers + 5;
    for (int32_t i = 0; i < messages; ++i) {
      ASSERT_TRUE(sim->CompleteOutput());
      ASSERT_TRUE(sim->CompleteInput());
      // The devices always hold bufferCount - 2 buffers each.
      ASSERT_EQ(sim->QueuedCount(WaveDirection::kInput), buffers - 2);
      ASSERT_EQ(sim->QueuedCount(WaveDirection::kOutput), buffers - 2);
    }
    while (sim->CompleteOutput()) {
    }
    // bufferCount - 2 primers, the silent one sent at the first message, then
    // the blocks in recording order.
    ASSERT_EQ(static_cast<int32_t>(played.size()), messages + buffers - 2);
    const std::vector<uint8_t> silence(1024, 0);
    for (int32_t p = 0; p < static_cast<int32_t>(played.size()); ++p) {
      if (p < buffers - 1) {
        EXPECT_EQ(played[p], silence) << buffers << " played " << p;
      } else {
        EXPECT_EQ(played[p], Block(1024, p - (buffers - 1))) << buffers << " played " << p;
      }
    }
    EXPECT_EQ(sim->CallCount(SimulatedCall::kReset), 0);
    EXPECT_TRUE(notifier.messages.empty());
    // Live mode does not move the progress bar.
    EXPECT_TRUE(progress.positions.empty());
    // The meter saw every recorded block at the input and the output.
    std::vector<int16_t> recorded;
    for (int32_t i = 0; i < messages; ++i) {
      const std::vector<int16_t> block = test_support::SamplesFromBytes(Block(1024, i));
      recorded.insert(recorded.end(), block.begin(), block.end());
    }
    const RunLevels levels = engine->Levels().Run();
    for (const int32_t channel : {0, 1}) {
      EXPECT_EQ(levels.level[kMeterInput][channel].peak, PeakOf(recorded, channel));
      EXPECT_EQ(levels.level[kMeterOutput][channel].peak, PeakOf(recorded, channel));
    }
    engine->StopRun();
    ExpectIdle();
  }
}

TEST_F(WaveEngineTest, StopAtAnyMomentClosesEverythingAndHearsNothingMore) {
  for (int32_t messages = 0; messages < 12; ++messages) {
    MakeEngine();
    engine->settings.bufferCount = 4;
    ASSERT_TRUE(engine->StartRun());
    for (int32_t i = 0; i < messages; ++i) {
      if (i % 3 != 2) {
        sim->CompleteOutput();
      }
      sim->CompleteInput();
    }
    engine->StopRun();
    ExpectIdle();
    EXPECT_FALSE(sim->CompleteInput());
    EXPECT_FALSE(sim->CompleteOutput());
    EXPECT_EQ(runEnds, 1);
    // A fresh run after the stop streams again.
    ASSERT_TRUE(engine->StartRun());
    ASSERT_TRUE(sim->CompleteOutput());
    ASSERT_TRUE(sim->CompleteInput());
    engine->StopRun();
  }
}

TEST_F(WaveEngineTest, BusyOutputGivesOneMessageLeavesNothingOpenAndLaterStartWorks) {
  sim->SetBusy(WaveDirection::kOutput, 0, true);
  EXPECT_FALSE(engine->StartRun());
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0], msg::kOutputAllocated);
  EXPECT_EQ(runEnds, 0);  // a run that never started does not end
  ExpectIdle();
  sim->SetBusy(WaveDirection::kOutput, 0, false);
  ASSERT_TRUE(engine->StartRun());
  EXPECT_EQ(notifier.messages.size(), 1u);
  ASSERT_TRUE(sim->CompleteOutput());
  ASSERT_TRUE(sim->CompleteInput());
  engine->StopRun();
  ExpectIdle();
}

TEST_F(WaveEngineTest, RefusedInputFormatLeavesTheEngineIdleWithChainsUnprepared) {
  sim->SetFormatCheck([](WaveDirection direction, const WaveDeviceFormat& format) {
    return !(direction == WaveDirection::kInput && format.bitsPerSample == 8);
  });
  engine->settings.bitsPerSample = 8;
  EXPECT_FALSE(engine->StartRun());
  EXPECT_EQ(notifier.messages, std::vector<std::string>{msg::kInputBadFormat});
  ExpectIdle();
  EXPECT_EQ(sim->CallCount(SimulatedCall::kPrepare), 0);
}

TEST_F(WaveEngineTest, EachDeviceOpenFailureHasItsMessage) {
  struct Case {
    WaveResult result;
    const char* input;
    const char* output;
  };
  const Case cases[] = {
      {WaveResult::kBadDeviceId, msg::kInputBadDeviceId, msg::kOutputBadDeviceId},
      {WaveResult::kAllocated, msg::kInputAllocated, msg::kOutputAllocated},
      {WaveResult::kNoDriver, msg::kInputNoDriver, msg::kOutputNoDriver},
      {WaveResult::kNoMemory, msg::kInputNoMemoryOpen, msg::kOutputNoMemoryOpen},
      {WaveResult::kBadFormat, msg::kInputBadFormat, msg::kOutputBadFormat},
      {WaveResult::kInvalidHandle, msg::kInputOpenOther, msg::kOutputOpenOther},
      {WaveResult::kOther, msg::kInputOpenOther, msg::kOutputOpenOther},
  };
  for (const Case& c : cases) {
    notifier.messages.clear();
    sim->FailNext(SimulatedCall::kOpen, c.result);
    EXPECT_FALSE(engine->StartRun());
    EXPECT_EQ(notifier.messages, std::vector<std::string>{c.input});
    ExpectIdle();
    notifier.messages.clear();
    // The input opens; the output's open fails.
    engine->CreateNotifyWindow();
    engine->OpenInput();
    sim->FailNext(SimulatedCall::kOpen, c.result);
    engine->OpenOutput();
    EXPECT_FALSE(engine->outputOpen);
    engine->DestroyNotifyWindow();
    engine->CloseInput();
    engine->CloseOutput();
    EXPECT_EQ(notifier.messages, std::vector<std::string>{c.output});
    ExpectIdle();
  }
}

TEST_F(WaveEngineTest, DeviceNumbersOutsideTheListsAreOutOfRange) {
  engine->settings.inputDeviceId = 2;
  EXPECT_FALSE(engine->StartRun());
  engine->settings.inputDeviceId = 0;
  engine->settings.outputDeviceId = 7;
  EXPECT_FALSE(engine->StartRun());
  EXPECT_EQ(notifier.messages,
            (std::vector<std::string>{msg::kInputBadDeviceId, msg::kOutputBadDeviceId}));
  ExpectIdle();
}

TEST_F(WaveEngineTest, StartFailuresAreReportedPerBufferAndTheRunGoesOn) {
  sim->FailNext(SimulatedCall::kAddBuffer, WaveResult::kUnprepared);
  sim->FailNext(SimulatedCall::kWrite, WaveResult::kNoMemory, 2);
  ASSERT_TRUE(engine->StartRun());
  EXPECT_EQ(notifier.messages,
            (std::vector<std::string>{msg::kInputUnprepared, msg::kOutputNoMemory,
                                      msg::kOutputNoMemory}));
  EXPECT_EQ(sim->QueuedCount(WaveDirection::kInput), 8 - 3);
  EXPECT_EQ(sim->QueuedCount(WaveDirection::kOutput), 8 - 4);
  engine->StopRun();
  ExpectIdle();
}

TEST_F(WaveEngineTest, LoopFailuresResetTheDeviceWithoutAMessage) {
  ASSERT_TRUE(engine->StartRun());
  ASSERT_TRUE(sim->CompleteOutput());
  ASSERT_TRUE(sim->CompleteInput());
  // The output header due for unpreparing is still playing: the output is
  // reset and every queued buffer comes back.
  // (The message unprepares the recorded input header first.)
  sim->FailNext(SimulatedCall::kUnprepare, WaveResult::kStillPlaying, 1, 1);
  ASSERT_TRUE(sim->CompleteInput());
  EXPECT_EQ(sim->CallCount(SimulatedCall::kReset), 1);
  EXPECT_EQ(sim->QueuedCount(WaveDirection::kOutput), 0);
  EXPECT_EQ(played.size(), 1u);  // the returned buffers were not played
  EXPECT_TRUE(notifier.messages.empty());
  // Streaming goes on.
  for (int32_t i = 0; i < 10; ++i) {
    sim->CompleteOutput();
    ASSERT_TRUE(sim->CompleteInput());
  }
  EXPECT_TRUE(notifier.messages.empty());
  engine->StopRun();
  ExpectIdle();
}

// A device that fails for good ends every kind of run with a message that
// names it and the reason; a recording keeps what was captured.
TEST_F(WaveEngineTest, ADeviceThatFailsForGoodEndsTheRunWithItsNameAndReason) {
  struct Case {
    const char* mode;
    WaveDirection failing;
    const char* text;
    const char* detail;
  };
  const Case cases[] = {
      {"live", WaveDirection::kInput, msg::kInputDeviceFailed, "Simulated Input 1: gone"},
      {"live", WaveDirection::kOutput, msg::kOutputDeviceFailed, "Simulated Output 1: gone"},
      {"record", WaveDirection::kInput, msg::kInputDeviceFailed, "Simulated Input 1: gone"},
      {"play", WaveDirection::kOutput, msg::kOutputDeviceFailed, "Simulated Output 1: gone"},
  };
  for (const Case& c : cases) {
    MakeEngine();
    const std::string mode = c.mode;
    engine->settings.outputIsFile = mode == "record";
    engine->settings.outputFileName = dir.File("out.wav");
    engine->settings.inputIsFile = mode == "play";
    engine->settings.inputFileName = WriteInputFile("in.wav", std::vector<uint8_t>(64 * 1024, 1));
    ASSERT_TRUE(engine->StartRun());
    for (int32_t i = 0; i < 5; ++i) {
      sim->CompleteOutput();
      sim->CompleteInput();
    }
    ASSERT_TRUE(sim->FailDevice(c.failing, "gone"));
    EXPECT_EQ(notifier.messages, std::vector<std::string>{c.text}) << c.mode;
    EXPECT_EQ(notifier.details, std::vector<std::string>{c.detail}) << c.mode;
    EXPECT_EQ(runEnds, 1);
    EXPECT_EQ(progress.positions.back(), 0);
    ExpectIdle();
    if (mode == "record") {
      const test_support::ParsedWave wave =
          test_support::ParseWave(test_support::ReadFileBytes(dir.File("out.wav")));
      ASSERT_EQ(wave.problem, "");
      EXPECT_EQ(wave.data.size(), 5u * 1024);
    }
  }
}

// A reset stops recording; the engine starts the device again, and every
// buffer the reset returned goes back on it.
TEST_F(WaveEngineTest, AResetInputDeviceRecordsOn) {
  for (const bool live : {true, false}) {
    MakeEngine();
    engine->settings.outputIsFile = !live;
    engine->settings.outputFileName = dir.File("out.wav");
    ASSERT_TRUE(engine->StartRun());
    for (int32_t i = 0; i < 3; ++i) {
      sim->CompleteOutput();
      ASSERT_TRUE(sim->CompleteInput());
    }
    // The spare cannot be queued: the device is reset.
    sim->FailNext(SimulatedCall::kAddBuffer, WaveResult::kOther);
    ASSERT_TRUE(sim->CompleteInput());
    EXPECT_GE(sim->CallCount(SimulatedCall::kReset), 1);
    EXPECT_TRUE(sim->InputRunning());
    EXPECT_GT(sim->QueuedCount(WaveDirection::kInput), 0);
    for (int32_t i = 0; i < 20; ++i) {
      sim->CompleteOutput();
      ASSERT_TRUE(sim->CompleteInput()) << "recording stalled after " << i;
    }
    EXPECT_TRUE(notifier.messages.empty());
    engine->StopRun();
    ExpectIdle();
  }
}

TEST_F(WaveEngineTest, AnInputDeviceThatWillNotStartFailsTheStartOrEndsTheRun) {
  sim->FailNext(SimulatedCall::kStart, WaveResult::kNoDriver);
  EXPECT_FALSE(engine->StartRun());
  EXPECT_EQ(notifier.messages, std::vector<std::string>{msg::kInputNoDriver});
  EXPECT_EQ(notifier.details, std::vector<std::string>{"Simulated Input 1: Simulated failure"});
  ExpectIdle();

  // After a reset in the middle of a run.
  notifier.messages.clear();
  ASSERT_TRUE(engine->StartRun());
  sim->CompleteInput();
  sim->FailNext(SimulatedCall::kAddBuffer, WaveResult::kOther);
  sim->FailNext(SimulatedCall::kStart, WaveResult::kOther);
  sim->CompleteInput();
  EXPECT_EQ(notifier.messages, std::vector<std::string>{msg::kRecordError});
  EXPECT_EQ(runEnds, 1);
  ExpectIdle();
}

TEST_F(WaveEngineTest, DestroyingTheEngineClosesARunningLiveRun) {
  ASSERT_TRUE(engine->StartRun());
  sim->CompleteOutput();
  sim->CompleteInput();
  auto service = sim;
  engine.reset();
  (void)service;  // the service went with the engine
  EXPECT_EQ(left.prepared, 0);
}

}  // namespace
}  // namespace wave_engine_test
