// `--effect` for the equalizer and the dynamics and modulation effects: each
// key reaches the left and right settings records, and each end of each
// range is refused one step beyond it.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "cli/effect_options.h"
#include "effects/compression_effect.h"
#include "effects/distortion_effect.h"
#include "effects/effect_chain.h"
#include "effects/envelope_filter_effect.h"
#include "effects/equalizer_effect.h"
#include "effects/filter_modulation_effect.h"
#include "tests/support/run_process.h"
#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

namespace {

struct Applied {
  EffectChain left;
  EffectChain right;
  template <class T>
  T& Record(int32_t channel) {
    Effect* node = channel == 0 ? left.head : right.head;
    return *static_cast<T*>(node->settings);
  }
};

// Parses and applies a SPEC at `rate`; false with the message on refusal.
bool Apply(const std::string& spec, Applied& out, std::string* error, int32_t rate = 44100) {
  EffectRequest request;
  return ParseEffectSpec(spec, &request, error) &&
         AppendRequestedEffect(request, out.left, out.right, rate, error);
}

void ExpectRefused(const std::string& spec, const std::string& key) {
  Applied out;
  std::string error;
  EXPECT_FALSE(Apply(spec, out, &error)) << spec;
  EXPECT_NE(error.find(key), std::string::npos) << spec << ": " << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

}  // namespace

TEST(EqDynamicsOptions, EqualizerKeepsItsFlatCurveWithoutBandKeys) {
  Applied out;
  std::string error;
  ASSERT_TRUE(Apply("eq", out, &error)) << error;
  EXPECT_EQ(out.Record<EqualizerSettings>(0).curve.Count(), 2);
}

TEST(EqDynamicsOptions, EqualizerCurveFromGainsSpacingAndFrequencies) {
  Applied out;
  std::string error;
  ASSERT_TRUE(Apply("eq:gains=20;-60;3,spacing=1/2 Octaves,right.freqs=0;100", out, &error))
      << error;
  const EqualizerBandCurve expected = BuildEqualizerCurve({20, -60, 3}, 1);
  for (int32_t channel = 0; channel < 2; ++channel) {
    const EqualizerSettings& s = out.Record<EqualizerSettings>(channel);
    ASSERT_EQ(s.curve.Count(), 16);
    for (int32_t i = 0; i < 16; ++i) {
      EXPECT_EQ(s.curve.Points()[i].y, expected[i].y) << i;
      if (channel == 0 || i >= 2) {
        EXPECT_EQ(s.curve.Points()[i].x, expected[i].x) << i;
      }
    }
  }
  const EqualizerSettings& right = out.Record<EqualizerSettings>(1);
  EXPECT_EQ(right.curve.Points()[0].x, 0.0f);
  EXPECT_EQ(right.curve.Points()[1].x, static_cast<float>(100.0 / 44100 * 6.283185307));
}

TEST(EqDynamicsOptions, EqualizerRefusals) {
  ExpectRefused("eq:gains=21", "gains");
  ExpectRefused("eq:gains=-61", "gains");
  ExpectRefused("eq:gains=0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0", "gains");
  ExpectRefused("eq:spacing=4", "spacing");
  ExpectRefused("eq:freqs=0;22051", "freqs");
  ExpectRefused("eq:freqs=-1", "freqs");
  ExpectRefused("eq:freqs=0;5000;4000", "freqs");
}

TEST(EqDynamicsOptions, DistortionKeysAndRanges) {
  Applied out;
  std::string error;
  ASSERT_TRUE(
      Apply("distortion:feedback=-128,preFilterHz=500,right.curve=-32768:-32767;0:100;"
            "32768:32767,in=0,out=512",
            out, &error))
      << error;
  const DistortionSettings& left = out.Record<DistortionSettings>(0);
  const DistortionSettings& right = out.Record<DistortionSettings>(1);
  EXPECT_EQ(left.feedback, -128);
  EXPECT_EQ(right.preFilter.preFilterHz, 500.0f);
  EXPECT_EQ(left.curve.Count(), 2);
  ASSERT_EQ(right.curve.Count(), 3);
  EXPECT_EQ(right.curve.Points()[1].y, 100.0f);
  EXPECT_EQ(left.dryInputGain, 0);
  EXPECT_EQ(right.dryOutputGain, 361);
  ExpectRefused("distortion:feedback=129", "feedback");
  ExpectRefused("distortion:feedback=-129", "feedback");
  ExpectRefused("distortion:preFilterHz=499", "preFilterHz");
  ExpectRefused("distortion:preFilterHz=16001", "preFilterHz");
  ExpectRefused("distortion:curve=-32769:0;0:0", "curve");
  ExpectRefused("distortion:curve=0:32768;1:0", "curve");
  ExpectRefused("distortion:curve=5:0;5:1", "curve");
  ExpectRefused("distortion:curve=1:0;1.00000001:1", "curve");
}

TEST(EqDynamicsOptions, CompressionKeysAndRanges) {
  Applied out;
  std::string error;
  ASSERT_TRUE(Apply("compression:envelopeDelayMs=50,curve=0:40;16000:0;32768:-40", out, &error))
      << error;
  const CompressionSettings& s = out.Record<CompressionSettings>(1);
  EXPECT_EQ(s.envelopeDelayMs, 50.0f);
  ASSERT_EQ(s.curve.Count(), 3);
  EXPECT_EQ(s.curve.Points()[2].y, -40.0f);
  ExpectRefused("compression:envelopeDelayMs=0.9", "envelopeDelayMs");
  ExpectRefused("compression:envelopeDelayMs=51", "envelopeDelayMs");
  ExpectRefused("compression:curve=0:41;32768:0", "curve");
  ExpectRefused("compression:curve=-1:0;32768:0", "curve");
  ExpectRefused("compression:curve=0:0;32769:0", "curve");
}

TEST(EqDynamicsOptions, AutoWahKeysByIndexOrText) {
  Applied out;
  std::string error;
  ASSERT_TRUE(
      Apply("autowah:filterKind=BandPass,sweepScaling=Rev.Exponential,initialCutoff=100,"
            "initialResonance=100,finalCutoff=22000,finalResonance=0.5,"
            "right.finalResonance=0.75,right.filterKind=4",
            out, &error))
      << error;
  const EnvelopeFilterSettings& left = out.Record<EnvelopeFilterSettings>(0);
  const EnvelopeFilterSettings& right = out.Record<EnvelopeFilterSettings>(1);
  EXPECT_EQ(left.filterKind, 2);
  EXPECT_EQ(right.filterKind, 4);
  EXPECT_EQ(left.sweepScaling, 2);
  EXPECT_EQ(left.initialResonance, 100.0f);
  EXPECT_EQ(left.finalCutoff, 22000.0f);
  EXPECT_EQ(left.finalResonance, 0.5f);
  EXPECT_EQ(right.finalResonance, 0.75f);
  ExpectRefused("autowah:filterKind=5", "filterKind");
  ExpectRefused("autowah:sweepScaling=3", "sweepScaling");
  ExpectRefused("autowah:initialCutoff=99", "initialCutoff");
  ExpectRefused("autowah:finalCutoff=22001", "finalCutoff");
  ExpectRefused("autowah:initialResonance=0.49", "initialResonance");
  ExpectRefused("autowah:initialResonance=101", "initialResonance");
  // The left channel's final resonance stops at 0.5, the right one's at 0.01.
  ExpectRefused("autowah:finalResonance=0.2", "finalResonance");
  ExpectRefused("autowah:right.finalResonance=0.4", "finalResonance");
}

TEST(EqDynamicsOptions, FilterModKeysAndRanges) {
  Applied out;
  std::string error;
  ASSERT_TRUE(
      Apply("filtermod:modulatorLengthMs=16000,filterKind=1,sweepScaling=Exponential", out, &error))
      << error;
  const FilterModulationSettings& s = out.Record<FilterModulationSettings>(0);
  EXPECT_EQ(s.modulatorLengthMs, 16000.0f);
  EXPECT_EQ(s.filterKind, 1);
  EXPECT_EQ(s.sweepScaling, 1);
  ExpectRefused("filtermod:modulatorLengthMs=99", "modulatorLengthMs");
  ExpectRefused("filtermod:modulatorLengthMs=16001", "modulatorLengthMs");
  ExpectRefused("filtermod:finalResonance=0.3", "finalResonance");
  ExpectRefused("filtermod:delayMs=3", "delayMs");
}

// The renderer runs each of these effects on a file and refuses out-of-range
// values before creating any output.
TEST(EqDynamicsOptions, RendererRunsEachEffectAndRefusesOutOfRange) {
  using namespace test_support;
  TempDir dir;
  const std::string input = dir.File("in.wav");
  std::vector<int16_t> samples(2 * 11025);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(20000 * std::sin(0.05 * static_cast<double>(i / 2)));
  }
  WriteFileBytes(input, BuildWave(PcmFormat(2, 22050, 16), SampleBytes(samples)));
  for (const char* spec :
       {"eq:gains=20;0;-20;6,spacing=1/4 Octaves", "eq:freqs=0;1000;2000", "distortion:feedback=64",
        "compression:curve=0:0;32768:-40", "autowah:filterKind=BandPass",
        "filtermod:modulatorLengthMs=100,sweepScaling=Exponential"}) {
    const std::string output = dir.File("out.wav");
    const ProcessResult run =
        RunProcess({RenderPath(), "--quiet", "--effect", spec, input, output});
    EXPECT_EQ(run.exitCode, 0) << spec << ": " << run.err;
    const ParsedWave parsed = ParseWave(ReadFileBytes(output));
    EXPECT_EQ(parsed.problem, "") << spec;
    EXPECT_EQ(parsed.data.size(), samples.size() * 2) << spec;
    EXPECT_NE(SamplesFromBytes(parsed.data), samples) << spec;
  }
  const std::string refused = dir.File("refused.wav");
  const ProcessResult run = RunProcess(
      {RenderPath(), "--quiet", "--effect", "filtermod:modulatorLengthMs=99", input, refused});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("modulatorLengthMs"), std::string::npos) << run.err;
  EXPECT_FALSE(FileExists(refused));
}
