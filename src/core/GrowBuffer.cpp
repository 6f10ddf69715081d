#include "core/GrowBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

GrowBuffer::~GrowBuffer() { Free(); }

void GrowBuffer::Free() {
  std::free(data_);
  data_ = nullptr;
  allocated_ = 0;
  used_ = 0;
}

int32_t GrowBuffer::NewAllocation(int32_t n) const {
  if (n == 0) return 0;
  int64_t g = std::max<int64_t>(n / 2, granularity_);
  if (granularity_ >= 4096) {
    g = std::clamp<int64_t>(g / 4096 * 4096, 4096, 4194304);
    return static_cast<int32_t>((int64_t(n) + 96 + g) / 4096 * 4096 - 96);
  }
  return static_cast<int32_t>(int64_t(n) + g);
}

void* GrowBuffer::Resize(int32_t n, bool allowShrink) {
  if (n < 0) n = 0;
  if (n == used_) return Data();

  int32_t threshold = 0;
  if (allowShrink && n < used_) {
    threshold = std::min(allocated_ / 2, allocated_ - 4 * granularity_);
    if (threshold <= 0) threshold = 1;
  }

  if (n > allocated_ || n < threshold) {
    const int32_t a = NewAllocation(n);
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
      allocated_ = a;
    }
  }
  used_ = n;
  return Data();
}
