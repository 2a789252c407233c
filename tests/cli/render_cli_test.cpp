// tonalith-render as a user runs it: generated files in, exit status,
// stderr and the files it leaves, checked by our parser and by soxi.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/run_process.h"
#include "tests/support/signals.h"
#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

using namespace test_support;

namespace {

// Starts tonalith-render with its output streams on /dev/null; `inChild`
// runs in the child just before the program starts.
pid_t StartRender(const std::vector<std::string>& arguments, const std::function<void()>& inChild) {
  std::vector<std::string> argv = {RenderPath()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> args;
  for (std::string& a : argv) {
    args.push_back(a.data());
  }
  args.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
    inChild();
    execv(args[0], args.data());
    _exit(127);
  }
  return child;
}

// The child's wait status; with `block` false, 0 while it still runs.
int WaitFor(pid_t child, bool block = true) {
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(child, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
  }
  return done == child ? status : 0;
}

uint64_t FileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

uint32_t SizeField(const Bytes& file, size_t offset) {
  return static_cast<uint32_t>(file.at(offset) | file.at(offset + 1) << 8 |
                               file.at(offset + 2) << 16 | file.at(offset + 3) << 24);
}

constexpr uint32_t kStereoSecond = 44100 * 4;  // bytes of 16-bit stereo at 44100 Hz

class RenderCliTest : public ::testing::Test {
 protected:
  ProcessResult Render(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), RenderPath());
    return RunProcess(arguments);
  }
  // soxi reads the file's header and reports its sample count.
  std::string Soxi(const std::string& path) {
    const ProcessResult r = RunProcess({"/usr/bin/soxi", "-s", path});
    EXPECT_EQ(r.exitCode, 0) << path << ": " << r.err;
    return r.out;
  }
  TempDir dir;
  std::string input = dir.File("in.wav");
  std::string output = dir.File("out.wav");
};

}  // namespace

TEST_F(RenderCliTest, WithoutEffectsSixteenBitDataComesOutBitForBit) {
  const struct {
    uint16_t channels;
    uint32_t rate;
    int32_t frames;
    const char* block;
  } cases[] = {{2, 44100, 5000, "1024"},
               {1, 8000, 4096, "128"},
               {2, 96000, 3, "8192"},
               {1, 22050, 12345, "256"}};
  for (const auto& c : cases) {
    const std::vector<int16_t> samples =
        c.channels == 2 ? Interleave(Noise(c.frames, 1), Sine(c.frames, 1000, 44100, 32767))
                        : Noise(c.frames, 2);
    const Bytes data = SampleBytes(samples);
    WriteFileBytes(input, BuildWave(PcmFormat(c.channels, c.rate, 16), data));
    const ProcessResult r = Render({"--block", c.block, input, output});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // No progress bar when stderr is not a terminal: the levels' line alone.
    EXPECT_EQ(r.err.rfind("tonalith-render: peak ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    const ParsedWave out = ParseWave(ReadFileBytes(output));
    ASSERT_EQ(out.problem, "");
    EXPECT_EQ(out.data, data);
    EXPECT_EQ(out.format.samplesPerSec, c.rate);
    EXPECT_EQ(Soxi(output), std::to_string(c.frames) + "\n");
  }
}

TEST_F(RenderCliTest, SoxiAcceptsEightBitAndOddSizedOutputs) {
  for (const uint16_t channels : {1, 2}) {
    Bytes data(channels == 1 ? 1001 : 2002);
    for (size_t i = 0; i < data.size(); ++i) {
      data[i] = static_cast<uint8_t>(i * 13);
    }
    WriteFileBytes(input, BuildRiff({{"LIST", Bytes(5, 'x')},
                                     {"fmt ", FormatChunkBody(PcmFormat(channels, 11025, 8), 18)},
                                     {"data", data},
                                     {"id3 ", Bytes(3, 0)}}));
    const ProcessResult r = Render({"--quiet", input, output});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const ParsedWave out = ParseWave(ReadFileBytes(output));
    ASSERT_EQ(out.problem, "");
    EXPECT_EQ(out.chunkIds, (std::vector<std::string>{"fmt ", "data"}));
    EXPECT_EQ(out.data.size(), data.size());
    EXPECT_EQ(Soxi(output), "1001\n");
  }
}

TEST_F(RenderCliTest, ReadsWhatSoxWrites) {
  ASSERT_EQ(RunProcess({"/usr/bin/sox", "-n", "-r", "48000", "-c", "2", "-b", "16", input, "synth",
                        "0.25", "sine", "440"})
                .exitCode,
            0);
  const ProcessResult r = Render({input, output});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const ParsedWave in = ParseWave(ReadFileBytes(input));
  EXPECT_EQ(ParseWave(ReadFileBytes(output)).data, in.data);
  EXPECT_EQ(Soxi(output), "12000\n");
}

TEST_F(RenderCliTest, CommandLineRefusalsExitTwoWithOneLineAndNoOutput) {
  WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 16), Bytes(100, 0)));
  const std::string badPreset = dir.File("bad.json");
  const std::string text = R"({"format": "tonalith-preset", "version": 1, "effects": [)"
                           R"({"effect": "delay", "left": {"delayMs": 101}}]})";
  WriteFileBytes(badPreset, Bytes(text.begin(), text.end()));
  // Refused only at the input's rate: 8000 Hz allows bands up to 4000 Hz.
  const std::string highBand = dir.File("high.json");
  const std::string band = R"({"format": "tonalith-preset", "version": 1, "effects": [)"
                           R"({"effect": "eq", "right": {"freqs": [0, 4500]}}]})";
  WriteFileBytes(highBand, Bytes(band.begin(), band.end()));
  const std::vector<std::vector<std::string>> refused = {
      {"--preset", badPreset, input, output},
      {"--preset", highBand, input, output},
      {"--preset", "no-such-preset", input, output},
      {"--block", "100", input, output},
      {"--effect", "nosuch", input, output},
      {"--effect", "", input, output},
      {"--bogus", input, output},
      {input},
      {input, output, "extra"},
      {"--block"},
  };
  for (const auto& arguments : refused) {
    const ProcessResult r = Render(arguments);
    EXPECT_EQ(r.exitCode, 2) << arguments[0];
    EXPECT_EQ(r.err.rfind("tonalith-render: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(FileExists(output)) << arguments[0];
  }
}

// Every effect, with values set apart per channel and curves, renders the
// same through a preset the options wrote as through the options.
TEST_F(RenderCliTest, APresetWrittenFromOptionsRendersAsTheOptionsDo) {
  WriteFileBytes(
      input, BuildWave(PcmFormat(2, 44100, 16),
                       SampleBytes(Interleave(Noise(20000, 9), Sine(20000, 330, 44100, 20000)))));
  const std::vector<std::vector<std::string>> cases = {
      {"--effect", "delay:delayMs=12.5,right.delayMs=40,left.out=300,in=100"},
      {"--effect",
       "chorus:initialDelayMs=3,finalDelayMs=9,right.modLengthMs=700,"
       "feedbackPercent=30,left.enabled=0"},
      {"--block", "512", "--effect", "reverb:echoCount=9,right.maxEchoMs=60,reverbTimeMs=1500"},
      {"--block", "256", "--effect",
       "eq:gains=12;-8;3;0;0;-20,spacing=1/4 Octaves,right.freqs=0;20;40.5,left.spacing=Linear"},
      {"--effect",
       "distortion:feedback=-33,preFilterHz=3000,"
       "curve=-32768:-20000;-100:-7000;0:0;32768:31000,right.curve=-32768:0;32768:0"},
      {"--effect",
       "compression:envelopeDelayMs=7.5,curve=0:10;9000:0;32768:-30,"
       "right.curve=0:0;20000:-3.25;32768:-6,out=400"},
      {"--effect",
       "autowah:filterKind=HighPass,sweepScaling=2,left.initialResonance=4,"
       "finalCutoff=8000"},
      {"--effect",
       "filtermod:filterKind=BandPass,right.filterKind=AllPass,modulatorLengthMs=300,"
       "finalResonance=7"},
      // The factory defaults, the chorus's 0.5 % feedback (below what may be
      // typed) and the equalizer's flat curve among them.
      {"--effect", "chorus", "--effect", "eq"},
  };
  const std::string preset = dir.File("preset.json");
  const std::string fromPreset = dir.File("from-preset.wav");
  for (const std::vector<std::string>& options : cases) {
    std::vector<std::string> render = options;
    render.insert(render.end(), {input, output});
    ProcessResult r = Render(render);
    ASSERT_EQ(r.exitCode, 0) << options.back() << ": " << r.err;
    std::vector<std::string> write = options;
    write.insert(write.end(), {"--write-preset", preset});
    r = Render(write);
    ASSERT_EQ(r.exitCode, 0) << options.back() << ": " << r.err;
    r = Render({"--preset", preset, input, fromPreset});
    ASSERT_EQ(r.exitCode, 0) << options.back() << ": " << r.err;
    EXPECT_EQ(ReadFileBytes(fromPreset), ReadFileBytes(output)) << options.back();
  }
}

TEST_F(RenderCliTest, WritingOverTheInputIsRefused) {
  const Bytes file = BuildWave(PcmFormat(1, 8000, 16), Bytes(100, 7));
  WriteFileBytes(input, file);
  const ProcessResult r = Render({input, dir.Path() + "/./in.wav"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, "tonalith-render: INPUT and OUTPUT are the same file\n");
  EXPECT_EQ(ReadFileBytes(input), file);
}

TEST_F(RenderCliTest, EngineFailuresExitOneWithTheEnginesWords) {
  // Unusable input: the reader's message, and nothing created.
  WriteFileBytes(input, BuildWave(PcmFormat(2, 44100, 32), Bytes(64, 0)));
  ProcessResult r = Render({input, output});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "UnSupported Wave Format!\n" + input + "\n");
  EXPECT_FALSE(FileExists(output));

  r = Render({dir.File("missing.wav"), output});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "Cannot read file!\n" + dir.File("missing.wav") + ": No such file or directory\n");

  // An output that cannot be created: the reason follows the message.
  WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 16), Bytes(64, 0)));
  r = Render({input, dir.File("no/folder/out.wav")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Error opening output file\n" + dir.File("no/folder/out.wav") +
                       ": No such file or directory\n");
  r = Render({input, "/dev/full"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err,
            "Cannot create wave format chunk!\n/dev/full: No space left on device\nError opening "
            "output file\n/dev/full: No space left on device\n");

  // A read error in the middle: the output stays, valid, with the blocks read.
  const Bytes data = SampleBytes(Noise(1000, 3));
  WriteFileBytes(
      input, BuildRiff({{"fmt ", FormatChunkBody(PcmFormat(1, 8000, 16))}, {"data", data, 4000u}}));
  r = Render({"--block", "512", input, output});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Error reading input file!!!\n" + input +
                       ": the file ends before its data does\ntonalith-render: peak 0.0 dBFS\n");
  const ParsedWave out = ParseWave(ReadFileBytes(output));
  ASSERT_EQ(out.problem, "");
  EXPECT_EQ(out.data, Bytes(data.begin(), data.begin() + 1536));
  EXPECT_EQ(Soxi(output), "768\n");
}

TEST_F(RenderCliTest, HelpAndListEffectsExitZero) {
  ProcessResult r = Render({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--effect SPEC"), std::string::npos);
  EXPECT_EQ(r.err, "");
  r = Render({"--list-effects"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_FALSE(r.out.empty());
}

TEST_F(RenderCliTest, DrawsAProgressBarOnlyWhenStderrIsATerminal) {
  WriteFileBytes(input, BuildWave(PcmFormat(2, 44100, 16), SampleBytes(Noise(2 * 20000, 8))));
  ProcessResult r = RunProcess({RenderPath(), input, output}, /*stderrOnTerminal=*/true);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("[" + std::string(40, '#') + "] 100%"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\r\033[K"), std::string::npos);  // cleared at the end

  r = RunProcess({RenderPath(), "--quiet", input, output}, /*stderrOnTerminal=*/true);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err.rfind("tonalith-render: peak ", 0), 0u) << r.err;
}

TEST_F(RenderCliTest, EndsWithEachChannelsPeakAndAWarningWhenSamplesClipped) {
  const double amplitude = 32767 * std::pow(10.0, -6.0 / 20);
  const std::vector<int16_t> sine = Sine(4000, 441, 44100, amplitude);
  WriteFileBytes(input, BuildWave(PcmFormat(2, 44100, 16), SampleBytes(Interleave(sine, sine))));
  ProcessResult r = Render({input, output});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "tonalith-render: peak -6.0 dBFS left, -6.0 dBFS right\n");

  // A full-scale square over the first 1000 of 3000 samples.
  std::vector<int16_t> square = Square(1000, 50);
  square.resize(3000, 1000);
  WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 16), SampleBytes(square)));
  r = Render({input, output});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err,
            "tonalith-render: peak 0.0 dBFS; warning: 1000 samples clipped (saturated to "
            "+/-32767)\n");
}

TEST_F(RenderCliTest, TailsGoOnPastTheInput) {
  // 1000 frames at 8000 Hz ending loud; the default keeps the input's length.
  std::vector<int16_t> samples = Noise(1000, 5);
  WriteFileBytes(input, BuildWave(PcmFormat(1, 8000, 16), SampleBytes(samples)));
  const struct {
    std::vector<std::string> options;
    const char* frames;
  } cases[] = {{{}, "1000\n"},
               {{"--tail", "0"}, "1000\n"},
               {{"--tail", "0.5"}, "5000\n"},
               {{"--tail", "auto", "--effect", "delay:delayMs=50"}, "2200\n"}};
  for (const auto& c : cases) {
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {input, output});
    const ProcessResult r = Render(arguments);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Soxi(output), c.frames) << (c.options.empty() ? "" : c.options[1]);
  }
}

TEST_F(RenderCliTest, StopSignalsEndARenderAfterABlockWithTheHeaderFinished) {
  // A minute through every effect in small blocks: far from done after a second.
  WriteFileBytes(input, BuildWave(PcmFormat(2, 44100, 16), Bytes(60 * kStereoSecond, 0)));
  std::vector<std::string> arguments = {"--block", "128"};
  for (const char* effect :
       {"eq", "compression", "distortion", "autowah", "delay", "filtermod", "chorus", "reverb"}) {
    arguments.insert(arguments.end(), {"--effect", effect});
  }
  arguments.insert(arguments.end(), {input, output});
  for (const auto& [signal, expected] : {std::pair{SIGINT, 130}, {SIGTERM, 143}, {SIGHUP, 129}}) {
    // A render that ends by itself before the signal lands has lost a race
    // with this test on a loaded machine: it is tried again.
    int status = 0;
    for (int attempt = 0; attempt < 3 && WIFEXITED(status) && WEXITSTATUS(status) == 0; ++attempt) {
      std::remove(output.c_str());
      const pid_t child = StartRender(arguments, [] {
        for (const int s : {SIGINT, SIGTERM, SIGHUP}) {
          std::signal(s, SIG_DFL);  // not ignored, whatever started the tests
        }
      });
      while ((status = WaitFor(child, false)) == 0 && FileSize(output) < 46 + kStereoSecond) {
        usleep(1000);
      }
      if (status == 0) {
        kill(child, signal);
        status = WaitFor(child);
      }
    }
    ASSERT_TRUE(WIFEXITED(status)) << signal;
    EXPECT_EQ(WEXITSTATUS(status), expected);
    const ParsedWave out = ParseWave(ReadFileBytes(output));
    EXPECT_EQ(out.problem, "") << signal;
    EXPECT_GE(out.data.size(), kStereoSecond);
    EXPECT_LT(out.data.size(), 60u * kStereoSecond);
  }
}

TEST_F(RenderCliTest, KilledByAFileSizeLimitItLeavesAFileThatReadsToItsLastUpdate) {
  const Bytes data = SampleBytes(Noise(2 * 44100 * 5, 3));
  WriteFileBytes(input, BuildWave(PcmFormat(2, 44100, 16), data));
  constexpr uint64_t kLimit = 46 + 3 * kStereoSecond + 1000;
  const pid_t child = StartRender({input, output}, [] {
    std::signal(SIGXFSZ, SIG_DFL);  // the default: the process ends at the limit
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const rlimit limit{kLimit, kLimit};
    setrlimit(RLIMIT_FSIZE, &limit);
  });
  const int status = WaitFor(child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
  // The sizes lag what was written by less than a second of audio and a block.
  const Bytes file = ReadFileBytes(output);
  const uint32_t dataSize = SizeField(file, 42);
  ASSERT_GE(file.size(), 46u + dataSize);
  EXPECT_LE(file.size() - 46 - dataSize, kStereoSecond + 1024);
  EXPECT_EQ(SizeField(file, 4), 38 + dataSize);
  EXPECT_EQ(Bytes(file.begin() + 46, file.begin() + 46 + dataSize),
            Bytes(data.begin(), data.begin() + dataSize));
  EXPECT_EQ(Soxi(output), std::to_string(dataSize / 4) + "\n");
}

TEST_F(RenderCliTest, ABatchRendersEachInputAsAloneGoesOnPastAFailureAndNamesIt) {
  // Inputs of different formats and rates (the effects are set up at each
  // file's own rate), one of them not a WAV file.
  const std::string outDir = dir.File("out");
  ASSERT_EQ(mkdir(outDir.c_str(), 0700), 0);
  const struct {
    const char* name;
    Bytes file;
  } inputs[] = {
      {"a.wav", BuildWave(PcmFormat(2, 44100, 16),
                          SampleBytes(Interleave(Noise(9000, 1), Sine(9000, 440, 44100, 20000))))},
      {"bad.wav", Bytes(100, 'x')},
      {"b.wav", BuildWave(PcmFormat(1, 11025, 8), Bytes(5001, 0x90))},
      {"c.wav", BuildWave(PcmFormat(2, 22050, 16), SampleBytes(Noise(2 * 7000, 2)))},
  };
  const std::vector<std::string> effects = {"--block",  "256",    "--effect", "delay",
                                            "--effect", "chorus", "--effect", "reverb"};
  std::vector<std::string> batch = effects;
  batch.insert(batch.end(), {"--jobs", "2", "--out-dir", outDir});
  for (const auto& input : inputs) {
    WriteFileBytes(dir.File(input.name), input.file);
    batch.push_back(dir.File(input.name));
  }
  const ProcessResult r = Render(batch);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_FALSE(FileExists(outDir + "/bad.wav"));
  // Each file's lines come whole, in the order the files end, with its name
  // in front: the error, or the levels a render of it alone reports.
  std::vector<std::string> expected = {dir.File("bad.wav") + ": Bad Wave Format!"};
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
    std::vector<std::string> single = effects;
    single.insert(single.end(), {dir.File(name), output});
    const ProcessResult alone = Render(single);
    ASSERT_EQ(alone.exitCode, 0) << name;
    const std::string prefix = "tonalith-render: ";
    ASSERT_EQ(alone.err.rfind(prefix, 0), 0u) << alone.err;
    expected.push_back(dir.File(name) + ": " +
                       alone.err.substr(prefix.size(), alone.err.size() - prefix.size() - 1));
    const Bytes file = ReadFileBytes(output);
    EXPECT_EQ(ParseWave(file).problem, "") << name;
    EXPECT_EQ(ReadFileBytes(outDir + "/" + name), file) << name;
  }
  std::vector<std::string> lines;
  for (size_t start = 0; start < r.err.size();) {
    const size_t end = r.err.find('\n', start);
    lines.push_back(r.err.substr(start, end - start));
    start = end == std::string::npos ? r.err.size() : end + 1;
  }
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "tonalith-render: 1 of 4 files failed");
  lines.pop_back();
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(lines, expected);
}

TEST_F(RenderCliTest, AStopSignalEndsEveryFileOfABatchAfterABlock) {
  // Two minutes through every effect in small blocks on two threads: far from
  // done when both outputs hold a second.
  const std::string outDir = dir.File("out");
  ASSERT_EQ(mkdir(outDir.c_str(), 0700), 0);
  std::vector<std::string> arguments = {"--block", "128", "--jobs", "2", "--out-dir", outDir};
  for (const char* effect :
       {"eq", "compression", "distortion", "autowah", "delay", "filtermod", "chorus", "reverb"}) {
    arguments.insert(arguments.end(), {"--effect", effect});
  }
  for (const char* name : {"one.wav", "two.wav"}) {
    WriteFileBytes(dir.File(name),
                   BuildWave(PcmFormat(2, 44100, 16), Bytes(60 * kStereoSecond, 0)));
    arguments.push_back(dir.File(name));
  }
  const std::string one = outDir + "/one.wav";
  const std::string two = outDir + "/two.wav";
  // A batch that ends by itself before the signal lands has lost a race with
  // this test on a loaded machine: it is tried again.
  int status = 0;
  for (int attempt = 0; attempt < 3 && WIFEXITED(status) && WEXITSTATUS(status) == 0; ++attempt) {
    std::remove(one.c_str());
    std::remove(two.c_str());
    const pid_t child = StartRender(arguments, [] { std::signal(SIGTERM, SIG_DFL); });
    while ((status = WaitFor(child, false)) == 0 &&
           std::min(FileSize(one), FileSize(two)) < 46 + kStereoSecond) {
      usleep(1000);
    }
    if (status == 0) {
      kill(child, SIGTERM);
      status = WaitFor(child);
    }
  }
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 143);
  for (const std::string& path : {one, two}) {
    const ParsedWave out = ParseWave(ReadFileBytes(path));
    EXPECT_EQ(out.problem, "") << path;
    EXPECT_GE(out.data.size(), kStereoSecond) << path;
    EXPECT_LT(out.data.size(), 60u * kStereoSecond) << path;
  }
}

// The file mode does not load what only the device modes need.
TEST_F(RenderCliTest, TheFileRendererLinksNeitherQtNorTheSoundSystem) {
  const ProcessResult r = RunProcess({"/usr/bin/readelf", "--dynamic", RenderPath()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("libc.so"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("libQt"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("libasound"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("libjack"), std::string::npos) << r.out;
}

// ALSA's own diagnostics ("ALSA lib ...") stay out of the way unless asked
// for: the engine's message carries the reason. A configuration whose default
// device names a PCM that does not exist makes ALSA complain on the open.
TEST_F(RenderCliTest, SoundSystemDiagnosticsAreShownOnlyWithVerbose) {
  const std::string config = "pcm.!default { type plug slave.pcm \"none\" }\n";
  WriteFileBytes(dir.File(".asoundrc"), Bytes(config.begin(), config.end()));
  WriteFileBytes(input, BuildWave(PcmFormat(2, 22050, 16), SampleBytes(Noise(2000, 4))));
  for (const bool verbose : {false, true}) {
    std::vector<std::string> run = {"/usr/bin/env",
                                    "HOME=" + dir.Path(),
                                    "XDG_CONFIG_HOME=" + dir.Path(),
                                    RenderPath(),
                                    "--quiet",
                                    input,
                                    "--output-device",
                                    "0"};
    if (verbose)
      run.push_back("--verbose");
    const ProcessResult r = RunProcess(run);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("No output device driver is present!\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(": No such file or directory\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("ALSA lib") != std::string::npos, verbose) << r.err;
  }
}
