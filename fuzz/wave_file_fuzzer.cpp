// Any bytes as a WAV file: the probe, the reader and the file run with empty
// chains, which copy the data as it is.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::RunWaveFile(data, size, /*allEffects=*/false);
  return 0;
}
