#pragma once
// The file-to-file run: the input WAV file is read block by block, each block
// goes through ProcessBlock and is appended to a new WAV file of the same
// format, with the progress reported after every block.
//
// Synchronous: it returns when the input is exhausted, at the first error, or
// when the caller's per-block hook asks to cancel. On return every file is
// closed (the output with valid sizes, whatever ended the run), both chains
// are released and the progress is back at 0.

#include <cstdint>
#include <functional>
#include <string>

#include "effects/effect_chain.h"
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

struct FileRunSettings {
  std::string inputFileName;
  std::string outputFileName;
  int32_t blockBytes = 1024;  // bytes per block read from the input
  EffectChain* leftChain = nullptr;
  EffectChain* rightChain = nullptr;
  Notifier* notifier = nullptr;      // required
  ProgressSink* progress = nullptr;  // optional
  FileRunBlockHook afterBlock;       // optional
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
