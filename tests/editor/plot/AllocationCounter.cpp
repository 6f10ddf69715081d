#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t n) {
  if (g_counting.load(std::memory_order_relaxed)) ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// Out of line, so the compiler does not pair an inlined free with new.
[[gnu::noinline]] static void Release(void* p) noexcept { std::free(p); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }

namespace plottest {

AllocationCounter::AllocationCounter() {
  g_allocations = 0;
  g_counting = true;
}
AllocationCounter::~AllocationCounter() { g_counting = false; }
long AllocationCounter::Count() const { return g_allocations.load(); }

}  // namespace plottest
