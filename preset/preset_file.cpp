#include "preset/preset_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSaveFile>
#include <charconv>
#include <cmath>
#include <limits>
#include <tuple>
#include <utility>

namespace {

// Larger files are refused before they are parsed.
constexpr qint64 kMaxPresetBytes = 1 << 20;

constexpr const char* kChannelNames[2] = {"left", "right"};

// --- reading ---

// A JSON value as a message quotes it: short, on one line.
std::string Shown(const QJsonValue& value) {
  switch (value.type()) {
    case QJsonValue::Bool:
      return value.toBool() ? "true" : "false";
    case QJsonValue::Double:
      return FormatNumber(value.toDouble());
    case QJsonValue::String: {
      // Cut after 60 characters; control characters shown as "?".
      QString text = value.toString().left(60);
      for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
          c = QLatin1Char('?');
        }
      }
      return "\"" + text.toStdString() + (value.toString().size() > 60 ? "\u2026\"" : "\"");
    }
    case QJsonValue::Array:
      return "a list";
    case QJsonValue::Object:
      return "an object";
    default:
      return "null";
  }
}

bool IsWhole(double value) {
  return std::isfinite(value) && std::trunc(value) == value;
}

// Reads one document into a Preset, stopping at the first fault.
class PresetReader {
 public:
  explicit PresetReader(std::string name) : name_(std::move(name)) {}

  bool Read(const QByteArray& text, Preset* preset);
  const std::string& Error() const { return error_; }

 private:
  // Sets the error for the value at `where` (a key path) and returns false.
  bool Fail(const std::string& where, const std::string& problem) {
    error_ = name_ + ": " + (where.empty() ? "" : where + ": ") + problem;
    return false;
  }
  // Refuses a key of `object` that is not among `keys`.
  bool OnlyKeys(const QJsonObject& object, const std::string& where,
                const std::vector<std::string_view>& keys);
  // `value` as an object with no other keys than `keys`.
  bool ReadObject(const QJsonValue& value, const std::string& where,
                  const std::vector<std::string_view>& keys, QJsonObject* object);
  bool ReadInteger(const QJsonValue& value, const std::string& where, int64_t min, int64_t max,
                   int32_t* out);
  bool ReadText(const QJsonValue& value, const std::string& where, std::string* out);
  bool ReadEffect(const QJsonValue& value, const std::string& where, EffectSetup* setup);
  bool ReadChannel(const QJsonValue& value, const std::string& where, const EffectKind& kind,
                   ChannelSetup* channel);
  bool ReadParameter(const QJsonValue& value, const std::string& where, const ParameterSpec& spec,
                     ParameterValue* out);
  bool ReadNumber(const QJsonValue& value, const std::string& where, const ParameterSpec& spec,
                  double min, double max, double* out);
  bool ReadIo(const QJsonValue& value, const std::string& where, IoSetup* io);
  bool ReadEndpoint(const QJsonValue& value, const std::string& where, IoEndpoint* endpoint);

  std::string name_;
  std::string error_;
};

bool PresetReader::OnlyKeys(const QJsonObject& object, const std::string& where,
                            const std::vector<std::string_view>& keys) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    const std::string key = it.key().toStdString();
    bool known = false;
    for (const std::string_view k : keys) {
      known = known || k == key;
    }
    if (!known) {
      std::string list;
      for (const std::string_view k : keys) {
        list += list.empty() ? "" : ", ";
        list += k;
      }
      return Fail(where, "unknown key " + Shown(QJsonValue(it.key())) + " (keys: " + list + ")");
    }
  }
  return true;
}

bool PresetReader::ReadObject(const QJsonValue& value, const std::string& where,
                              const std::vector<std::string_view>& keys, QJsonObject* object) {
  if (!value.isObject()) {
    return Fail(where, Shown(value) + " is not an object");
  }
  *object = value.toObject();
  return OnlyKeys(*object, where, keys);
}

bool PresetReader::ReadInteger(const QJsonValue& value, const std::string& where, int64_t min,
                               int64_t max, int32_t* out) {
  if (!value.isDouble() || !IsWhole(value.toDouble())) {
    return Fail(where, Shown(value) + " is not a whole number");
  }
  const double number = value.toDouble();
  if (number < static_cast<double>(min) || number > static_cast<double>(max)) {
    return Fail(where, Shown(value) + " is out of range (allowed: " + std::to_string(min) + ".." +
                           std::to_string(max) + ")");
  }
  *out = static_cast<int32_t>(number);
  return true;
}

bool PresetReader::ReadText(const QJsonValue& value, const std::string& where, std::string* out) {
  if (!value.isString()) {
    return Fail(where, Shown(value) + " is not a text");
  }
  *out = value.toString().toStdString();
  return true;
}

bool PresetReader::ReadNumber(const QJsonValue& value, const std::string& where,
                              const ParameterSpec& spec, double min, double max, double* out) {
  if (!value.isDouble()) {
    return Fail(where, Shown(value) + " is not a number");
  }
  const double number = value.toDouble();
  if (spec.kind == ParameterKind::kInteger && !IsWhole(number)) {
    return Fail(where, Shown(value) + " is not a whole number");
  }
  if (!(number >= min && number <= max)) {
    // An effect's own default may lie outside what the pages let a user type
    // (the chorus's feedback of 0.5 %); a preset may still carry it.
    const bool defaultOutside = spec.kind != ParameterKind::kCurve &&
                                !(spec.defaultValue >= min && spec.defaultValue <= max);
    if (defaultOutside && number == spec.defaultValue) {
      *out = number;
      return true;
    }
    return Fail(where, Shown(value) + " is out of range (allowed: " + FormatNumber(min) + ".." +
                           FormatNumber(max) +
                           (defaultOutside ? ", or the default " + FormatNumber(spec.defaultValue)
                                           : std::string()) +
                           ")");
  }
  *out = number;
  return true;
}

bool PresetReader::ReadParameter(const QJsonValue& value, const std::string& where,
                                 const ParameterSpec& spec, ParameterValue* out) {
  const auto countProblem = [&spec](qsizetype count, const char* what) {
    return std::to_string(count) + " " + what + " (allowed: " + std::to_string(spec.minCount) +
           ".." + std::to_string(spec.maxCount) + ")";
  };
  switch (spec.kind) {
    case ParameterKind::kNumber:
    case ParameterKind::kInteger: {
      double number = 0;
      if (!ReadNumber(value, where, spec, spec.min, spec.max, &number)) {
        return false;
      }
      *out = number;
      return true;
    }
    case ParameterKind::kChoice: {
      std::string names;
      for (size_t i = 0; i < spec.choices.size(); ++i) {
        if (value.isString() && value.toString() == QLatin1String(spec.choices[i])) {
          *out = static_cast<double>(i);
          return true;
        }
        names += std::string(i == 0 ? "" : ", ") + spec.choices[i];
      }
      if (value.isDouble() && IsWhole(value.toDouble()) && value.toDouble() >= 0 &&
          value.toDouble() < static_cast<double>(spec.choices.size())) {
        *out = value.toDouble();
        return true;
      }
      return Fail(where, Shown(value) + " is not one of " + names);
    }
    case ParameterKind::kNumberList: {
      if (!value.isArray()) {
        return Fail(where, Shown(value) + " is not a list of numbers");
      }
      const QJsonArray array = value.toArray();
      if (array.size() < spec.minCount || array.size() > spec.maxCount) {
        return Fail(where, countProblem(array.size(), "numbers"));
      }
      std::vector<double> list;
      for (qsizetype i = 0; i < array.size(); ++i) {
        double number = 0;
        if (!ReadNumber(array[i], where + "[" + std::to_string(i) + "]", spec, spec.min, spec.max,
                        &number)) {
          return false;
        }
        list.push_back(number);
      }
      *out = list;
      return true;
    }
    case ParameterKind::kCurve: {
      if (!value.isArray()) {
        return Fail(where, Shown(value) + " is not a list of points [x, y]");
      }
      const QJsonArray array = value.toArray();
      if (array.size() < spec.minCount || array.size() > spec.maxCount) {
        return Fail(where, countProblem(array.size(), "points"));
      }
      std::vector<CurvePointValue> points;
      for (qsizetype i = 0; i < array.size(); ++i) {
        const std::string at = where + "[" + std::to_string(i) + "]";
        const QJsonArray pair = array[i].toArray();
        if (!array[i].isArray() || pair.size() != 2) {
          return Fail(at, Shown(array[i]) + " is not a point [x, y]");
        }
        CurvePointValue point;
        if (!ReadNumber(pair[0], at + "[0]", spec, spec.minX, spec.maxX, &point.x) ||
            !ReadNumber(pair[1], at + "[1]", spec, spec.min, spec.max, &point.y)) {
          return false;
        }
        // Strictly increasing as the effect holds them, in single precision.
        if (!points.empty() &&
            !(static_cast<float>(point.x) > static_cast<float>(points.back().x))) {
          return Fail(at, "x is not above the previous point's");
        }
        points.push_back(point);
      }
      *out = points;
      return true;
    }
  }
  return false;
}

bool PresetReader::ReadChannel(const QJsonValue& value, const std::string& where,
                               const EffectKind& kind, ChannelSetup* channel) {
  const std::span<const ParameterSpec> specs = kind.parameters->specs;
  std::vector<std::string_view> keys = {"enabled", "in", "out"};
  for (const ParameterSpec& spec : specs) {
    keys.push_back(spec.key);
  }
  QJsonObject object;
  if (!ReadObject(value, where, keys, &object)) {
    return false;
  }
  if (object.contains(QLatin1String("enabled"))) {
    if (!object.value(QLatin1String("enabled")).isBool()) {
      return Fail(where + ".enabled",
                  Shown(object.value(QLatin1String("enabled"))) + " is not true or false");
    }
    channel->enabled = object.value(QLatin1String("enabled")).toBool();
  }
  for (const auto& [key, position] :
       {std::pair{"in", &channel->dryInput}, std::pair{"out", &channel->dryOutput}}) {
    if (object.contains(QLatin1String(key)) &&
        !ReadInteger(object.value(QLatin1String(key)), where + "." + key, 0, kMixPositionMax,
                     position)) {
      return false;
    }
  }
  channel->values.assign(specs.size(), std::nullopt);
  for (size_t i = 0; i < specs.size(); ++i) {
    const QString key = QString::fromUtf8(specs[i].key.data(), specs[i].key.size());
    if (object.contains(key)) {
      ParameterValue parameter;
      if (!ReadParameter(object.value(key), where + "." + std::string(specs[i].key), specs[i],
                         &parameter)) {
        return false;
      }
      channel->values[i] = std::move(parameter);
    } else {
      channel->values[i] = DefaultValue(specs[i]);
    }
  }
  // The pair that must stay apart, as the effect will hold the two values.
  if (const OrderedKeys* ordered = kind.parameters->ordered) {
    const auto held = [&](std::string_view key) {
      return std::get<double>(*channel->values[ParameterIndex(*kind.parameters, key)]);
    };
    std::string problem;
    if (!CheckOrderedKeys(*ordered, held(ordered->lowerKey), 0, held(ordered->upperKey), 0,
                          &problem)) {
      return Fail(where, problem);
    }
  }
  return true;
}

bool PresetReader::ReadEffect(const QJsonValue& value, const std::string& where,
                              EffectSetup* setup) {
  QJsonObject object;
  if (!ReadObject(value, where, {"effect", "left", "right"}, &object)) {
    return false;
  }
  std::string name;
  if (!object.contains(QLatin1String("effect"))) {
    return Fail(where + ".effect", "missing");
  }
  if (!ReadText(object.value(QLatin1String("effect")), where + ".effect", &name)) {
    return false;
  }
  setup->kind = FindEffectKind(name);
  if (!setup->kind) {
    std::string known;
    for (const EffectKind& kind : EffectKinds()) {
      known += std::string(known.empty() ? "" : ", ") + std::string(kind.renderName);
    }
    return Fail(where + ".effect", Shown(object.value(QLatin1String("effect"))) +
                                       " is not an effect (known: " + known + ")");
  }
  for (int32_t channel = 0; channel < 2; ++channel) {
    const QLatin1String key(kChannelNames[channel]);
    ChannelSetup& setup_channel = setup->channels[channel];
    if (!ReadChannel(object.contains(key) ? object.value(key) : QJsonValue(QJsonObject()),
                     where + "." + kChannelNames[channel], *setup->kind, &setup_channel)) {
      return false;
    }
  }
  return true;
}

bool PresetReader::ReadEndpoint(const QJsonValue& value, const std::string& where,
                                IoEndpoint* endpoint) {
  QJsonObject object;
  if (!ReadObject(value, where, {"file", "device", "name"}, &object)) {
    return false;
  }
  endpoint->isFile = object.contains(QLatin1String("file"));
  if (endpoint->isFile == object.contains(QLatin1String("device"))) {
    return Fail(where, "needs either \"file\" or \"device\"");
  }
  if (endpoint->isFile) {
    if (object.contains(QLatin1String("name"))) {
      return Fail(where, "a file has no \"name\"");
    }
    return ReadText(object.value(QLatin1String("file")), where + ".file", &endpoint->file);
  }
  return ReadInteger(object.value(QLatin1String("device")), where + ".device", 0,
                     std::numeric_limits<int32_t>::max(), &endpoint->device) &&
         (!object.contains(QLatin1String("name")) ||
          ReadText(object.value(QLatin1String("name")), where + ".name", &endpoint->deviceName));
}

bool PresetReader::ReadIo(const QJsonValue& value, const std::string& where, IoSetup* io) {
  QJsonObject object;
  if (!ReadObject(value, where, {"buffers", "rate", "channels", "bits", "source", "sink"},
                  &object)) {
    return false;
  }
  for (const char* key : {"buffers", "rate", "channels", "bits", "source", "sink"}) {
    if (!object.contains(QLatin1String(key))) {
      return Fail(where + "." + key, "missing");
    }
  }
  // The page's fields take any number of digits; the engine limits them.
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  if (!ReadInteger(object.value(QLatin1String("buffers")), where + ".buffers", 0, kLargest,
                   &io->buffers) ||
      !ReadInteger(object.value(QLatin1String("rate")), where + ".rate", 0, kLargest, &io->rate)) {
    return false;
  }
  for (const auto& [key, field, a, b] :
       {std::tuple{"channels", &io->channels, 1, 2}, std::tuple{"bits", &io->bits, 8, 16}}) {
    const QJsonValue v = object.value(QLatin1String(key));
    if (!v.isDouble() || (v.toDouble() != a && v.toDouble() != b)) {
      return Fail(where + "." + key,
                  Shown(v) + " is not " + std::to_string(a) + " or " + std::to_string(b));
    }
    *field = static_cast<int32_t>(v.toDouble());
  }
  return ReadEndpoint(object.value(QLatin1String("source")), where + ".source", &io->source) &&
         ReadEndpoint(object.value(QLatin1String("sink")), where + ".sink", &io->sink);
}

bool PresetReader::Read(const QByteArray& text, Preset* preset) {
  if (text.size() > kMaxPresetBytes) {
    return Fail("", "larger than 1 MiB, not a preset");
  }
  QJsonParseError parse;
  const QJsonDocument document = QJsonDocument::fromJson(text, &parse);
  if (parse.error != QJsonParseError::NoError) {
    int line = 1;
    int column = 1;
    for (int i = 0; i < parse.offset && i < text.size(); ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    return Fail("line " + std::to_string(line) + ", column " + std::to_string(column),
                "not valid JSON (" + parse.errorString().toStdString() + ")");
  }
  if (!document.isObject()) {
    return Fail("", "not a preset (the top level is not an object)");
  }
  const QJsonObject root = document.object();
  const QJsonValue format = root.value(QLatin1String("format"));
  if (format.isUndefined()) {
    return Fail("format",
                std::string("missing (a preset has \"format\": \"") + kPresetFormat + "\")");
  }
  if (format != QJsonValue(QLatin1String(kPresetFormat))) {
    return Fail("format", Shown(format) + " is not \"" + kPresetFormat + "\"");
  }
  const QJsonValue version = root.value(QLatin1String("version"));
  if (version.isUndefined()) {
    return Fail("version", "missing");
  }
  if (!version.isDouble() || version.toDouble() != kPresetVersion) {
    return Fail("version", Shown(version) + " is not a version this program reads (" +
                               std::to_string(kPresetVersion) + ")");
  }
  if (!OnlyKeys(root, "", {"format", "version", "description", "blockBytes", "effects", "io"})) {
    return false;
  }
  Preset read;
  if (root.contains(QLatin1String("description")) &&
      !ReadText(root.value(QLatin1String("description")), "description", &read.description)) {
    return false;
  }
  if (root.contains(QLatin1String("blockBytes"))) {
    const QJsonValue block = root.value(QLatin1String("blockBytes"));
    std::string allowed;
    for (const int32_t bytes : kPresetBlockBytes) {
      allowed += (allowed.empty() ? "" : ", ") + std::to_string(bytes);
      if (block.isDouble() && block.toDouble() == bytes) {
        read.blockBytes = bytes;
      }
    }
    if (read.blockBytes == 0) {
      return Fail("blockBytes", Shown(block) + " is not a block length (allowed: " + allowed + ")");
    }
  }
  const QJsonValue effects = root.value(QLatin1String("effects"));
  if (effects.isUndefined()) {
    return Fail("effects", "missing");
  }
  if (!effects.isArray()) {
    return Fail("effects", Shown(effects) + " is not a list");
  }
  const QJsonArray list = effects.toArray();
  for (qsizetype i = 0; i < list.size(); ++i) {
    EffectSetup setup;
    if (!ReadEffect(list[i], "effects[" + std::to_string(i) + "]", &setup)) {
      return false;
    }
    read.effects.push_back(std::move(setup));
  }
  if (root.contains(QLatin1String("io"))) {
    IoSetup io;
    if (!ReadIo(root.value(QLatin1String("io")), "io", &io)) {
      return false;
    }
    read.io = io;
  }
  *preset = std::move(read);
  return true;
}

// --- writing ---

// A number as JSON that reads back to what the effect holds: a whole number
// as one; a value a float holds exactly (the effects keep single precision)
// with the fewest digits that give that float again; any other with the
// fewest digits that give the double again.
std::string JsonNumber(double value, bool usedAsDouble) {
  char text[64];
  std::to_chars_result result{};
  if (IsWhole(value) && std::fabs(value) < 1e15) {
    result = std::to_chars(text, text + sizeof text, static_cast<long long>(value));
  } else if (!usedAsDouble && static_cast<double>(static_cast<float>(value)) == value) {
    result = std::to_chars(text, text + sizeof text, static_cast<float>(value));
  } else {
    result = std::to_chars(text, text + sizeof text, value);
  }
  return std::string(text, result.ptr);
}

std::string JsonString(const std::string& value) {
  std::string text = "\"";
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text += '\\';
      text += c;
    } else if (byte < 0x20) {
      constexpr char kHex[] = "0123456789abcdef";
      text += "\\u00";
      text += kHex[byte >> 4];
      text += kHex[byte & 15];
    } else {
      text += c;
    }
  }
  return text + "\"";
}

std::string JsonValue(const ParameterSpec& spec, const ParameterValue& value) {
  // The band frequencies are turned into angles in double precision.
  const bool usedAsDouble = spec.kind == ParameterKind::kNumberList && spec.optional;
  if (const double* number = std::get_if<double>(&value)) {
    if (spec.kind == ParameterKind::kChoice && *number >= 0 &&
        *number < static_cast<double>(spec.choices.size())) {
      return JsonString(spec.choices[static_cast<size_t>(*number)]);
    }
    return JsonNumber(*number, usedAsDouble);
  }
  std::string text = "[";
  if (const auto* list = std::get_if<std::vector<double>>(&value)) {
    for (size_t i = 0; i < list->size(); ++i) {
      text += (i ? ", " : "") + JsonNumber((*list)[i], usedAsDouble);
    }
  } else {
    const auto& points = std::get<std::vector<CurvePointValue>>(value);
    for (size_t i = 0; i < points.size(); ++i) {
      text += (i ? ", [" : "[") + JsonNumber(points[i].x, false) + ", " +
              JsonNumber(points[i].y, false) + "]";
    }
  }
  return text + "]";
}

std::string JsonEndpoint(const IoEndpoint& endpoint) {
  if (endpoint.isFile) {
    return "{\"file\": " + JsonString(endpoint.file) + "}";
  }
  return "{\"device\": " + std::to_string(endpoint.device) +
         ", \"name\": " + JsonString(endpoint.deviceName) + "}";
}

}  // namespace

bool ParsePreset(const QByteArray& text, const std::string& name, Preset* preset,
                 std::string* error) {
  PresetReader reader(name);
  if (!reader.Read(text, preset)) {
    *error = reader.Error();
    return false;
  }
  return true;
}

bool ReadPresetFile(const std::string& path, Preset* preset, std::string* error) {
  QFile file(QFile::decodeName(path.c_str()));
  if (!file.open(QIODevice::ReadOnly)) {
    *error = path + ": cannot be read (" + file.errorString().toStdString() + ")";
    return false;
  }
  // One byte beyond the limit tells a file that is too large.
  const QByteArray text = file.read(kMaxPresetBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    *error = path + ": cannot be read (" + file.errorString().toStdString() + ")";
    return false;
  }
  return ParsePreset(text, path, preset, error);
}

std::string PresetText(const Preset& preset) {
  std::string text = "{\n";
  text += "  \"format\": " + JsonString(kPresetFormat) + ",\n";
  text += "  \"version\": " + std::to_string(kPresetVersion) + ",\n";
  if (!preset.description.empty()) {
    text += "  \"description\": " + JsonString(preset.description) + ",\n";
  }
  if (preset.blockBytes != 0) {
    text += "  \"blockBytes\": " + std::to_string(preset.blockBytes) + ",\n";
  }
  text += "  \"effects\": [";
  for (size_t e = 0; e < preset.effects.size(); ++e) {
    const EffectSetup& setup = preset.effects[e];
    text += std::string(e ? "," : "") +
            "\n    {\n      \"effect\": " + JsonString(std::string(setup.kind->renderName));
    const std::span<const ParameterSpec> specs = setup.kind->parameters->specs;
    for (int32_t c = 0; c < 2; ++c) {
      const ChannelSetup& channel = setup.channels[c];
      text += std::string(",\n      \"") + kChannelNames[c] + "\": {\n";
      text += std::string("        \"enabled\": ") + (channel.enabled ? "true" : "false");
      text += ",\n        \"in\": " + std::to_string(channel.dryInput);
      text += ",\n        \"out\": " + std::to_string(channel.dryOutput);
      for (size_t i = 0; i < specs.size() && i < channel.values.size(); ++i) {
        if (channel.values[i]) {
          text += ",\n        \"" + std::string(specs[i].key) +
                  "\": " + JsonValue(specs[i], *channel.values[i]);
        }
      }
      text += "\n      }";
    }
    text += "\n    }";
  }
  text += preset.effects.empty() ? "]" : "\n  ]";
  if (preset.io) {
    const IoSetup& io = *preset.io;
    text += ",\n  \"io\": {\n";
    text += "    \"buffers\": " + std::to_string(io.buffers) + ",\n";
    text += "    \"rate\": " + std::to_string(io.rate) + ",\n";
    text += "    \"channels\": " + std::to_string(io.channels) + ",\n";
    text += "    \"bits\": " + std::to_string(io.bits) + ",\n";
    text += "    \"source\": " + JsonEndpoint(io.source) + ",\n";
    text += "    \"sink\": " + JsonEndpoint(io.sink) + "\n  }";
  }
  return text + "\n}\n";
}

bool WritePresetFile(const std::string& path, const Preset& preset, std::string* error) {
  QSaveFile file(QFile::decodeName(path.c_str()));
  const std::string text = PresetText(preset);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), static_cast<qint64>(text.size())) !=
          static_cast<qint64>(text.size()) ||
      !file.commit()) {
    *error = path + ": cannot be written (" + file.errorString().toStdString() + ")";
    return false;
  }
  return true;
}
