#include "effects/delay_effect.h"

#include <algorithm>

#include "dsp/delay_line.h"
#include "effects/effect_factory.h"

DelayEffect::DelayEffect(float delayMs, float dryInputMix, float dryOutputMix)
    : FloatMixEffect("Delay Effect", kDelayEffectId, &record, &DelayEffect::ProcessCallback) {
  record.delayMs = delayMs;
  record.busy = 0;
  record.dryInputMix = dryInputMix;
  record.dryOutputMix = dryOutputMix;
  // The gains exist from construction, so mix levels can be set before a run.
  record.gains.assign(2, 0);
  record.mix.gains = record.gains.data();
}

DelayEffect::~DelayEffect() {
  Release();
}

void DelayEffect::Prepare(void* /*settings: always this node's record*/, int32_t blockLength,
                          int32_t sampleRate) {
  if (prepared) {
    return;
  }
  DelaySettings& s = record;
  const int32_t half = static_cast<int32_t>(sampleRate * 0.5);
  s.lineLength = half + 1;
  // The product of rate and time is formed (in single precision) before the
  // scaling to seconds.
  int32_t d = static_cast<int32_t>(static_cast<float>(sampleRate) * s.delayMs * 0.001);
  // A delay the line cannot hold would put the read position outside it;
  // callers stay within 0..100 ms, far inside the half second.
  d = std::clamp(d, 0, half);
  s.writeIndex = 0;
  s.readIndex = d != 0 ? s.lineLength - d : 0;
  s.line.assign(static_cast<size_t>(s.lineLength), 0);

  s.mix.signalCount = 2;
  s.delayed.assign(static_cast<size_t>(blockLength), 0);
  s.accumulator.assign(static_cast<size_t>(blockLength), 0);
  s.mix.extraSignals = s.delayed.data();
  s.mix.accumulator = s.accumulator.data();
  s.gains[0] = float_mix::GainFromLevel(s.dryInputMix);
  s.gains[1] = float_mix::GainFromLevel(s.dryOutputMix);
  prepared = 1;
}

int32_t DelayEffect::ProcessCallback(const int16_t* source, int16_t* destination, void* settings,
                                     int32_t count) {
  auto* s = static_cast<DelaySettings*>(settings);
  // The record's first fields are the line's state; the routine works on
  // them through a DelayLine and hands them back.
  DelayLine line{s->line.data(), s->writeIndex, s->readIndex, s->lineLength, 0, 0};
  s->busy = 1;
  RunDelayLine(source, s->delayed.data(), &line, count);
  s->writeIndex = line.writePosition;
  s->readIndex = line.readPosition;
  s->busy = line.busy;
  MixSignals(source, destination, &s->mix, count);
  return 0;
}

void DelayEffect::Release() {
  if (!prepared) {
    return;
  }
  prepared = 0;
  DelaySettings& s = record;
  s.line = {};
  s.delayed = {};
  s.accumulator = {};
  s.mix.extraSignals = nullptr;
  s.mix.accumulator = nullptr;
}

void DelayEffect::SetDelayTime(float newMs, int32_t sampleRate) {
  DelaySettings& s = record;
  const auto delta =
      static_cast<int32_t>((newMs - s.delayMs) * static_cast<float>(sampleRate) * 0.001);
  if (s.lineLength > 0) {
    // One wrap suffices for the page's 0..100 ms; the remainder keeps any
    // other step inside the line as well.
    int32_t read = (s.readIndex - delta) % s.lineLength;
    if (read < 0) {
      read += s.lineLength;
    }
    s.readIndex = read;
  }
  s.delayMs = newMs;
}
