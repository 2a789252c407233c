#pragma once
// Block-wise stepping of a circular buffer with one read and one write
// position that advance together.

#include <algorithm>
#include <cstdint>

// Splits `count` samples into runs in which neither position wraps and calls
// run(done, read, write, n) for each: n samples starting at sample `done`,
// with the positions where the run starts. Leaves both positions advanced by
// `count`, modulo `length`.
template <typename Run>
inline void ForEachRingRun(int32_t count, int32_t length, int32_t& read, int32_t& write,
                           Run&& run) {
  for (int32_t done = 0; done < count;) {
    const int32_t n = std::min({count - done, length - read, length - write});
    run(done, read, write, n);
    done += n;
    read += n;
    write += n;
    if (read == length) {
      read = 0;
    }
    if (write == length) {
      write = 0;
    }
  }
}
