// The device modes of tonalith-render against a real sound server: a private
// PulseAudio daemon with null sinks, reached through ALSA's default device.
// A null sink plays in real time and its monitor gives back, sample for
// sample, what was played into it.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "tests/sound/full_disk.h"
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
// has no internal clock, so its output does not depend on when a run starts
// nor on the block length.
const std::vector<std::string> kEffect = {"--effect", "delay:delayMs=20"};

// The smallest block the page and the renderer take, at the default number
// of buffers: 16 x 128 bytes hold 10 ms of 44.1 kHz stereo.
constexpr const char* kSmallestBlock = "128";
constexpr const char* kDefaultBuffers = "16";

// A run through a real sound server loses frames when the machine stalls for
// longer than the device buffers hold (a loaded test machine can). Each test
// of the sound therefore gets a second try on a fresh server; a failed try is
// reported.
constexpr int kTries = 2;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

  // Runs `once` up to kTries times, each on a fresh server; the last try's
  // problem ("" for none).
  std::string Retried(const char* what, const std::function<std::string(int attempt)>& once) {
    return sound_test::Retried(what, kTries, once, [this] { server.Restart(); });
  }

  std::string PlayOnce(int attempt, const std::vector<int16_t>& expected, const char* block,
                       const char* buffers);
  std::string RecordOnce(int attempt, const std::vector<int16_t>& expected, const char* block);
  std::string LiveOnce(int attempt, const std::vector<int16_t>& expected, const char* block);

  SoundServer server;
  test_support::TempDir dir;
  std::string signalPath;
};

// One play run of the test signal through the chain into the first sink; ""
// when its monitor heard the processed file whole.
std::string SoundDevicesTest::PlayOnce(int attempt, const std::vector<int16_t>& expected,
                                       const char* block, const char* buffers) {
  const std::string heardPath = dir.File("heard-play" + std::to_string(attempt) + ".wav");
  const pid_t recorder = RecordMonitor("tsink", heardPath);
  if (recorder <= 0) {
    return "parecord did not start";
  }
  std::vector<std::string> play = {RenderPath(), "--quiet", "--buffers", buffers, "--block", block};
  play.insert(play.end(), kEffect.begin(), kEffect.end());
  play.insert(play.end(), {signalPath, "--output-device", "0"});
  const auto started = std::chrono::steady_clock::now();
  const int status = server.Run(play, {"PULSE_SINK=tsink"}, 20);
  const double took = SecondsSince(started);
  Sleep(0.3);
  SoundServer::Stop(recorder);
  if (status != 0) {
    return "the play run exited with " + std::to_string(status);
  }
  // The run ends by itself once the whole file has been played.
  if (took < 0.7 || took > 10.0) {
    return "the play run took " + std::to_string(took) + " s for 0.8 s of sound";
  }
  // Everything heard is the processed file, whole, in order and without a
  // gap, up to its very last frame: nothing of the end may be lost when the
  // run resets the device after the last block.
  const std::vector<int16_t> heard = Audible(ReadWaveSamples(heardPath));
  if (heard.size() != expected.size()) {
    return "the file was cut, padded or broken up (" + std::to_string(heard.size()) + " of " +
           std::to_string(expected.size()) + " samples)";
  }
  return heard == expected ? "" : "what was heard is not the processed file";
}

TEST_F(SoundDevicesTest, PlayDeliversTheProcessedFileWithoutGaps) {
  const std::vector<int16_t> expected = ExpectedProcessed();
  ASSERT_GT(expected.size(), static_cast<size_t>(kRate / 2));
  EXPECT_EQ(Retried("play", [&](int attempt) { return PlayOnce(attempt, expected, "2048", "8"); }),
            "");
}

// One record run through the chain while the signal plays into the sink; ""
// when the recording holds the processed signal whole, else what was wrong.
std::string SoundDevicesTest::RecordOnce(int attempt, const std::vector<int16_t>& expected,
                                         const char* block) {
  const std::string recordedPath = dir.File("recorded" + std::to_string(attempt) + ".wav");
  std::vector<std::string> record = {
      RenderPath(), "--quiet", "--rate",    "44100",         "--channels", "2",
      "--bits",     "16",      "--buffers", kDefaultBuffers, "--block",    block};
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
std::string SoundDevicesTest::LiveOnce(int attempt, const std::vector<int16_t>& expected,
                                       const char* block) {
  const std::string heardPath = dir.File("heard" + std::to_string(attempt) + ".wav");
  const pid_t recorder = RecordMonitor("tsink2", heardPath);
  if (recorder <= 0) {
    return "parecord did not start";
  }
  std::vector<std::string> liveRun = {RenderPath(), "--quiet",       "--rate",  "44100",
                                      "--buffers",  kDefaultBuffers, "--block", block};
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
  EXPECT_EQ(Retried("record", [&](int attempt) { return RecordOnce(attempt, expected, "2048"); }),
            "");
}

TEST_F(SoundDevicesTest, LiveCarriesOneSinksMonitorThroughTheChainToAnotherSink) {
  const std::vector<int16_t> expected = ExpectedProcessed();
  ASSERT_GT(expected.size(), static_cast<size_t>(kRate / 2));
  EXPECT_EQ(Retried("live", [&](int attempt) { return LiveOnce(attempt, expected, "2048"); }), "");
}

// The smallest block at the default number of buffers plays, records and
// runs live to the end on a loaded machine: the device's own buffering does
// not follow the block length down.
TEST_F(SoundDevicesTest, TheSmallestBlocksPlayRecordAndRunLiveOnALoadedMachine) {
  const std::vector<int16_t> expected = ExpectedProcessed();
  ASSERT_GT(expected.size(), static_cast<size_t>(kRate / 2));
  const CpuLoad load;
  EXPECT_EQ(Retried("smallest-block play",
                    [&](int attempt) {
                      return PlayOnce(attempt, expected, kSmallestBlock, kDefaultBuffers);
                    }),
            "");
  EXPECT_EQ(Retried("smallest-block record",
                    [&](int attempt) { return RecordOnce(attempt, expected, kSmallestBlock); }),
            "");
  EXPECT_EQ(Retried("smallest-block live",
                    [&](int attempt) { return LiveOnce(attempt, expected, kSmallestBlock); }),
            "");
}

// A 48 kHz file plays at 48 kHz through effects prepared for 48 kHz: a
// click through a 50 ms delay comes back 50 ms later on the sink's monitor
// (which runs at 44.1 kHz; the server converts).
TEST_F(SoundDevicesTest, AFilePlaysWithItsEffectsAtItsOwnRate) {
  constexpr int32_t kFileRate = 48000;
  std::vector<int16_t> click(static_cast<size_t>(kFileRate / 2), 0);
  for (size_t i = kFileRate / 10; i < kFileRate / 10 + 4; ++i)
    click[i] = 20000;
  const std::string clickPath = dir.File("click48.wav");
  test_support::WriteFileBytes(
      clickPath,
      test_support::BuildWave(test_support::PcmFormat(2, kFileRate, 16),
                              test_support::SampleBytes(test_support::Interleave(click, click))));
  const std::string problem = Retried("48 kHz echo", [&](int attempt) -> std::string {
    const std::string heardPath = dir.File("echo" + std::to_string(attempt) + ".wav");
    const pid_t recorder = RecordMonitor("tsink", heardPath);
    const int status = server.Run({RenderPath(), "--quiet", "--effect", "delay:delayMs=50",
                                   clickPath, "--output-device", "0"},
                                  {"PULSE_SINK=tsink"}, 20);
    Sleep(0.3);
    SoundServer::Stop(recorder);
    if (status != 0)
      return "the play run exited with " + std::to_string(status);
    // The loudest frame, and the loudest more than 2 ms away from it.
    std::vector<int16_t> left;
    const std::vector<int16_t> heard = ReadWaveSamples(heardPath);
    for (size_t i = 0; i < heard.size(); i += 2)
      left.push_back(heard[i]);
    const auto loudness = [&](size_t i) { return std::abs(static_cast<int32_t>(left[i])); };
    size_t first = 0;
    for (size_t i = 0; i < left.size(); ++i)
      first = loudness(i) > loudness(first) ? i : first;
    size_t second = first;
    for (size_t i = 0; i < left.size(); ++i) {
      const size_t apart = i > first ? i - first : first - i;
      if (apart > kRate / 500 && (second == first || loudness(i) > loudness(second)))
        second = i;
    }
    if (left.empty() || loudness(first) < 4000 || loudness(second) < 4000)
      return "the click and its echo were not heard";
    const double gapMs =
        std::abs(static_cast<double>(second) - static_cast<double>(first)) * 1000.0 / kRate;
    if (std::fabs(gapMs - 50.0) > 0.5)
      return "the echo came " + std::to_string(gapMs) + " ms after the click";
    return "";
  });
  EXPECT_EQ(problem, "");
}

// A sound server that dies in the middle of a run: the run ends within a
// few seconds with exit status 1 and a short message naming the device, and
// a recording keeps what was captured.
TEST_F(SoundDevicesTest, AServerThatDiesEndsEveryRunWithItsMessage) {
  struct Mode {
    const char* name;
    std::vector<std::string> arguments;
    const char* stream;  // what the server lists once the run streams
  };
  const std::string recorded = dir.File("cut.wav");
  const std::string longSignal = dir.File("long.wav");
  test_support::WriteFileBytes(
      longSignal, test_support::BuildWave(test_support::PcmFormat(2, kRate, 16),
                                          test_support::SampleBytes(test_support::Interleave(
                                              test_support::Noise(20 * kRate, 3),
                                              test_support::Noise(20 * kRate, 5)))));
  const Mode modes[] = {
      {"play", {longSignal, "--output-device", "0"}, "sink-inputs"},
      {"record", {"--input-device", "0", recorded, "--seconds", "20"}, "source-outputs"},
      {"live", {"--input-device", "0", "--output-device", "0", "--seconds", "20"}, "sink-inputs"},
  };
  for (const Mode& mode : modes) {
    const std::string errors = dir.File(std::string(mode.name) + ".err");
    std::vector<std::string> run = {RenderPath(), "--quiet"};
    run.insert(run.end(), mode.arguments.begin(), mode.arguments.end());
    const pid_t pid =
        server.Spawn(run, {"PULSE_SOURCE=tsink.monitor", "PULSE_SINK=tsink2"}, errors);
    ASSERT_GT(pid, 0);
    WaitForStream(mode.stream);
    Sleep(1.0);
    server.Kill();
    const auto killed = std::chrono::steady_clock::now();
    int status = -1;
    const bool ended = SoundServer::Wait(pid, 20, &status);
    const double took = SecondsSince(killed);
    EXPECT_TRUE(ended) << mode.name << ": the run went on";
    EXPECT_EQ(status, 1) << mode.name;
    EXPECT_LT(took, 3.0) << mode.name;
    const test_support::Bytes text = test_support::ReadFileBytes(errors);
    const std::string said(text.begin(), text.end());
    EXPECT_LT(std::count(said.begin(), said.end(), '\n'), 20) << mode.name << ":\n" << said;
    EXPECT_NE(said.find("device has stopped working!\n"), std::string::npos) << mode.name << ":\n"
                                                                             << said;
    if (std::string(mode.name) == "record") {
      const test_support::ParsedWave wave =
          test_support::ParseWave(test_support::ReadFileBytes(recorded));
      EXPECT_EQ(wave.problem, "");
      EXPECT_GT(wave.data.size(), 0u);
    }
    server.Restart();
    ASSERT_EQ(server.Problem(), "");
  }
}

// A recording that fills its disk ends with its message and a valid file.
TEST_F(SoundDevicesTest, ARecordingThatFillsItsDiskEndsWithTheMessageAndAValidFile) {
  const std::string path = dir.File("full.wav");
  const std::string errors = dir.File("full.err");
  const pid_t pid = server.Spawn(
      UnderFileSizeLimit({RenderPath(), "--quiet", "--input-device", "0", path, "--seconds", "10"}),
      {"PULSE_SOURCE=tsink.monitor"}, errors);
  ASSERT_GT(pid, 0);
  int status = -1;
  ASSERT_TRUE(SoundServer::Wait(pid, 15, &status));
  ExpectFullDiskEnding(status, errors, path);
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
