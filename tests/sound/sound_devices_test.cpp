// The device modes of tonalith-render against a real sound server: a private
// PulseAudio daemon with null sinks, reached through ALSA's default device.
// A null sink plays in real time and its monitor gives back, sample for
// sample, what was played into it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "tests/sound/sound_server.h"
#include "tests/support/run_process.h"
#include "tests/support/signals.h"
#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

namespace sound_test {
namespace {

using test_support::RenderPath;

constexpr int32_t kRate = 44100;

void Sleep(double seconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)));
}

// Stereo: a short lead of silence, half a second of noise (different on each
// channel), then silence.
std::vector<int16_t> TestSignal() {
  const int32_t lead = kRate / 20;
  const int32_t burst = kRate / 2;
  const int32_t tail = kRate / 4;
  std::vector<int16_t> left(static_cast<size_t>(lead + burst + tail), 0);
  std::vector<int16_t> right(left.size(), 0);
  const std::vector<int16_t> a = test_support::Noise(burst, 7);
  const std::vector<int16_t> b = test_support::Noise(burst, 11);
  for (int32_t i = 0; i < burst; ++i) {
    left[static_cast<size_t>(lead + i)] = static_cast<int16_t>(a[static_cast<size_t>(i)] / 4);
    right[static_cast<size_t>(lead + i)] = static_cast<int16_t>(b[static_cast<size_t>(i)] / 4);
  }
  return test_support::Interleave(left, right);
}

// The part of `samples` from its first to its last non-zero frame.
std::vector<int16_t> Audible(const std::vector<int16_t>& samples) {
  size_t first = 0;
  while (first < samples.size() && samples[first] == 0)
    ++first;
  size_t last = samples.size();
  while (last > first && samples[last - 1] == 0)
    --last;
  first -= first % 2;
  last += last % 2;
  return std::vector<int16_t>(samples.begin() + static_cast<ptrdiff_t>(first),
                              samples.begin() + static_cast<ptrdiff_t>(last));
}

// A delay: its echoes show that the stream went through the chain, and it
// has no internal clock, so its output does not depend on when a run starts.
const std::vector<std::string> kEffect = {"--effect", "delay:delayMs=20", "--block", "2048"};

class SoundDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server.Problem().empty()) {
      std::fprintf(stderr,
                   "\n*** SOUND TESTS SKIPPED: the private PulseAudio daemon could not start: "
                   "%s ***\n\n",
                   server.Problem().c_str());
      GTEST_SKIP() << "PulseAudio could not start: " << server.Problem();
    }
    signalPath = dir.File("signal.wav");
    test_support::WriteFileBytes(signalPath,
                                 test_support::BuildWave(test_support::PcmFormat(2, kRate, 16),
                                                         test_support::SampleBytes(TestSignal())));
  }

  // Records a sink's monitor in the background; returns once the recording
  // stream is connected (or after a generous wait).
  pid_t RecordMonitor(const std::string& sink, const std::string& path) {
    const pid_t pid = server.Spawn({"parecord", "--format=s16le", "--rate=44100", "--channels=2",
                                    "--file-format=wav", "--latency-msec=20", path},
                                   {"PULSE_SOURCE=" + sink + ".monitor"});
    WaitForStream("source-outputs");
    return pid;
  }

  // Waits until the server lists a stream of the kind ("source-outputs",
  // "sink-inputs"), for up to ten seconds.
  void WaitForStream(const std::string& kind) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (server.Run({"sh", "-c", "pactl list short " + kind + " | grep -q ."}, {}, 5) == 0) {
        Sleep(0.1);
        return;
      }
      Sleep(0.1);
    }
  }

  // What the file run makes of the test signal with kEffect: what every
  // device mode must deliver, wherever it starts.
  std::vector<int16_t> ExpectedProcessed() {
    const std::string expectedPath = dir.File("expected.wav");
    std::vector<std::string> fileRun = {RenderPath(), "--quiet"};
    fileRun.insert(fileRun.end(), kEffect.begin(), kEffect.end());
    fileRun.insert(fileRun.end(), {signalPath, expectedPath});
    if (test_support::RunProcess(fileRun).exitCode != 0)
      return {};
    return Audible(ReadWaveSamples(expectedPath));
  }

  std::string RecordOnce(int attempt, const std::vector<int16_t>& expected);
  std::string LiveOnce(int attempt, const std::vector<int16_t>& expected);

  SoundServer server;
  test_support::TempDir dir;
  std::string signalPath;
};

TEST_F(SoundDevicesTest, PlayDeliversTheProcessedFileWithoutGaps) {
  const std::vector<int16_t> expected = ExpectedProcessed();
  ASSERT_GT(expected.size(), static_cast<size_t>(kRate / 2));

  const std::string heardPath = dir.File("heard.wav");
  const pid_t recorder = RecordMonitor("tsink", heardPath);
  ASSERT_GT(recorder, 0);
  std::vector<std::string> play = {RenderPath(), "--quiet", "--buffers", "8"};
  play.insert(play.end(), kEffect.begin(), kEffect.end());
  play.insert(play.end(), {signalPath, "--output-device", "0"});
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(server.Run(play, {"PULSE_SINK=tsink"}, 20), 0);
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  Sleep(0.3);
  SoundServer::Stop(recorder);
  // The run ends by itself once the whole file has been played.
  EXPECT_GT(took, 0.7);
  EXPECT_LT(took, 10.0);
  // Everything heard is the processed file, whole, in order and without a
  // gap, up to its very last frame: nothing of the end may be lost when the
  // run resets the device after the last block.
  const std::vector<int16_t> heard = Audible(ReadWaveSamples(heardPath));
  EXPECT_EQ(heard.size(), expected.size()) << "the file was cut, padded or broken up";
  EXPECT_TRUE(heard == expected) << "what was heard is not the processed file";
}

// A run through a real sound server loses frames when the machine stalls for
// longer than the buffers hold (a loaded test machine can). Each capture test
// therefore gets a second try on a fresh server; a failed try is reported.
constexpr int kCaptureTries = 2;

// One record run through the chain while the signal plays into the sink; ""
// when the recording holds the processed signal whole, else what was wrong.
std::string SoundDevicesTest::RecordOnce(int attempt, const std::vector<int16_t>& expected) {
  const std::string recordedPath = dir.File("recorded" + std::to_string(attempt) + ".wav");
  std::vector<std::string> record = {RenderPath(), "--quiet", "--rate", "44100",     "--channels",
                                     "2",          "--bits",  "16",     "--buffers", "16"};
  record.insert(record.end(), kEffect.begin(), kEffect.end());
  record.insert(record.end(), {"--input-device", "0", recordedPath, "--seconds", "2.5"});
  const pid_t recorder = server.Spawn(record, {"PULSE_SOURCE=tsink.monitor"});
  if (recorder <= 0) {
    return "the record run did not start";
  }
  WaitForStream("source-outputs");
  Sleep(0.3);
  if (server.Run({"paplay", signalPath}, {"PULSE_SINK=tsink"}, 10) != 0) {
    return "paplay failed";
  }
  int status = -1;
  if (!SoundServer::Wait(recorder, 15, &status)) {
    return "the record run did not end";
  }
  if (status != 0) {
    return "the record run exited with " + std::to_string(status);
  }
  const test_support::ParsedWave wave =
      test_support::ParseWave(test_support::ReadFileBytes(recordedPath));
  if (!wave.problem.empty()) {
    return "the recording is not a valid WAV file: " + wave.problem;
  }
  if (wave.format.samplesPerSec != 44100u || wave.format.channels != 2 ||
      wave.format.bitsPerSample != 16) {
    return "the recording has the wrong format";
  }
  const std::vector<int16_t> recorded = test_support::SamplesFromBytes(wave.data);
  // The run lasts 2.5 s: about that much must be in the file.
  if (recorded.size() < static_cast<size_t>(2 * kRate * 2)) {
    return "the recording is too short (" + std::to_string(recorded.size()) + " samples)";
  }
  if (FindExactly(recorded, expected) < 0) {
    return "the processed signal is not in the recording whole (" +
           std::to_string(recorded.size()) + " samples)";
  }
  return "";
}

// One live run through the chain from the first sink's monitor to the second
// sink while the signal plays; "" when the second sink heard the processed
// signal whole.
std::string SoundDevicesTest::LiveOnce(int attempt, const std::vector<int16_t>& expected) {
  const std::string heardPath = dir.File("heard" + std::to_string(attempt) + ".wav");
  const pid_t recorder = RecordMonitor("tsink2", heardPath);
  if (recorder <= 0) {
    return "parecord did not start";
  }
  std::vector<std::string> liveRun = {RenderPath(), "--quiet",   "--rate",
                                      "44100",      "--buffers", "16"};
  liveRun.insert(liveRun.end(), kEffect.begin(), kEffect.end());
  liveRun.insert(liveRun.end(), {"--input-device", "0", "--output-device", "0", "--seconds", "3"});
  const pid_t live = server.Spawn(liveRun, {"PULSE_SOURCE=tsink.monitor", "PULSE_SINK=tsink2"});
  if (live <= 0) {
    SoundServer::Stop(recorder);
    return "the live run did not start";
  }
  WaitForStream("sink-inputs");
  Sleep(0.4);
  const bool played = server.Run({"paplay", signalPath}, {"PULSE_SINK=tsink"}, 10) == 0;
  int status = -1;
  const bool ended = SoundServer::Wait(live, 15, &status);
  Sleep(0.2);
  SoundServer::Stop(recorder);
  if (!played) {
    return "paplay failed";
  }
  if (!ended) {
    return "the live run did not end";
  }
  if (status != 0) {
    return "the live run exited with " + std::to_string(status);
  }
  const std::vector<int16_t> heard = ReadWaveSamples(heardPath);
  if (FindExactly(heard, expected) < 0) {
    return "the processed signal did not arrive whole at the second sink (" +
           std::to_string(heard.size()) + " samples heard)";
  }
  return "";
}

TEST_F(SoundDevicesTest, RecordCapturesTheProcessedSignal) {
  const std::vector<int16_t> expected = ExpectedProcessed();
  ASSERT_GT(expected.size(), static_cast<size_t>(kRate / 2));
  std::string problem = "not run";
  for (int attempt = 0; attempt < kCaptureTries && !problem.empty(); ++attempt) {
    problem = RecordOnce(attempt, expected);
    if (!problem.empty()) {
      std::fprintf(stderr, "record try %d: %s\n", attempt + 1, problem.c_str());
      server.Restart();
    }
  }
  EXPECT_EQ(problem, "");
}

TEST_F(SoundDevicesTest, LiveCarriesOneSinksMonitorThroughTheChainToAnotherSink) {
  const std::vector<int16_t> expected = ExpectedProcessed();
  ASSERT_GT(expected.size(), static_cast<size_t>(kRate / 2));
  std::string problem = "not run";
  for (int attempt = 0; attempt < kCaptureTries && !problem.empty(); ++attempt) {
    problem = LiveOnce(attempt, expected);
    if (!problem.empty()) {
      std::fprintf(stderr, "live try %d: %s\n", attempt + 1, problem.c_str());
      server.Restart();
    }
  }
  EXPECT_EQ(problem, "");
}

TEST_F(SoundDevicesTest, CtrlCEndsALiveRunCleanly) {
  const pid_t live = server.Spawn(
      {RenderPath(), "--quiet", "--rate", "44100", "--input-device", "0", "--output-device", "0"},
      {"PULSE_SOURCE=tsink.monitor", "PULSE_SINK=tsink2"});
  ASSERT_GT(live, 0);
  Sleep(0.8);
  kill(live, SIGINT);
  int status = -1;
  ASSERT_TRUE(SoundServer::Wait(live, 10, &status)) << "SIGINT did not end the run";
  EXPECT_EQ(status, 0);
}

TEST_F(SoundDevicesTest, ListsTheDefaultDeviceFirst) {
  const std::string listing = dir.File("devices.txt");
  const test_support::ProcessResult result =
      test_support::RunProcess({RenderPath(), "--list-devices"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("Input devices:\n  0  "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Output devices:\n  0  "), std::string::npos) << result.out;
}

}  // namespace
}  // namespace sound_test
