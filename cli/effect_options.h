#pragma once
// `--effect NAME[:KEY=VALUE[,KEY=VALUE]...]`: the generic part of the effect
// options and the one table of effects the command line knows.
//
// The generic part splits a SPEC into its name and KEY=VALUE items, takes the
// `left.` / `right.` prefixes off the keys (a prefixed key applies to that
// channel's effect only and wins over the plain key), handles the keys every
// effect has (`in`, `out`: dry input and output mix positions
// 0..kMixPositionMax; `enabled`: 0 or 1, default 1) and refuses anything no
// binding asked for.
// Every refusal is one line naming the key and what it allows.
//
// HOW TO ADD AN EFFECT
//
// 1. Write cli/<effect>_options.cpp with one function
//        void Bind<Effect>Options(EffectOptionBinder& binder);
//    that declares each key of the effect's settings record through the
//    binder (Number, Integer, Choice, NumberList, Curve), with the ranges taken
//    from the constants next to the parameters in effects/<effect>_effect.h
//    (never numbers of its own), and registers with binder.OnApply one function
//    that writes the values given for a channel into that channel's effect.
//    Each declaration returns the value per channel (index 0 left, 1 right),
//    empty where the key was not given: unset keys keep the factory defaults.
//    Example (cli/delay_options.cpp):
//
//        void BindDelayOptions(EffectOptionBinder& binder) {
//          const auto delay =
//              binder.Number("delayMs", DelaySettings::kMinDelayMs, DelaySettings::kMaxDelayMs);
//          binder.OnApply([delay](Effect& effect, int32_t channel, int32_t, std::string*) {
//            SetIfGiven(static_cast<DelayEffect&>(effect).record.delayMs, delay, channel);
//            return true;
//          });
//        }
//
//    An apply function may refuse a value whose range depends on the
//    sampling rate (it gets the input file's rate): set *error to one line
//    naming the key and its range and return false. Nothing has been created
//    at that point.
// 2. Declare the function below, next to the others, and add one line to the
//    table in EffectBindings() (cli/effect_options.cpp):
//        {"delay", kDelayEffectId, BindDelayOptions},
//    The name is the one the command line takes; the type id is what
//    CreateEffect builds.
// 3. Add the effect's cases to tests/cli/effect_options_test.cpp: a SPEC that
//    is applied, and a refusal at each end of every range.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dsp/curve.h"
#include "effects/effect.h"
#include "effects/effect_chain.h"

// A value given for the left (index 0) and the right (index 1) effect.
template <class T>
using PerChannel = std::array<std::optional<T>, 2>;

// One `X:Y` point of a curve option.
struct CurvePointValue {
  double x = 0;
  double y = 0;
};

// Writes a channel's values into its effect, at the input file's sampling
// rate. Returns false with a one-line *error to refuse.
using EffectApplyFn =
    std::function<bool(Effect& effect, int32_t channel, int32_t sampleRate, std::string* error)>;

class EffectOptionBinder {
 public:
  // A real number in min..max.
  PerChannel<double> Number(std::string_view key, double min, double max);
  // A whole number in min..max.
  PerChannel<int32_t> Integer(std::string_view key, int32_t min, int32_t max);
  // The index of one of `texts`, given as the index or as the text itself.
  PerChannel<int32_t> Choice(std::string_view key, std::span<const std::string_view> texts);
  // minCount..maxCount numbers separated by ';', each in min..max.
  PerChannel<std::vector<double>> NumberList(std::string_view key, int32_t minCount,
                                             int32_t maxCount, double min, double max);
  // minPoints..maxPoints points `X:Y` separated by ';', x strictly increasing,
  // x in minX..maxX and y in minY..maxY.
  PerChannel<std::vector<CurvePointValue>> Curve(std::string_view key, int32_t minPoints,
                                                 int32_t maxPoints, double minX, double maxX,
                                                 double minY, double maxY);
  // Runs once per channel when the effect is set up.
  void OnApply(EffectApplyFn apply);

  // --- used by the generic part ---
  struct Item {
    std::string written;   // the key as given, prefix included
    std::string key;       // without the prefix
    int32_t channel = -1;  // -1 both, 0 left, 1 right
    std::string value;
    bool used = false;
  };
  EffectOptionBinder(std::string effectName, std::vector<Item> items);
  // The first refusal, or empty.
  const std::string& Error() const { return error_; }
  // Refuses every item no declaration took.
  void RefuseUnknownKeys();
  // "key range" for each declared key, in declaration order.
  const std::vector<std::string>& KeyDescriptions() const { return descriptions_; }
  std::vector<EffectApplyFn> TakeApplies() { return std::move(applies_); }

 private:
  // The text given for `key` per channel; marks the items used.
  std::array<const Item*, 2> Find(std::string_view key);
  template <class T, class Parse>
  PerChannel<T> Declare(std::string_view key, std::string description, Parse parse);
  void Refuse(const std::string& message);

  std::string effectName_;
  std::vector<Item> items_;
  std::vector<std::string> descriptions_;
  std::vector<EffectApplyFn> applies_;
  std::string error_;
};

using EffectBindFn = void (*)(EffectOptionBinder& binder);

struct EffectBinding {
  std::string_view name;  // as the command line takes it
  int32_t typeId;         // what CreateEffect builds
  EffectBindFn bind;
};

// The effects the command line knows, one line each.
std::span<const EffectBinding> EffectBindings();

// Binding functions, one per effect, each in cli/<effect>_options.cpp.
void BindDelayOptions(EffectOptionBinder& binder);
void BindChorusOptions(EffectOptionBinder& binder);
void BindReverbOptions(EffectOptionBinder& binder);
void BindEqOptions(EffectOptionBinder& binder);
void BindDistortionOptions(EffectOptionBinder& binder);
void BindCompressionOptions(EffectOptionBinder& binder);
void BindAutoWahOptions(EffectOptionBinder& binder);    // cli/swept_filter_options.cpp
void BindFilterModOptions(EffectOptionBinder& binder);  // cli/swept_filter_options.cpp

// Helpers for the apply functions.

// Writes a channel's given value into `field`, converted to the field's type;
// leaves the field alone where the key was not given.
template <class Field, class T>
void SetIfGiven(Field& field, const PerChannel<T>& value, int32_t channel) {
  if (value[channel]) {
    field = static_cast<Field>(*value[channel]);
  }
}

// `value` as "%g" writes it.
std::string FormatNumber(double value);
// `value` in fixed notation with the trailing zeros (and a bare point) cut.
std::string FormatDecimal(double value);

// Two keys of an effect whose values must stay at least `gap` apart, the
// upper one at most `upperMax` (the chorus's delays, the reverb's echoes).
struct OrderedKeys {
  std::string_view lowerKey;
  double lowerMin;
  std::string_view upperKey;
  double upperMax;
  double gap;
};

// Accepts upper >= lower + gap, each value being the one given for the
// channel or else the effect's current one. Otherwise sets *error to one
// line naming a key the user gave, with the range it may take beside the
// other value: the upper key when it was given and some value of it fits
// ("KEY=V: out of range (allowed: LOWERKEY+GAP..MAX, here LOW..MAX)"), else
// the lower key ("KEY=V: out of range (allowed: MIN..UPPERKEY-GAP, here
// MIN..HIGH)"), and returns false.
bool CheckOrderedKeys(std::string_view effectName, const OrderedKeys& keys,
                      const std::optional<double>& lowerGiven, double lowerNow,
                      const std::optional<double>& upperGiven, double upperNow, std::string* error);

// A value from the command line as a refusal quotes it: control characters
// escaped (\n, \t, \xHH) so that the refusal stays on one line, and cut
// with an ellipsis after 60 characters.
std::string ShownValue(std::string_view value);

// A given curve as single-precision points. Refuses, naming the effect, a
// curve whose x values stop increasing once held in single precision (a
// segment of zero width).
bool CurveOptionPoints(const std::vector<CurvePointValue>& points, std::string_view effectName,
                       std::vector<CurvePoint>* curve, std::string* error);

// Hands a channel's given curve to the effect, which keeps its own copy
// (SetCurve); leaves the effect's curve alone where the key was not given.
template <class CurveEffect>
bool ApplyCurveOption(const std::optional<std::vector<CurvePointValue>>& points,
                      std::string_view effectName, CurveEffect& effect, std::string* error) {
  if (!points) {
    return true;
  }
  std::vector<CurvePoint> curve;
  if (!CurveOptionPoints(*points, effectName, &curve, error)) {
    return false;
  }
  effect.SetCurve(curve);
  return true;
}

// One parsed `--effect` SPEC, ready to be appended to both chains.
struct EffectRequest {
  std::string name;
  int32_t typeId = 0;
  std::vector<EffectApplyFn> applies;  // the binding's and the common keys'
  PerChannel<int32_t> enabled;         // unset: enabled
};

// Parses one SPEC against EffectBindings() (or the given table). False with a
// one-line *error to refuse.
bool ParseEffectSpec(std::string_view spec, EffectRequest* request, std::string* error);
bool ParseEffectSpec(std::string_view spec, std::span<const EffectBinding> bindings,
                     EffectRequest* request, std::string* error);

// Appends the requested effect to both chains, applies its values at
// `sampleRate` and enables it as asked. False with *error when an apply
// refuses (the chains then hold the effect, unconfigured).
bool AppendRequestedEffect(const EffectRequest& request, EffectChain& left, EffectChain& right,
                           int32_t sampleRate, std::string* error);

// Per known effect: its name, then its keys with their ranges, one a line.
std::string DescribeEffects();
std::string DescribeEffects(std::span<const EffectBinding> bindings);
