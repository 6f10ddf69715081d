#pragma once

#include <cstdint>

// Flushes denormal results and operands to zero (SSE FTZ and DAZ) for the
// lifetime of the object and puts back the caller's floating-point control
// word afterwards, so the host's own mode survives a process call.
class DenormalGuard {
 public:
  DenormalGuard();
  ~DenormalGuard();
  DenormalGuard(const DenormalGuard&) = delete;
  DenormalGuard& operator=(const DenormalGuard&) = delete;

  static constexpr uint32_t kFlushToZero = 0x8000;
  static constexpr uint32_t kDenormalsAreZero = 0x0040;

 private:
  uint32_t saved_ = 0;
};
