#pragma once
// The envelope follower of the compression and the envelope filter, set up
// for a window of `length` samples when the effect is prepared.

#include <algorithm>
#include <cstdint>

#include "dsp/envelope_follower.h"

// The read position runs two ahead of the write position, so the level sums
// the last L - 2 scaled magnitudes; the scale 1.6 / (L + 1) brings a steady
// sine's level close to its peak. The read position starts at 2, so the ring
// gets at least three slots.
inline void PrepareEnvelopeWindow(EnvelopeFollower& envelope, int32_t length) {
  const int32_t slots = std::max(length, 3);
  envelope.Allocate(slots, slots - 2);
  envelope.sum = 0;
  envelope.scale = static_cast<float>(1.6 / (slots + 1));
}
