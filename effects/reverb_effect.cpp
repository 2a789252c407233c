#include "effects/reverb_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/saturate.h"
#include "effects/effect_factory.h"
#include "effects/parameter_limit.h"

namespace {
constexpr int32_t kAllpassGain = 180;
// Feedback of each later comb relative to the one before.
constexpr double kCombGainRatio = 0.99;

// Each comb's share of the output level: level / N x 512, so the N combs
// together contribute twice the level.
int32_t CombOutputGain(float level, int32_t combs) {
  return static_cast<int32_t>(level / static_cast<float>(combs) * 512.0f);
}

// A line one longer than its delay: the read position starts one ahead of
// the write position.
template <typename Line>
void AllocateLine(Line& line, int32_t delay, int32_t gain) {
  line.Allocate(delay + 1, delay);
  line.gain = gain;
}
}  // namespace

int32_t AvoidSmallDivisors(int32_t a) {
  for (int32_t i = 2; i <= 100; ++i) {
    if (a % i == 0) {
      ++a;
    }
  }
  return a;
}

ReverbEffect::ReverbEffect(float minEchoMs, float maxEchoMs, float lowCutHz, float highCutHz,
                           float reverbTimeMs, int32_t echoCount, float dryInputMix,
                           float dryOutputMix)
    : FloatMixEffect(EffectNodeName(kReverbEffectId), kReverbEffectId, &record,
                     &ReverbEffect::ProcessCallback) {
  record.minEchoMs = minEchoMs;
  record.maxEchoMs = maxEchoMs;
  record.lowCutHz = lowCutHz;
  record.highCutHz = highCutHz;
  record.reverbTimeMs = reverbTimeMs;
  record.echoCount = echoCount;
  record.requestedEchoCount = echoCount;
  record.dryInputMix = dryInputMix;
  record.dryOutputMix = dryOutputMix;
  record.mix.gains.assign(kMaxReverbCombs + 1, 0);
}

ReverbEffect::~ReverbEffect() {
  Release();
}

void ReverbEffect::Prepare(void* /*settings: always this node's record*/, int32_t blockFrames,
                           int32_t sampleRate) {
  if (prepared) {
    return;
  }
  ReverbSettings& s = record;
  const auto sr = static_cast<float>(sampleRate);

  s.bandPass = DesignedBiquad(FilterKind::BandPass, s.lowCutHz / sr * 2.0f, s.highCutHz / sr * 2.0f,
                              0.707f, 0.5f);

  // The bank needs at least two combs (the echo times are spread over N - 1
  // steps) and has room for 16; the Reverb page keeps the count there.
  const int32_t n =
      std::clamp(s.requestedEchoCount, ReverbSettings::kMinEchoCount, kMaxReverbCombs);
  s.echoCount = n;
  s.mix.AllocateBlocks(n + 1, blockFrames);
  s.scratch.assign(static_cast<size_t>(blockFrames), 0);
  s.mix.gains[0] = float_mix::GainFromLevel(s.dryInputMix);

  // The comb lengths and their feedback come from these three; a value out
  // of range would give lines of negative or absurd length.
  using S = ReverbSettings;
  const float minEchoMs = LimitParameter(s.minEchoMs, S::kMinMinEchoMs, S::kMaxMaxEchoMs);
  const float maxEchoMs = LimitParameter(s.maxEchoMs, S::kMinMinEchoMs, S::kMaxMaxEchoMs);
  const float reverbTimeMs =
      LimitParameter(s.reverbTimeMs, S::kMinReverbTimeMs, S::kMaxReverbTimeMs);
  const auto first = static_cast<int32_t>(minEchoMs * sr * 0.001);
  const auto perMs = static_cast<int32_t>(sr * 0.001);
  const auto last = static_cast<int32_t>(maxEchoMs * sr * 0.001);
  const int32_t step = (last - first) / (n - 1);
  // Feedback that takes the longest echo down by 60 dB over reverbTimeMs.
  auto g = static_cast<float>(std::pow(0.001, static_cast<double>(maxEchoMs / reverbTimeMs)));
  for (int32_t i = 0; i < n; ++i) {
    AllocateLine(s.combs[static_cast<size_t>(i)], AvoidSmallDivisors(first + i * step),
                 static_cast<int32_t>(g * 256.0f));
    g = static_cast<float>(g * kCombGainRatio);
    s.mix.gains[static_cast<size_t>(i + 1)] = CombOutputGain(s.dryOutputMix, n);
  }

  AllocateLine(s.allpass1, AvoidSmallDivisors(static_cast<int32_t>(perMs * 0.47)), kAllpassGain);
  AllocateLine(s.allpass2, AvoidSmallDivisors(static_cast<int32_t>(perMs * 0.59)), kAllpassGain);
  prepared = 1;
}

int32_t ReverbEffect::ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                      int32_t count) {
  auto* s = static_cast<ReverbSettings*>(settings);
  int16_t* scratch = s->scratch.data();
  // The comb outputs sit at a stride of this call's length.
  int16_t* outputs = s->mix.extraSignals.data();
  RunBiquad(source, scratch, &s->bandPass, count);
  RunAllpass(scratch, outputs, &s->allpass1, count);
  RunAllpass(outputs, scratch, &s->allpass2, count);
  for (int32_t i = 0; i < s->echoCount; ++i) {
    RunComb(scratch, outputs + static_cast<ptrdiff_t>(i) * count, &s->combs[static_cast<size_t>(i)],
            count);
  }
  MixSignals(source, destination, &s->mix, count);
  return 0;
}

void ReverbEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  ReverbSettings& s = record;
  s.scratch = {};
  s.combs = {};
  s.allpass1 = {};
  s.allpass2 = {};
  s.mix.FreeBlocks();
}

void ReverbEffect::SetDryOutputMix(int32_t position) {
  record.dryOutputMix = float_mix::LevelFromPosition(position);
  // The count is the prepared one (or the constructor's); held inside the
  // gain array whatever it holds.
  const int32_t n = std::clamp(record.echoCount, 1, kMaxReverbCombs);
  for (int32_t i = 1; i <= n; ++i) {
    record.mix.gains[static_cast<size_t>(i)] = CombOutputGain(record.dryOutputMix, n);
  }
}
