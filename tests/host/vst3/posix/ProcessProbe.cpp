#include "ProcessProbe.h"

#include "AllocationCounter.h"
#include "X11HostDisplay.h"

namespace qwtest {

// The module's operator new is the program's, which the counter replaces.
struct ModuleAllocationCounter::State {
  testsupport::AllocationCounter counter;
};

ModuleAllocationCounter::ModuleAllocationCounter(const Vst3Module&)
    : state_(std::make_unique<State>()) {}

ModuleAllocationCounter::~ModuleAllocationCounter() = default;

long ModuleAllocationCounter::Count() const { return state_->counter.Count(); }

void ModuleAllocationCounter::Stop() { state_->counter.Stop(); }

ProcessHoldings ProcessHoldings::Now() {
  const ProcessResources r = ProcessResources::Now();
  ProcessHoldings h;
  h.handles = r.fds;
  h.threads = r.threads;
  h.memoryKb = r.rssKb;
  return h;
}

bool ProcessHoldings::MemoryWithin(const ProcessHoldings& before, long kb) const {
  ProcessResources now, then;
  now.rssKb = memoryKb;
  then.rssKb = before.memoryKb;
  return now.MemoryWithin(then, kb);
}

// Nothing to keep on Linux: the libraries the module brings in (font and
// image libraries) unload with it and leave nothing the tests count.
void KeepSystemLibrariesLoaded(const Vst3Module&) {}

}  // namespace qwtest
