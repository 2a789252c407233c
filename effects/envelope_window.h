#pragma once
// The envelope follower of the compression and the envelope filter: its ring
// of past scaled magnitudes is sized and cleared in Prepare and freed in
// Release. The records hold it as `envelope` (the follower) and
// `envelopeHistory` (its ring).

#include <algorithm>
#include <cstdint>
#include <memory>

#include "dsp/envelope_follower.h"

// A follower over a window of `length` samples: the read position runs two
// ahead of the write position, so the level sums the last L - 2 scaled
// magnitudes; the scale 1.6 / (L + 1) brings a steady sine's level close to
// its peak. The read position starts at 2, so the ring gets at least three
// slots.
template <typename Record>
void PrepareEnvelopeWindow(Record& s, int32_t length) {
  s.envelopeHistory.assign(static_cast<size_t>(std::max(length, 3)), 0);
  s.envelope = std::make_unique<EnvelopeFollower>();
  s.envelope->buffer = s.envelopeHistory.data();
  s.envelope->length = static_cast<int32_t>(s.envelopeHistory.size());
  s.envelope->sum = 0;
  s.envelope->writePosition = 0;
  s.envelope->readPosition = 2;
  s.envelope->scale = static_cast<float>(1.6 / (s.envelope->length + 1));
}

template <typename Record>
void ReleaseEnvelopeWindow(Record& s) {
  s.envelopeHistory = {};
  s.envelope.reset();
}
