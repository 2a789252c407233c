#pragma once
// Runs a program to completion and captures its output, for integration tests
// of the executables.

#include <string>
#include <vector>

namespace test_support {

struct ProcessResult {
  int exitCode = -1;  // -1 if it did not exit normally
  std::string out;
  std::string err;
};

// argv[0] is the program's path. With `stderrOnTerminal` the program's
// stderr is a pseudo-terminal (what it writes there is still captured).
ProcessResult RunProcess(const std::vector<std::string>& argv, bool stderrOnTerminal = false);

// The built tonalith-render.
inline std::string RenderPath() {
  return TONALITH_RENDER_PATH;
}

}  // namespace test_support
