#pragma once
// The effect chains of a JACK run, which the server's thread processes, and
// how the window's changes reach them.
//
// The window keeps working on its own chains (the edited chains): during a
// JACK run its pages set mix levels, delay times, curves, enable flags and
// the order there exactly as during any other run, and the audio thread never
// reads them. The audio thread runs twins instead: for every node of the
// edited chains a node of the same type, made when the run starts with a copy
// of its settings and prepared for the run (the running chains).
//
// Changes cross over through a mailbox: a third set of twins (the handed
// nodes) and, for each chain, the order of its nodes with their enable flags.
// One flag says whose the mailbox is:
//   - the window (Publish) writes into the mailbox only while the flag is
//     clear, and sets it (release) when it has written a change;
//   - the audio thread (TakeChanges, at the start of a period) reads the
//     mailbox only once it has seen the flag set (acquire): it copies what
//     acts at once from the handed nodes into the running ones
//     (CopyLiveParameters), rewrites the running chains' records in place
//     from the order and flags, and clears the flag (release).
// So the mailbox is never written by one thread while the other reads it,
// the edited chains belong to the window alone and the running chains to the
// audio thread alone (from the moment it is started until it has stopped).
// Nothing is allocated after Prepare; nobody waits.

#include <atomic>
#include <cstdint>
#include <vector>

#include "effects/effect_chain.h"

class LiveChains {
 public:
  // Window thread, with the edited chains unprepared: twins of every node,
  // with copies of their settings.
  LiveChains(EffectChain& editedLeft, EffectChain& editedRight);
  LiveChains(const LiveChains&) = delete;
  LiveChains& operator=(const LiveChains&) = delete;

  // Window thread, before the audio thread starts: prepares the twins and
  // sets the running order and flags from the edited chains.
  void Prepare(int32_t blockFrames, int32_t sampleRate);

  // Window thread: when the audio thread has taken the last change, hands
  // over what differs between the edited chains and the mailbox. Returns
  // whether a change is waiting for the audio thread. An edited chain whose
  // membership has changed (the window cleared it on closing) hands nothing.
  bool Publish();

  // Audio thread, at a period boundary: takes a waiting change.
  void TakeChanges();

  // What the audio thread processes.
  const EffectChain& RunningLeft() const { return left_.running; }
  const EffectChain& RunningRight() const { return right_.running; }

 private:
  // A position of a chain's order: which node (twin index) and its flag.
  struct Slot {
    int32_t node = 0;
    int32_t enabled = 0;
    bool operator==(const Slot&) const = default;
  };

  struct Side {
    EffectChain* edited = nullptr;
    // The edited nodes by twin index, known by their settings records: only
    // compared, never followed (the nodes themselves are found by walking
    // the edited chain).
    std::vector<const void*> editedSettings;
    EffectChain running;
    EffectChain handed;
    std::vector<Effect*> runningNodes;
    std::vector<Effect*> handedNodes;
    std::vector<Slot> handedOrder;
  };

  static void MakeTwins(Side& side, EffectChain& edited);
  // The twin index of an edited node's settings; -1 for a stranger.
  static int32_t IndexOf(const Side& side, const void* settings);
  // Window: the edited chain into the mailbox; true when something differed.
  static bool Hand(Side& side);
  // Audio: the mailbox into the running chain.
  static void Take(Side& side);

  Side left_;
  Side right_;
  std::atomic<bool> full_{false};
};
