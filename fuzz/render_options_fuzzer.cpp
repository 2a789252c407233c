// The renderer's command line: the input is split at newlines into arguments
// and parsed. A refusal must be one line; an accepted command line has its
// effects set up at one of a few sampling rates, prepared, and run over a few
// blocks of noise.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/preset_files.h"
#include "cli/render_options.h"
#include "effects/effect_chain.h"
#include "engine/block_processor.h"
#include "fuzz/fuzz_support.h"

namespace {

using fuzz_support::IsOneLine;
using fuzz_support::Require;

void CheckRefusal(const std::string& error) {
  Require(!error.empty(), "a refusal says why");
  Require(IsOneLine(error), "a refusal is one line");
}

// Runs `blocks` blocks of 16-bit stereo noise through both chains.
void RunBlocks(const EffectChain& left, const EffectChain& right, int32_t blockBytes,
               int32_t blocks) {
  StreamParameters stream;
  stream.bitsPerSample = 16;
  stream.channels = 2;
  stream.framesPerBlock = FramesPerBlock(blockBytes, 16, 2);
  WorkBuffers work;
  work.Allocate(stream.framesPerBlock);
  std::vector<uint8_t> in(static_cast<size_t>(blockBytes));
  std::vector<uint8_t> out(in.size());
  uint32_t seed = 1;
  for (int32_t b = 0; b < blocks; ++b) {
    for (uint8_t& byte : in) {
      seed = seed * 1664525u + 1013904223u;
      byte = static_cast<uint8_t>(seed >> 24);
    }
    ProcessBlock(stream, left, right, work, in.data(), out.data(), stream.framesPerBlock);
  }
  work.Free();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr int32_t kRates[] = {1000, 8000, 11025, 22050, 44100, 48000, 96000, 384000};
  std::vector<std::string> arguments(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      arguments.emplace_back();
    } else {
      arguments.back() += static_cast<char>(data[i]);
    }
  }
  RenderOptions options;
  options.loadPreset = LoadPreset;
  std::string error;
  if (!ParseRenderArguments(arguments, &options, &error)) {
    CheckRefusal(error);
    return 0;
  }
  EffectChain left;
  EffectChain right;
  const int32_t rate = kRates[size % 8];
  for (const EffectRequest& request : options.effects) {
    if (!AppendRequestedEffect(request, left, right, rate, &error)) {
      CheckRefusal(error);
      return 0;
    }
  }
  if (options.effects.empty()) {
    return 0;
  }
  const int32_t frames = FramesPerBlock(options.blockBytes, 16, 2);
  left.Prepare(frames, rate);
  right.Prepare(frames, rate);
  RunBlocks(left, right, options.blockBytes, 4);
  left.Release();
  right.Release();
  return 0;
}
