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

TEST(RenderOptions, HelpAndListEffectsNeedNoOperands) {
  EXPECT_EQ(Parse({"--help"}).options.mode, RenderMode::kHelp);
  EXPECT_EQ(Parse({"--list-effects"}).options.mode, RenderMode::kListEffects);
  EXPECT_NE(RenderUsage().find("tonalith-render [--block BYTES] [--effect SPEC]... [--quiet] "
                               "INPUT.wav OUTPUT.wav"),
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
