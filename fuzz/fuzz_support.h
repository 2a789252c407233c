#pragma once
// What the libFuzzer targets share: a private folder for the files a run
// reads and writes, a notifier that checks every message, and the checks that
// turn a wrong result into a crash the fuzzer reports.

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/notifier.h"

namespace fuzz_support {

// Stops the process so that libFuzzer reports the input, when `holds` is false.
void Require(bool holds, const char* what);

// Whether `text` is one printable line (no control characters).
bool IsOneLine(const std::string& text);

// Takes the engine's messages: each must be a non-empty line, its detail a line.
class CheckingNotifier : public Notifier {
 public:
  void ShowMessage(const std::string& text, const std::string& detail = {}) override;
};

// Writes `size` bytes as the input file, runs the probe and the file run on it
// into an output file (both chains empty, or holding all eight effects,
// enabled, with their defaults), and checks what the run leaves: nothing
// when the input was refused; else a valid WAV file, whose data has the
// input's length when the run completed. The block length is taken from the
// input's size.
void RunWaveFile(const uint8_t* data, size_t size, bool allEffects);

}  // namespace fuzz_support
