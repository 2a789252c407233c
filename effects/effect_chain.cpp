#include "effects/effect_chain.h"

#include "effects/effect_factory.h"

EffectChain::~EffectChain() { Clear(); }

void EffectChain::StartWalk() {
  cursor = head;
  cursorPrev = nullptr;
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
  cursorPrev = cursor;
  cursor = Effect::NextOf(cursor);
  return cursor;
}

Effect* EffectChain::FindPrevious(const Effect* node) {
  for (Effect* walk = head; walk; walk = walk->next) {
    if (walk->next == node && node != nullptr) {
      return walk;
    }
  }
  return nullptr;
}

void EffectChain::SelectPosition(int32_t n) {
  if (n < 1 || n > count) {
    return;
  }
  StartWalk();
  for (int32_t i = 1; i < n; ++i) {
    Advance();
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
  RebuildRecords();
}

void EffectChain::SetEnabled(Effect* node, int32_t flag) {
  StartWalk();
  for (int32_t i = 0; cursor; ++i) {
    if (cursor == node) {
      node->enabled = flag;
      if (records && i < count) {
        records[i].enabled = flag;
      }
      return;
    }
    Advance();
  }
}

void EffectChain::RebuildRecords() {
  records.reset();
  StartWalk();
  if (count <= 0) {
    return;
  }
  auto fresh = std::make_unique<EffectRecord[]>(static_cast<size_t>(count));
  for (int32_t i = 0; i < count && cursor; ++i) {
    fresh[i] = EffectRecord{cursor->enabled, cursor->settings, cursor->process};
    Advance();
  }
  records = std::move(fresh);
}

void EffectChain::Prepare(int32_t frames, int32_t rate) {
  blockLength = frames;
  sampleRate = rate;
  for (StartWalk(); cursor; Advance()) {
    cursor->Prepare(cursor->settings, frames, rate);
  }
  prepared = 1;
}

void EffectChain::Release() {
  for (StartWalk(); cursor; Advance()) {
    cursor->Release();
  }
  prepared = 0;
}

void EffectChain::Clear() {
  StartWalk();
  while (cursor) {
    Effect* doomed = cursor;
    Advance();
    for (auto& node : owned_) {
      if (node.get() == doomed) {
        node.reset();
      }
    }
  }
  owned_.clear();
  head = tail = cursor = cursorPrev = nullptr;
  count = 0;
  records.reset();
}
