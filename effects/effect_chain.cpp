#include "effects/effect_chain.h"

#include <algorithm>

#include "effects/effect_factory.h"

EffectChain::~EffectChain() {
  Clear();
}

Effect* EffectChain::Append(int32_t typeId) {
  std::unique_ptr<Effect> created = CreateEffect(typeId);
  if (!created) {
    return nullptr;
  }
  Effect* node = created.get();
  owned_.push_back(std::move(created));
  node->SetNext(nullptr);
  if (tail) {
    tail->SetNext(node);
  } else {
    head = node;
  }
  tail = node;
  ++count;
  RebuildRecords();
  return node;
}

Effect* EffectChain::Advance() {
  cursor = Effect::NextOf(cursor);
  return cursor;
}

Effect* EffectChain::FindPrevious(const Effect* node) const {
  for (Effect* walk = head; walk && node; walk = walk->next) {
    if (walk->next == node) {
      return walk;
    }
  }
  return nullptr;
}

void EffectChain::SelectPosition(int32_t n) {
  if (n < 1 || n > count) {
    return;
  }
  cursor = head;
  for (int32_t i = 1; i < n; ++i) {
    Advance();
  }
}

void EffectChain::SwapOwned(const Effect* first, const Effect* second) {
  const auto at =
      std::find_if(owned_.begin(), owned_.end(),
                   [first](const std::unique_ptr<Effect>& n) { return n.get() == first; });
  if (at != owned_.end() && at + 1 != owned_.end() && (at + 1)->get() == second) {
    std::iter_swap(at, at + 1);
  }
}

void EffectChain::MoveUp(Effect* node) {
  Effect* p = FindPrevious(node);
  if (!p) {
    return;  // the head (or a foreign node) has no predecessor to swap with
  }
  if (p == head) {
    head = node;
  } else {
    FindPrevious(p)->SetNext(node);
  }
  p->SetNext(node->next);
  node->SetNext(p);
  if (node == tail) {
    tail = p;
  }
  SwapOwned(p, node);
  RebuildRecords();
}

void EffectChain::MoveDown(Effect* node) {
  if (!node || !node->next) {
    return;  // the tail has no successor to swap with
  }
  Effect* p = FindPrevious(node);
  if (!p && node != head) {
    return;  // not in this chain
  }
  Effect* s = node->next;
  Effect* r = s->next;
  if (node == head) {
    head = s;
  } else {
    p->SetNext(s);
  }
  node->SetNext(r);
  s->SetNext(node);
  if (!r) {
    tail = node;
  }
  SwapOwned(node, s);
  RebuildRecords();
}

void EffectChain::SetEnabled(Effect* node, bool enabled) {
  const int32_t flag = enabled ? 1 : 0;
  int32_t i = 0;
  for (Effect* walk = head; walk; walk = walk->next, ++i) {
    if (walk == node) {
      node->enabled = flag;
      if (records && i < count) {
        records[i].enabled = flag;
      }
      return;
    }
  }
}

void EffectChain::RebuildRecords() {
  records.reset();
  if (count <= 0) {
    return;
  }
  auto fresh = std::make_unique<EffectRecord[]>(static_cast<size_t>(count));
  int32_t i = 0;
  for (Effect* node = head; node && i < count; node = node->next, ++i) {
    fresh[i] = EffectRecord{node->enabled, node->settings, node->process};
  }
  records = std::move(fresh);
}

void EffectChain::Prepare(int32_t frames, int32_t rate) {
  blockFrames = frames;
  sampleRate = rate;
  for (Effect* node = head; node; node = node->next) {
    node->Prepare(node->settings, frames, rate);
  }
  prepared = 1;
}

void EffectChain::Release() {
  for (Effect* node = head; node; node = node->next) {
    node->Release();
  }
  prepared = 0;
}

void EffectChain::Clear() {
  // `owned_` is in list order: resetting front to back destroys the nodes in
  // the order they process.
  for (std::unique_ptr<Effect>& node : owned_) {
    node.reset();
  }
  owned_.clear();
  head = tail = cursor = nullptr;
  count = 0;
  records.reset();
}
