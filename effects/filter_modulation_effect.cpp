#include "effects/filter_modulation_effect.h"

#include <algorithm>
#include <cmath>

#include "dsp/angles.h"
#include "effects/effect_factory.h"

namespace {

void FilterBlock(FilterModulationSettings& s, const int16_t* source, int16_t* destination,
                 int32_t count) {
  RunWavetable(source, s.levels.data(), &s.modulator, count);
  // The modulator values 0..127 are the set indices themselves.
  SweepAndMix(s, source, destination, s.levels.data(), count);
}

}  // namespace

int32_t ModulatorPhaseStep(int32_t sampleRate, float lengthMs) {
  // The product of the integer rate and the float length is single precision.
  const double samplesPerPeriod = static_cast<float>(sampleRate) * lengthMs * 0.001;
  return static_cast<int32_t>(kModulatorTableLength / samplesPerPeriod * 4096);
}

FilterModulationEffect::FilterModulationEffect(float initialCutoff, float initialResonance,
                                               float finalCutoff, float dryInputMix,
                                               float dryOutputMix)
    : IntMixEffect(EffectNodeName(kFilterModulationEffectId), kFilterModulationEffectId, &record,
                   &FilterModulationEffect::ProcessCallback) {
  record.initialCutoff = initialCutoff;
  record.initialResonance = initialResonance;
  record.finalCutoff = finalCutoff;
  record.finalResonance = initialResonance;
  record.modulatorLengthMs = FilterModulationSettings::kDefaultModulatorLengthMs;
  record.dryInputGain = static_cast<int32_t>(dryInputMix * 256.0f);
  record.dryOutputGain = static_cast<int32_t>(dryOutputMix * 256.0f);
}

FilterModulationEffect::~FilterModulationEffect() {
  Release();
}

void FilterModulationEffect::Prepare(void* /*settings: always this node's record*/,
                                     int32_t blockFrames, int32_t sampleRate) {
  if (prepared) {
    return;
  }
  prepared = 1;
  FilterModulationSettings& s = record;
  // A raised cosine from 127 down to 0 (entries 127 and 128) and back up.
  Wavetable& modulator = s.modulator;
  modulator.table.assign(kModulatorTableLength, 0);
  for (int32_t i = 0; i < kModulatorTableLength; ++i) {
    modulator.table[i] = static_cast<int16_t>((std::cos(i * angles::kTableStep256) + 1.0) * 63.5);
  }
  modulator.position = 0;
  modulator.fraction = 0;
  modulator.wrap = kModulatorTableLength;
  modulator.increment = ModulatorPhaseStep(sampleRate, s.modulatorLengthMs);
  modulator.depth = 4096;

  s.blockFrames = std::max(blockFrames, 1);
  s.levels.assign(static_cast<size_t>(s.blockFrames) + 1, 0);
  PrepareSweptFilter(s, sampleRate);
}

int32_t FilterModulationEffect::ProcessCallback(const int16_t* source, int16_t* destination,
                                                void* settings, int32_t count) {
  auto& s = *static_cast<FilterModulationSettings*>(settings);
  RunSweptBlocks(s, source, destination, count, FilterBlock);
  return 0;
}

void FilterModulationEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  FilterModulationSettings& s = record;
  s.modulator = {};
  s.levels = {};
  ReleaseSweptFilter(s);
}
