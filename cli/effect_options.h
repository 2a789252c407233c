#pragma once
// `--effect NAME[:KEY=VALUE[,KEY=VALUE]...]`: the effect options.
//
// The generic part splits a SPEC into its name and KEY=VALUE items, takes the
// `left.` / `right.` prefixes off the keys (a prefixed key applies to that
// channel's effect only and wins over the plain key), handles the keys every
// effect has (`in`, `out`: dry input and output mix positions
// 0..kMixPositionMax; `enabled`: 0 or 1, default 1) and refuses anything no
// binding asked for. Every refusal is one line naming the key and what it
// allows.
//
// The effects and their keys come from the effect registry and each
// effect's parameter table (effects/effect_factory.h,
// effects/effect_parameters.h): a key is declared with the kind, range and
// choices its table gives, and the values given are written through the
// table. Adding an effect or a parameter there adds it here.

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
#include "effects/effect_parameters.h"

// A value given for the left (index 0) and the right (index 1) effect.
template <class T>
using PerChannel = std::array<std::optional<T>, 2>;

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
  // The parameter values a table binding took, per channel (left first).
  void KeepValues(std::array<ParameterValues, 2> values) { values_ = std::move(values); }
  const std::array<ParameterValues, 2>& Values() const { return values_; }

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
  std::array<ParameterValues, 2> values_;
  std::string error_;
};

using EffectBindFn = std::function<void(EffectOptionBinder& binder)>;

struct EffectBinding {
  std::string_view name;  // as the command line takes it
  int32_t typeId;         // what CreateEffect builds
  EffectBindFn bind;
};

// The effects the command line knows, one line each.
std::span<const EffectBinding> EffectBindings();

// Declares every key of `kind`'s parameter table and registers the apply
// that writes the values given into a channel's effect.
void BindParameterTable(EffectOptionBinder& binder, const EffectKind& kind);

// A value from the command line as a refusal quotes it: control characters
// escaped (\n, \t, \xHH) so that the refusal stays on one line, and cut
// with an ellipsis after 60 characters.
std::string ShownValue(std::string_view value);

// One parsed `--effect` SPEC, ready to be appended to both chains.
struct EffectRequest {
  std::string name;
  int32_t typeId = 0;
  std::vector<EffectApplyFn> applies;  // the binding's and the common keys'
  PerChannel<int32_t> enabled;         // unset: enabled
  // What was given, for writing a preset: each channel's mix positions,
  // enabled flag and parameter values (empty where not given). The kind is
  // null for a binding without a parameter table.
  EffectSetup setup;
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
