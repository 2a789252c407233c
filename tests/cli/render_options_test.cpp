// The command line's options and operands, and its refusals.

#include "cli/render_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/terminal_output.h"

namespace {

struct Parsed {
  bool ok;
  RenderOptions options;
  std::string error;
};

Parsed Parse(const std::vector<std::string>& arguments) {
  Parsed parsed;
  parsed.ok = ParseRenderArguments(arguments, &parsed.options, &parsed.error);
  return parsed;
}

}  // namespace

TEST(RenderOptions, DefaultsAndOperands) {
  const Parsed p = Parse({"in.wav", "out.wav"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.mode, RenderMode::kFileToFile);
  EXPECT_EQ(p.options.blockBytes, 1024);
  EXPECT_FALSE(p.options.quiet);
  EXPECT_TRUE(p.options.effects.empty());
  EXPECT_EQ(p.options.operands, (std::vector<std::string>{"in.wav", "out.wav"}));
}

TEST(RenderOptions, EveryBlockLengthOfTheEngineIsTakenInBothForms) {
  for (const int32_t bytes : kBlockBytesChoices) {
    const std::string text = std::to_string(bytes);
    EXPECT_EQ(Parse({"--block", text, "a", "b"}).options.blockBytes, bytes);
    EXPECT_EQ(Parse({"a", "--block=" + text, "b"}).options.blockBytes, bytes);
  }
  const Parsed quiet = Parse({"--quiet", "a", "b"});
  EXPECT_TRUE(quiet.options.quiet);
}

TEST(RenderOptions, TailIsAutoOrSecondsUpToThirty) {
  EXPECT_EQ(Parse({"a", "b"}).options.tail.mode, TailMode::kNone);
  EXPECT_EQ(Parse({"--tail", "auto", "a", "b"}).options.tail.mode, TailMode::kUntilQuiet);
  EXPECT_EQ(Parse({"--tail=0", "a", "b"}).options.tail.mode, TailMode::kNone);
  const RunTail fixed = Parse({"--tail", "2.5", "a", "b"}).options.tail;
  EXPECT_EQ(fixed.mode, TailMode::kFixed);
  EXPECT_EQ(fixed.seconds, 2.5);
  EXPECT_EQ(Parse({"--tail", "30", "a", "b"}).options.tail.seconds, 30);
}

TEST(RenderOptions, RefusalsAreOneLine) {
  const std::string blocks = "(allowed: 128, 256, 512, 1024, 2048, 4096, 8192)";
  for (const char* value : {"100", "64", "16384", "1024.0", "01024", "", "x"}) {
    const Parsed p = Parse({"--block", value, "a", "b"});
    EXPECT_FALSE(p.ok) << value;
    EXPECT_EQ(p.error, "--block: \"" + std::string(value) + "\" is not a block length " + blocks);
  }
  EXPECT_EQ(Parse({"a", "b", "--block"}).error, "--block needs a value BYTES");
  EXPECT_EQ(Parse({"--bogus", "a", "b"}).error, "unknown option \"--bogus\" (see --help)");
  EXPECT_EQ(Parse({"--quiet=1", "a", "b"}).error, "--quiet takes no value");
  EXPECT_EQ(Parse({"a"}).error, "expected INPUT.wav and OUTPUT.wav (see --help)");
  EXPECT_EQ(Parse({"a", "b", "c"}).error, "expected INPUT.wav and OUTPUT.wav (see --help)");
  EXPECT_EQ(Parse({}).error, "expected INPUT.wav and OUTPUT.wav (see --help)");
  const Parsed effect = Parse({"--effect", "nosuch", "a", "b"});
  EXPECT_FALSE(effect.ok);
  EXPECT_EQ(effect.error.rfind("--effect: unknown effect \"nosuch\"", 0), 0u);
}

TEST(RenderOptions, ContradictoryOrDoubtfulCommandLinesAreRefusedOnOneLine) {
  const std::string sixty(60, 'x');
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } cases[] = {
      {{"--effect", "delay:left.right.delayMs=50", "a", "b"},
       "--effect delay: unknown key \"left.right.delayMs\" (keys: delayMs, in, out, enabled, each "
       "also as left.KEY or right.KEY)"},
      {{"--effect", "delay:delayMs=50,in=3,delayMs=80", "a", "b"},
       "--effect delay: key \"delayMs\" given twice"},
      {{"--effect", "delay:right.in=1,in=2,right.in=3", "a", "b"},
       "--effect delay: key \"right.in\" given twice"},
      {{"--seconds", "3", "a", "b"},
       "--seconds is only for runs with --input-device or --output-device"},
      {{"a", "--rate", "22000", "b"},
       "--rate is only for runs with --input-device or --output-device"},
      {{"--channels=1", "a", "b"},
       "--channels is only for runs with --input-device or "
       "--output-device"},
      {{"--bits", "8", "a", "b"}, "--bits is only for runs with --input-device or --output-device"},
      {{"--buffers", "8", "a", "b"},
       "--buffers is only for runs with --input-device or --output-device"},
      {{"--help", "a"}, "--help takes no INPUT or OUTPUT (\"a\" given)"},
      {{"x", "--list-effects"}, "--list-effects takes no INPUT or OUTPUT (\"x\" given)"},
      {{"--list-devices", "a", "b"}, "--list-devices takes no INPUT or OUTPUT (\"a\" given)"},
      {{"--tail", "30.5", "a", "b"},
       "--tail: \"30.5\" is not auto or a number of seconds from 0 to 30"},
      {{"--tail", "-1", "a", "b"},
       "--tail: \"-1\" is not auto or a number of seconds from 0 to 30"},
      {{"--tail", "Auto", "a", "b"},
       "--tail: \"Auto\" is not auto or a number of seconds from 0 to 30"},
      {{"--tail", "auto", "--output-device", "0", "a"},
       "--tail is only for runs from INPUT.wav to OUTPUT.wav"},
      // Batches.
      {{"--out-dir", "d", "x/a.wav", "b.wav", "y/a.wav"},
       "--out-dir: \"x/a.wav\" and \"y/a.wav\" would both be written to d/a.wav"},
      {{"--out-dir", "d\x01\t", "x/a.wav", "y/a.wav"},
       "--out-dir: \"x/a.wav\" and \"y/a.wav\" would both be written to d\\x01\\t/a.wav"},
      {{"--out-dir", "d/", "x/"}, "--out-dir: \"x/\" names no file"},
      {{"--out-dir", "d"}, "expected INPUT.wav... with --out-dir (see --help)"},
      {{"--out-dir="}, "--out-dir needs a folder"},
      {{"--jobs", "2", "a", "b"}, "--jobs is only for renders with --out-dir"},
      {{"--jobs", "0", "--out-dir", "d", "a"}, "--jobs: \"0\" is not a number from 1 to 1024"},
      {{"--out-dir", "d", "--output-device", "0", "a"},
       "--out-dir takes no --input-device or --output-device"},
      {{"--out-dir", "d", "--rate", "22000", "a"},
       "--rate is only for runs with --input-device or --output-device"},
      // A range that follows another key names the key given.
      {{"--effect", "chorus:initialDelayMs=60", "a", "b"},
       "--effect chorus: initialDelayMs=60: out of range (allowed: 1..finalDelayMs-1, here 1..9)"},
      {{"--effect", "chorus:initialDelayMs=60,finalDelayMs=50", "a", "b"},
       "--effect chorus: finalDelayMs=50: out of range (allowed: initialDelayMs+1..100, here "
       "61..100)"},
      {{"--effect", "reverb:minEchoMs=80", "a", "b"},
       "--effect reverb: minEchoMs=80: out of range (allowed: 1..maxEchoMs-1, here 1..24)"},
      // Too small or too large for a number.
      {{"--effect", "delay:delayMs=1e-400", "a", "b"},
       "--effect delay: delayMs=1e-400: out of range (allowed: 0..100)"},
      {{"--effect", "delay:out=99999999999999999999", "a", "b"},
       "--effect delay: out=99999999999999999999: out of range (allowed: 0..512)"},
      {{"--effect", "eq:gains=1;1e-400", "a", "b"},
       "--effect eq: gains=1;1e-400: 1e-400 is out of range (allowed: 1..16 numbers -60..20 "
       "separated by ';')"},
      // Control characters escaped, long values cut.
      {{"--effect", "delay:delayMs=5\n\t\x1b", "a", "b"},
       "--effect delay: delayMs=5\\n\\t\\x1b: not a number (allowed: 0..100)"},
      {{"--block", sixty + "yz", "a", "b"},
       "--block: \"" + sixty +
           "\u2026\" is not a block length (allowed: 128, 256, 512, 1024, 2048, "
           "4096, 8192)"},
      {{"--effect", "\r" + sixty},
       "--effect: unknown effect \"\\r" + sixty.substr(1) +
           "\u2026\" (known: delay, chorus, reverb, eq, distortion, "
           "compression, autowah, filtermod)"},
  };
  for (const auto& c : cases) {
    Parsed p = Parse(c.arguments);
    std::string error = p.error;
    for (size_t i = 0; p.ok && i < p.options.effects.size(); ++i) {
      EffectChain left;
      EffectChain right;
      p.ok = AppendRequestedEffect(p.options.effects[i], left, right, 44100, &error);
    }
    EXPECT_FALSE(p.ok) << c.arguments[1];
    EXPECT_EQ(error, c.error);
  }
}

TEST(RenderOptions, HelpAndListEffectsNeedNoOperands) {
  EXPECT_EQ(Parse({"--help"}).options.mode, RenderMode::kHelp);
  EXPECT_EQ(Parse({"--list-effects"}).options.mode, RenderMode::kListEffects);
  EXPECT_NE(RenderUsage().find("tonalith-render [--block BYTES] [--effect SPEC]... "
                               "[--tail auto|SECONDS] [--quiet]\n                  INPUT.wav "
                               "OUTPUT.wav"),
            std::string::npos);
}

TEST(RenderOptions, DoubleDashEndsTheOptions) {
  const Parsed p = Parse({"--", "--in.wav", "-"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.operands, (std::vector<std::string>{"--in.wav", "-"}));
}

TEST(TerminalProgress, DrawsWhenThePercentageChangesAndClearsAtZero) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  TerminalProgress bar(stream);
  bar.SetProgress(0);  // nothing drawn yet: nothing to clear
  bar.SetProgress(16384);
  bar.SetProgress(16390);  // still 50 %
  bar.SetProgress(32768);
  bar.SetProgress(0);
  std::rewind(stream);
  std::string text;
  for (int c; (c = std::fgetc(stream)) != EOF;) {
    text += static_cast<char>(c);
  }
  std::fclose(stream);
  EXPECT_EQ(text, "\r[" + std::string(20, '#') + std::string(20, '.') + "]  50%" + "\r[" +
                      std::string(40, '#') + "] 100%" + "\r\033[K");
}
