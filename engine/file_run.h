#pragma once
// The file-to-file run: the input WAV file is read block by block, each block
// goes through ProcessBlock and is appended to a new WAV file of the same
// format, with the progress reported after every block.
//
// A run may go on past the end of the input, feeding the chains silence so
// that the effects' tails (echoes, reverberation) are heard out: for a fixed
// time, or until the output has died away.
//
// Synchronous: it returns when the input (and its tail) is exhausted, at the
// first error, or when the caller's per-block hook asks to cancel. On return
// every file is closed (the output with valid sizes, whatever ended the run),
// both chains are released and the progress is back at 0.

#include <cstdint>
#include <functional>
#include <string>

#include "effects/effect_chain.h"
#include "engine/level_meter.h"
#include "engine/notifier.h"

namespace file_run_messages {
inline constexpr const char* kCannotOpenOutput = "Error opening output file";
inline constexpr const char* kReadError = "Error reading input file!!!";
inline constexpr const char* kWriteError = "Error writing output file!!!";
inline constexpr const char* kOutputIsInput = "The output file is the input file!";
}  // namespace file_run_messages

// Called after each block has been written and the progress set. It may
// process user-interface events; returning true ends the run after this block
// (the output keeps every block written so far).
using FileRunBlockHook = std::function<bool()>;

// What follows the end of the input.
enum class TailMode {
  kNone,        // the output ends with the input
  kUntilQuiet,  // silence until the output has been quiet (QuietWatch)
  kFixed,       // silence for a given time
};

struct RunTail {
  TailMode mode = TailMode::kNone;
  double seconds = 0;  // kFixed: how long, 0..kMaxTailSeconds
};

// No tail is longer than this, also one that has not died away by then.
inline constexpr double kMaxTailSeconds = 30;
// The output has died away when every sample of every channel has stayed
// within +-kQuietLevel for kQuietMilliseconds. (Integer effects often settle
// at -1 rather than 0: an arithmetic shift rounds down.)
inline constexpr int32_t kQuietLevel = 1;
inline constexpr int32_t kQuietMilliseconds = 100;

// Watches a run's output for the quiet stretch that ends a kUntilQuiet tail.
class QuietWatch {
 public:
  // The stretch that counts: kQuietMilliseconds at `sampleRate`.
  explicit QuietWatch(uint32_t sampleRate);
  // Follows `frames` frames (`right` null for mono) to their end.
  void Follow(const int16_t* left, const int16_t* right, int32_t frames);
  // Follows frames until the stretch is long enough: how many of them the
  // output keeps (the stretch ends with the last of them), or -1 when it is
  // not reached within them.
  int32_t FindEnd(const int16_t* left, const int16_t* right, int32_t frames);
  // The frames followed last were quiet long enough.
  bool Reached() const { return quietFrames_ >= neededFrames_; }

 private:
  int64_t neededFrames_;
  int64_t quietFrames_ = 0;  // quiet frames in a row, up to the last followed
};

// What a run wrote, for the user.
struct FileRunSummary {
  uint32_t sampleRate = 0;
  uint64_t inputFrames = 0;    // the input's length
  uint64_t framesRead = 0;     // how far into the input the run came
  uint64_t framesWritten = 0;  // the output's length, its tail included
  uint64_t tailFrames = 0;     // of which silence fed after the input
};

struct FileRunSettings {
  std::string inputFileName;
  std::string outputFileName;
  int32_t blockBytes = 1024;  // bytes per block read from the input
  EffectChain* leftChain = nullptr;
  EffectChain* rightChain = nullptr;
  Notifier* notifier = nullptr;      // required
  ProgressSink* progress = nullptr;  // optional
  FileRunBlockHook afterBlock;       // optional
  RunTail tail;
  LevelMeter* meter = nullptr;        // optional: gets every block's levels
  FileRunSummary* summary = nullptr;  // optional: filled once the input is open
};

enum class FileRunResult {
  kCompleted,      // the whole input was processed and the output closed
  kOutputIsInput,  // both names reach one file; refused before either was opened
  kInputRefused,   // the reader's message was shown; nothing was created
  kOutputRefused,  // "Error opening output file" with the reason; the input was
                   // closed again, and an output the run created is gone
  kReadError,      // mid-run; the output holds the blocks written before
  kWriteError,     // mid-run or as the output was closed; the output holds the
                   // blocks that were written before
  kCloseFailed,    // every block was written but the output could not be finished
  kCancelled,      // the hook asked to stop; the output holds the blocks so far
};

FileRunResult ProcessFileToFile(const FileRunSettings& settings);
