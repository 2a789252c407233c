#include "tests/support/test_effects.h"

#include <algorithm>

namespace test_support {

OffsetEffect::OffsetEffect(int32_t offset, int32_t enabledFlag)
    : Effect("Offset Effect", 0, &state, &OffsetEffect::ProcessOffset) {
  state.offset = offset;
  enabled = enabledFlag;
}

void OffsetEffect::Prepare(void*, int32_t blockLength, int32_t sampleRate) {
  if (prepared) {
    return;
  }
  ++state.prepares;
  state.preparedBlockLength = blockLength;
  state.preparedRate = sampleRate;
  prepared = 1;
}

void OffsetEffect::Release() {
  if (prepared) {
    ++state.releases;
    prepared = 0;
  }
}

int32_t OffsetEffect::ProcessOffset(const int16_t* source, int16_t* destination, void* settings,
                                    int32_t count) {
  auto& s = *static_cast<OffsetSettings*>(settings);
  ++s.calls;
  s.log.push_back({source, destination, count});
  for (int32_t i = 0; i < count; ++i) {
    destination[i] = static_cast<int16_t>(std::clamp(source[i] + s.offset, -32767, 32767));
  }
  return 0;
}

LinkedTestEffects::LinkedTestEffects(EffectChain& chain, const std::vector<Effect*>& nodes)
    : chain_(chain) {
  for (size_t i = 0; i < nodes.size(); ++i) {
    nodes[i]->SetNext(i + 1 < nodes.size() ? nodes[i + 1] : nullptr);
  }
  chain.head = nodes.empty() ? nullptr : nodes.front();
  chain.tail = nodes.empty() ? nullptr : nodes.back();
  chain.count = static_cast<int32_t>(nodes.size());
  chain.RebuildRecords();
}

LinkedTestEffects::~LinkedTestEffects() {
  chain_.head = chain_.tail = chain_.cursor = nullptr;
  chain_.count = 0;
  chain_.records.reset();
}

}  // namespace test_support
