#pragma once
// The circular buffer behind the line blocks (delay line, comb, allpass,
// envelope follower): one write and one read position that advance together,
// the read position a fixed number of samples behind the write position.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// A ring of `T` that the line block owns: allocated and zeroed when a run is
// prepared, freed when it is released. The delay in samples is
// (writePosition - readPosition) mod Length().
template <typename T>
struct RingLine {
  std::vector<T> buffer;
  int32_t writePosition = 0;
  int32_t readPosition = 0;

  int32_t Length() const { return static_cast<int32_t>(buffer.size()); }
  // The delay in samples (0 for a line not allocated).
  int32_t Delay() const {
    return Length() == 0 ? 0 : (writePosition - readPosition + Length()) % Length();
  }

  // `length` (>= 1) zeroed entries, the write position at 0 and the read
  // position `delay` (0..length) entries behind it.
  void Allocate(int32_t length, int32_t delay) {
    buffer.assign(static_cast<size_t>(length), T{});
    writePosition = 0;
    readPosition = (length - delay) % length;
  }
};

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

// ForEachRingRun with runs also short enough that nothing a run reads was
// written earlier in the same run: when the write position is d ahead of the
// read position, at most d samples. A line block may then do all of a run's
// reads before its writes, in loops the compiler vectorises, with the result
// of stepping sample by sample. With read == write (a zero delay) a run reads
// the position each sample writes; the caller decides what that read sees.
template <typename Run>
inline void ForEachIndependentRun(int32_t count, int32_t length, int32_t& read, int32_t& write,
                                  Run&& run) {
  ForEachRingRun(count, length, read, write,
                 [&](int32_t done, int32_t from, int32_t to, int32_t n) {
                   const int32_t span = to > from ? to - from : n;
                   for (int32_t k = 0; k < n; k += span) {
                     run(done + k, from + k, to + k, std::min(span, n - k));
                   }
                 });
}

// Steps a line through `count` samples in order: calls step(n, read, write)
// for sample n with the positions it uses, and leaves both positions
// advanced by `count`.
template <typename T, typename Step>
inline void ForEachSample(RingLine<T>& line, int32_t count, Step&& step) {
  ForEachRingRun(count, line.Length(), line.readPosition, line.writePosition,
                 [&](int32_t done, int32_t from, int32_t to, int32_t n) {
                   for (int32_t k = 0; k < n; ++k) {
                     step(done + k, from + k, to + k);
                   }
                 });
}
