#include "host/DenormalGuard.h"

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>

DenormalGuard::DenormalGuard() : saved_(_mm_getcsr()) {
  _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
}

DenormalGuard::~DenormalGuard() { _mm_setcsr(saved_); }
#else
DenormalGuard::DenormalGuard() {}
DenormalGuard::~DenormalGuard() {}
#endif
