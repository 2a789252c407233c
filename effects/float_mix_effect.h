#pragma once
// The mix operations shared by the effects that hold their mix levels in the
// float form (delay, chorus, reverb). The settings record stays in the effect
// class; the operations reach it through the header's `settings` pointer.

#include <cstdint>

#include "effects/effect.h"

// `Record` has the float fields dryInputMix and dryOutputMix and the
// MixStage `mix` (gain 0 the input's, gain 1 the processed signal's), and the
// derived class hands its own record to the constructor as `ownSettings`. An
// effect that spreads the output level over several gains overrides
// SetDryOutputMix.
template <typename Record>
class FloatMixEffect : public Effect {
 public:
  void SetDryInputMix(int32_t position) override {
    Record& record = OwnRecord();
    record.dryInputMix = float_mix::LevelFromPosition(position);
    record.mix.gains[0] = float_mix::GainFromLevel(record.dryInputMix);
  }
  void SetDryOutputMix(int32_t position) override {
    Record& record = OwnRecord();
    record.dryOutputMix = float_mix::LevelFromPosition(position);
    record.mix.gains[1] = float_mix::GainFromLevel(record.dryOutputMix);
  }
  int32_t GetDryInputMix() const override {
    return float_mix::PositionFromLevel(OwnRecord().dryInputMix);
  }
  int32_t GetDryOutputMix() const override {
    return float_mix::PositionFromLevel(OwnRecord().dryOutputMix);
  }

 protected:
  FloatMixEffect(std::string_view nodeName, int32_t id, Record* ownSettings,
                 EffectProcessFn callback)
      : Effect(nodeName, id, ownSettings, callback) {}

  Record& OwnRecord() { return *static_cast<Record*>(settings); }
  const Record& OwnRecord() const { return *static_cast<const Record*>(settings); }
};
