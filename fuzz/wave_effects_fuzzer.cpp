// Any bytes as a WAV file, run through all eight effects on both channels at
// whatever rate, channels and bit depth the file names.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::RunWaveFile(data, size, /*allEffects=*/true);
  return 0;
}
