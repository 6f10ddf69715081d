// Drawing, routing and handing the editor's edits to the host allocate
// nothing once the panel has been drawn: every operator new in this program
// is counted while they run.
#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "EditorTestSupport.h"

TEST(EditorAllocation, RedrawsTicksAndMouseRoutingAllocateNothing) {
  TestPanel p;
  p.g->Tick();
  testsupport::AllocationCounter allocations;
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
    p.fx.DeliverHostEdits();  // the edits reach the host without allocating
  }
  allocations.Stop();
  EXPECT_EQ(allocations.Count(), 0);
  EXPECT_GT(p.fx.Count('I'), 400);  // the events above really went through
}
