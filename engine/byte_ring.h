#pragma once
// A ring of bytes between one writing and one reading thread, neither of
// which ever waits for the other (the record and play paths of a JACK run:
// the server's thread on one side, the event loop on the other).
//
// Why it is free of data races: the writer alone moves `written_`, the reader
// alone moves `read_`. Each side loads the other's counter with acquire
// before it touches the bytes and stores its own with release after, so a
// byte is only ever read after the store that published it, and only ever
// overwritten after the store that released it. The counters only grow
// (64 bits do not wrap in any run); a counter modulo the capacity is the
// position in the buffer. Nothing is allocated after construction.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class ByteRing {
 public:
  // Room for `capacity` bytes (at least 1).
  explicit ByteRing(size_t capacity);
  ByteRing(const ByteRing&) = delete;
  ByteRing& operator=(const ByteRing&) = delete;

  size_t Capacity() const { return bytes_.size(); }

  // Writer: the bytes that fit now; appends up to `count` bytes of `data`
  // and returns how many.
  size_t WriteSpace() const;
  size_t Write(const uint8_t* data, size_t count);
  // Reader: the bytes waiting; takes up to `count` of them into `data` and
  // returns how many.
  size_t ReadSpace() const;
  size_t Read(uint8_t* data, size_t count);

 private:
  std::vector<uint8_t> bytes_;
  std::atomic<uint64_t> written_{0};  // bytes ever written
  std::atomic<uint64_t> read_{0};     // bytes ever read
};
