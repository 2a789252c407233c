#include "effects/distortion_effect.h"

#include <algorithm>

#include "dsp/wrap32.h"
#include "effects/block_pieces.h"
#include "effects/effect_factory.h"

namespace {

// The curve at input level v, clamped to the table: u = v + 32768 in
// 0..65535, entry u >> 8 plus (u & 255)/256 of the step to the next entry.
inline int32_t Shape(const int32_t* table, int32_t v) {
  const int32_t u = std::clamp(Add32(v, 32768), 0, 65535);
  const int32_t i = u >> 8;
  const int32_t f = u & 255;
  return Add32(table[i], Mul32(Sub32(table[i + 1], table[i]), f) >> 8);
}

// One piece of at most blockFrames samples. Each sample is shaped as soon as
// the pre-filter gives it, in the filter's own loop.
void ShapeBlock(DistortionSettings& s, const int16_t* source, int16_t* destination, int32_t count) {
  const int32_t* table = s.shapeTable.data();
  const int32_t feedback = s.feedback;
  int32_t p = s.lastOutput;
  // Narrowed to 16 bits without clamping; the feedback keeps all 32 bits.
  if (feedback == 0) {
    // No share of the previous value: the samples are shaped independently
    // of each other.
    FilterBiquad(source, &s.preFilter.section, count, [&](int32_t n, int32_t x) {
      p = Shape(table, x);
      destination[n] = static_cast<int16_t>(p);
    });
  } else {
    FilterBiquad(source, &s.preFilter.section, count, [&](int32_t n, int32_t x) {
      // The fed-back share is truncated toward zero: at most half the
      // previous value in size, so the loop dies out after the input stops.
      p = Shape(table, Add32(MulDiv256TowardZero(feedback, p), x));
      destination[n] = static_cast<int16_t>(p);
    });
  }
  s.lastOutput = p;
  int_mix::MixBlock(source, destination, s.dryInputGain, s.dryOutputGain, count);
}

}  // namespace

DistortionEffect::DistortionEffect()
    : IntMixEffect(EffectNodeName(kDistortionEffectId), kDistortionEffectId, &record,
                   &DistortionEffect::ProcessCallback) {
  record.curve.Assign(DistortionSettings::kDefaultCurve, DistortionSettings::kDefaultCurve);
}

DistortionEffect::~DistortionEffect() {
  Release();
}

void DistortionEffect::Prepare(void* /*settings: always this node's record*/, int32_t blockFrames,
                               int32_t sampleRate) {
  if (prepared) {
    return;
  }
  prepared = 1;
  DistortionSettings& s = record;
  s.shapeTable.assign(DistortionSettings::kShapeTableSize, 0);
  s.lastOutput = 0;
  s.blockFrames = std::max(blockFrames, 1);
  s.filtered.assign(static_cast<size_t>(s.blockFrames), 0);
  s.preFilter.section = DesignedBiquad(
      FilterKind::LowPass, s.preFilter.preFilterHz / static_cast<float>(sampleRate) * 2.0f, 0.0f,
      0.707f, 1.0f);
  RebuildShapeTable(&s);
}

void DistortionEffect::Update(void*, int32_t) {
  if (prepared) {
    RebuildShapeTable(&record);
  }
}

void DistortionEffect::SetCurve(std::span<const CurvePoint> points) {
  record.curve.Assign(points, DistortionSettings::kDefaultCurve);
  if (prepared) {
    RebuildShapeTable(&record);
  }
}

void RebuildShapeTable(DistortionSettings* settings) {
  ResampleCurveToInts(settings->curve.Points(), settings->shapeTable.data(),
                      settings->curve.Count(), DistortionSettings::kShapeTableSize);
}

int32_t DistortionEffect::ProcessCallback(const int16_t* source, int16_t* destination,
                                          void* settings, int32_t count) {
  auto& s = *static_cast<DistortionSettings*>(settings);
  RunInPieces(source, destination, count, s.blockFrames,
              [&s](const int16_t* in, int16_t* out, int32_t n) { ShapeBlock(s, in, out, n); });
  return 0;
}

void DistortionEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  record.shapeTable = {};
  record.filtered = {};
  record.blockFrames = 0;
}
