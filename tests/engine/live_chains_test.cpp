// The chains a realtime callback runs during a JACK run, and the hand-over of
// the window's changes to them. Here a plain thread stands for the server's.
#include "engine/live_chains.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "effects/delay_effect.h"
#include "effects/effect_factory.h"
#include "engine/block_processor.h"
#include "engine/live_parameters.h"

namespace {

constexpr int32_t kFrames = 64;
constexpr int32_t kRate = 48000;

// The node of `chain` whose settings record is `settings`.
const Effect* NodeOf(const EffectChain& chain, const void* settings) {
  for (const Effect* node = chain.head; node; node = node->next) {
    if (node->settings == settings) {
      return node;
    }
  }
  return nullptr;
}

class LiveChainsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (EffectChain* chain : {&left, &right}) {
      chain->Append(kDelayEffectId);
      chain->Append(kReverbEffectId);
      chain->Append(kDistortionEffectId);
    }
  }

  // The running chain's order, flags and what acts at once (the mix gains,
  // the delay) equal the edited chain's.
  static void ExpectRunningAsEdited(const EffectChain& edited, const EffectChain& running) {
    ASSERT_EQ(running.count, edited.count);
    for (int32_t i = 0; i < edited.count; ++i) {
      const Effect* want = NodeOf(edited, edited.records[i].settings);
      const Effect* got = NodeOf(running, running.records[i].settings);
      ASSERT_TRUE(want && got);
      EXPECT_EQ(got->typeId, want->typeId) << i;
      EXPECT_EQ(running.records[i].enabled, edited.records[i].enabled) << i;
      // Nothing left to copy: gains, delays and tables are the same. (The
      // other thread has stopped.)
      EXPECT_FALSE(CopyLiveParameters(*want, const_cast<Effect&>(*got))) << i;
    }
  }

  EffectChain left;
  EffectChain right;
};

TEST_F(LiveChainsTest, TwinsStartWithTheEditedSettings) {
  left.head->SetDryInputMix(100);
  left.SetEnabled(left.head, true);
  LiveChains live(left, right);
  left.Prepare(kFrames, kRate);
  right.Prepare(kFrames, kRate);
  live.Prepare(kFrames, kRate);
  ExpectRunningAsEdited(left, live.RunningLeft());
  ExpectRunningAsEdited(right, live.RunningRight());
  EXPECT_FALSE(live.Publish());  // nothing differs
}

// The window changes flags, order, mixes and delay times while the other
// thread processes blocks; once the last change has been taken, the running
// chains are as the edited ones.
TEST_F(LiveChainsTest, ChangesMadeWhileBlocksRunArriveWhole) {
  LiveChains live(left, right);
  left.Prepare(kFrames, kRate);
  right.Prepare(kFrames, kRate);
  live.Prepare(kFrames, kRate);

  std::atomic<bool> stop{false};
  std::thread audio([&] {
    StreamParameters stream{16, 2, kFrames};
    WorkBuffers work;
    work.Allocate(kFrames);
    std::vector<uint8_t> in(kFrames * 4, 0x11);
    std::vector<uint8_t> out(kFrames * 4);
    while (!stop.load()) {
      live.TakeChanges();
      ProcessBlock(stream, live.RunningLeft(), live.RunningRight(), work, in.data(), out.data(),
                   kFrames);
    }
  });
  for (int round = 0; round < 300; ++round) {
    for (EffectChain* chain : {&left, &right}) {
      chain->SetEnabled(chain->head, round % 3 != 0);
      chain->SelectPosition(1 + round % 2);
      chain->MoveDown(chain->cursor);
      for (Effect* node = chain->head; node; node = node->next) {
        node->SetDryInputMix(round % 513);
        node->SetDryOutputMix((round * 5) % 513);
        if (auto* delay = dynamic_cast<DelayEffect*>(node)) {
          delay->SetDelayTime(static_cast<float>(round % 101), kRate);
        }
      }
    }
    live.Publish();
    std::this_thread::yield();
  }
  while (live.Publish()) {
    std::this_thread::yield();
  }
  stop.store(true);
  audio.join();
  ExpectRunningAsEdited(left, live.RunningLeft());
  ExpectRunningAsEdited(right, live.RunningRight());
}

// Closing the window clears its chains while the run may still go on: the
// mailbox then takes nothing from them.
TEST_F(LiveChainsTest, ClearedEditedChainsHandNothing) {
  LiveChains live(left, right);
  left.Prepare(kFrames, kRate);
  right.Prepare(kFrames, kRate);
  live.Prepare(kFrames, kRate);
  left.Clear();
  right.Clear();
  EXPECT_FALSE(live.Publish());
  EXPECT_EQ(live.RunningLeft().count, 3);
}

// A delay time set on the window's line moves the running line's read
// position against its own write position; its content stays.
TEST(CopyLiveParameters, DelayKeepsItsLineAndTakesTheDelay) {
  DelayEffect from(10.0f, 0.707f, 0.707f);
  DelayEffect to(10.0f, 0.707f, 0.707f);
  from.Prepare(from.settings, kFrames, 22000);
  to.Prepare(to.settings, kFrames, 22000);
  std::vector<int16_t> in(kFrames, 1000);
  std::vector<int16_t> out(kFrames);
  for (int i = 0; i < 5; ++i) {
    DelayEffect::ProcessCallback(in.data(), out.data(), to.settings, kFrames);
  }
  const std::vector<int16_t> line = to.record.line.buffer;
  const int32_t written = to.record.line.writePosition;
  EXPECT_FALSE(CopyLiveParameters(from, to));

  from.SetDelayTime(20.0f, 22000);
  EXPECT_TRUE(CopyLiveParameters(from, to));
  EXPECT_EQ(to.record.line.Delay(), 440);
  EXPECT_EQ(to.record.line.writePosition, written);
  EXPECT_EQ(to.record.line.buffer, line);
  from.SetDryOutputMix(0);
  EXPECT_TRUE(CopyLiveParameters(from, to));
  EXPECT_EQ(to.record.mix.gains[1], 0);
  EXPECT_FALSE(CopyLiveParameters(from, to));
}

}  // namespace
