#pragma once

#include <atomic>
#include <bit>
#include <cstdint>

// A point (two floats) one thread publishes and others read, without locks
// or allocation: both halves travel in one 64-bit word, so a reader never
// sees x of one publication with y of another. Empty until the first
// publication.
class PublishedPoint {
 public:
  void Publish(float x, float y) {
    const std::uint64_t word = std::uint64_t(std::bit_cast<std::uint32_t>(x)) << 32 |
                               std::bit_cast<std::uint32_t>(y);
    word_.store(word, std::memory_order_relaxed);
    present_.store(true, std::memory_order_release);
  }
  // False while nothing was published.
  bool Read(float& x, float& y) const {
    if (!present_.load(std::memory_order_acquire)) return false;
    const std::uint64_t word = word_.load(std::memory_order_relaxed);
    x = std::bit_cast<float>(std::uint32_t(word >> 32));
    y = std::bit_cast<float>(std::uint32_t(word));
    return true;
  }

 private:
  static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
  std::atomic<std::uint64_t> word_{0};
  std::atomic<bool> present_{false};
};
