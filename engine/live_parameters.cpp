#include "engine/live_parameters.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "effects/chorus_effect.h"
#include "effects/compression_effect.h"
#include "effects/delay_effect.h"
#include "effects/distortion_effect.h"
#include "effects/effect_factory.h"
#include "effects/envelope_filter_effect.h"
#include "effects/equalizer_effect.h"
#include "effects/filter_modulation_effect.h"
#include "effects/reverb_effect.h"

namespace {

// `to` = `from`; true when it was different.
template <typename T>
bool Take(T& to, const T& from) {
  if (to == from) {
    return false;
  }
  to = from;
  return true;
}

// The same for arrays of the same length (a prepared pair's tables), compared
// bit for bit (a float table's -0 and +0, or NaN, count as they are stored);
// arrays of different lengths are left alone.
template <typename T>
bool TakeEach(std::vector<T>& to, const std::vector<T>& from) {
  static_assert(std::is_trivially_copyable_v<T>);
  const size_t bytes = from.size() * sizeof(T);
  if (from.empty() || to.size() != from.size() || std::memcmp(to.data(), from.data(), bytes) == 0) {
    return false;
  }
  std::memcpy(to.data(), from.data(), bytes);
  return true;
}

bool TakeIntGains(int32_t& toInput, int32_t& toOutput, int32_t fromInput, int32_t fromOutput) {
  const bool input = Take(toInput, fromInput);
  const bool output = Take(toOutput, fromOutput);
  return input || output;
}

template <typename Node>
const Node& As(const Effect& node) {
  return static_cast<const Node&>(node);
}

template <typename Node>
Node& As(Effect& node) {
  return static_cast<Node&>(node);
}

// The whole settings record.
template <typename Node>
bool TakeRecord(const Effect& from, Effect& to) {
  As<Node>(to).record = As<Node>(from).record;
  return true;
}

// The delay of `from`'s line, with `to`'s read position moved to give it.
bool TakeDelay(DelayLine& to, const DelayLine& from) {
  const int32_t length = to.Length();
  if (length == 0 || length != from.Length() || to.Delay() == from.Delay()) {
    return false;
  }
  to.readPosition = (to.writePosition - from.Delay() + length) % length;
  return true;
}

}  // namespace

bool CopySettings(const Effect& from, Effect& to) {
  if (from.typeId != to.typeId || from.prepared != 0 || to.prepared != 0) {
    return false;
  }
  switch (from.typeId) {
    case kEqualizerEffectId:
      return TakeRecord<EqualizerEffect>(from, to);
    case kChorusEffectId:
      return TakeRecord<ChorusEffect>(from, to);
    case kReverbEffectId:
      return TakeRecord<ReverbEffect>(from, to);
    case kDelayEffectId:
      return TakeRecord<DelayEffect>(from, to);
    case kDistortionEffectId:
      return TakeRecord<DistortionEffect>(from, to);
    case kCompressionEffectId:
      return TakeRecord<CompressionEffect>(from, to);
    case kEnvelopeFilterEffectId:
      return TakeRecord<EnvelopeFilterEffect>(from, to);
    case kFilterModulationEffectId:
      return TakeRecord<FilterModulationEffect>(from, to);
    default:
      return false;
  }
}

bool CopyLiveParameters(const Effect& from, Effect& to) {
  if (from.typeId != to.typeId) {
    return false;
  }
  switch (from.typeId) {
    case kEqualizerEffectId:
      return TakeEach(As<EqualizerEffect>(to).record.kernel,
                      As<EqualizerEffect>(from).record.kernel);
    case kChorusEffectId:
      return TakeEach(As<ChorusEffect>(to).record.mix.gains,
                      As<ChorusEffect>(from).record.mix.gains);
    case kReverbEffectId:
      return TakeEach(As<ReverbEffect>(to).record.mix.gains,
                      As<ReverbEffect>(from).record.mix.gains);
    case kDelayEffectId: {
      DelaySettings& t = As<DelayEffect>(to).record;
      const DelaySettings& f = As<DelayEffect>(from).record;
      const bool gains = TakeEach(t.mix.gains, f.mix.gains);
      const bool delay = TakeDelay(t.line, f.line);
      return gains || delay;
    }
    case kDistortionEffectId: {
      DistortionSettings& t = As<DistortionEffect>(to).record;
      const DistortionSettings& f = As<DistortionEffect>(from).record;
      const bool gains =
          TakeIntGains(t.dryInputGain, t.dryOutputGain, f.dryInputGain, f.dryOutputGain);
      const bool feedback = Take(t.feedback, f.feedback);
      const bool table = TakeEach(t.shapeTable, f.shapeTable);
      return gains || feedback || table;
    }
    case kCompressionEffectId: {
      CompressionSettings& t = As<CompressionEffect>(to).record;
      const CompressionSettings& f = As<CompressionEffect>(from).record;
      const bool gains =
          TakeIntGains(t.dryInputGain, t.dryOutputGain, f.dryInputGain, f.dryOutputGain);
      const bool table = TakeEach(t.gainTable, f.gainTable);
      return gains || table;
    }
    case kEnvelopeFilterEffectId: {
      EnvelopeFilterSettings& t = As<EnvelopeFilterEffect>(to).record;
      const EnvelopeFilterSettings& f = As<EnvelopeFilterEffect>(from).record;
      return TakeIntGains(t.dryInputGain, t.dryOutputGain, f.dryInputGain, f.dryOutputGain);
    }
    case kFilterModulationEffectId: {
      FilterModulationSettings& t = As<FilterModulationEffect>(to).record;
      const FilterModulationSettings& f = As<FilterModulationEffect>(from).record;
      return TakeIntGains(t.dryInputGain, t.dryOutputGain, f.dryInputGain, f.dryOutputGain);
    }
    default:
      return false;
  }
}
