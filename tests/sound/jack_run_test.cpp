// Tonalith through a private JACK server (jackd2's dummy driver): the chains
// run in the server's process callback. A test client in this process plays
// a known signal into Tonalith's input ports and another records its output
// ports, on the server's clock; what arrives must be, sample for sample, what
// the file run makes of the signal with the block equal to the period, and
// it must arrive in the period it was played in (or the next at most).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "effects/delay_effect.h"
#include "effects/distortion_effect.h"
#include "effects/effect_chain.h"
#include "effects/effect_factory.h"
#include "effects/equalizer_effect.h"
#include "engine/wave_engine.h"
#include "tests/sound/full_disk.h"
#include "tests/sound/jack_test_client.h"
#include "tests/sound/sound_server.h"
#include "tests/support/run_process.h"
#include "tests/support/signals.h"
#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

namespace sound_test {
namespace {

using test_support::RenderPath;

constexpr int32_t kRate = JackServer::kRate;
// ThreadSanitizer slows the chains several times over: a longer period
// gives them the time a loaded machine leaves.
#if defined(__SANITIZE_THREAD__)
constexpr int32_t kPeriod = 1024;
#else
constexpr int32_t kPeriod = 256;
#endif
// The file run's block: one period of 16-bit stereo, or of 16-bit mono.
const std::string kPeriodBlockBytes = std::to_string(4 * kPeriod);
const std::string kMonoPeriodBlockBytes = std::to_string(2 * kPeriod);

// The delay and the reverb have no clock of their own, and the equalizer's
// output depends only on the block length, which both runs make the period:
// what they make of the signal does not depend on when a run starts.
const std::vector<std::string> kEffects = {"--effect", "delay:delayMs=20", "--effect",
                                           "reverb",   "--effect",         "eq:gains=6;-6;3;0;-12"};

// A run through a server can lose periods when a loaded machine stalls the
// dummy driver's thread for longer than the server waits for a client; each
// test of the sound gets a second try on a fresh server, and a failed try is
// reported.
constexpr int kTries = 2;

void Sleep(double seconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000)));
}

// Stereo, about half a second of noise (different on each channel) followed
// by a quarter second of silence, interleaved. Whole periods: the file run's
// last block is as long as the others, so that the equalizer sees the same
// blocks as in the callback.
std::vector<int16_t> TestSignal() {
  const int32_t burst = kRate / 2 / kPeriod * kPeriod;
  const int32_t tail = kRate / 4 / kPeriod * kPeriod;
  std::vector<int16_t> left(static_cast<size_t>(burst + tail), 0);
  std::vector<int16_t> right(left.size(), 0);
  const std::vector<int16_t> a = test_support::Noise(burst, 5);
  const std::vector<int16_t> b = test_support::Noise(burst, 9);
  for (int32_t i = 0; i < burst; ++i) {
    left[static_cast<size_t>(i)] = static_cast<int16_t>(a[static_cast<size_t>(i)] / 4);
    right[static_cast<size_t>(i)] = static_cast<int16_t>(b[static_cast<size_t>(i)] / 4);
  }
  return test_support::Interleave(left, right);
}

// Interleaved 16-bit stereo as the floats a client plays: s / 32768.
std::vector<std::vector<float>> AsFloats(const std::vector<int16_t>& interleaved) {
  std::vector<std::vector<float>> channels(2);
  for (size_t i = 0; i < interleaved.size(); ++i) {
    channels[i % 2].push_back(static_cast<float>(interleaved[i]) / 32768.0f);
  }
  return channels;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Waits up to `seconds` for `done`.
bool WaitFor(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

class JackRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server.Problem().empty()) {
      std::fprintf(stderr,
                   "\n*** JACK TESTS SKIPPED: the private JACK server could not start: %s ***\n\n",
                   server.Problem().c_str());
      GTEST_SKIP() << "jackd could not start: " << server.Problem();
    }
    signal = TestSignal();
    signalPath = dir.File("signal.wav");
    test_support::WriteFileBytes(signalPath,
                                 test_support::BuildWave(test_support::PcmFormat(2, kRate, 16),
                                                         test_support::SampleBytes(signal)));
  }

  // What the file run makes of the signal with the block equal to the period.
  // (`blockBytes`: one period of the file's frames.)
  std::vector<int16_t> FileRunResult(const std::string& source = {},
                                     const std::string& blockBytes = kPeriodBlockBytes) {
    const std::string path = dir.File("expected.wav");
    std::vector<std::string> fileRun = {RenderPath(), "--quiet", "--block", blockBytes};
    fileRun.insert(fileRun.end(), kEffects.begin(), kEffects.end());
    fileRun.insert(fileRun.end(), {source.empty() ? signalPath : source, path});
    if (test_support::RunProcess(fileRun).exitCode != 0) {
      return {};
    }
    return ReadWaveSamples(path);
  }

  // tonalith-render with the effects, `arguments` after them, started in the
  // background as a client of the server named `name`.
  pid_t StartRender(const std::string& name, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {RenderPath(), "--quiet",     "--driver",
                                     "jack",       "--jack-name", name};
    argv.insert(argv.end(), kEffects.begin(), kEffects.end());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return server.Spawn(argv, {}, dir.File(name + ".log"));
  }

  // Runs `once` up to kTries times, each on a fresh server; the last try's
  // problem ("" for none).
  std::string Retried(const char* what, const std::function<std::string(int attempt)>& once) {
    return sound_test::Retried(what, kTries, once, [this] { server.Restart(); });
  }

  std::string LiveOnce(int attempt, const std::vector<int16_t>& expected);
  std::string RecordOnce(int attempt, const std::vector<int16_t>& expected);
  std::string PlayOnce(int attempt, const std::string& path, const std::vector<int16_t>& expected,
                       int channels);

  JackServer server{kPeriod};
  test_support::TempDir dir;
  std::vector<int16_t> signal;
  std::string signalPath;
};

// One live run with unconnected ports, which the test clients connect: ""
// when the recorder heard the file run's result whole within a period.
std::string JackRunTest::LiveOnce(int attempt, const std::vector<int16_t>& expected) {
  const std::string name = "tl-live" + std::to_string(attempt);
  const pid_t render = StartRender(name, {"--input-device", "none", "--output-device", "none"});
  if (render <= 0) {
    return "tonalith-render did not start";
  }
  JackTestClient player(server.Name(), "player");
  JackTestClient recorder(server.Name(), "recorder", static_cast<size_t>(3 * kRate));
  if (!player.Problem().empty() || !recorder.Problem().empty()) {
    SoundServer::Stop(render);
    return player.Problem() + recorder.Problem();
  }
  if (!player.WaitForPort(name + ":out_2", 20) ||
      !player.Connect(player.PortName("play_1"), name + ":in_1") ||
      !player.Connect(player.PortName("play_2"), name + ":in_2") ||
      !recorder.Connect(name + ":out_1", recorder.PortName("rec_1")) ||
      !recorder.Connect(name + ":out_2", recorder.PortName("rec_2"))) {
    SoundServer::Stop(render);
    return "Tonalith's ports did not appear or could not be connected";
  }
  recorder.Record();
  player.Play(AsFloats(signal));
  const size_t frames = signal.size() / 2;
  WaitFor([&] { return player.PlayedWhole() && recorder.RecordedFrames() >= 2 * frames; }, 20);
  player.Close();
  recorder.Close();
  int status = -1;
  kill(render, SIGINT);
  if (!SoundServer::Wait(render, 10, &status) || status != 0) {
    return "the live run did not end cleanly (status " + std::to_string(status) +
           "): " + ReadText(dir.File(name + ".log"));
  }
  const std::vector<int16_t> heard = recorder.Recording();
  const int64_t at = FindExactly(heard, expected);
  if (at < 0) {
    return "the file run's result is not in the recording whole (" + std::to_string(heard.size()) +
           " samples)";
  }
  // Frame times of the played first frame and of the recorded one that
  // carries it: the same period, or the next at the most.
  const auto latency = static_cast<int32_t>(static_cast<uint32_t>(at / 2) + recorder.RecordStart() -
                                            player.PlayStart());
  std::fprintf(stderr, "live run through JACK: latency %d frames (period %d)\n", latency, kPeriod);
  if (latency < 0 || latency > kPeriod) {
    return "the signal came out " + std::to_string(latency) + " frames late";
  }
  // The callback fed the level meter, whose peaks end the run.
  const std::string log = ReadText(dir.File(name + ".log"));
  if (log.find("tonalith-render: peak -") == std::string::npos ||
      log.find("-inf") != std::string::npos) {
    return "the run's output peaks are missing: " + log;
  }
  return "";
}

TEST_F(JackRunTest, LiveRunGivesTheFileRunsSamplesWithinAPeriod) {
  const std::vector<int16_t> expected = FileRunResult();
  ASSERT_EQ(expected.size(), signal.size());
  EXPECT_EQ(Retried("live", [&](int attempt) { return LiveOnce(attempt, expected); }), "");
}

// One record run whose input the player feeds: "" when the file holds the
// file run's result whole.
std::string JackRunTest::RecordOnce(int attempt, const std::vector<int16_t>& expected) {
  const std::string name = "tl-record" + std::to_string(attempt);
  const std::string recordedPath = dir.File("recorded" + std::to_string(attempt) + ".wav");
  const pid_t render = StartRender(name, {"--input-device", "none", recordedPath});
  if (render <= 0) {
    return "tonalith-render did not start";
  }
  JackTestClient player(server.Name(), "player");
  if (!player.Problem().empty() || !player.WaitForPort(name + ":in_2", 20) ||
      !player.Connect(player.PortName("play_1"), name + ":in_1") ||
      !player.Connect(player.PortName("play_2"), name + ":in_2")) {
    SoundServer::Stop(render);
    return "the player could not be connected";
  }
  player.Play(AsFloats(signal));
  WaitFor([&] { return player.PlayedWhole(); }, 20);
  Sleep(0.2);
  player.Close();
  int status = -1;
  kill(render, SIGINT);
  if (!SoundServer::Wait(render, 10, &status) || status != 0) {
    return "the record run did not end cleanly (status " + std::to_string(status) + ")";
  }
  const test_support::ParsedWave wave =
      test_support::ParseWave(test_support::ReadFileBytes(recordedPath));
  if (!wave.problem.empty()) {
    return "the recording is not a valid WAV file: " + wave.problem;
  }
  if (wave.format.samplesPerSec != static_cast<uint32_t>(kRate) || wave.format.channels != 2) {
    return "the recording is not at the server's rate in stereo";
  }
  if (FindExactly(test_support::SamplesFromBytes(wave.data), expected) < 0) {
    return "the file run's result is not in the recording whole: " +
           ReadText(dir.File(name + ".log"));
  }
  return "";
}

TEST_F(JackRunTest, RecordRunWritesTheFileRunsSamples) {
  const std::vector<int16_t> expected = FileRunResult();
  ASSERT_EQ(expected.size(), signal.size());
  EXPECT_EQ(Retried("record", [&](int attempt) { return RecordOnce(attempt, expected); }), "");
}

// The number tonalith-render --list-devices gives port `port` among the
// playback ports; -1 when it is not listed.
int PlaybackPortNumber(const JackServer& server, const std::string& port) {
  const std::string listPath = server.Folder() + "/ports.txt";
  const std::string command = RenderPath() + " --driver jack --list-devices > " + listPath;
  const pid_t lister = server.Spawn({"sh", "-c", command});
  if (lister <= 0 || !SoundServer::Wait(lister, 10)) {
    return -1;
  }
  std::istringstream lines(ReadText(listPath));
  bool playback = false;
  for (std::string line; std::getline(lines, line);) {
    playback = playback || line.rfind("Playback ports", 0) == 0;
    std::istringstream fields(line);
    int number = -1;
    std::string name;
    if (playback && (fields >> number >> name) && name == port) {
      return number;
    }
  }
  return -1;
}

// One play run of `path` into the recorder: "" when its first `channels`
// channels hold `expected` (interleaved with as many channels) whole.
std::string JackRunTest::PlayOnce(int attempt, const std::string& path,
                                  const std::vector<int16_t>& expected, int channels) {
  JackTestClient recorder(server.Name(), "recorder", static_cast<size_t>(3 * kRate));
  const int port = PlaybackPortNumber(server, "recorder:rec_1");
  if (!recorder.Problem().empty() || port < 0) {
    return "the recorder is not among the playback ports";
  }
  recorder.Record();
  const std::string name = "tl-play" + std::to_string(attempt);
  const pid_t render = StartRender(name, {path, "--output-device", std::to_string(port)});
  int status = -1;
  if (render <= 0 || !SoundServer::Wait(render, 20, &status) || status != 0) {
    return "the play run did not end by itself (status " + std::to_string(status) + ")";
  }
  recorder.Close();
  std::vector<int16_t> heard = recorder.Recording();
  if (channels == 1) {
    for (size_t i = 0; 2 * i < heard.size(); ++i) {
      heard[i] = heard[2 * i];
    }
    heard.resize(heard.size() / 2);
  }
  if (FindExactly(heard, expected) < 0) {
    return "the file run's result is not in the recording whole";
  }
  return "";
}

TEST_F(JackRunTest, PlayRunGivesTheFileRunsSamplesAndEndsByItself) {
  const std::vector<int16_t> expected = FileRunResult();
  ASSERT_EQ(expected.size(), signal.size());
  EXPECT_EQ(
      Retried("play", [&](int attempt) { return PlayOnce(attempt, signalPath, expected, 2); }), "");
}

// An 8-bit mono file plays through in_1/out_1 as its 16-bit equal does.
TEST_F(JackRunTest, EightBitMonoFilePlaysAsItsSixteenBitEqual) {
  std::vector<uint8_t> bytes;
  std::vector<int16_t> widened;
  for (size_t i = 0; i < signal.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>((signal[i] >> 8) + 128));
    widened.push_back(static_cast<int16_t>(((signal[i] >> 8)) * 256));
  }
  const std::string eightBitPath = dir.File("eight.wav");
  test_support::WriteFileBytes(
      eightBitPath, test_support::BuildWave(test_support::PcmFormat(1, kRate, 8), bytes));
  const std::string widePath = dir.File("wide.wav");
  test_support::WriteFileBytes(widePath,
                               test_support::BuildWave(test_support::PcmFormat(1, kRate, 16),
                                                       test_support::SampleBytes(widened)));
  const std::vector<int16_t> expected = FileRunResult(widePath, kMonoPeriodBlockBytes);
  ASSERT_EQ(expected.size(), widened.size());
  EXPECT_EQ(Retried("play 8-bit",
                    [&](int attempt) { return PlayOnce(attempt, eightBitPath, expected, 1); }),
            "");
}

TEST_F(JackRunTest, ServerKilledMidRecordLeavesAValidFile) {
  const std::string recordedPath = dir.File("killed.wav");
  const pid_t render = StartRender("tl-killed", {"--input-device", "0", recordedPath});
  ASSERT_GT(render, 0);
  // Recording: the dummy driver's capture port gives silence. Killed once
  // more than a period has reached the file behind its 46-byte header.
  constexpr size_t kHeaderBytes = 46;
  ASSERT_TRUE(WaitFor(
      [&] { return test_support::ReadFileBytes(recordedPath).size() > kHeaderBytes + 4 * kPeriod; },
      20));
  server.Kill();
  int status = -1;
  ASSERT_TRUE(SoundServer::Wait(render, 20, &status));
  EXPECT_EQ(status, 1);
  EXPECT_NE(ReadText(dir.File("tl-killed.log")).find("The JACK server has shut down!"),
            std::string::npos);
  const test_support::ParsedWave wave =
      test_support::ParseWave(test_support::ReadFileBytes(recordedPath));
  EXPECT_EQ(wave.problem, "");
  EXPECT_GT(wave.data.size(), static_cast<size_t>(4 * kPeriod));
}

// A recording that fills its disk ends with its message and a valid file.
TEST_F(JackRunTest, ARecordingThatFillsItsDiskEndsWithTheMessageAndAValidFile) {
  const std::string path = dir.File("full.wav");
  const std::string errors = dir.File("full.err");
  const pid_t render =
      server.Spawn(UnderFileSizeLimit({RenderPath(), "--quiet", "--driver", "jack", "--jack-name",
                                       "tl-full", "--input-device", "0", path, "--seconds", "10"}),
                   {}, errors);
  ASSERT_GT(render, 0);
  int status = -1;
  ASSERT_TRUE(SoundServer::Wait(render, 20, &status));
  ExpectFullDiskEnding(status, errors, path);
}

TEST(JackRunWithoutServer, NoServerGivesAMessageNamingItAndTheReason) {
  const std::string name = "tonalith-absent-" + std::to_string(getpid());
  setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
  const test_support::ProcessResult result =
      test_support::RunProcess({RenderPath(), "--driver", "jack", "--input-device", "none",
                                "--output-device", "none", "--seconds", "1"});
  unsetenv("JACK_DEFAULT_SERVER");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.err.find("Cannot connect to the JACK server!"), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("server \"" + name + "\": no server answers"), std::string::npos)
      << result.err;
}

// An event loop in this process, whose JACK clients reach the server named
// `server` (the window's side of a run, as in the desktop program).
class InProcessClient {
 public:
  explicit InProcessClient(const std::string& server) {
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
  }
  ~InProcessClient() { unsetenv("JACK_DEFAULT_SERVER"); }
  InProcessClient(const InProcessClient&) = delete;
  InProcessClient& operator=(const InProcessClient&) = delete;

 private:
  int argc_ = 1;
  char name_[14] = "jack_run_test";
  char* argv_[2] = {name_, nullptr};
  QCoreApplication app_{argc_, argv_};
};

// A record run whose event loop stands still for longer than the record ring
// holds (2 seconds): the callback goes on, the frames that find no room are
// counted, and the file keeps what reached it, with valid sizes.
TEST_F(JackRunTest, ARecordingLeftBehindCountsItsLostFramesAndStaysValid) {
  const InProcessClient app(server.Name());
  const std::string path = dir.File("behind.wav");
  WaveEngine engine(nullptr, CreateDevicelessWaveService(), JackPortListing::kListed);
  engine.settings.inputDeviceId = kJackUnconnected;
  engine.settings.outputIsFile = true;
  engine.settings.outputFileName = path;
  engine.settings.jackClientName = "tl-behind";
  ASSERT_TRUE(engine.StartRun());
  Sleep(4);
  QCoreApplication::processEvents();
  ASSERT_TRUE(engine.Running());
  engine.StopRun();
  EXPECT_GT(engine.Status().droppedFrames, 0);
  const test_support::ParsedWave wave = test_support::ParseWave(test_support::ReadFileBytes(path));
  EXPECT_EQ(wave.problem, "");
  EXPECT_GE(wave.data.size(), static_cast<size_t>(4 * kRate));  // a second at least
}

// The window's changes during a run, made here on this thread as the pages
// make them, while the server's thread runs the chains: under
// ThreadSanitizer this shows that no byte is shared without a hand-over, and
// the output shows that each change arrives.
TEST_F(JackRunTest, PageChangesDuringARunReachTheRunningChains) {
  const InProcessClient app(server.Name());
  EffectChain left;
  EffectChain right;
  for (EffectChain* chain : {&left, &right}) {
    chain->Append(kDelayEffectId);
    chain->Append(kDistortionEffectId);
    chain->Append(kEqualizerEffectId);
  }
  WaveEngine engine(nullptr, CreateDevicelessWaveService(), JackPortListing::kListed);
  ASSERT_EQ(engine.jackSampleRate, kRate);
  engine.settings.inputDeviceId = kJackUnconnected;
  engine.settings.outputDeviceId = kJackUnconnected;
  engine.settings.jackClientName = "tl-pages";
  engine.leftChain = &left;
  engine.rightChain = &right;
  ASSERT_TRUE(engine.StartRun());

  JackTestClient player(server.Name(), "player");
  JackTestClient recorder(server.Name(), "recorder", static_cast<size_t>(30 * kRate));
  ASSERT_EQ(player.Problem() + recorder.Problem(), "");
  for (const char* channel : {"1", "2"}) {
    ASSERT_TRUE(
        player.Connect(player.PortName("play_") + channel, std::string("tl-pages:in_") + channel));
    ASSERT_TRUE(recorder.Connect(std::string("tl-pages:out_") + channel,
                                 recorder.PortName("rec_") + channel));
  }
  const std::vector<int16_t> noise = test_support::Interleave(test_support::Noise(20 * kRate, 3),
                                                              test_support::Noise(20 * kRate, 4));
  player.Play(AsFloats(noise));
  recorder.Record();

  auto spin = [](double seconds) {
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
    while (std::chrono::steady_clock::now() < until) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  };
  // Every kind of change the pages make, many times over.
  for (int round = 0; round < 40; ++round) {
    for (EffectChain* chain : {&left, &right}) {
      Effect* delay = chain->head;
      chain->SetEnabled(delay, round % 2 == 0);
      delay->SetDryInputMix(round * 11 % 513);
      delay->SetDryOutputMix(round * 7 % 513);
      static_cast<DelayEffect*>(delay)->SetDelayTime(static_cast<float>(round % 100), kRate);
      chain->SelectPosition(2);
      chain->MoveDown(chain->cursor);  // rebuilds the records
      for (Effect* node = chain->head; node; node = node->next) {
        if (auto* shaper = dynamic_cast<DistortionEffect*>(node)) {
          const CurvePoint curve[] = {
              {-32768, -32767}, {0, static_cast<float>(round * 100)}, {32768, 32767}};
          shaper->SetCurve(curve);
          shaper->record.feedback = round % 128;
        }
        if (auto* equalizer = dynamic_cast<EqualizerEffect*>(node)) {
          const CurvePoint curve[] = {{0, static_cast<float>(round % 20)}, {3.14159f, 0}};
          equalizer->SetBandCurve(curve);
          DesignEqualizerKernel(&equalizer->record);
        }
      }
    }
    spin(0.02);
  }
  ASSERT_TRUE(engine.Running());

  // Only the delay, at mixes of 0: silence comes out.
  auto setUp = [&](bool delayOnly, int32_t inputMix) {
    for (EffectChain* chain : {&left, &right}) {
      for (Effect* node = chain->head; node; node = node->next) {
        chain->SetEnabled(node, delayOnly && node->typeId == kDelayEffectId);
        node->SetDryInputMix(inputMix);
        node->SetDryOutputMix(0);
      }
    }
  };
  setUp(true, 0);
  spin(0.3);
  const size_t silentFrom = recorder.RecordedFrames();
  spin(0.3);
  const size_t silentTo = recorder.RecordedFrames();
  // Nothing enabled: the input comes through.
  setUp(false, 0);
  spin(0.3);
  const size_t openFrom = recorder.RecordedFrames();
  spin(0.3);
  const size_t openTo = recorder.RecordedFrames();
  engine.StopRun();
  player.Close();
  recorder.Close();

  const std::vector<int16_t> heard = recorder.Recording();
  ASSERT_LT(silentFrom + kRate / 10, silentTo);
  ASSERT_LT(openFrom + kRate / 10, openTo);
  auto silent = [&](size_t from, size_t to) {
    return std::all_of(heard.begin() + static_cast<ptrdiff_t>(2 * from),
                       heard.begin() + static_cast<ptrdiff_t>(2 * to),
                       [](int16_t sample) { return sample == 0; });
  };
  EXPECT_TRUE(silent(silentFrom, silentTo));
  EXPECT_FALSE(silent(openFrom, openTo));
}

}  // namespace
}  // namespace sound_test
