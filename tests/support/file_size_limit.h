#pragma once
// Runs code in a forked child whose files cannot grow past a byte limit
// (RLIMIT_FSIZE, with SIGXFSZ ignored so a write past it fails with EFBIG):
// the way to make a write fail at an exact offset on a real file system.

#include <cstdint>
#include <functional>
#include <string>

namespace test_support {

// Runs `body` in a child with the limit set and returns the text it returned.
// The parent sees the child's files once this returns.
std::string RunWithFileSizeLimit(uint64_t limitBytes, const std::function<std::string()>& body);

}  // namespace test_support
