// Once a run is streaming, the loop allocates nothing: every allocation in
// this test program goes through the counting operators below.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/engine/wave_engine_fixture.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<int64_t> allocations{0};

void* Allocate(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) {
    allocations.fetch_add(1);
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) {
    return block;
  }
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}

namespace wave_engine_test {
namespace {

class CountedAllocations {
 public:
  CountedAllocations() {
    allocations = 0;
    counting = true;
  }
  ~CountedAllocations() { counting = false; }
  int64_t Count() const { return allocations.load(); }
};

// The fixture's observer keeps every played block; these tests only play.
class StreamingAllocationTest : public WaveEngineTest {
 protected:
  void SetUp() override {
    WaveEngineTest::SetUp();
    sim->SetOutputObserver([](const uint8_t*, uint32_t) {});
    progress.positions.reserve(4096);  // the recorder's own growth is not the engine's
  }

  // Allocations made during 200 blocks of `step`, after 20 to settle in.
  template <typename Step>
  static int64_t AllocationsWhileStreaming(Step step) {
    for (int32_t i = 0; i < 20; ++i) {
      step();
    }
    CountedAllocations counted;
    for (int32_t i = 0; i < 200; ++i) {
      step();
    }
    return counted.Count();
  }
};

TEST_F(StreamingAllocationTest, LiveStreamingAllocatesNothingPerBlock) {
  ASSERT_TRUE(engine->StartRun());
  EXPECT_EQ(AllocationsWhileStreaming([this] {
              sim->CompleteOutput();
              sim->CompleteInput();
            }),
            0);
  engine->StopRun();
}

TEST_F(StreamingAllocationTest, RecordStreamingAllocatesNothingPerBlock) {
  engine->settings.outputIsFile = true;
  engine->settings.outputFileName = dir.File("out.wav");
  ASSERT_TRUE(engine->StartRun());
  EXPECT_EQ(AllocationsWhileStreaming([this] { sim->CompleteInput(); }), 0);
  engine->StopRun();
}

TEST_F(StreamingAllocationTest, PlayStreamingAllocatesNothingPerBlock) {
  engine->settings.inputIsFile = true;
  engine->settings.inputFileName = WriteInputFile("in.wav", std::vector<uint8_t>(300 * 1024, 3));
  ASSERT_TRUE(engine->StartRun());
  EXPECT_EQ(AllocationsWhileStreaming([this] { sim->CompleteOutput(); }), 0);
  EXPECT_TRUE(engine->outputOpen);
  engine->StopRun();
}

}  // namespace
}  // namespace wave_engine_test
