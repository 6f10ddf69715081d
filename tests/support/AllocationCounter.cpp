#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};

void Count() {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
}
}  // namespace

void* operator new(std::size_t n) {
  Count();
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// The image decoder allocates its bitmaps without exceptions.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  Count();
  return std::malloc(n ? n : 1);
}
// Out of line, so the compiler does not pair an inlined free with new.
[[gnu::noinline]] static void Release(void* p) noexcept { std::free(p); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }

namespace testsupport {

AllocationCounter::AllocationCounter() {
  g_allocations = 0;
  g_counting = true;
}
AllocationCounter::~AllocationCounter() { Stop(); }
long AllocationCounter::Count() const { return g_allocations.load(); }
void AllocationCounter::Stop() { g_counting = false; }

}  // namespace testsupport
