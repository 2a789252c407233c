#include "engine/live_chains.h"

#include "engine/live_parameters.h"

LiveChains::LiveChains(EffectChain& editedLeft, EffectChain& editedRight) {
  MakeTwins(left_, editedLeft);
  MakeTwins(right_, editedRight);
}

void LiveChains::MakeTwins(Side& side, EffectChain& edited) {
  side.edited = &edited;
  for (const Effect* node = edited.head; node != nullptr; node = node->next) {
    Effect* running = side.running.Append(node->typeId);
    Effect* handed = side.handed.Append(node->typeId);
    if (running == nullptr || handed == nullptr) {
      continue;  // a type the factory no longer makes: left out
    }
    CopySettings(*node, *running);
    CopySettings(*node, *handed);
    side.editedSettings.push_back(node->settings);
    side.runningNodes.push_back(running);
    side.handedNodes.push_back(handed);
  }
  side.handedOrder.assign(side.runningNodes.size(), Slot{});
}

void LiveChains::Prepare(int32_t blockFrames, int32_t sampleRate) {
  for (Side* side : {&left_, &right_}) {
    side->running.Prepare(blockFrames, sampleRate);
    side->handed.Prepare(blockFrames, sampleRate);
    Hand(*side);
    Take(*side);
  }
}

int32_t LiveChains::IndexOf(const Side& side, const void* settings) {
  for (size_t k = 0; k < side.editedSettings.size(); ++k) {
    if (side.editedSettings[k] == settings) {
      return static_cast<int32_t>(k);
    }
  }
  return -1;
}

bool LiveChains::Hand(Side& side) {
  const EffectChain& edited = *side.edited;
  const auto count = static_cast<int32_t>(side.handedOrder.size());
  if (edited.count != count || (count > 0 && !edited.records)) {
    return false;
  }
  // Check the whole order first, so that a chain that is not the one the
  // run started with changes nothing in the mailbox.
  for (int32_t i = 0; i < count; ++i) {
    if (IndexOf(side, edited.records[i].settings) < 0) {
      return false;
    }
  }
  bool changed = false;
  for (int32_t i = 0; i < count; ++i) {
    const EffectRecord& record = edited.records[i];
    const Slot slot{IndexOf(side, record.settings), record.enabled != 0 ? 1 : 0};
    Slot& handed = side.handedOrder[static_cast<size_t>(i)];
    if (!(handed == slot)) {
      handed = slot;
      changed = true;
    }
  }
  for (const Effect* node = edited.head; node != nullptr; node = node->next) {
    const int32_t k = IndexOf(side, node->settings);
    if (k >= 0 && CopyLiveParameters(*node, *side.handedNodes[static_cast<size_t>(k)])) {
      changed = true;
    }
  }
  return changed;
}

void LiveChains::Take(Side& side) {
  for (size_t k = 0; k < side.runningNodes.size(); ++k) {
    CopyLiveParameters(*side.handedNodes[k], *side.runningNodes[k]);
  }
  EffectRecord* records = side.running.records.get();
  for (size_t i = 0; i < side.handedOrder.size(); ++i) {
    const Slot& slot = side.handedOrder[i];
    const Effect* node = side.runningNodes[static_cast<size_t>(slot.node)];
    records[i] = EffectRecord{slot.enabled, node->settings, node->process};
  }
}

bool LiveChains::Publish() {
  if (full_.load(std::memory_order_acquire)) {
    return true;  // the last change has not been taken yet
  }
  const bool leftChanged = Hand(left_);
  const bool rightChanged = Hand(right_);
  if (leftChanged || rightChanged) {
    full_.store(true, std::memory_order_release);
    return true;
  }
  return false;
}

void LiveChains::TakeChanges() {
  if (!full_.load(std::memory_order_acquire)) {
    return;
  }
  Take(left_);
  Take(right_);
  full_.store(false, std::memory_order_release);
}
