#include "base/GrowBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

GrowBuffer::~GrowBuffer() { Free(); }

void GrowBuffer::Free() {
  std::free(data_);
  data_ = nullptr;
  allocated_ = 0;
  used_ = 0;
}

int64_t GrowBuffer::NewAllocation(int32_t n) const {
  if (n == 0) return 0;
  int64_t g = std::max<int64_t>(n / 2, granularity_);
  if (granularity_ >= 4096) {
    g = std::clamp<int64_t>(g / 4096 * 4096, 4096, 4194304);
    return (int64_t(n) + 96 + g) / 4096 * 4096 - 96;
  }
  return int64_t(n) + g;
}

void* GrowBuffer::Resize(int32_t n, bool allowShrink) {
  if (n < 0) n = 0;
  if (n == used_) return Data();

  int32_t threshold = 0;
  if (allowShrink && n < used_) {
    threshold = static_cast<int32_t>(
        std::min<int64_t>(allocated_ / 2, int64_t(allocated_) - 4 * int64_t(granularity_)));
    if (threshold <= 0) threshold = 1;
  }

  if (n > allocated_ || n < threshold) {
    const int64_t a = NewAllocation(n);
    // A size the 32-bit fields cannot hold fails like a refused allocation.
    if (a > std::numeric_limits<int32_t>::max()) return Data();
    if (a != allocated_) {
      if (a == 0) {
        Free();
        return nullptr;
      }
      auto* moved = static_cast<uint8_t*>(std::realloc(data_, static_cast<size_t>(a)));
      if (!moved) {
        moved = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(a)));
        if (!moved) return Data();
        if (data_) std::memcpy(moved, data_, static_cast<size_t>(std::min(n, used_)));
        std::free(data_);
      }
      data_ = moved;
      allocated_ = static_cast<int32_t>(a);
    }
  }
  used_ = n;
  return Data();
}
