#pragma once
// One channel's effects: a singly linked list of owned nodes in processing
// order, mirrored in a flat record array that the streaming code walks.

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/effect.h"

// Flat mirror of one node, in list order.
struct EffectRecord {
  int32_t enabled = 0;
  void* settings = nullptr;
  EffectProcessFn process = nullptr;
};

class EffectChain {
 public:
  EffectChain() = default;
  ~EffectChain();
  EffectChain(const EffectChain&) = delete;
  EffectChain& operator=(const EffectChain&) = delete;

  // Creates a node of the given type and links it at the tail. Returns null,
  // changing nothing, when the factory yields none.
  Effect* Append(int32_t typeId);
  // Moves the cursor one node on and returns the new cursor.
  Effect* Advance();
  // The node whose next is `node`; null for the head or a foreign node.
  Effect* FindPrevious(const Effect* node) const;
  // Puts the cursor on the n-th node (1-based); other n change nothing.
  void SelectPosition(int32_t n);
  // Swap `node` with its predecessor (never called with the head).
  void MoveUp(Effect* node);
  // Swap `node` with its successor (never called with the tail).
  void MoveDown(Effect* node);
  // Sets the node's flag and its record's flag in place, so a running stream
  // sees the change at its next block. A foreign node changes nothing.
  void SetEnabled(Effect* node, bool enabled);
  // Replaces the record array with a fresh mirror of the list.
  void RebuildRecords();
  // Stores both values and prepares every node, in list order.
  void Prepare(int32_t blockFrames, int32_t sampleRate);
  void Release();
  // Destroys every node, in list order, and leaves the chain empty.
  void Clear();

  // Fields, in the order the chain carries them. The walks above keep their
  // position to themselves; only SelectPosition and Advance move `cursor`.
  int32_t sampleRate = 0;
  // Frames (samples of one channel) per block: the I/O page's block length
  // converted, or what a run's Prepare was given.
  int32_t blockFrames = 0;
  int32_t prepared = 0;
  std::unique_ptr<EffectRecord[]> records;
  Effect* cursor = nullptr;
  Effect* head = nullptr;
  Effect* tail = nullptr;
  int32_t count = 0;

 private:
  // Swaps the ownership entries of two neighbours in the list, so that
  // `owned_` keeps the list order.
  void SwapOwned(const Effect* first, const Effect* second);

  // Ownership of the nodes, in list order.
  std::vector<std::unique_ptr<Effect>> owned_;
};
