#include "cli/effect_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

#include "effects/effect_factory.h"
#include "effects/effect_parameters.h"

std::span<const EffectBinding> EffectBindings() {
  // One binding per effect of the registry, in its order.
  static const std::vector<EffectBinding> table = [] {
    std::vector<EffectBinding> bindings;
    for (const EffectKind& kind : EffectKinds()) {
      bindings.push_back({kind.renderName, kind.typeId, [&kind](EffectOptionBinder& binder) {
                            BindParameterTable(binder, kind);
                          }});
    }
    return bindings;
  }();
  return table;
}

namespace {

// The keys every effect has: mix slider positions and the enable flag.
constexpr int32_t kMinMixPosition = 0;

std::string Range(double min, double max) {
  return FormatNumber(min) + ".." + FormatNumber(max);
}

enum class NumberStatus { kOk, kNotANumber, kOutOfRange };

// The whole text must be a finite number; one too large or too small for a
// double (1e999, 1e-400) is out of any range.
NumberStatus ParseNumber(const std::string& text, double* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) {
    return NumberStatus::kNotANumber;
  }
  char* end = nullptr;
  errno = 0;
  *value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || (!std::isfinite(*value) && errno != ERANGE)) {
    return NumberStatus::kNotANumber;
  }
  return errno == ERANGE ? NumberStatus::kOutOfRange : NumberStatus::kOk;
}

NumberStatus ParseWhole(const std::string& text, long long* value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) {
    return NumberStatus::kNotANumber;
  }
  char* end = nullptr;
  errno = 0;
  *value = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0') {
    return NumberStatus::kNotANumber;
  }
  return errno == ERANGE ? NumberStatus::kOutOfRange : NumberStatus::kOk;
}

std::vector<std::string> Split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(separator, start);
    parts.emplace_back(text.substr(start, at == std::string_view::npos ? at : at - start));
    if (at == std::string_view::npos) {
      return parts;
    }
    start = at + 1;
  }
}

std::string JoinNames(std::span<const EffectBinding> bindings) {
  std::string names;
  for (const EffectBinding& binding : bindings) {
    names += names.empty() ? "" : ", ";
    names += binding.name;
  }
  return names;
}

const EffectBinding* FindBinding(std::span<const EffectBinding> bindings, std::string_view name) {
  for (const EffectBinding& binding : bindings) {
    if (binding.name == name) {
      return &binding;
    }
  }
  return nullptr;
}

// Declares the keys every effect has; the values end up in `request`.
void BindCommonOptions(EffectOptionBinder& binder, EffectRequest* request) {
  const auto dryIn = binder.Integer("in", kMinMixPosition, kMixPositionMax);
  const auto dryOut = binder.Integer("out", kMinMixPosition, kMixPositionMax);
  const auto enabled = binder.Integer("enabled", 0, 1);
  if (request) {
    request->enabled = enabled;
    for (int32_t channel = 0; channel < 2; ++channel) {
      ChannelSetup& setup = request->setup.channels[channel];
      setup.enabled = enabled[channel].value_or(1) != 0;
      setup.dryInput = dryIn[channel].value_or(kMixPositionUnity);
      setup.dryOutput = dryOut[channel].value_or(kMixPositionUnity);
    }
  }
  binder.OnApply([dryIn, dryOut](Effect& effect, int32_t channel, int32_t, std::string*) {
    if (dryIn[channel]) {
      effect.SetDryInputMix(*dryIn[channel]);
    }
    if (dryOut[channel]) {
      effect.SetDryOutputMix(*dryOut[channel]);
    }
    return true;
  });
}

// Runs the binding of `binding` (and the common keys) over `items`.
EffectOptionBinder Bind(const EffectBinding& binding, std::vector<EffectOptionBinder::Item> items,
                        EffectRequest* request) {
  EffectOptionBinder binder{std::string(binding.name), std::move(items)};
  binding.bind(binder);
  BindCommonOptions(binder, request);
  binder.RefuseUnknownKeys();
  return binder;
}

}  // namespace

EffectOptionBinder::EffectOptionBinder(std::string effectName, std::vector<Item> items)
    : effectName_(std::move(effectName)), items_(std::move(items)) {}

void EffectOptionBinder::Refuse(const std::string& message) {
  if (error_.empty()) {
    error_ = "--effect " + effectName_ + ": " + message;
  }
}

std::array<const EffectOptionBinder::Item*, 2> EffectOptionBinder::Find(std::string_view key) {
  // A prefixed key wins over the plain one (no key is given twice).
  const Item* both = nullptr;
  std::array<const Item*, 2> prefixed{};
  for (Item& item : items_) {
    if (item.key != key) {
      continue;
    }
    item.used = true;
    if (item.channel < 0) {
      both = &item;
    } else {
      prefixed[item.channel] = &item;
    }
  }
  return {prefixed[0] ? prefixed[0] : both, prefixed[1] ? prefixed[1] : both};
}

template <class T, class Parse>
PerChannel<T> EffectOptionBinder::Declare(std::string_view key, std::string description,
                                          Parse parse) {
  descriptions_.push_back(std::string(key) + " " + description);
  PerChannel<T> values;
  const auto given = Find(key);
  for (int32_t channel = 0; channel < 2; ++channel) {
    const Item* item = given[channel];
    if (!item) {
      continue;
    }
    std::string problem;
    std::optional<T> value = parse(item->value, &problem);
    if (!value) {
      Refuse(ShownValue(item->written) + "=" + ShownValue(item->value) + ": " + problem +
             " (allowed: " + description + ")");
      continue;
    }
    values[channel] = std::move(value);
  }
  return values;
}

PerChannel<double> EffectOptionBinder::Number(std::string_view key, double min, double max) {
  return Declare<double>(
      key, Range(min, max),
      [=](const std::string& text, std::string* problem) -> std::optional<double> {
        double value = 0;
        const NumberStatus status = ParseNumber(text, &value);
        if (status == NumberStatus::kNotANumber) {
          *problem = "not a number";
          return std::nullopt;
        }
        if (status == NumberStatus::kOutOfRange || value < min || value > max) {
          *problem = "out of range";
          return std::nullopt;
        }
        return value;
      });
}

PerChannel<int32_t> EffectOptionBinder::Integer(std::string_view key, int32_t min, int32_t max) {
  return Declare<int32_t>(
      key, Range(min, max),
      [=](const std::string& text, std::string* problem) -> std::optional<int32_t> {
        long long value = 0;
        const NumberStatus status = ParseWhole(text, &value);
        if (status == NumberStatus::kNotANumber) {
          *problem = "not a whole number";
          return std::nullopt;
        }
        if (status == NumberStatus::kOutOfRange || value < min || value > max) {
          *problem = "out of range";
          return std::nullopt;
        }
        return static_cast<int32_t>(value);
      });
}

PerChannel<int32_t> EffectOptionBinder::Choice(std::string_view key,
                                               std::span<const std::string_view> texts) {
  std::string description = "0.." + std::to_string(static_cast<int32_t>(texts.size()) - 1);
  for (std::string_view text : texts) {
    description += "|";
    description += text;
  }
  const std::vector<std::string_view> names(texts.begin(), texts.end());
  return Declare<int32_t>(
      key, description,
      [names](const std::string& text, std::string* problem) -> std::optional<int32_t> {
        for (size_t i = 0; i < names.size(); ++i) {
          if (names[i] == text) {
            return static_cast<int32_t>(i);
          }
        }
        long long index = 0;
        if (ParseWhole(text, &index) != NumberStatus::kOk || index < 0 ||
            index >= static_cast<long long>(names.size())) {
          *problem = "not one of the choices";
          return std::nullopt;
        }
        return static_cast<int32_t>(index);
      });
}

PerChannel<std::vector<double>> EffectOptionBinder::NumberList(std::string_view key,
                                                               int32_t minCount, int32_t maxCount,
                                                               double min, double max) {
  const std::string description = std::to_string(minCount) + ".." + std::to_string(maxCount) +
                                  " numbers " + Range(min, max) + " separated by ';'";
  return Declare<std::vector<double>>(
      key, description,
      [=](const std::string& text, std::string* problem) -> std::optional<std::vector<double>> {
        std::vector<double> list;
        for (const std::string& part : Split(text, ';')) {
          double value = 0;
          const NumberStatus status = ParseNumber(part, &value);
          if (status == NumberStatus::kNotANumber) {
            *problem = "\"" + ShownValue(part) + "\" is not a number";
            return std::nullopt;
          }
          if (status == NumberStatus::kOutOfRange || value < min || value > max) {
            *problem = ShownValue(part) + " is out of range";
            return std::nullopt;
          }
          list.push_back(value);
        }
        if (static_cast<int32_t>(list.size()) < minCount ||
            static_cast<int32_t>(list.size()) > maxCount) {
          *problem = std::to_string(list.size()) + " numbers";
          return std::nullopt;
        }
        return list;
      });
}

PerChannel<std::vector<CurvePointValue>> EffectOptionBinder::Curve(std::string_view key,
                                                                   int32_t minPoints,
                                                                   int32_t maxPoints, double minX,
                                                                   double maxX, double minY,
                                                                   double maxY) {
  const std::string description = std::to_string(minPoints) + ".." + std::to_string(maxPoints) +
                                  " points X:Y separated by ';', x " + Range(minX, maxX) +
                                  " strictly increasing, y " + Range(minY, maxY);
  return Declare<std::vector<CurvePointValue>>(
      key, description,
      [=](const std::string& text,
          std::string* problem) -> std::optional<std::vector<CurvePointValue>> {
        std::vector<CurvePointValue> points;
        for (const std::string& part : Split(text, ';')) {
          const std::vector<std::string> xy = Split(part, ':');
          double x = 0;
          double y = 0;
          const NumberStatus xStatus =
              xy.size() == 2 ? ParseNumber(xy[0], &x) : NumberStatus::kNotANumber;
          const NumberStatus yStatus =
              xy.size() == 2 ? ParseNumber(xy[1], &y) : NumberStatus::kNotANumber;
          if (xStatus == NumberStatus::kNotANumber || yStatus == NumberStatus::kNotANumber) {
            *problem = "\"" + ShownValue(part) + "\" is not a point X:Y";
            return std::nullopt;
          }
          if (xStatus == NumberStatus::kOutOfRange || yStatus == NumberStatus::kOutOfRange ||
              x < minX || x > maxX || y < minY || y > maxY) {
            *problem = ShownValue(part) + " is out of range";
            return std::nullopt;
          }
          if (!points.empty() && x <= points.back().x) {
            *problem = "x is not strictly increasing at " + ShownValue(part);
            return std::nullopt;
          }
          points.push_back({x, y});
        }
        if (static_cast<int32_t>(points.size()) < minPoints ||
            static_cast<int32_t>(points.size()) > maxPoints) {
          *problem = std::to_string(points.size()) + " points";
          return std::nullopt;
        }
        return points;
      });
}

void EffectOptionBinder::OnApply(EffectApplyFn apply) {
  applies_.push_back(std::move(apply));
}

void EffectOptionBinder::RefuseUnknownKeys() {
  for (const Item& item : items_) {
    if (!item.used) {
      std::string keys;
      for (const std::string& description : descriptions_) {
        keys += keys.empty() ? "" : ", ";
        keys += description.substr(0, description.find(' '));
      }
      Refuse("unknown key \"" + ShownValue(item.written) + "\" (keys: " + keys +
             ", each also as left.KEY or right.KEY)");
    }
  }
}

namespace {

// Each channel's given value, as a parameter value, into `values`.
template <class T>
void KeepGiven(const PerChannel<T>& given, size_t index, std::array<ParameterValues, 2>& values) {
  for (int32_t channel = 0; channel < 2; ++channel) {
    if (given[channel]) {
      if constexpr (std::is_same_v<T, int32_t>) {
        values[channel][index] = static_cast<double>(*given[channel]);
      } else {
        values[channel][index] = *given[channel];
      }
    }
  }
}

}  // namespace

void BindParameterTable(EffectOptionBinder& binder, const EffectKind& kind) {
  const std::span<const ParameterSpec> specs = kind.parameters->specs;
  std::array<ParameterValues, 2> values;
  for (ParameterValues& channel : values) {
    channel.resize(specs.size());
  }
  for (size_t i = 0; i < specs.size(); ++i) {
    const ParameterSpec& spec = specs[i];
    switch (spec.kind) {
      case ParameterKind::kNumber:
        KeepGiven(binder.Number(spec.key, spec.min, spec.max), i, values);
        break;
      case ParameterKind::kInteger:
        KeepGiven(binder.Integer(spec.key, static_cast<int32_t>(spec.min),
                                 static_cast<int32_t>(spec.max)),
                  i, values);
        break;
      case ParameterKind::kChoice: {
        const std::vector<std::string_view> texts(spec.choices.begin(), spec.choices.end());
        KeepGiven(binder.Choice(spec.key, texts), i, values);
        break;
      }
      case ParameterKind::kNumberList:
        KeepGiven(binder.NumberList(spec.key, spec.minCount, spec.maxCount, spec.min, spec.max), i,
                  values);
        break;
      case ParameterKind::kCurve:
        KeepGiven(binder.Curve(spec.key, spec.minCount, spec.maxCount, spec.minX, spec.maxX,
                               spec.min, spec.max),
                  i, values);
        break;
    }
  }
  binder.KeepValues(values);
  binder.OnApply(
      [values, &kind](Effect& effect, int32_t channel, int32_t sampleRate, std::string* error) {
        std::string problem;
        if (ApplyParameters(kind, effect, values[channel], sampleRate, &problem)) {
          return true;
        }
        *error = "--effect " + std::string(kind.renderName) + ": " + problem;
        return false;
      });
}

bool ParseEffectSpec(std::string_view spec, EffectRequest* request, std::string* error) {
  return ParseEffectSpec(spec, EffectBindings(), request, error);
}

bool ParseEffectSpec(std::string_view spec, std::span<const EffectBinding> bindings,
                     EffectRequest* request, std::string* error) {
  const size_t colon = spec.find(':');
  const std::string_view name = spec.substr(0, colon);
  const EffectBinding* binding = FindBinding(bindings, name);
  if (!binding) {
    const std::string known = JoinNames(bindings);
    *error = "--effect: unknown effect \"" + ShownValue(name) + "\" (" +
             (known.empty() ? std::string("no effects are available yet") : "known: " + known) +
             ")";
    return false;
  }

  std::vector<EffectOptionBinder::Item> items;
  if (colon != std::string_view::npos) {
    for (const std::string& part : Split(spec.substr(colon + 1), ',')) {
      const size_t equals = part.find('=');
      if (equals == std::string::npos || equals == 0) {
        *error = "--effect " + std::string(name) + ": \"" + ShownValue(part) +
                 "\" is not KEY=VALUE (SPEC is NAME[:KEY=VALUE[,KEY=VALUE]...])";
        return false;
      }
      EffectOptionBinder::Item item;
      item.written = part.substr(0, equals);
      item.value = part.substr(equals + 1);
      for (const EffectOptionBinder::Item& earlier : items) {
        if (earlier.written == item.written) {
          *error = "--effect " + std::string(name) + ": key \"" + ShownValue(item.written) +
                   "\" given twice";
          return false;
        }
      }
      // One channel prefix at most: "left.right.KEY" is no key.
      item.key = item.written;
      for (const auto& [prefix, channel] : {std::pair{"left.", 0}, std::pair{"right.", 1}}) {
        const std::string_view p = prefix;
        if (item.key.starts_with(p)) {
          item.key = item.key.substr(p.size());
          item.channel = channel;
          break;
        }
      }
      items.push_back(std::move(item));
    }
  }

  EffectRequest parsed;
  EffectOptionBinder binder = Bind(*binding, std::move(items), &parsed);
  if (!binder.Error().empty()) {
    *error = binder.Error();
    return false;
  }
  parsed.name = std::string(binding->name);
  parsed.typeId = binding->typeId;
  parsed.applies = binder.TakeApplies();
  parsed.setup.kind = FindEffectKind(binding->typeId);
  for (int32_t channel = 0; channel < 2; ++channel) {
    parsed.setup.channels[channel].values = binder.Values()[channel];
  }
  *request = std::move(parsed);
  return true;
}

bool AppendRequestedEffect(const EffectRequest& request, EffectChain& left, EffectChain& right,
                           int32_t sampleRate, std::string* error) {
  EffectChain* chains[2] = {&left, &right};
  Effect* nodes[2] = {left.Append(request.typeId), right.Append(request.typeId)};
  if (!nodes[0] || !nodes[1]) {
    *error = "--effect " + request.name + ": this build cannot create the effect";
    return false;
  }
  for (int32_t channel = 0; channel < 2; ++channel) {
    for (const EffectApplyFn& apply : request.applies) {
      if (!apply(*nodes[channel], channel, sampleRate, error)) {
        return false;
      }
    }
    chains[channel]->SetEnabled(nodes[channel], request.enabled[channel].value_or(1));
  }
  return true;
}

std::string ShownValue(std::string_view value) {
  constexpr size_t kLongest = 60;
  bool cut = false;
  if (value.size() > kLongest) {
    size_t end = kLongest;
    while (end > 0 && (static_cast<unsigned char>(value[end]) & 0xC0) == 0x80) {
      --end;  // not inside a UTF-8 sequence
    }
    value = value.substr(0, end);
    cut = true;
  }
  std::string shown;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c == '\r') {
      shown += "\\r";
    } else {
      constexpr char kHex[] = "0123456789abcdef";
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 15];
    }
  }
  return cut ? shown + "\u2026" : shown;
}

std::string DescribeEffects() {
  return DescribeEffects(EffectBindings());
}

std::string DescribeEffects(std::span<const EffectBinding> bindings) {
  std::string text;
  for (const EffectBinding& binding : bindings) {
    EffectOptionBinder binder = Bind(binding, {}, nullptr);
    text += binding.name;
    for (const std::string& description : binder.KeyDescriptions()) {
      text += "\n  " + description;
    }
    text += "\n";
  }
  return text;
}
