#pragma once
// The mix stage and the four mix operations shared by the effects that hold
// their mix levels in the integer form (distortion, compression, envelope
// filter, filter modulation). The settings record stays in the effect class;
// the operations reach it through the header's `settings` pointer.

#include <cstdint>

#include "dsp/mix.h"
#include "effects/effect.h"

namespace int_mix {
// destination[n] = sat((dryInputGain x source[n] + dryOutputGain x
// destination[n]) >> 8), the sum wrapped to 32 bits before the shift.
inline void MixBlock(const int16_t* source, int16_t* destination, int32_t dryInputGain,
                     int32_t dryOutputGain, int32_t count) {
  MixTwoSignals(source, destination, destination, dryInputGain, dryOutputGain, count);
}
}  // namespace int_mix

// `Record` has the int32_t fields dryInputGain and dryOutputGain, and the
// derived class hands its own record to the constructor as `ownSettings`.
template <typename Record>
class IntMixEffect : public Effect {
 public:
  void SetDryInputMix(int32_t position) override {
    OwnRecord().dryInputGain = int_mix::GainFromPosition(position);
  }
  void SetDryOutputMix(int32_t position) override {
    OwnRecord().dryOutputGain = int_mix::GainFromPosition(position);
  }
  int32_t GetDryInputMix() const override {
    return int_mix::PositionFromGain(OwnRecord().dryInputGain);
  }
  int32_t GetDryOutputMix() const override {
    return int_mix::PositionFromGain(OwnRecord().dryOutputGain);
  }

 protected:
  IntMixEffect(std::string_view nodeName, int32_t id, Record* ownSettings, EffectProcessFn callback)
      : Effect(nodeName, id, ownSettings, callback) {}

 private:
  Record& OwnRecord() { return *static_cast<Record*>(settings); }
  const Record& OwnRecord() const { return *static_cast<const Record*>(settings); }
};
