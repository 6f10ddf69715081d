// Drawing and routing allocate nothing once the panel has been drawn: every
// operator new in this program is counted while they run.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "EditorTestSupport.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t n) {
  if (g_counting.load(std::memory_order_relaxed)) ++g_allocations;
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
// The image decoder allocates its bitmaps without exceptions.
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  if (g_counting.load(std::memory_order_relaxed)) ++g_allocations;
  return std::malloc(n ? n : 1);
}
// Out of line, so the compiler does not pair an inlined free with new.
[[gnu::noinline]] static void Release(void* p) noexcept { std::free(p); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }

TEST(EditorAllocation, RedrawsTicksAndMouseRoutingAllocateNothing) {
  TestPanel p;
  p.g->Tick();
  g_allocations = 0;
  g_counting = true;
  for (int i = 0; i < 200; ++i) {
    p.fx.HostSets(EditorTestEffect::kMix, (i % 11) / 10.0);
    p.fx.HostSets(EditorTestEffect::kSync, i % 2);
    p.g->HandleMouseDown(593, 292, {});
    p.g->HandleMouseDrag(593, 280, {});
    p.g->HandleMouseUp(593, 280, {});
    p.g->HandleMouseDown(40, 75, {});
    p.g->HandleMouseUp(40, 75, {});
    p.g->HandleDoubleClick(124, 192, {});
    p.g->HandleMouseWheel(560, 140, {}, 1);
    p.g->HandleKeyDown(300, 300, kKeySpace);
    while (p.g->Tick()) {
    }
    p.g->Redraw(TestPanel::kAll);
  }
  g_counting = false;
  EXPECT_EQ(g_allocations.load(), 0);
  EXPECT_GT(p.fx.Count('I'), 400);  // the events above really went through
}
