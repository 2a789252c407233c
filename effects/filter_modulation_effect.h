#pragma once
// The filter modulation: a second-order filter swept periodically. A
// raised-cosine oscillator, one cycle per modulator length, picks for every
// sample one of the envelope filter's 128 coefficient sets between an initial
// and a final cut-off and resonance. The filtered signal is mixed with the
// unprocessed input.
//
// The oscillator's phase step is a whole number of 1/4096 table steps, so the
// real period, 256 x 4096 / step samples, is somewhat longer than asked for.

#include <cstdint>
#include <vector>

#include "dsp/wavetable.h"
#include "effects/effect.h"
#include "effects/envelope_filter_effect.h"
#include "effects/int_mix_effect.h"

struct FilterModulationSettings {
  Wavetable modulator;                          // its 256-entry table from Prepare to Release
  std::vector<int16_t> levels;                  // modulator values 0..127, blockFrames + 1
  std::vector<CoefficientSet> coefficientBank;  // 128 sets
  BiquadHistory filterHistory{};                // the ring and its remainder
  int32_t historyPosition = 0;
  int32_t dryInputGain = int_mix::kDefaultGain;   // x 256, the unprocessed input
  int32_t dryOutputGain = int_mix::kDefaultGain;  // x 256, the filtered signal
  // The factory's values: a low-pass swept from 100 Hz to 5000 Hz and back
  // every 4 seconds, Q 0.707 throughout.
  static constexpr float kDefaultInitialCutoff = 100.0f;
  static constexpr float kDefaultFinalCutoff = 5000.0f;
  static constexpr float kDefaultResonance = 0.707f;
  float initialCutoff = kDefaultInitialCutoff;  // Hz at modulator value 0
  float finalCutoff = kDefaultFinalCutoff;      // Hz at modulator value 127
  float initialResonance = kDefaultResonance;   // Q at modulator value 0
  float finalResonance = kDefaultResonance;     // Q at modulator value 127
  // Period of the modulator; the FilterMod page's range.
  static constexpr float kDefaultModulatorLengthMs = 4000.0f;
  float modulatorLengthMs = kDefaultModulatorLengthMs;
  static constexpr float kMinModulatorLengthMs = 100.0f;
  static constexpr float kMaxModulatorLengthMs = 16000.0f;
  int32_t filterKind = 0;    // FilterKind
  int32_t sweepScaling = 0;  // SweepScaling
  int32_t blockFrames = 0;   // samples a call handles at once
};

// The modulator's table size and its phase step in 1/4096 table steps per
// sample for a period of `lengthMs` at `sampleRate`.
inline constexpr int32_t kModulatorTableLength = 256;
int32_t ModulatorPhaseStep(int32_t sampleRate, float lengthMs);

class FilterModulationEffect : public IntMixEffect<FilterModulationSettings> {
 public:
  // The modulator length starts at 4000 ms and the final resonance equal to
  // the initial one. The mix levels become gains trunc(level x 256).
  FilterModulationEffect(float initialCutoff, float initialResonance, float finalCutoff,
                         float dryInputMix, float dryOutputMix);
  ~FilterModulationEffect() override;

  void Prepare(void* settings, int32_t blockFrames, int32_t sampleRate) override;
  // Modulator, swept filter, mix.
  static int32_t ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                 int32_t count);
  void Release() override;

  FilterModulationSettings record;
};
