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

void SetUpAllpass(AllpassDelay& allpass, std::vector<int32_t>& line, int32_t delay) {
  allpass.delay = delay;
  allpass.length = delay + 1;
  allpass.writePosition = 0;
  allpass.readPosition = 1;
  allpass.gain = kAllpassGain;
  line.assign(static_cast<size_t>(allpass.length), 0);
  allpass.buffer = line.data();
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
    : FloatMixEffect("Reverb Effect", kReverbEffectId, &record, &ReverbEffect::ProcessCallback) {
  record.minEchoMs = minEchoMs;
  record.maxEchoMs = maxEchoMs;
  record.lowCutHz = lowCutHz;
  record.highCutHz = highCutHz;
  record.reverbTimeMs = reverbTimeMs;
  record.echoCount = echoCount;
  record.requestedEchoCount = echoCount;
  record.dryInputMix = dryInputMix;
  record.dryOutputMix = dryOutputMix;
  record.gains.assign(kMaxReverbCombs + 1, 0);
  record.mix.gains = record.gains.data();
}

ReverbEffect::~ReverbEffect() {
  Release();
}

void ReverbEffect::Prepare(void* /*settings: always this node's record*/, int32_t blockLength,
                           int32_t sampleRate) {
  if (prepared) {
    return;
  }
  ReverbSettings& s = record;
  const auto sr = static_cast<float>(sampleRate);
  const auto block = static_cast<size_t>(blockLength);

  s.bandPassCoefficients.assign(kBiquadCoefficientCount, 0);
  s.bandPassHistory.assign(kBiquadHistoryCount, 0);
  BiquadSection& f = s.bandPass;
  f.coefficients = s.bandPassCoefficients.data();
  f.history = s.bandPassHistory.data();
  f.ringPosition = 0;
  f.gain = 0.5f;
  f.kind = FilterKind::BandPass;
  f.f1 = s.lowCutHz / sr * 2.0f;
  f.f2 = s.highCutHz / sr * 2.0f;
  DesignBiquad(&f);

  // The bank needs at least two combs (the echo times are spread over N - 1
  // steps) and has room for 16; the Reverb page keeps the count there.
  const int32_t n =
      std::clamp(s.requestedEchoCount, ReverbSettings::kMinEchoCount, kMaxReverbCombs);
  s.echoCount = n;
  s.mix.signalCount = n + 1;
  s.combOutputs.assign(static_cast<size_t>(n + 1) * block, 0);
  s.accumulator.assign(block, 0);
  s.scratch.assign(block, 0);
  s.mix.extraSignals = s.combOutputs.data();
  s.mix.accumulator = s.accumulator.data();
  s.gains[0] = float_mix::GainFromLevel(s.dryInputMix);

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
    CombDelay& comb = s.combs[static_cast<size_t>(i)];
    comb.delay = AvoidSmallDivisors(first + i * step);
    comb.length = comb.delay + 1;
    comb.writePosition = 0;
    comb.readPosition = 1;
    comb.gain = static_cast<int32_t>(g * 256.0f);
    g = static_cast<float>(g * kCombGainRatio);
    std::vector<int16_t>& line = s.combLines[static_cast<size_t>(i)];
    line.assign(static_cast<size_t>(comb.length), 0);
    comb.buffer = line.data();
    s.gains[static_cast<size_t>(i + 1)] = CombOutputGain(s.dryOutputMix, n);
  }

  SetUpAllpass(s.allpass1, s.allpass1Line, AvoidSmallDivisors(static_cast<int32_t>(perMs * 0.47)));
  SetUpAllpass(s.allpass2, s.allpass2Line, AvoidSmallDivisors(static_cast<int32_t>(perMs * 0.59)));
  prepared = 1;
}

int32_t ReverbEffect::ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                      int32_t count) {
  auto* s = static_cast<ReverbSettings*>(settings);
  int16_t* scratch = s->scratch.data();
  // The comb outputs sit at a stride of this call's length.
  int16_t* outputs = s->combOutputs.data();
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
  s.bandPassCoefficients = {};
  s.bandPassHistory = {};
  s.bandPass.coefficients = nullptr;
  s.bandPass.history = nullptr;
  for (int32_t i = 0; i < s.echoCount; ++i) {
    s.combLines[static_cast<size_t>(i)] = {};
    s.combs[static_cast<size_t>(i)].buffer = nullptr;
  }
  s.combOutputs = {};
  s.accumulator = {};
  s.scratch = {};
  s.mix.extraSignals = nullptr;
  s.mix.accumulator = nullptr;
  s.allpass1Line = {};
  s.allpass2Line = {};
  s.allpass1.buffer = nullptr;
  s.allpass2.buffer = nullptr;
}

void ReverbEffect::SetDryOutputMix(int32_t position) {
  record.dryOutputMix = float_mix::LevelFromPosition(position);
  // The count is the prepared one (or the constructor's); held inside the
  // gain array whatever it holds.
  const int32_t n = std::clamp(record.echoCount, 1, kMaxReverbCombs);
  for (int32_t i = 1; i <= n; ++i) {
    record.gains[static_cast<size_t>(i)] = CombOutputGain(record.dryOutputMix, n);
  }
}
