#include "engine/byte_ring.h"

#include <algorithm>
#include <cstring>

ByteRing::ByteRing(size_t capacity) : bytes_(std::max<size_t>(capacity, 1)) {}

size_t ByteRing::WriteSpace() const {
  const uint64_t used =
      written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
  return bytes_.size() - static_cast<size_t>(used);
}

size_t ByteRing::Write(const uint8_t* data, size_t count) {
  const uint64_t written = written_.load(std::memory_order_relaxed);
  const size_t n = std::min(count, WriteSpace());
  const size_t at = static_cast<size_t>(written % bytes_.size());
  const size_t first = std::min(n, bytes_.size() - at);
  std::memcpy(bytes_.data() + at, data, first);
  std::memcpy(bytes_.data(), data + first, n - first);
  written_.store(written + n, std::memory_order_release);
  return n;
}

size_t ByteRing::ReadSpace() const {
  return static_cast<size_t>(written_.load(std::memory_order_acquire) -
                             read_.load(std::memory_order_relaxed));
}

size_t ByteRing::Read(uint8_t* data, size_t count) {
  const uint64_t read = read_.load(std::memory_order_relaxed);
  const size_t n = std::min(count, ReadSpace());
  const size_t at = static_cast<size_t>(read % bytes_.size());
  const size_t first = std::min(n, bytes_.size() - at);
  std::memcpy(data, bytes_.data() + at, first);
  std::memcpy(data + first, bytes_.data(), n - first);
  read_.store(read + n, std::memory_order_release);
  return n;
}
