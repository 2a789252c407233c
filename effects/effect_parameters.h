#pragma once
// Each effect's parameters, described once. A table per effect gives every
// parameter's key (the settings field's name, which the renderer and the
// presets use), its unit, range and default, whether the window sets it for
// each channel on its own, its kind of value and how it is read from and
// written into an effect. The renderer's options, the pages' limits and the
// preset reader and writer all work from these tables.
//
// A value is handled in double precision (a real or whole number, a choice's
// index), as a list of numbers or as a curve of points; the write stores it
// in the field's own type.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dsp/curve.h"
#include "effects/effect.h"
#include "effects/effect_factory.h"

enum class ParameterKind : int32_t {
  kNumber,      // a real number in min..max
  kInteger,     // a whole number in min..max
  kChoice,      // the index of one of `choices`
  kNumberList,  // minCount..maxCount numbers, each in min..max
  kCurve,       // minCount..maxCount points: x in minX..maxX strictly increasing, y in min..max
};

// One point of a curve value.
struct CurvePointValue {
  double x = 0;
  double y = 0;
  bool operator==(const CurvePointValue&) const = default;
};

// A number (also a whole number or a choice's index), a list, or a curve.
using ParameterValue = std::variant<double, std::vector<double>, std::vector<CurvePointValue>>;

// The values of one channel's effect, one per parameter in table order; an
// empty entry leaves the effect's own value.
using ParameterValues = std::vector<std::optional<ParameterValue>>;

struct ParameterSpec {
  std::string_view key{};
  std::string_view unit{};  // "Hz", "ms", "%", "dB", or empty
  ParameterKind kind = ParameterKind::kNumber;
  double min = 0;  // a number's range, a list item's, a curve point's y
  double max = 0;
  double defaultValue = 0;  // a number's default; every list item's
  // The window sets it for each channel on its own (the others: one value
  // for both channels).
  bool perChannel = false;
  std::span<const char* const> choices{};
  int32_t minCount = 0;  // list items or curve points
  int32_t maxCount = 0;
  double minX = 0;  // a curve point's x
  double maxX = 0;
  std::span<const CurvePoint> defaultCurve{};
  // Has no value unless one is given (the band frequencies follow the
  // spacing until then).
  bool optional = false;
  // The value an effect holds; null where the effect's joint capture reads it.
  ParameterValue (*read)(const Effect& effect) = nullptr;
  // Stores a value that is in range; null where the joint apply writes it.
  // False with a one-line *error ("KEY: ...") for a value the field cannot
  // hold.
  bool (*write)(Effect& effect, const ParameterValue& value, std::string* error) = nullptr;
};

// Two keys whose values must stay `gap` apart: lower + gap <= upper (the
// chorus's delays, the reverb's echo times).
struct OrderedKeys {
  std::string_view lowerKey;
  double lowerMin;
  std::string_view upperKey;
  double upperMax;
  double gap;
};

// The two mix levels as slider positions that set them again exactly.
struct MixPositions {
  int32_t input = kMixPositionUnity;
  int32_t output = kMixPositionUnity;
};

struct EffectParameters {
  std::span<const ParameterSpec> specs{};
  const OrderedKeys* ordered = nullptr;
  // For an effect whose keys together set one thing (the equalizer's band
  // curve from gains, spacing and band frequencies): writes them after the
  // per-key writes, at `sampleRate`, and reads them back from an effect.
  bool (*applyJoint)(Effect& effect, const ParameterValues& values, int32_t sampleRate,
                     std::string* error) = nullptr;
  void (*captureJoint)(const Effect& effect, int32_t sampleRate, ParameterValues* values) = nullptr;
  MixPositions (*mixPositions)(const Effect& effect) = nullptr;
};

// The tables, one per effect class (the registry points at them).
extern const EffectParameters kDelayParameters;
extern const EffectParameters kChorusParameters;
extern const EffectParameters kReverbParameters;
extern const EffectParameters kEqualizerParameters;
extern const EffectParameters kDistortionParameters;
extern const EffectParameters kCompressionParameters;
extern const EffectParameters kEnvelopeFilterParameters;
extern const EffectParameters kFilterModulationParameters;

// The spec with `key` in a table and its index; null / -1 when none has it.
const ParameterSpec* FindParameter(const EffectParameters& parameters, std::string_view key);
int32_t ParameterIndex(const EffectParameters& parameters, std::string_view key);

// A parameter's default: its number, a list of maxCount items (or none for
// an optional one), or its default curve.
std::optional<ParameterValue> DefaultValue(const ParameterSpec& spec);

// One channel's whole setup of an effect: enabled, the two mix positions,
// the parameters.
struct ChannelSetup {
  bool enabled = true;
  int32_t dryInput = kMixPositionUnity;
  int32_t dryOutput = kMixPositionUnity;
  ParameterValues values;
};

// One effect of both chains: its kind and each channel's setup (left first).
struct EffectSetup {
  const EffectKind* kind = nullptr;
  std::array<ChannelSetup, 2> channels;
};

// Sizes each channel's values to the kind's table and gives every parameter
// that has none its default.
void CompleteSetup(EffectSetup& setup);

// The first parameter that the window sets for both channels at once (not
// per channel) and that `setup` gives the channels different values of;
// null when there is none.
const ParameterSpec* ChannelsSetApart(const EffectSetup& setup);

// Checks the ordered pair of a table: the lower and upper values are the
// ones given, else the effect's. Otherwise sets *error to one line naming a
// given key, with the range it may take beside the other value: the upper
// key when it was given and some value of it fits ("KEY=V: out of range
// (allowed: LOWERKEY+GAP..MAX, here LOW..MAX)"), else the lower key
// ("KEY=V: out of range (allowed: MIN..UPPERKEY-GAP, here MIN..HIGH)").
bool CheckOrderedKeys(const OrderedKeys& keys, const std::optional<double>& lowerGiven,
                      double lowerNow, const std::optional<double>& upperGiven, double upperNow,
                      std::string* error);

// Writes the given values (in range) into one channel's effect, at the
// sampling rate the effect will run at: the ordered pair is checked first,
// then each value is written in table order, then the joint apply runs.
// False with a one-line *error (without the effect's name) when a value does
// not fit; values before it may have been written.
bool ApplyParameters(const EffectKind& kind, Effect& effect, const ParameterValues& values,
                     int32_t sampleRate, std::string* error);

// Every parameter of one channel's effect, with its mix positions and
// enabled flag, as a setup that sets it up again exactly at `sampleRate`.
ChannelSetup CaptureChannel(const EffectKind& kind, const Effect& effect, int32_t sampleRate);

// `value` as "%g" writes it.
std::string FormatNumber(double value);
// `value` in fixed notation with the trailing zeros (and a bare point) cut.
std::string FormatDecimal(double value);
