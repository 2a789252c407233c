// The device modes of tonalith-render against a real sound server: a private
// PulseAudio daemon with null sinks, reached through ALSA's default device.
// A null sink plays in real time and its monitor gives back, sample for
// sample, what was played into it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
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

  SoundServer server;
  test_support::TempDir dir;
  std::string signalPath;
};

TEST_F(SoundDevicesTest, PlayDeliversTheProcessedFileWithoutGaps) {
  const std::vector<std::string> effect = {"--effect", "delay:delayMs=20", "--block", "1024"};
  // What the file run makes of the file is what the device must play.
  const std::string expectedPath = dir.File("expected.wav");
  std::vector<std::string> fileRun = {RenderPath(), "--quiet"};
  fileRun.insert(fileRun.end(), effect.begin(), effect.end());
  fileRun.insert(fileRun.end(), {signalPath, expectedPath});
  ASSERT_EQ(test_support::RunProcess(fileRun).exitCode, 0);
  const std::vector<int16_t> expected = Audible(ReadWaveSamples(expectedPath));
  ASSERT_GT(expected.size(), static_cast<size_t>(kRate / 2));

  const std::string heardPath = dir.File("heard.wav");
  const pid_t recorder = RecordMonitor("tsink", heardPath);
  ASSERT_GT(recorder, 0);
  std::vector<std::string> play = {RenderPath(), "--quiet", "--buffers", "8"};
  play.insert(play.end(), effect.begin(), effect.end());
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
  // The monitor of a null sink does not pass on the first part of a stream
  // that reaches it through ALSA's PulseAudio plugin (paplay's arrive whole),
  // so what is checked is that the part heard is the processed file, in
  // order, without a gap, up to its very last frame: nothing of the end may
  // be lost when the run resets the device after the last block.
  const std::vector<int16_t> heard = Audible(ReadWaveSamples(heardPath));
  ASSERT_GT(heard.size(), 64u) << "nothing was heard";
  const int64_t at = FindExactly(expected, std::vector<int16_t>(heard.begin(), heard.begin() + 64));
  ASSERT_GE(at, 0) << "what was heard is not the processed file";
  const size_t tail = expected.size() - static_cast<size_t>(at);
  ASSERT_EQ(heard.size(), tail) << "the end of the file was cut or padded";
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), expected.begin() + at))
      << "the processed file did not arrive in order without gaps";
  EXPECT_GT(tail, static_cast<size_t>(2 * kRate / 10)) << "less than 0.1 s was heard";
}

TEST_F(SoundDevicesTest, RecordCapturesWhatThePlayedSignalWas) {
  const std::string recordedPath = dir.File("recorded.wav");
  const pid_t recorder = server.Spawn(
      {RenderPath(), "--quiet", "--rate", "44100", "--channels", "2", "--bits", "16", "--buffers",
       "16", "--block", "2048", "--input-device", "0", recordedPath, "--seconds", "2.5"},
      {"PULSE_SOURCE=tsink.monitor"});
  ASSERT_GT(recorder, 0);
  WaitForStream("source-outputs");
  Sleep(0.3);
  EXPECT_EQ(server.Run({"paplay", signalPath}, {"PULSE_SINK=tsink"}, 10), 0);
  int status = -1;
  ASSERT_TRUE(SoundServer::Wait(recorder, 15, &status)) << "the record run did not end";
  EXPECT_EQ(status, 0);
  const test_support::ParsedWave wave =
      test_support::ParseWave(test_support::ReadFileBytes(recordedPath));
  ASSERT_EQ(wave.problem, "");
  EXPECT_EQ(wave.format.samplesPerSec, 44100u);
  EXPECT_EQ(wave.format.channels, 2);
  const std::vector<int16_t> recorded = test_support::SamplesFromBytes(wave.data);
  EXPECT_GE(FindExactly(recorded, Audible(TestSignal())), 0)
      << "the signal is not in the recording whole (" << recorded.size() << " samples)";
}

TEST_F(SoundDevicesTest, LiveCarriesOneSinksMonitorToAnotherSink) {
  const std::string heardPath = dir.File("heard.wav");
  const pid_t recorder = RecordMonitor("tsink2", heardPath);
  ASSERT_GT(recorder, 0);
  const pid_t live =
      server.Spawn({RenderPath(), "--quiet", "--rate", "44100", "--buffers", "8", "--block", "2048",
                    "--input-device", "0", "--output-device", "0", "--seconds", "3"},
                   {"PULSE_SOURCE=tsink.monitor", "PULSE_SINK=tsink2"});
  ASSERT_GT(live, 0);
  WaitForStream("sink-inputs");
  Sleep(0.4);
  EXPECT_EQ(server.Run({"paplay", signalPath}, {"PULSE_SINK=tsink"}, 10), 0);
  int status = -1;
  ASSERT_TRUE(SoundServer::Wait(live, 15, &status)) << "the live run did not end";
  EXPECT_EQ(status, 0);
  Sleep(0.2);
  SoundServer::Stop(recorder);
  const std::vector<int16_t> heard = ReadWaveSamples(heardPath);
  EXPECT_GE(FindExactly(heard, Audible(TestSignal())), 0)
      << "the signal did not arrive whole at the second sink (" << heard.size()
      << " samples heard)";
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
