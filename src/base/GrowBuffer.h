#pragma once

#include <cstdint>

// A byte block that grows and shrinks in steps set by its granularity.
// Every variable-length piece of memory in the core lives in one of these;
// allocation failure never throws: the old block and sizes are kept.
class GrowBuffer {
 public:
  explicit GrowBuffer(int32_t granularity = 4096) : granularity_(granularity) {}
  ~GrowBuffer();
  GrowBuffer(const GrowBuffer&) = delete;
  GrowBuffer& operator=(const GrowBuffer&) = delete;
  // Moving hands the block over and leaves the source empty.
  GrowBuffer(GrowBuffer&& other) noexcept
      : data_(other.data_),
        allocated_(other.allocated_),
        used_(other.used_),
        granularity_(other.granularity_) {
    other.data_ = nullptr;
    other.allocated_ = other.used_ = 0;
  }
  GrowBuffer& operator=(GrowBuffer&&) = delete;

  // Sets the used size to n bytes (negative counts as 0) and returns the data,
  // null when n is 0. Grows keeping about half the request in reserve; gives
  // memory back only with allowShrink and when n falls well below the block.
  void* Resize(int32_t n, bool allowShrink);

  int32_t Size() const { return used_; }
  int32_t Allocated() const { return allocated_; }
  int32_t Granularity() const { return granularity_; }
  void* Data() const { return used_ ? data_ : nullptr; }

  // Frees the block whatever its sizes.
  void Free();

 private:
  int64_t NewAllocation(int32_t n) const;

  uint8_t* data_ = nullptr;
  int32_t allocated_ = 0;
  int32_t used_ = 0;
  int32_t granularity_;
};
