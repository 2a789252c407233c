#pragma once
// Test-only effects that make the chain pass visible: each adds a constant to
// every sample and keeps a log of its calls and the buffers it was given.
// They can be linked into an EffectChain without the factory.

#include <cstdint>
#include <vector>

#include "effects/effect.h"
#include "effects/effect_chain.h"

namespace test_support {

struct OffsetSettings {
  int32_t offset = 0;  // added to every sample, saturated to -32767..32767
  int32_t calls = 0;
  int32_t prepares = 0;  // Prepare calls that allocated (not already prepared)
  int32_t releases = 0;
  int32_t preparedBlockLength = 0;
  int32_t preparedRate = 0;
  struct Call {
    const int16_t* source;
    int16_t* destination;
    int32_t count;
  };
  std::vector<Call> log;
};

class OffsetEffect : public Effect {
 public:
  explicit OffsetEffect(int32_t offset, int32_t enabledFlag = 1);
  void Prepare(void* settings, int32_t blockLength, int32_t sampleRate) override;
  void Release() override;
  static int32_t ProcessOffset(const int16_t* source, int16_t* destination, void* settings,
                               int32_t count);

  OffsetSettings state;
};

// Links effects the test owns into `chain`, in order, and rebuilds its
// records; unlinks them again (leaving the chain empty) when destroyed.
class LinkedTestEffects {
 public:
  LinkedTestEffects(EffectChain& chain, const std::vector<Effect*>& nodes);
  ~LinkedTestEffects();
  LinkedTestEffects(const LinkedTestEffects&) = delete;
  LinkedTestEffects& operator=(const LinkedTestEffects&) = delete;

 private:
  EffectChain& chain_;
};

}  // namespace test_support
