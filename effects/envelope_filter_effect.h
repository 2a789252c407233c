#pragma once
// The envelope filter (auto-wah): a second-order filter whose cut-off and
// resonance follow the loudness of the input. An envelope follower measures
// the level of every sample; the level picks one of 128 coefficient sets
// designed in advance between an initial cut-off and resonance (silence) and a
// final one (full level). The filtered signal is mixed with the input.
//
// The coefficient bank and the swept per-sample filter are shared with the
// filter modulation, which drives them with an oscillator instead.

#include <array>
#include <cstdint>
#include <vector>

#include "dsp/biquad.h"
#include "dsp/envelope_follower.h"
#include "effects/block_pieces.h"
#include "effects/effect.h"
#include "effects/int_mix_effect.h"

// How the 128 sets are spaced between the initial and the final values. The
// names double as the texts the filter pages list, in this order.
enum class SweepScaling : int32_t {
  Linear = 0,              // s = i / 128
  Exponential = 1,         // s = (e^(i/128) - 1) / (e - 1): crowded near the initial values
  ReverseExponential = 2,  // s = 1 - e^(-i/35): crowded near the final values
};
inline constexpr std::array<const char*, 3> kSweepScalingNames = {"Linear", "Exponential",
                                                                  "Rev.Exponential"};

// One set of Q14 coefficients as DesignBiquad writes them: b2, b1, b0, a2, a1, a0.
using CoefficientSet = BiquadCoefficients;
inline constexpr int32_t kCoefficientSetCount = 128;

// The ranges the AutoWah and FilterMod pages allow for the swept filter.
struct SweptFilterRanges {
  static constexpr int32_t kMinFilterKind = 0;  // FilterKind::LowPass
  static constexpr int32_t kMaxFilterKind = 4;  // FilterKind::AllPass
  static constexpr int32_t kMinSweepScaling = 0;
  static constexpr int32_t kMaxSweepScaling = 2;
  static constexpr float kMinCutoffHz = 100.0f;
  static constexpr float kMaxCutoffHz = 22000.0f;
  static constexpr float kMinResonance = 0.5f;
  static constexpr float kMaxResonance = 100.0f;
};

// Fills the 128 sets: set i is designed at cut-off
// initial + (final - initial) s(i) and resonance likewise, with s(i) from the
// scaling; an unknown scaling designs no set. For BandPass the swept cut-off
// is the pre-warped geometric centre of the band and the swept resonance its
// quality, so that the resonance means the same for every kind.
void BuildCoefficientBank(CoefficientSet* bank, float initialCutoff, float finalCutoff,
                          float initialResonance, float finalResonance, int32_t kind,
                          int32_t scaling, int32_t sampleRate);

// The RunBiquad recurrence, rounding remainder included, with the
// coefficients of set setIndices[n] for sample n; the history (six-slot ring
// and remainder) and the ring position carry over from block to block
// exactly as RunBiquad's do, across every change of set. Returns the new ring
// position.
int32_t RunSweptBiquad(const int16_t* source, int16_t* destination, const CoefficientSet* bank,
                       const int16_t* setIndices, BiquadHistory& history, int32_t ringPosition,
                       int32_t count);

// The swept filter both filter records hold (coefficientBank, filterHistory,
// historyPosition, the integer mix gains, the band kind and scaling, the
// initial and final cut-off and resonance, blockFrames).

// Designs the bank from the record's values and clears the filter history.
template <typename Record>
void PrepareSweptFilter(Record& s, int32_t sampleRate) {
  s.coefficientBank.assign(kCoefficientSetCount, CoefficientSet{});
  BuildCoefficientBank(s.coefficientBank.data(), s.initialCutoff, s.finalCutoff, s.initialResonance,
                       s.finalResonance, s.filterKind, s.sweepScaling, sampleRate);
  s.filterHistory = {};
  s.historyPosition = 0;
}

// Filters one block with set setIndices[n] for sample n, then mixes it with
// the unprocessed input.
template <typename Record>
void SweepAndMix(Record& s, const int16_t* source, int16_t* destination, const int16_t* setIndices,
                 int32_t count) {
  s.historyPosition = RunSweptBiquad(source, destination, s.coefficientBank.data(), setIndices,
                                     s.filterHistory, s.historyPosition, count);
  int_mix::MixBlock(source, destination, s.dryInputGain, s.dryOutputGain, count);
}

// Hands `count` samples to `filterBlock` in pieces of at most blockFrames
// (nothing while unprepared).
template <typename Record, typename BlockFn>
void RunSweptBlocks(Record& s, const int16_t* source, int16_t* destination, int32_t count,
                    BlockFn filterBlock) {
  RunInPieces(source, destination, count, s.blockFrames,
              [&s, filterBlock](const int16_t* in, int16_t* out, int32_t n) {
                filterBlock(s, in, out, n);
              });
}

// Frees the bank; the callback does nothing until the next Prepare.
template <typename Record>
void ReleaseSweptFilter(Record& s) {
  s.coefficientBank = {};
  s.blockFrames = 0;
}

struct EnvelopeFilterSettings {
  EnvelopeFollower envelope;                    // its window from Prepare to Release
  std::vector<int16_t> levels;                  // the envelope of the current block
  std::vector<CoefficientSet> coefficientBank;  // 128 sets
  BiquadHistory filterHistory{};                // the ring and its remainder
  int32_t historyPosition = 0;
  int32_t dryInputGain = int_mix::kDefaultGain;   // x 256, the unprocessed input
  int32_t dryOutputGain = int_mix::kDefaultGain;  // x 256, the filtered signal
  // The factory's values: a low-pass from 100 Hz at silence to 2500 Hz at
  // full level, Q 0.707 throughout.
  static constexpr float kDefaultInitialCutoff = 100.0f;
  static constexpr float kDefaultFinalCutoff = 2500.0f;
  static constexpr float kDefaultResonance = 0.707f;
  float initialCutoff = kDefaultInitialCutoff;  // Hz at level 0
  float finalCutoff = kDefaultFinalCutoff;      // Hz at the top level
  float initialResonance = kDefaultResonance;   // Q at level 0
  float finalResonance = kDefaultResonance;     // Q at the top level
  float envelopeWindowMs = 5.0f;                // set by Prepare
  int32_t filterKind = 0;                       // FilterKind
  int32_t sweepScaling = 0;                     // SweepScaling
  int32_t blockFrames = 0;                      // samples `levels` holds
  std::vector<int16_t> setIndices;              // levels >> 8: the set of each sample
};

class EnvelopeFilterEffect : public IntMixEffect<EnvelopeFilterSettings> {
 public:
  // The final resonance starts equal to the initial one.
  EnvelopeFilterEffect(float initialCutoff, float initialResonance, float finalCutoff);
  ~EnvelopeFilterEffect() override;

  void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate) override;
  // Envelope, swept filter, mix.
  static int32_t ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                 int32_t count);
  void Release() override;

  EnvelopeFilterSettings record;
};
