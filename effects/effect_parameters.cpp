#include "effects/effect_parameters.h"

#include <cmath>
#include <cstdio>
#include <type_traits>

#include "dsp/angles.h"
#include "dsp/biquad.h"
#include "effects/chorus_effect.h"
#include "effects/compression_effect.h"
#include "effects/delay_effect.h"
#include "effects/distortion_effect.h"
#include "effects/envelope_filter_effect.h"
#include "effects/equalizer_effect.h"
#include "effects/filter_modulation_effect.h"
#include "effects/reverb_effect.h"

namespace {

using K = ParameterKind;

// Field access by member pointer: the value of record.*Field as a number,
// and a number stored in the field's own type.
template <class EffectClass, auto Field>
ParameterValue ReadNumber(const Effect& effect) {
  return static_cast<double>(static_cast<const EffectClass&>(effect).record.*Field);
}

template <class EffectClass, auto Field>
bool WriteNumber(Effect& effect, const ParameterValue& value, std::string*) {
  auto& field = static_cast<EffectClass&>(effect).record.*Field;
  field = static_cast<std::remove_reference_t<decltype(field)>>(std::get<double>(value));
  return true;
}

// The distortion keeps its pre-filter cut-off beside the section.
ParameterValue ReadPreFilterHz(const Effect& effect) {
  return static_cast<double>(
      static_cast<const DistortionEffect&>(effect).record.preFilter.preFilterHz);
}

bool WritePreFilterHz(Effect& effect, const ParameterValue& value, std::string*) {
  static_cast<DistortionEffect&>(effect).record.preFilter.preFilterHz =
      static_cast<float>(std::get<double>(value));
  return true;
}

// The curve of a curve effect (distortion, compression), which keeps its own
// copy: the points in single precision must still increase in x.
template <class CurveEffect>
ParameterValue ReadCurve(const Effect& effect) {
  std::vector<CurvePointValue> points;
  for (const CurvePoint& p : static_cast<const CurveEffect&>(effect).record.curve.View()) {
    points.push_back({p.x, p.y});
  }
  return points;
}

template <class CurveEffect>
bool WriteCurve(Effect& effect, const ParameterValue& value, std::string* error) {
  std::vector<CurvePoint> curve;
  for (const CurvePointValue& p : std::get<std::vector<CurvePointValue>>(value)) {
    const CurvePoint point{static_cast<float>(p.x), static_cast<float>(p.y)};
    if (!curve.empty() && !(point.x > curve.back().x)) {
      *error = "curve: x must stay strictly increasing as single-precision values";
      return false;
    }
    curve.push_back(point);
  }
  static_cast<CurveEffect&>(effect).SetCurve(curve);
  return true;
}

// The mix positions of the two forms the classes hold their levels in.
template <class EffectClass>
MixPositions FloatMixPositions(const Effect& effect) {
  const auto& record = static_cast<const EffectClass&>(effect).record;
  return {float_mix::PositionSettingLevel(record.dryInputMix),
          float_mix::PositionSettingLevel(record.dryOutputMix)};
}

template <class EffectClass>
MixPositions IntMixPositions(const Effect& effect) {
  const auto& record = static_cast<const EffectClass&>(effect).record;
  return {int_mix::PositionSettingGain(record.dryInputGain),
          int_mix::PositionSettingGain(record.dryOutputGain)};
}

MixPositions NoMixPositions(const Effect&) {
  return {};
}

// --- delay ---

using DelayS = DelaySettings;
const ParameterSpec kDelaySpecs[] = {
    {.key = "delayMs",
     .unit = "ms",
     .min = DelayS::kMinDelayMs,
     .max = DelayS::kMaxDelayMs,
     .defaultValue = DelayS::kDefaultDelayMs,
     .perChannel = true,
     // Before a run only the stored time matters: Prepare places the line.
     .read = ReadNumber<DelayEffect, &DelayS::delayMs>,
     .write = WriteNumber<DelayEffect, &DelayS::delayMs>},
};

// --- chorus ---

using ChorusS = ChorusSettings;
const ParameterSpec kChorusSpecs[] = {
    {.key = "preFilterHz",
     .unit = "Hz",
     .min = ChorusS::kMinPreFilterHz,
     .max = ChorusS::kMaxPreFilterHz,
     .defaultValue = ChorusS::kDefaultPreFilterHz,
     .read = ReadNumber<ChorusEffect, &ChorusS::preFilterHz>,
     .write = WriteNumber<ChorusEffect, &ChorusS::preFilterHz>},
    {.key = "initialDelayMs",
     .unit = "ms",
     .min = ChorusS::kMinInitialDelayMs,
     .max = ChorusS::kMaxInitialDelayMs,
     .defaultValue = ChorusS::kDefaultInitialDelayMs,
     .read = ReadNumber<ChorusEffect, &ChorusS::initialDelayMs>,
     .write = WriteNumber<ChorusEffect, &ChorusS::initialDelayMs>},
    // The lower end follows the initial delay (the ordered pair below).
    {.key = "finalDelayMs",
     .unit = "ms",
     .min = ChorusS::kMinInitialDelayMs + ChorusS::kFinalDelayMinGapMs,
     .max = ChorusS::kMaxFinalDelayMs,
     .defaultValue = ChorusS::kDefaultFinalDelayMs,
     .read = ReadNumber<ChorusEffect, &ChorusS::finalDelayMs>,
     .write = WriteNumber<ChorusEffect, &ChorusS::finalDelayMs>},
    {.key = "modLengthMs",
     .unit = "ms",
     .min = ChorusS::kMinModLengthMs,
     .max = ChorusS::kMaxModLengthMs,
     .defaultValue = ChorusS::kDefaultModLengthMs,
     .read = ReadNumber<ChorusEffect, &ChorusS::modLengthMs>,
     .write = WriteNumber<ChorusEffect, &ChorusS::modLengthMs>},
    {.key = "feedbackPercent",
     .unit = "%",
     .min = ChorusS::kMinFeedbackPercent,
     .max = ChorusS::kMaxFeedbackPercent,
     .defaultValue = ChorusS::kDefaultFeedbackPercent,
     .read = ReadNumber<ChorusEffect, &ChorusS::feedbackPercent>,
     .write = WriteNumber<ChorusEffect, &ChorusS::feedbackPercent>},
};
constexpr OrderedKeys kChorusDelays = {"initialDelayMs", ChorusS::kMinInitialDelayMs,
                                       "finalDelayMs", ChorusS::kMaxFinalDelayMs,
                                       ChorusS::kFinalDelayMinGapMs};

// --- reverb ---

using ReverbS = ReverbSettings;
const ParameterSpec kReverbSpecs[] = {
    // The number of combs of the next run.
    {.key = "echoCount",
     .kind = K::kInteger,
     .min = ReverbS::kMinEchoCount,
     .max = ReverbS::kMaxEchoCount,
     .defaultValue = ReverbS::kDefaultEchoCount,
     .read = ReadNumber<ReverbEffect, &ReverbS::requestedEchoCount>,
     .write = WriteNumber<ReverbEffect, &ReverbS::requestedEchoCount>},
    {.key = "lowCutHz",
     .unit = "Hz",
     .min = ReverbS::kMinLowCutHz,
     .max = ReverbS::kMaxLowCutHz,
     .defaultValue = ReverbS::kDefaultLowCutHz,
     .read = ReadNumber<ReverbEffect, &ReverbS::lowCutHz>,
     .write = WriteNumber<ReverbEffect, &ReverbS::lowCutHz>},
    {.key = "highCutHz",
     .unit = "Hz",
     .min = ReverbS::kMinHighCutHz,
     .max = ReverbS::kMaxHighCutHz,
     .defaultValue = ReverbS::kDefaultHighCutHz,
     .read = ReadNumber<ReverbEffect, &ReverbS::highCutHz>,
     .write = WriteNumber<ReverbEffect, &ReverbS::highCutHz>},
    {.key = "minEchoMs",
     .unit = "ms",
     .min = ReverbS::kMinMinEchoMs,
     .max = ReverbS::kMaxMinEchoMs,
     .defaultValue = ReverbS::kDefaultMinEchoMs,
     .read = ReadNumber<ReverbEffect, &ReverbS::minEchoMs>,
     .write = WriteNumber<ReverbEffect, &ReverbS::minEchoMs>},
    // The lower end follows the shortest echo (the ordered pair below).
    {.key = "maxEchoMs",
     .unit = "ms",
     .min = ReverbS::kMinMinEchoMs + ReverbS::kMaxEchoMinGapMs,
     .max = ReverbS::kMaxMaxEchoMs,
     .defaultValue = ReverbS::kDefaultMaxEchoMs,
     .read = ReadNumber<ReverbEffect, &ReverbS::maxEchoMs>,
     .write = WriteNumber<ReverbEffect, &ReverbS::maxEchoMs>},
    {.key = "reverbTimeMs",
     .unit = "ms",
     .min = ReverbS::kMinReverbTimeMs,
     .max = ReverbS::kMaxReverbTimeMs,
     .defaultValue = ReverbS::kDefaultReverbTimeMs,
     .read = ReadNumber<ReverbEffect, &ReverbS::reverbTimeMs>,
     .write = WriteNumber<ReverbEffect, &ReverbS::reverbTimeMs>},
};
constexpr OrderedKeys kReverbEchoes = {"minEchoMs", ReverbS::kMinMinEchoMs, "maxEchoMs",
                                       ReverbS::kMaxMaxEchoMs, ReverbS::kMaxEchoMinGapMs};

// --- equalizer ---

// The gains, the spacing and the band frequencies together make the band
// curve, which is all the effect holds.
enum EqualizerKey { kGains, kSpacing, kFreqs };
const ParameterSpec kEqualizerSpecs[] = {
    // Band 0 first; a band not given is at 0 dB.
    {.key = "gains",
     .unit = "dB",
     .kind = K::kNumberList,
     .min = kEqualizerMinGainDb,
     .max = kEqualizerMaxGainDb,
     .defaultValue = 0.0,
     .minCount = 1,
     .maxCount = kEqualizerBandCount},
    {.key = "spacing",
     .kind = K::kChoice,
     .min = kEqualizerMinSpacing,
     .max = kEqualizerMaxSpacing,
     .defaultValue = kEqualizerMinSpacing,
     .choices = kEqualizerSpacingNames},
    // Band 0 first; the bands not given sit where the spacing puts them. The
    // upper end is half the input's rate, checked when the curve is built.
    {.key = "freqs",
     .unit = "Hz",
     .kind = K::kNumberList,
     .min = 0.0,
     .max = kEqualizerMaxBandHz,
     .minCount = 1,
     .maxCount = kEqualizerBandCount,
     .optional = true},
};

bool ApplyEqualizerCurve(Effect& effect, const ParameterValues& values, int32_t sampleRate,
                         std::string* error) {
  const auto given = [&values](EqualizerKey key) -> const ParameterValue* {
    return key < static_cast<int32_t>(values.size()) && values[key] ? &*values[key] : nullptr;
  };
  if (!given(kGains) && !given(kSpacing) && !given(kFreqs)) {
    return true;  // the flat default curve
  }
  std::array<float, kEqualizerBandCount> gainsDb{};  // a band not given: 0 dB
  if (const ParameterValue* gains = given(kGains)) {
    const std::vector<double>& list = std::get<std::vector<double>>(*gains);
    for (size_t i = 0; i < list.size() && i < gainsDb.size(); ++i) {
      gainsDb[i] = static_cast<float>(list[i]);
    }
  }
  const ParameterValue* spacing = given(kSpacing);
  EqualizerBandCurve curve =
      BuildEqualizerCurve(gainsDb, spacing ? static_cast<int32_t>(std::get<double>(*spacing)) : 0);
  if (const ParameterValue* freqs = given(kFreqs)) {
    const std::vector<double>& hz = std::get<std::vector<double>>(*freqs);
    for (size_t i = 0; i < hz.size() && i < curve.size(); ++i) {
      if (!(hz[i] <= sampleRate / 2.0)) {
        *error = "freqs: " + FormatNumber(hz[i]) + " Hz is out of range (allowed: 0.." +
                 FormatNumber(sampleRate / 2.0) + " Hz at the input's rate)";
        return false;
      }
      curve[i].x = EqualizerBandAngle(hz[i], sampleRate);
    }
  }
  for (int32_t i = 1; i < kEqualizerBandCount; ++i) {
    if (!(curve[i].x > curve[i - 1].x)) {
      *error = "freqs: band frequencies must increase from band 0 to band 15 (band " +
               std::to_string(i) + " is not above band " + std::to_string(i - 1) + ")";
      return false;
    }
  }
  auto& equalizer = static_cast<EqualizerEffect&>(effect);
  equalizer.SetBandCurve(curve);
  if (equalizer.prepared) {
    DesignEqualizerKernel(&equalizer.record);
  }
  return true;
}

// A band angle as Hz that EqualizerBandAngle turns into the same angle at
// `sampleRate`, to the bit.
double BandHzOf(float angle, int32_t sampleRate) {
  double hz = angle * static_cast<double>(sampleRate) / angles::kTwoPi;
  for (int step = 0; step < 8 && EqualizerBandAngle(hz, sampleRate) != angle; ++step) {
    hz = std::nextafter(hz, EqualizerBandAngle(hz, sampleRate) < angle ? HUGE_VAL : -HUGE_VAL);
  }
  return hz;
}

// Gains, and the spacing whose band frequencies the curve keeps from the
// highest band down the furthest; the bands below that, which were moved, as
// band frequencies at `sampleRate`.
void CaptureEqualizerCurve(const Effect& effect, int32_t sampleRate, ParameterValues* values) {
  const auto& curve = static_cast<const EqualizerEffect&>(effect).record.curve;
  std::vector<double> gains(kEqualizerBandCount, 0.0);
  int32_t bestSpacing = kEqualizerMinSpacing;
  int32_t movedBands = 0;
  if (curve.Count() == kEqualizerBandCount) {
    const CurvePoint* points = curve.Points();
    for (int32_t i = 0; i < kEqualizerBandCount; ++i) {
      gains[i] = points[i].y;
    }
    movedBands = kEqualizerBandCount + 1;
    for (int32_t spacing = kEqualizerMinSpacing; spacing <= kEqualizerMaxSpacing; ++spacing) {
      EqualizerBandCurve spaced{};
      SetEqualizerSpacing(spaced, spacing);
      int32_t moved = kEqualizerBandCount;
      while (moved > 0 && spaced[moved - 1].x == points[moved - 1].x) {
        --moved;
      }
      if (moved < movedBands) {
        movedBands = moved;
        bestSpacing = spacing;
      }
    }
    if (sampleRate <= 0) {
      movedBands = 0;  // no rate to give the bands' Hz at
    }
    if (movedBands > 0) {
      std::vector<double> freqs;
      for (int32_t i = 0; i < movedBands; ++i) {
        freqs.push_back(BandHzOf(points[i].x, sampleRate));
      }
      (*values)[kFreqs] = freqs;
    }
  }
  (*values)[kGains] = gains;
  (*values)[kSpacing] = static_cast<double>(bestSpacing);
}

// --- distortion ---

using DistortionS = DistortionSettings;
const ParameterSpec kDistortionSpecs[] = {
    // Feedback x 256: the share of the previous shaped sample added to the next input.
    {.key = "feedback",
     .kind = K::kInteger,
     .min = DistortionS::kMinFeedback,
     .max = DistortionS::kMaxFeedback,
     .defaultValue = DistortionS::kDefaultFeedback,
     .read = ReadNumber<DistortionEffect, &DistortionS::feedback>,
     .write = WriteNumber<DistortionEffect, &DistortionS::feedback>},
    {.key = "preFilterHz",
     .unit = "Hz",
     .min = DistortionPreFilter::kMinHz,
     .max = DistortionPreFilter::kMaxHz,
     .defaultValue = DistortionPreFilter::kDefaultHz,
     .read = ReadPreFilterHz,
     .write = WritePreFilterHz},
    // Input level to output level.
    {.key = "curve",
     .kind = K::kCurve,
     .min = DistortionS::kCurveMinY,
     .max = DistortionS::kCurveMaxY,
     .minCount = DistortionS::kCurveMinPoints,
     .maxCount = DistortionS::kCurveMaxPoints,
     .minX = DistortionS::kCurveMinX,
     .maxX = DistortionS::kCurveMaxX,
     .defaultCurve = DistortionS::kDefaultCurve,
     .read = ReadCurve<DistortionEffect>,
     .write = WriteCurve<DistortionEffect>},
};

// --- compression ---

using CompressionS = CompressionSettings;
const ParameterSpec kCompressionSpecs[] = {
    {.key = "envelopeDelayMs",
     .unit = "ms",
     .min = CompressionS::kMinEnvelopeDelayMs,
     .max = CompressionS::kMaxEnvelopeDelayMs,
     .defaultValue = CompressionS::kDefaultEnvelopeDelayMs,
     .read = ReadNumber<CompressionEffect, &CompressionS::envelopeDelayMs>,
     .write = WriteNumber<CompressionEffect, &CompressionS::envelopeDelayMs>},
    // Level (0..32768) to gain in dB.
    {.key = "curve",
     .unit = "dB",
     .kind = K::kCurve,
     .min = CompressionS::kCurveMinY,
     .max = CompressionS::kCurveMaxY,
     .minCount = CompressionS::kCurveMinPoints,
     .maxCount = CompressionS::kCurveMaxPoints,
     .minX = CompressionS::kCurveMinX,
     .maxX = CompressionS::kCurveMaxX,
     .defaultCurve = CompressionS::kDefaultCurve,
     .read = ReadCurve<CompressionEffect>,
     .write = WriteCurve<CompressionEffect>},
};

// --- the swept filters: envelope filter and filter modulation ---

template <class FilterEffect>
constexpr std::array<ParameterSpec, 6> SweptFilterSpecs() {
  using S = decltype(FilterEffect::record);
  using R = SweptFilterRanges;
  return {{
      {.key = "filterKind",
       .kind = K::kChoice,
       .min = R::kMinFilterKind,
       .max = R::kMaxFilterKind,
       .defaultValue = static_cast<double>(FilterKind::LowPass),
       .choices = kFilterKindNames,
       .read = ReadNumber<FilterEffect, &S::filterKind>,
       .write = WriteNumber<FilterEffect, &S::filterKind>},
      {.key = "sweepScaling",
       .kind = K::kChoice,
       .min = R::kMinSweepScaling,
       .max = R::kMaxSweepScaling,
       .defaultValue = static_cast<double>(SweepScaling::Linear),
       .choices = kSweepScalingNames,
       .read = ReadNumber<FilterEffect, &S::sweepScaling>,
       .write = WriteNumber<FilterEffect, &S::sweepScaling>},
      {.key = "initialCutoff",
       .unit = "Hz",
       .min = R::kMinCutoffHz,
       .max = R::kMaxCutoffHz,
       .defaultValue = S::kDefaultInitialCutoff,
       .read = ReadNumber<FilterEffect, &S::initialCutoff>,
       .write = WriteNumber<FilterEffect, &S::initialCutoff>},
      {.key = "initialResonance",
       .min = R::kMinResonance,
       .max = R::kMaxResonance,
       .defaultValue = S::kDefaultResonance,
       .read = ReadNumber<FilterEffect, &S::initialResonance>,
       .write = WriteNumber<FilterEffect, &S::initialResonance>},
      {.key = "finalCutoff",
       .unit = "Hz",
       .min = R::kMinCutoffHz,
       .max = R::kMaxCutoffHz,
       .defaultValue = S::kDefaultFinalCutoff,
       .read = ReadNumber<FilterEffect, &S::finalCutoff>,
       .write = WriteNumber<FilterEffect, &S::finalCutoff>},
      {.key = "finalResonance",
       .min = R::kMinResonance,
       .max = R::kMaxResonance,
       .defaultValue = S::kDefaultResonance,
       .read = ReadNumber<FilterEffect, &S::finalResonance>,
       .write = WriteNumber<FilterEffect, &S::finalResonance>},
  }};
}

const auto kEnvelopeFilterSpecs = SweptFilterSpecs<EnvelopeFilterEffect>();

using FilterModS = FilterModulationSettings;
const auto kFilterModulationSpecs = [] {
  const auto swept = SweptFilterSpecs<FilterModulationEffect>();
  std::array<ParameterSpec, swept.size() + 1> specs{};
  std::copy(swept.begin(), swept.end(), specs.begin());
  specs.back() = {.key = "modulatorLengthMs",
                  .unit = "ms",
                  .min = FilterModS::kMinModulatorLengthMs,
                  .max = FilterModS::kMaxModulatorLengthMs,
                  .defaultValue = FilterModS::kDefaultModulatorLengthMs,
                  .read = ReadNumber<FilterModulationEffect, &FilterModS::modulatorLengthMs>,
                  .write = WriteNumber<FilterModulationEffect, &FilterModS::modulatorLengthMs>};
  return specs;
}();

}  // namespace

const EffectParameters kDelayParameters = {.specs = kDelaySpecs,
                                           .mixPositions = FloatMixPositions<DelayEffect>};
const EffectParameters kChorusParameters = {.specs = kChorusSpecs,
                                            .ordered = &kChorusDelays,
                                            .mixPositions = FloatMixPositions<ChorusEffect>};
const EffectParameters kReverbParameters = {.specs = kReverbSpecs,
                                            .ordered = &kReverbEchoes,
                                            .mixPositions = FloatMixPositions<ReverbEffect>};
const EffectParameters kEqualizerParameters = {.specs = kEqualizerSpecs,
                                               .applyJoint = ApplyEqualizerCurve,
                                               .captureJoint = CaptureEqualizerCurve,
                                               .mixPositions = NoMixPositions};
const EffectParameters kDistortionParameters = {.specs = kDistortionSpecs,
                                                .mixPositions = IntMixPositions<DistortionEffect>};
const EffectParameters kCompressionParameters = {
    .specs = kCompressionSpecs, .mixPositions = IntMixPositions<CompressionEffect>};
const EffectParameters kEnvelopeFilterParameters = {
    .specs = kEnvelopeFilterSpecs, .mixPositions = IntMixPositions<EnvelopeFilterEffect>};
const EffectParameters kFilterModulationParameters = {
    .specs = kFilterModulationSpecs, .mixPositions = IntMixPositions<FilterModulationEffect>};

const ParameterSpec* FindParameter(const EffectParameters& parameters, std::string_view key) {
  const int32_t index = ParameterIndex(parameters, key);
  return index >= 0 ? &parameters.specs[static_cast<size_t>(index)] : nullptr;
}

int32_t ParameterIndex(const EffectParameters& parameters, std::string_view key) {
  for (size_t i = 0; i < parameters.specs.size(); ++i) {
    if (parameters.specs[i].key == key) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

std::optional<ParameterValue> DefaultValue(const ParameterSpec& spec) {
  if (spec.optional) {
    return std::nullopt;
  }
  switch (spec.kind) {
    case K::kNumberList:
      return std::vector<double>(static_cast<size_t>(spec.maxCount), spec.defaultValue);
    case K::kCurve: {
      std::vector<CurvePointValue> points;
      for (const CurvePoint& p : spec.defaultCurve) {
        points.push_back({p.x, p.y});
      }
      return points;
    }
    default:
      return spec.defaultValue;
  }
}

void CompleteSetup(EffectSetup& setup) {
  if (!setup.kind) {
    return;
  }
  const std::span<const ParameterSpec> specs = setup.kind->parameters->specs;
  for (ChannelSetup& channel : setup.channels) {
    channel.values.resize(specs.size());
    for (size_t i = 0; i < specs.size(); ++i) {
      if (!channel.values[i]) {
        channel.values[i] = DefaultValue(specs[i]);
      }
    }
  }
}

const ParameterSpec* ChannelsSetApart(const EffectSetup& setup) {
  const std::span<const ParameterSpec> specs = setup.kind->parameters->specs;
  const ParameterValues& left = setup.channels[0].values;
  const ParameterValues& right = setup.channels[1].values;
  for (size_t i = 0; i < specs.size() && i < left.size() && i < right.size(); ++i) {
    if (!specs[i].perChannel && left[i] != right[i]) {
      return &specs[i];
    }
  }
  return nullptr;
}

bool CheckOrderedKeys(const OrderedKeys& keys, const std::optional<double>& lowerGiven,
                      double lowerNow, const std::optional<double>& upperGiven, double upperNow,
                      std::string* error) {
  const double lower = lowerGiven.value_or(lowerNow);
  const double upper = upperGiven.value_or(upperNow);
  // Compared as the effect holds the two values, in single precision, with
  // the lower bound of the upper one formed as the pages form it.
  if (!(static_cast<float>(upper) < static_cast<float>(lower) + static_cast<float>(keys.gap))) {
    return true;
  }
  const double lowestUpper = lower + keys.gap;
  if (!lowerGiven || (upperGiven && !(lowestUpper > keys.upperMax))) {
    *error = std::string(keys.upperKey) + "=" + FormatDecimal(upper) +
             ": out of range (allowed: " + std::string(keys.lowerKey) + "+" +
             FormatDecimal(keys.gap) + ".." + FormatDecimal(keys.upperMax) + ", here " +
             FormatDecimal(lowestUpper) + ".." + FormatDecimal(keys.upperMax) + ")";
  } else {
    *error = std::string(keys.lowerKey) + "=" + FormatDecimal(lower) +
             ": out of range (allowed: " + FormatDecimal(keys.lowerMin) + ".." +
             std::string(keys.upperKey) + "-" + FormatDecimal(keys.gap) + ", here " +
             FormatDecimal(keys.lowerMin) + ".." + FormatDecimal(upper - keys.gap) + ")";
  }
  return false;
}

bool ApplyParameters(const EffectKind& kind, Effect& effect, const ParameterValues& values,
                     int32_t sampleRate, std::string* error) {
  const EffectParameters& parameters = *kind.parameters;
  const std::span<const ParameterSpec> specs = parameters.specs;
  const auto given = [&values](int32_t index) -> const ParameterValue* {
    return index >= 0 && index < static_cast<int32_t>(values.size()) && values[index]
               ? &*values[index]
               : nullptr;
  };
  if (const OrderedKeys* ordered = parameters.ordered) {
    const int32_t lower = ParameterIndex(parameters, ordered->lowerKey);
    const int32_t upper = ParameterIndex(parameters, ordered->upperKey);
    const auto number = [&given](int32_t index) -> std::optional<double> {
      const ParameterValue* value = given(index);
      return value ? std::optional<double>(std::get<double>(*value)) : std::nullopt;
    };
    if (!CheckOrderedKeys(*ordered, number(lower), std::get<double>(specs[lower].read(effect)),
                          number(upper), std::get<double>(specs[upper].read(effect)), error)) {
      return false;
    }
  }
  for (size_t i = 0; i < specs.size(); ++i) {
    const ParameterValue* value = given(static_cast<int32_t>(i));
    if (value && specs[i].write && !specs[i].write(effect, *value, error)) {
      return false;
    }
  }
  return !parameters.applyJoint || parameters.applyJoint(effect, values, sampleRate, error);
}

ChannelSetup CaptureChannel(const EffectKind& kind, const Effect& effect, int32_t sampleRate) {
  const EffectParameters& parameters = *kind.parameters;
  ChannelSetup channel;
  channel.enabled = (effect.enabled & 1) != 0;
  const MixPositions mix = parameters.mixPositions(effect);
  channel.dryInput = mix.input;
  channel.dryOutput = mix.output;
  channel.values.resize(parameters.specs.size());
  for (size_t i = 0; i < parameters.specs.size(); ++i) {
    if (parameters.specs[i].read) {
      channel.values[i] = parameters.specs[i].read(effect);
    }
  }
  if (parameters.captureJoint) {
    parameters.captureJoint(effect, sampleRate, &channel.values);
  }
  return channel;
}

std::string FormatNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string FormatDecimal(double value) {
  std::string text = std::to_string(value);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') {
    text.pop_back();
  }
  return text;
}
