#include "effects/chorus_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/angles.h"
#include "dsp/saturate.h"
#include "dsp/wrap32.h"
#include "effects/effect_factory.h"
#include "effects/parameter_limit.h"

namespace {
constexpr int32_t kTableLength = 256;
constexpr double kPeak = 4096.0;
}  // namespace

ChorusEffect::ChorusEffect(float preFilterHz, float initialDelayMs, float finalDelayMs,
                           float modLengthMs, float feedbackPercent, float dryInputMix,
                           float dryOutputMix)
    : FloatMixEffect(EffectNodeName(kChorusEffectId), kChorusEffectId, &record,
                     &ChorusEffect::ProcessCallback) {
  record.preFilterHz = preFilterHz;
  record.initialDelayMs = initialDelayMs;
  record.finalDelayMs = finalDelayMs;
  record.modLengthMs = modLengthMs;
  record.feedbackPercent = feedbackPercent;
  record.dryInputMix = dryInputMix;
  record.dryOutputMix = dryOutputMix;
  record.mix.gains.assign(2, 0);
}

ChorusEffect::~ChorusEffect() {
  Release();
}

void ChorusEffect::Prepare(void* /*settings: always this node's record*/, int32_t blockFrames,
                           int32_t sampleRate) {
  if (prepared) {
    return;
  }
  ChorusSettings& s = record;
  const auto sr = static_cast<float>(sampleRate);

  // Pre-filter: a low-pass at preFilterHz.
  s.preFilter = DesignedBiquad(FilterKind::LowPass, 2.0f * s.preFilterHz / sr, 0.0f, 0.707f, 1.0f);

  s.mix.AllocateBlocks(2, blockFrames);
  s.mix.gains[0] = float_mix::GainFromLevel(s.dryInputMix);
  s.mix.gains[1] = float_mix::GainFromLevel(s.dryOutputMix);

  // The line, the sweep and the oscillator are sized from these three; a
  // value out of range would give a line of negative or absurd length or an
  // oscillator without a period.
  using S = ChorusSettings;
  const float initialDelayMs =
      LimitParameter(s.initialDelayMs, S::kMinInitialDelayMs, S::kMaxFinalDelayMs);
  const float finalDelayMs =
      LimitParameter(s.finalDelayMs, S::kMinInitialDelayMs, S::kMaxFinalDelayMs);
  const float modLengthMs = LimitParameter(s.modLengthMs, S::kMinModLengthMs, S::kMaxModLengthMs);

  // The line starts at the longest delay: F samples between write and read,
  // at least one, so that the read position starts inside the line.
  const int32_t finalDelay = std::max(static_cast<int32_t>(finalDelayMs * sr * 0.001), 1);
  s.lineLength = finalDelay + blockFrames;
  s.writeIndex = 0;
  s.readIndex = blockFrames;
  s.readFraction = 0;
  s.line.assign(static_cast<size_t>(s.lineLength), 0);

  Wavetable& lfo = s.lfo;
  lfo.table.resize(kTableLength);
  for (int32_t i = 0; i < kTableLength; ++i) {
    lfo.table[static_cast<size_t>(i)] =
        static_cast<int16_t>(std::sin(i * angles::kTableStep256) * kPeak);
  }
  lfo.position = 0;
  lfo.fraction = 0;
  lfo.wrap = kTableLength;

  // The oscillator's depth makes the read position gain the whole sweep of
  // D samples over the rising half period: the sum S of the truncated half
  // sine over M + 1 points is what the table delivers there.
  const auto halfPeriod = static_cast<int32_t>(modLengthMs * sr * 0.0005);
  int64_t sineSum = 0;
  for (int32_t k = 0; k <= halfPeriod; ++k) {
    sineSum +=
        static_cast<int32_t>(std::sin(static_cast<double>(k) / halfPeriod * angles::kPi) * kPeak);
  }
  const double period = modLengthMs * sr * 0.001;
  lfo.increment = static_cast<int32_t>(kTableLength / period * kPeak);
  const double sweep = (finalDelayMs - initialDelayMs) * sr * 0.001;
  lfo.depth = static_cast<int32_t>(sweep / (static_cast<double>(sineSum) / kPeak) * kPeak);

  s.modulation.assign(static_cast<size_t>(blockFrames), 0);
  s.feedbackCoef = static_cast<int32_t>(s.feedbackPercent * 2.56);
  s.lastWet = 0;
  prepared = 1;
}

int32_t ChorusEffect::ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                      int32_t count) {
  auto* s = static_cast<ChorusSettings*>(settings);
  // The destination holds the filtered input until the mix overwrites it.
  RunBiquad(source, destination, &s->preFilter, count);
  const int16_t* x = destination;
  const int16_t* m = s->modulation.data();
  RunWavetable(nullptr, s->modulation.data(), &s->lfo, count);

  int16_t* line = s->line.data();
  int16_t* wet = s->mix.extraSignals.data();
  const int32_t length = s->lineLength;
  const int32_t feedback = s->feedbackCoef;
  int32_t write = s->writeIndex;
  int32_t read = s->readIndex;
  int32_t next = read + 1 == length ? 0 : read + 1;
  int32_t fraction = s->readFraction;
  int32_t lastWet = s->lastWet;
  int32_t d = line[read];
  int32_t h = line[next] - d;
  for (int32_t n = 0; n < count; ++n) {
    // The fed-back share is truncated toward zero, so that the loop dies out
    // after the input stops instead of circulating a -1 for ever.
    const int32_t v =
        Saturate(Wrap32(static_cast<int64_t>(x[n]) + MulDiv256TowardZero(feedback, lastWet)));
    line[write] = static_cast<int16_t>(v);
    if (++write == length) {
      write = 0;
    }
    lastWet = Wrap32(static_cast<int64_t>(d) + (Mul32(fraction, h) >> 12));
    // Between two line samples the value fits 16 bits; a read position held
    // back (negative fraction) extrapolates and may not, so the wet block
    // takes it saturated rather than wrapped to the opposite sign.
    wet[n] = Saturate(lastWet);
    // One sample per sample plus the oscillator's share; a share below -4096
    // holds the position still and leaves the fraction negative.
    fraction = Wrap32(static_cast<int64_t>(fraction) + m[n] + 4096);
    if (fraction >= 4096) {
      const int32_t step = fraction >> 12;
      fraction &= 4095;
      read += step;
      if (read >= length) {
        read -= length;
      }
      next += step;
      if (next >= length) {
        next -= length;
      }
      d = line[read];
      h = line[next] - d;
    }
    // The truncating shifts of the sweep make the read position lose a
    // little on every period, so the delay creeps up from its longest value
    // by some samples per period. Once it would pass the whole line, the read
    // position would land on the newest samples; it is held one line length
    // minus one sample behind instead, which only flattens the top of the
    // sweep. Until then the line runs exactly as swept.
    if (read == write) {
      read = read + 1 == length ? 0 : read + 1;
      next = next + 1 == length ? 0 : next + 1;
      d = line[read];
      h = line[next] - d;
    }
  }
  s->writeIndex = write;
  s->readIndex = read;
  s->readFraction = fraction;
  s->lastWet = lastWet;

  // The dry part is the unfiltered source.
  MixSignals(source, destination, &s->mix, count);
  return 0;
}

void ChorusEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  ChorusSettings& s = record;
  s.line = {};
  s.modulation = {};
  s.lfo.table = {};
  s.mix.FreeBlocks();
}
