#include "effects/chorus_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/angles.h"
#include "dsp/saturate.h"
#include "dsp/vector_clones.h"
#include "dsp/wrap32.h"
#include "effects/effect_factory.h"
#include "effects/parameter_limit.h"

namespace {
constexpr int32_t kTableLength = 256;
constexpr double kPeak = 4096.0;

// The line writes of n samples: each filtered sample x plus the fed-back
// share of the wet value before it, saturated. The share is truncated toward
// zero, so that the loop dies out after the input stops instead of
// circulating a -1 for ever.
TONALITH_VECTOR_CLONES
void FeedLine(const int16_t* x, const int32_t* wetBefore, int16_t* line, int32_t feedback,
              int32_t n) {
  for (int32_t k = 0; k < n; ++k) {
    line[k] = Saturate(Add32(x[k], MulDiv256TowardZero(feedback, wetBefore[k])));
  }
}

// Where the sweep reads the line: a whole position, the fraction beyond it
// (x 4096), and the two samples it lies between, d at the position and h the
// step to the next (which wraps to 0 at the line's end).
struct ReadPosition {
  int32_t read;
  int32_t fraction;
  int32_t d = 0;
  int32_t h = 0;

  void Load(const int16_t* line, int32_t length) {
    d = line[read];
    h = line[read + 1 == length ? 0 : read + 1] - d;
  }

  // The interpolated sample at the position.
  int32_t WetValue() const { return Add32(d, Mul32(fraction, h) >> 12); }

  // On by one sample plus the oscillator's share m; a share below -4096
  // holds the position still and leaves the fraction negative.
  void Move(const int16_t* line, int32_t length, int32_t m) {
    fraction = Add32(fraction, m + 4096);
    if (fraction >= 4096) {
      read += fraction >> 12;
      fraction &= 4095;
      if (read + 1 < length) [[likely]] {  // neither position wraps
        d = line[read];
        h = line[read + 1] - d;
      } else {
        if (read >= length) {
          read -= length;
        }
        Load(line, length);
      }
    }
  }
};

// The line of one block: the read position and the write position, and the
// last wet value.
class ChorusSweep {
 public:
  explicit ChorusSweep(ChorusSettings& s)
      : line_(s.line.data()),
        length_(s.lineLength),
        feedback_(s.feedbackCoef),
        write_(s.writeIndex),
        position_{s.readIndex, s.readFraction},
        lastWet_(s.lastWet) {
    position_.Load(line_, length_);
  }

  void Store(ChorusSettings& s) const {
    s.writeIndex = write_;
    s.readIndex = position_.read;
    s.readFraction = position_.fraction;
    s.lastWet = lastWet_;
  }

  // Runs `count` samples of the filtered input x with the oscillator's
  // values m, writing the wet block. Between two line samples a wet value
  // fits 16 bits; a read position held back (negative fraction) extrapolates
  // and may not, so the wet block takes it saturated rather than wrapped to
  // the opposite sign.
  void Run(const int16_t* x, const int16_t* m, int16_t* wet, int32_t count) {
    // The largest share the oscillator adds to the position in a sample,
    // if any.
    const int32_t rise = count > 0 ? std::max<int32_t>(*std::max_element(m, m + count), 0) : 0;
    for (int32_t n = 0; n < count;) {
      const int32_t run = AheadOfWrites(count - n, rise);
      if (run >= kMinRun) {
        RunAhead(x + n, m + n, wet + n, run);
        n += run;
      } else {
        // The read position near the writes: one sample as it comes.
        Step(x[n], m[n], wet + n);
        ++n;
      }
    }
  }

 private:
  // Samples set aside for a run at a time, and the shortest run worth it.
  static constexpr int32_t kTile = 512;
  static constexpr int32_t kMinRun = 4;

  // One sample: x goes into the line, then the wet value is read.
  void Step(int32_t x, int32_t m, int16_t* wet) {
    const int32_t v = Saturate(Add32(x, MulDiv256TowardZero(feedback_, lastWet_)));
    line_[write_] = static_cast<int16_t>(v);
    if (++write_ == length_) {
      write_ = 0;
    }
    lastWet_ = position_.WetValue();
    *wet = Saturate(lastWet_);
    position_.Move(line_, length_, m);
    // The truncating shifts of the sweep make the read position lose a
    // little on every period, so the delay creeps up from its longest value
    // by some samples per period. Once it would pass the whole line, the read
    // position would land on the newest samples; it is held one line length
    // minus one sample behind instead, which only flattens the top of the
    // sweep. Until then the line runs exactly as swept.
    if (position_.read == write_) {
      position_.read = position_.read + 1 == length_ ? 0 : position_.read + 1;
      position_.Load(line_, length_);
    }
  }

  // How many of the next `limit` samples read only positions that none of
  // their writes reach, so that their reads may all come first. Counted
  // ahead of the read position around the ring: the position the read
  // position and its fraction stand for (read x 4096 + fraction) gains
  // 4096 + m per sample, and the read position never passes it by a whole
  // sample, so after k samples it is at most k + (fraction + k rise) / 4096
  // ahead. That, and the sample after it, stay short of the first position
  // written; and the positions written stay short of a whole line length,
  // so the read position never meets the write position either.
  int32_t AheadOfWrites(int32_t limit, int32_t rise) const {
    const int32_t read = position_.read;
    const int32_t ahead = write_ >= read ? write_ - read : write_ - read + length_;
    // k + (fraction + k rise) / 4096 + 1 < ahead, in whole numbers.
    const int64_t room = int64_t{4096} * (ahead - 1) - position_.fraction - 1;
    const auto reach = static_cast<int32_t>(std::max<int64_t>(room / (4096 + rise), 0));
    return std::min({limit, kTile, reach, length_ - ahead - 1});
  }

  // `run` samples whose reads come before their writes: first every wet
  // value, then the line writes.
  void RunAhead(const int16_t* x, const int16_t* m, int16_t* wet, int32_t run) {
    int32_t wetBefore[kTile + 1];
    wetBefore[0] = lastWet_;
    ReadPosition position = position_;  // in registers for the loop
    for (int32_t k = 0; k < run; ++k) {
      const int32_t wetValue = position.WetValue();
      wetBefore[k + 1] = wetValue;
      wet[k] = Saturate(wetValue);
      position.Move(line_, length_, m[k]);
    }
    position_ = position;
    lastWet_ = wetBefore[run];
    for (int32_t done = 0; done < run;) {
      const int32_t n = std::min(run - done, length_ - write_);  // up to the line's end
      FeedLine(x + done, wetBefore + done, line_ + write_, feedback_, n);
      done += n;
      write_ += n;
      if (write_ == length_) {
        write_ = 0;
      }
    }
  }

  int16_t* line_;
  int32_t length_;
  int32_t feedback_;
  int32_t write_;
  ReadPosition position_;
  int32_t lastWet_;
};
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
  RunWavetable(nullptr, s->modulation.data(), &s->lfo, count);
  ChorusSweep sweep(*s);
  sweep.Run(destination, s->modulation.data(), s->mix.extraSignals.data(), count);
  sweep.Store(*s);
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
