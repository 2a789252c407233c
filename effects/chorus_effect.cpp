#include "effects/chorus_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/angles.h"
#include "dsp/saturate.h"
#include "dsp/vector_clones.h"
#include "dsp/wrap32.h"
#include "effects/effect_factory.h"
#include "effects/parameter_limit.h"

#if TONALITH_X86_64_GCC
#include <immintrin.h>
#endif

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

// The wet values of the next samples of a run, as many as the read position
// takes without wrapping around the line's end or holding still (an
// oscillator share below -4096), eight at a time; returns how many it did
// (0 where the processor lacks AVX2). wetBefore[k] takes sample k's wet
// value, wet[k] the same saturated, and the position moves on past them. The
// position stands for read x 4096 + fraction and gains 4096 + m per sample;
// with a fraction of 0..4095 at the start, the whole and fractional parts of
// that sum are the read position and fraction the samples one at a time
// arrive at, and the line does not change while a run reads it.
#if TONALITH_X86_64_GCC
__attribute__((target("default"))) int32_t ReadForward(const int16_t*, int32_t, const int16_t*,
                                                       int32_t, ReadPosition&, int32_t*, int16_t*) {
  return 0;
}

__attribute__((target("avx2"))) int32_t ReadForward(const int16_t* line, int32_t length,
                                                    const int16_t* m, int32_t count,
                                                    ReadPosition& position, int32_t* wetBefore,
                                                    int16_t* wet) {
  // Positions x 4096 stay within 32 bits.
  if (position.fraction < 0 || length >= (1 << 18)) {
    return 0;
  }
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi32(4096);
  const __m256i fractionMask = _mm256_set1_epi32(4095);
  const __m256i lowest = _mm256_set1_epi32(kSampleMin);
  const __m256i highest = _mm256_set1_epi32(kSampleMax);
  const __m256i lastOfLow = _mm256_set1_epi32(3);
  int32_t start = position.read * 4096 + position.fraction;
  int32_t k = 0;
  for (; k + 8 <= count; k += 8) {
    const __m256i step = _mm256_add_epi32(
        _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m + k))), one);
    if (_mm256_movemask_epi8(_mm256_cmpgt_epi32(zero, step)) != 0) {
      break;  // the position would hold still
    }
    // Sums of the steps up to each sample, then the position before it.
    __m256i sums = _mm256_add_epi32(step, _mm256_slli_si256(step, 4));
    sums = _mm256_add_epi32(sums, _mm256_slli_si256(sums, 8));
    sums = _mm256_add_epi32(
        sums, _mm256_blend_epi32(zero, _mm256_permutevar8x32_epi32(sums, lastOfLow), 0xF0));
    const __m256i at = _mm256_add_epi32(_mm256_set1_epi32(start), _mm256_sub_epi32(sums, step));
    const int32_t lastAt = _mm256_extract_epi32(at, 7);
    if ((lastAt >> 12) + 1 >= length) {
      break;  // the read position, or the sample after it, wraps
    }
    const __m256i read = _mm256_srai_epi32(at, 12);
    const __m256i fraction = _mm256_and_si256(at, fractionMask);
    // Each gathered word holds line[read] (low half) and line[read + 1].
    const __m256i pair = _mm256_i32gather_epi32(reinterpret_cast<const int*>(line), read, 2);
    const __m256i d = _mm256_srai_epi32(_mm256_slli_epi32(pair, 16), 16);
    const __m256i h = _mm256_sub_epi32(_mm256_srai_epi32(pair, 16), d);
    const __m256i value =
        _mm256_add_epi32(d, _mm256_srai_epi32(_mm256_mullo_epi32(fraction, h), 12));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(wetBefore + k), value);
    const __m256i held = _mm256_min_epi32(_mm256_max_epi32(value, lowest), highest);
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(held, held), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(wet + k), _mm256_castsi256_si128(packed));
    start = lastAt + _mm256_extract_epi32(step, 7);
  }
  if (k > 0) {
    position.read = start >> 12;
    position.fraction = start & 4095;
    if (position.read >= length) {
      position.read -= length;
    }
    position.Load(line, length);
  }
  return k;
}
#else
int32_t ReadForward(const int16_t*, int32_t, const int16_t*, int32_t, ReadPosition&, int32_t*,
                    int16_t*) {
  return 0;
}
#endif

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
        // The read position near the writes: one sample as it comes, for a
        // tile of samples before the next look. Near the writes it tends to
        // stay there (while the top of the sweep is held, for one), and the
        // look costs a division.
        const int32_t end = n + std::min(count - n, kTile);
        for (; n < end; ++n) {
          Step(x[n], m[n], wet + n);
        }
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
    for (int32_t k = 0; k < run;) {
      k += ReadForward(line_, length_, m + k, run - k, position, wetBefore + 1 + k, wet + k);
      // Where that stops (a wrap, a position held still, the run's last
      // samples), eight samples one at a time.
      const int32_t end = std::min(run, k + 8);
      for (; k < end; ++k) {
        const int32_t wetValue = position.WetValue();
        wetBefore[k + 1] = wetValue;
        wet[k] = Saturate(wetValue);
        position.Move(line_, length_, m[k]);
      }
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
