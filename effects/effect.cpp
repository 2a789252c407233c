#include "effects/effect.h"

#include <algorithm>
#include <bit>

Effect::Effect(std::string_view nodeName, int32_t id, void* ownSettings, EffectProcessFn callback)
    : typeId(id), settings(ownSettings), process(callback) {
  const size_t length = std::min(nodeName.size(), name.size() - 1);
  std::copy_n(nodeName.data(), length, name.data());
  name[length] = '\0';
}

void Effect::Prepare(void*, int32_t, int32_t) {}
void Effect::Update(void*, int32_t) {}

void Effect::Process(const int16_t* source, int16_t* destination, int32_t count) {
  if (process && prepared && count > 0) {
    process(source, destination, settings, count);
  }
}

void Effect::Release() {}
void Effect::SetDryInputMix(int32_t) {}
void Effect::SetDryOutputMix(int32_t) {}
int32_t Effect::GetDryInputMix() const {
  return 0;
}
int32_t Effect::GetDryOutputMix() const {
  return 0;
}

namespace {
// 1 / 0.707: a position per unit of level x 256 (float form) or of gain
// (integer form).
constexpr double kPositionPerLevel = 1.4144271570014144;
// 0.707 / 256: the level of one slider step.
constexpr double kLevelPerPosition = 0.00276171875;
}  // namespace

namespace float_mix {
float LevelFromPosition(int32_t position) {
  return static_cast<float>(position * kLevelPerPosition);
}
int32_t GainFromLevel(float level) {
  return static_cast<int32_t>(level * 256.0f);
}
int32_t PositionFromLevel(float level) {
  return static_cast<int32_t>(static_cast<double>(level) * 256.0 * kPositionPerLevel);
}
int32_t PositionSettingLevel(float level) {
  for (int32_t position = 0; position <= kMixPositionMax; ++position) {
    if (LevelFromPosition(position) == level) {
      return position;
    }
  }
  return PositionFromLevel(level);
}
}  // namespace float_mix

namespace int_mix {
int32_t GainFromPosition(int32_t position) {
  return static_cast<int32_t>(position * 0.707);
}
int32_t PositionFromGain(int32_t gain) {
  return static_cast<int32_t>(gain * kPositionPerLevel);
}
int32_t PositionSettingGain(int32_t gain) {
  int32_t best = -1;
  for (int32_t position = 0; position <= kMixPositionMax; ++position) {
    if (GainFromPosition(position) == gain &&
        (best < 0 || std::countr_zero(static_cast<uint32_t>(position)) >
                         std::countr_zero(static_cast<uint32_t>(best)))) {
      best = position;
    }
  }
  return best >= 0 ? best : PositionFromGain(gain);
}
}  // namespace int_mix
