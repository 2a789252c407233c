#include "engine/block_processor.h"

#include <algorithm>
#include <utility>

#include "dsp/vector_clones.h"

namespace {

// Runs one channel's enabled records over `frames` samples. The output of
// each effect becomes the next one's input by swapping the two buffers; the
// final roles are kept for the next block.
void RunChain(const EffectChain& chain, int16_t*& current, int16_t*& spare, int32_t frames) {
  const EffectRecord* records = chain.records.get();
  const int32_t count = records ? chain.count : 0;
  int16_t* in = current;
  int16_t* out = spare;
  for (int32_t i = 0; i < count; ++i) {
    const EffectRecord& record = records[i];
    if (record.enabled != 0 && record.process != nullptr) {
      record.process(in, out, record.settings, frames);
      std::swap(in, out);
    }
  }
  current = in;
  spare = out;
}

}  // namespace

int32_t FramesPerBlock(int32_t blockBytes, int32_t bitsPerSample, int32_t channels) {
  const double frames =
      static_cast<double>(blockBytes) / (static_cast<double>(bitsPerSample) * channels) * 8.0;
  return static_cast<int32_t>(frames);
}

int32_t FrameCount(uint32_t bytes, int32_t bitsPerSample, int32_t channels) {
  const uint32_t bytesPerFrame = (bitsPerSample == 8 ? 1u : 2u) * (channels == 2 ? 2u : 1u);
  return static_cast<int32_t>(bytes / bytesPerFrame);
}

void WorkBuffers::Allocate(int32_t framesPerBlock) {
  capacity = 2 * std::max(framesPerBlock, 0);
  for (auto& buffer : storage) {
    buffer.assign(static_cast<size_t>(capacity), 0);
  }
  for (int c = 0; c < 2; ++c) {
    current[c] = storage[2 * c].data();
    spare[c] = storage[2 * c + 1].data();
  }
}

void WorkBuffers::Free() {
  for (auto& buffer : storage) {
    std::vector<int16_t>().swap(buffer);
  }
  current = {};
  spare = {};
  capacity = 0;
}

TONALITH_VECTOR_CLONES
void ProcessBlock(const StreamParameters& stream, const EffectChain& leftChain,
                  const EffectChain& rightChain, WorkBuffers& work, const uint8_t* source,
                  uint8_t* destination, int32_t frames, LevelMeter* meter) {
  const int32_t n = std::min(frames, work.capacity);
  if (n <= 0) {
    return;
  }
  const bool stereo = stream.channels == 2;
  const bool eightBit = stream.bitsPerSample == 8;

  int16_t* left = work.current[0];
  int16_t* right = work.current[1];
  if (eightBit) {
    if (stereo) {
      for (int32_t i = 0; i < n; ++i) {
        left[i] = SampleFromByte(source[2 * i]);
        right[i] = SampleFromByte(source[2 * i + 1]);
      }
    } else {
      for (int32_t i = 0; i < n; ++i) {
        left[i] = SampleFromByte(source[i]);
      }
    }
  } else {
    if (stereo) {
      for (int32_t i = 0; i < n; ++i) {
        left[i] = SampleFromLittleEndian(source + 4 * i);
        right[i] = SampleFromLittleEndian(source + 4 * i + 2);
      }
    } else {
      for (int32_t i = 0; i < n; ++i) {
        left[i] = SampleFromLittleEndian(source + 2 * i);
      }
    }
  }

  const int32_t channels = stereo ? 2 : 1;
  BlockLevels levels;
  if (meter) {
    for (int32_t c = 0; c < channels; ++c) {
      GatherLevel(work.current[c], n, levels.level[kMeterInput][c]);
    }
  }

  RunChain(leftChain, work.current[0], work.spare[0], n);
  if (stereo) {
    RunChain(rightChain, work.current[1], work.spare[1], n);
  }

  if (meter) {
    for (int32_t c = 0; c < channels; ++c) {
      GatherLevel(work.current[c], n, levels.level[kMeterOutput][c]);
    }
    meter->Add(levels);
  }

  left = work.current[0];
  right = work.current[1];
  if (eightBit) {
    if (stereo) {
      for (int32_t i = 0; i < n; ++i) {
        destination[2 * i] = ByteFromSample(left[i]);
        destination[2 * i + 1] = ByteFromSample(right[i]);
      }
    } else {
      for (int32_t i = 0; i < n; ++i) {
        destination[i] = ByteFromSample(left[i]);
      }
    }
  } else {
    if (stereo) {
      for (int32_t i = 0; i < n; ++i) {
        StoreLittleEndian(destination + 4 * i, left[i]);
        StoreLittleEndian(destination + 4 * i + 2, right[i]);
      }
    } else {
      for (int32_t i = 0; i < n; ++i) {
        StoreLittleEndian(destination + 2 * i, left[i]);
      }
    }
  }
}
