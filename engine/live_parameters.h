#pragma once
// What a JACK run copies between the window's effects and the twins that the
// audio thread runs (engine/live_chains.h), per effect class.

#include "effects/effect.h"

// The whole settings record of `from` into `to`: parameters, curves and mix
// levels. Both nodes are of the same type and unprepared (so no stream state
// is copied); false, changing nothing, when they are not.
bool CopySettings(const Effect& from, Effect& to);

// What acts at once when a page changes it during a run, from `from` into
// `to`, both prepared for the same block length and rate: the mix gains, the
// delay's delay in samples (its read position moves against its own write
// position, so `to` keeps its line), the shaper's feedback and shape table,
// the compressor's gain table and the equalizer's kernel. Everything else a
// page writes (cut-offs, times, counts) is heard from the next run, as it
// is in every run. Returns whether anything differed. Allocates nothing.
bool CopyLiveParameters(const Effect& from, Effect& to);
