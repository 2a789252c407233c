#include "effects/distortion_effect.h"

#include <algorithm>

#include "dsp/wrap32.h"
#include "effects/effect_factory.h"

namespace {

// The identity line: the curve until the response graph hands over its own.
constexpr CurvePoint kIdentityCurve[2] = {{-32767.0f, -32767.0f}, {32767.0f, 32767.0f}};

// One piece of at most blockLength samples.
void ShapeBlock(DistortionSettings& s, const int16_t* source, int16_t* destination, int32_t count) {
  RunBiquad(source, s.filtered.data(), &s.preFilter->section, count);
  const int32_t* table = s.shapeTable.data();
  int32_t p = s.lastOutput;
  for (int32_t n = 0; n < count; ++n) {
    // The fed-back share is truncated toward zero: at most half the previous
    // value in size, so the loop dies out after the input stops.
    const int32_t v =
        Wrap32(static_cast<int64_t>(MulDiv256TowardZero(s.feedback, p)) + s.filtered[n]);
    // The input level, clamped to the table: 0..65535 for -32768..+32767.
    const int32_t u = std::clamp(Wrap32(static_cast<int64_t>(v) + 32768), 0, 65535);
    const int32_t i = u >> 8;
    const int32_t f = u & 255;
    const int32_t y =
        Wrap32(static_cast<int64_t>(table[i]) +
               (Mul32(Wrap32(static_cast<int64_t>(table[i + 1]) - table[i]), f) >> 8));
    // Narrowed to 16 bits without clamping; the feedback keeps all 32 bits.
    destination[n] = static_cast<int16_t>(y);
    p = y;
  }
  s.lastOutput = p;
  int_mix::MixBlock(source, destination, s.dryInputGain, s.dryOutputGain, count);
}

}  // namespace

DistortionEffect::DistortionEffect()
    : IntMixEffect("Distorsion Effect", kDistortionEffectId, &record,
                   &DistortionEffect::ProcessCallback) {
  record.preFilter = std::make_unique<DistortionPreFilter>();
  record.curvePoints = kIdentityCurve;
  record.curvePointCount = 2;
}

DistortionEffect::~DistortionEffect() {
  Release();
}

void DistortionEffect::Prepare(void* /*settings: always this node's record*/, int32_t blockLength,
                               int32_t sampleRate) {
  if (prepared) {
    return;
  }
  prepared = 1;
  DistortionSettings& s = record;
  s.shapeTable.assign(DistortionSettings::kShapeTableSize, 0);
  s.lastOutput = 0;
  s.blockLength = std::max(blockLength, 1);
  s.filtered.assign(static_cast<size_t>(s.blockLength), 0);

  DistortionPreFilter& pre = *s.preFilter;
  pre.history.assign(8, 0);
  pre.coefficients.assign(kBiquadCoefficientCount, 0);
  pre.section.history = pre.history.data();
  pre.section.coefficients = pre.coefficients.data();
  pre.section.ringPosition = 0;
  pre.section.q = 0.707f;
  pre.section.f1 = pre.preFilterHz / static_cast<float>(sampleRate) * 2.0f;
  pre.section.gain = 1.0f;
  pre.section.kind = FilterKind::LowPass;
  DesignBiquad(&pre.section);

  RebuildShapeTable(&s);
}

void DistortionEffect::Update(void*, int32_t) {
  if (prepared) {
    RebuildShapeTable(&record);
  }
}

void RebuildShapeTable(DistortionSettings* settings) {
  const bool usable = settings->curvePoints != nullptr && settings->curvePointCount >= 2;
  ResampleCurveToInts(usable ? settings->curvePoints : kIdentityCurve, settings->shapeTable.data(),
                      usable ? settings->curvePointCount : 2, DistortionSettings::kShapeTableSize);
}

int32_t DistortionEffect::ProcessCallback(const int16_t* source, int16_t* destination,
                                          void* settings, int32_t count) {
  auto& s = *static_cast<DistortionSettings*>(settings);
  if (s.blockLength <= 0) {
    return 0;  // not prepared
  }
  s.busy = 1;
  for (int32_t done = 0; done < count; done += s.blockLength) {
    ShapeBlock(s, source + done, destination + done, std::min(s.blockLength, count - done));
  }
  s.busy = 0;
  return 0;
}

void DistortionEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  DistortionSettings& s = record;
  s.shapeTable = {};
  s.filtered = {};
  s.blockLength = 0;
  DistortionPreFilter& pre = *s.preFilter;
  pre.coefficients = {};
  pre.history = {};
  pre.section.coefficients = nullptr;
  pre.section.history = nullptr;
}
