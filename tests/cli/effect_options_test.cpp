// The generic part of `--effect SPEC`: splitting, channel prefixes, the keys
// every effect has, each kind of value with its range, and the refusals.
// A test binding stands in for the effects' own.

#include "cli/effect_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_effects.h"

using namespace test_support;

namespace {

std::vector<std::string> applied;  // what the test binding's apply saw

std::string Text(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

constexpr std::string_view kKinds[] = {"LowPass", "HighPass", "BandPass", "BandStop", "AllPass"};

void BindTestOptions(EffectOptionBinder& binder) {
  const auto gain = binder.Number("gain", -20, 60);
  const auto count = binder.Integer("count", 1, 16);
  const auto kind = binder.Choice("kind", kKinds);
  const auto gains = binder.NumberList("gains", 1, 16, -20, 60);
  const auto curve = binder.Curve("curve", 2, 127, -1, 1, 0, 2);
  binder.OnApply([=](Effect&, int32_t channel, int32_t rate, std::string* error) {
    std::string line = "ch" + std::to_string(channel) + " rate " + std::to_string(rate);
    if (gain[channel]) {
      line += " gain " + Text(*gain[channel]);
    }
    if (count[channel]) {
      line += " count " + std::to_string(*count[channel]);
    }
    if (kind[channel]) {
      line += " kind " + std::to_string(*kind[channel]);
    }
    if (gains[channel]) {
      line += " gains";
      for (double g : *gains[channel]) {
        line += " " + Text(g);
      }
    }
    if (curve[channel]) {
      line += " curve";
      for (const CurvePointValue& p : *curve[channel]) {
        line += " " + Text(p.x) + ":" + Text(p.y);
      }
    }
    applied.push_back(line);
    // A range that depends on the rate is checked here.
    if (gain[channel] && *gain[channel] > rate) {
      *error = "--effect test: gain must stay below the rate";
      return false;
    }
    return true;
  });
}

void BindNothing(EffectOptionBinder&) {}

const EffectBinding kTable[] = {
    {"test", 99, BindTestOptions},
    {"plain", 98, BindNothing},
};

EffectRequest Parse(const std::string& spec) {
  EffectRequest request;
  std::string error;
  EXPECT_TRUE(ParseEffectSpec(spec, kTable, &request, &error)) << spec << ": " << error;
  return request;
}

std::string Refusal(const std::string& spec) {
  EffectRequest request;
  std::string error;
  EXPECT_FALSE(ParseEffectSpec(spec, kTable, &request, &error)) << spec;
  EXPECT_EQ(error.find('\n'), std::string::npos);
  return error;
}

// Runs every apply of the request on one test effect per channel.
std::vector<std::string> Apply(const EffectRequest& request, int32_t rate = 44100) {
  applied.clear();
  OffsetEffect effects[2] = {OffsetEffect(0), OffsetEffect(0)};
  for (int32_t channel = 0; channel < 2; ++channel) {
    for (const EffectApplyFn& apply : request.applies) {
      std::string error;
      if (!apply(effects[channel], channel, rate, &error)) {
        applied.push_back("refused: " + error);
      }
    }
  }
  return applied;
}

}  // namespace

TEST(EffectOptions, ANameAloneKeepsEveryDefaultAndIsEnabled) {
  const EffectRequest request = Parse("test");
  EXPECT_EQ(request.name, "test");
  EXPECT_EQ(request.typeId, 99);
  EXPECT_FALSE(request.enabled[0]);
  EXPECT_FALSE(request.enabled[1]);
  EXPECT_EQ(Apply(request), (std::vector<std::string>{"ch0 rate 44100", "ch1 rate 44100"}));
}

TEST(EffectOptions, EachKindOfValueIsParsed) {
  const EffectRequest request =
      Parse("test:gain=-20,count=16,kind=BandStop,gains=1;-2.5;60,curve=-1:0;0:1.5;1:2");
  EXPECT_EQ(Apply(request)[0],
            "ch0 rate 44100 gain -20 count 16 kind 3 gains 1 -2.5 60 curve -1:0 0:1.5 1:2");
  EXPECT_EQ(Apply(Parse("test:kind=4"))[1], "ch1 rate 44100 kind 4");
}

TEST(EffectOptions, PrefixedKeysApplyToOneChannelAndWinOverThePlainKey) {
  const EffectRequest request =
      Parse("test:right.gain=5,gain=1,left.count=2,enabled=0,right.enabled=1");
  EXPECT_EQ(Apply(request),
            (std::vector<std::string>{"ch0 rate 44100 gain 1 count 2", "ch1 rate 44100 gain 5"}));
  EXPECT_EQ(request.enabled[0], 0);
  EXPECT_EQ(request.enabled[1], 1);
}

TEST(EffectOptions, MixKeysSetTheDryMixesOfBothEffects) {
  const EffectRequest request = Parse("plain:in=0,out=512,left.in=7");
  OffsetEffect left(0);
  OffsetEffect right(0);
  // The base class ignores mixes; what matters is that every key was taken
  // and the applies run without refusing.
  std::string error;
  for (const EffectApplyFn& apply : request.applies) {
    EXPECT_TRUE(apply(left, 0, 8000, &error));
    EXPECT_TRUE(apply(right, 1, 8000, &error));
  }
}

TEST(EffectOptions, RefusalsNameTheKeyAndWhatItAllows) {
  EXPECT_EQ(Refusal("echo"), "--effect: unknown effect \"echo\" (known: test, plain)");
  EXPECT_EQ(Refusal("test:gain=61"), "--effect test: gain=61: out of range (allowed: -20..60)");
  EXPECT_EQ(Refusal("test:left.gain=-21"),
            "--effect test: left.gain=-21: out of range (allowed: -20..60)");
  EXPECT_EQ(Refusal("test:gain=abc"), "--effect test: gain=abc: not a number (allowed: -20..60)");
  EXPECT_EQ(Refusal("test:count=2.5"),
            "--effect test: count=2.5: not a whole number (allowed: 1..16)");
  EXPECT_EQ(Refusal("test:kind=Notch"),
            "--effect test: kind=Notch: not one of the choices (allowed: "
            "0..4|LowPass|HighPass|BandPass|BandStop|AllPass)");
  EXPECT_EQ(Refusal("test:in=513"), "--effect test: in=513: out of range (allowed: 0..512)");
  EXPECT_EQ(Refusal("test:enabled=2"), "--effect test: enabled=2: out of range (allowed: 0..1)");
  EXPECT_EQ(Refusal("test:bogus=1"),
            "--effect test: unknown key \"bogus\" (keys: gain, count, kind, gains, curve, in, "
            "out, enabled, each also as left.KEY or right.KEY)");
  EXPECT_NE(Refusal("test:middle.gain=1").find("unknown key \"middle.gain\""), std::string::npos);
  EXPECT_EQ(Refusal("test:gain"),
            "--effect test: \"gain\" is not KEY=VALUE (SPEC is NAME[:KEY=VALUE[,KEY=VALUE]...])");
  EXPECT_NE(Refusal("test:gain=1,").find("is not KEY=VALUE"), std::string::npos);
}

TEST(EffectOptions, MalformedNumbersAreRefused) {
  for (const char* value : {"", " 1", "1 ", "1e999", "nan", "inf", "0x", "--1", "1,5"}) {
    const std::string spec = std::string("test:gain=") + value;
    EffectRequest request;
    std::string error;
    EXPECT_FALSE(ParseEffectSpec(spec, kTable, &request, &error)) << spec;
  }
}

TEST(EffectOptions, ListsAndCurvesAreCheckedItemByItem) {
  EXPECT_NE(Refusal("test:gains=1;;2").find("\"\" is not a number"), std::string::npos);
  EXPECT_NE(Refusal("test:gains=1;99").find("99 is out of range"), std::string::npos);
  std::string seventeen = "0";
  for (int i = 0; i < 16; ++i) {
    seventeen += ";0";
  }
  EXPECT_NE(Refusal("test:gains=" + seventeen).find("17 numbers"), std::string::npos);
  EXPECT_NE(Refusal("test:curve=0:1").find("1 points"), std::string::npos);
  EXPECT_NE(Refusal("test:curve=0:1;0:2").find("not strictly increasing"), std::string::npos);
  EXPECT_NE(Refusal("test:curve=0:1;-0.5:2").find("not strictly increasing"), std::string::npos);
  EXPECT_NE(Refusal("test:curve=0:1;1:3").find("1:3 is out of range"), std::string::npos);
  EXPECT_NE(Refusal("test:curve=0:1;1").find("\"1\" is not a point X:Y"), std::string::npos);
  EXPECT_NE(Refusal("test:curve=0:1;1:1:1").find("is not a point X:Y"), std::string::npos);
  std::string points = "-1:0";
  for (int i = 1; i < 127; ++i) {
    points += ';';
    points += Text(-1 + i / 64.0);
    points += ":0";
  }
  Parse("test:curve=" + points);  // 127 points fit
  EXPECT_NE(Refusal("test:curve=" + points + ";1.5:0").find("out of range"), std::string::npos);
}

TEST(EffectOptions, AnApplyCanRefuseARateDependentValue) {
  const std::vector<std::string> log = Apply(Parse("test:gain=50"), 40);
  EXPECT_EQ(log.back(), "refused: --effect test: gain must stay below the rate");
}

TEST(EffectOptions, AnEffectTheFactoryCannotBuildIsRefusedWhenAppended) {
  EffectChain left;
  EffectChain right;
  std::string error;
  EXPECT_FALSE(AppendRequestedEffect(Parse("test"), left, right, 44100, &error));
  EXPECT_EQ(error, "--effect test: this build cannot create the effect");
}

TEST(EffectOptions, TheDescriptionListsEveryKeyWithItsRange) {
  const std::string text = DescribeEffects(kTable);
  EXPECT_NE(text.find("test\n  gain -20..60\n  count 1..16\n"), std::string::npos) << text;
  EXPECT_NE(text.find("plain\n  in 0..512\n  out 0..512\n  enabled 0..1\n"), std::string::npos);
}
