#pragma once
// A recording that fills its disk, here a file-size limit of 32 KiB set by
// the shell that starts the renderer: the run must end with exit status 1,
// the message with the file and the reason, and a valid file holding the
// blocks written.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_files.h"
#include "tests/support/wave_builder.h"

namespace sound_test {

// The limit in the shell's 512-byte blocks.
inline constexpr int kFullDiskBlocks = 64;

// `argv` started by a shell under the limit.
inline std::vector<std::string> UnderFileSizeLimit(const std::vector<std::string>& argv) {
  std::vector<std::string> limited = {
      "/bin/sh", "-c", "ulimit -f " + std::to_string(kFullDiskBlocks) + " && exec \"$0\" \"$@\""};
  limited.insert(limited.end(), argv.begin(), argv.end());
  return limited;
}

// Checks the end of a recording into `path` that ran under the limit, with
// exit `status` and its stderr in `errorsPath`.
inline void ExpectFullDiskEnding(int status, const std::string& errorsPath,
                                 const std::string& path) {
  EXPECT_EQ(status, 1);
  const test_support::Bytes text = test_support::ReadFileBytes(errorsPath);
  const std::string said(text.begin(), text.end());
  EXPECT_NE(said.find("Error writing output file!!!\n" + path + ": File too large ("),
            std::string::npos)
      << said;
  const test_support::ParsedWave wave = test_support::ParseWave(test_support::ReadFileBytes(path));
  EXPECT_EQ(wave.problem, "");
  EXPECT_GT(wave.data.size(), 0u);
  EXPECT_LE(wave.data.size(), kFullDiskBlocks * 512u - 46);
}

}  // namespace sound_test
