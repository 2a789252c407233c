#include "effects/delay_effect.h"

#include <algorithm>

#include "effects/effect_factory.h"

DelayEffect::DelayEffect(float delayMs, float dryInputMix, float dryOutputMix)
    : FloatMixEffect(EffectNodeName(kDelayEffectId), kDelayEffectId, &record,
                     &DelayEffect::ProcessCallback) {
  record.delayMs = delayMs;
  record.dryInputMix = dryInputMix;
  record.dryOutputMix = dryOutputMix;
  // The gains exist from construction, so mix levels can be set before a run.
  record.mix.gains.assign(2, 0);
}

DelayEffect::~DelayEffect() {
  Release();
}

void DelayEffect::Prepare(void* /*settings: always this node's record*/, int32_t blockFrames,
                          int32_t sampleRate) {
  if (prepared) {
    return;
  }
  DelaySettings& s = record;
  const int32_t half = static_cast<int32_t>(sampleRate * 0.5);
  // The product of rate and time is formed (in single precision) before the
  // scaling to seconds.
  int32_t d = static_cast<int32_t>(static_cast<float>(sampleRate) * s.delayMs * 0.001);
  // A delay the line cannot hold would put the read position outside it;
  // callers stay within 0..100 ms, far inside the half second.
  d = std::clamp(d, 0, half);
  s.line.Allocate(half + 1, d);
  s.mix.AllocateBlocks(2, blockFrames);
  s.mix.gains[0] = float_mix::GainFromLevel(s.dryInputMix);
  s.mix.gains[1] = float_mix::GainFromLevel(s.dryOutputMix);
  prepared = 1;
}

int32_t DelayEffect::ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                     int32_t count) {
  auto* s = static_cast<DelaySettings*>(settings);
  RunDelayLine(source, s->mix.extraSignals.data(), &s->line, count);
  MixSignals(source, destination, &s->mix, count);
  return 0;
}

void DelayEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  record.line = {};
  record.mix.FreeBlocks();
}

void DelayEffect::SetDelayTime(float newMs, int32_t sampleRate) {
  DelaySettings& s = record;
  const auto delta =
      static_cast<int32_t>((newMs - s.delayMs) * static_cast<float>(sampleRate) * 0.001);
  const int32_t length = s.line.Length();
  if (length > 0) {
    // One wrap suffices for the page's 0..100 ms; the remainder keeps any
    // other step inside the line as well.
    int32_t read = (s.line.readPosition - delta) % length;
    if (read < 0) {
      read += length;
    }
    s.line.readPosition = read;
  }
  s.delayMs = newMs;
}
