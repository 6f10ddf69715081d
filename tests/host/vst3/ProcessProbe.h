#pragma once

// What the loaded module allocates and what the test process holds, each
// counted the platform's way: on Linux the program's own operator new
// (which the module's allocations reach) and /proc; on Windows, where the
// module carries its own C++ runtime, the module's calls into the C
// library's allocator, and the process's kernel and window-system handles,
// threads and committed memory.

#include <memory>

#include "Vst3TestHost.h"

namespace qwtest {

// Counts the allocations module makes from construction until Stop or
// destruction (on Linux together with the test program's own). On Windows
// its hooks stay in the module only while it counts; one counter at a time.
class ModuleAllocationCounter {
 public:
  explicit ModuleAllocationCounter(const Vst3Module& module);
  ~ModuleAllocationCounter();
  ModuleAllocationCounter(const ModuleAllocationCounter&) = delete;
  ModuleAllocationCounter& operator=(const ModuleAllocationCounter&) = delete;

  long Count() const;
  void Stop();  // the count stays readable

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// What the process holds at one moment.
struct ProcessHoldings {
  int handles = 0;  // open descriptors (Linux); kernel and GDI handles (Windows)
  int threads = 0;
  long memoryKb = 0;  // resident (Linux), committed private memory (Windows)
  static ProcessHoldings Now();
  // memoryKb grew by less than kb since before (always true where a
  // sanitizer keeps freed memory, which its own checker looks after).
  bool MemoryWithin(const ProcessHoldings& before, long kb) const;
};

// The system libraries module links stay loaded from now on, as in a host
// that uses them itself: what their own loading and unloading leaves
// behind is not the module's.
void KeepSystemLibrariesLoaded(const Vst3Module& module);

}  // namespace qwtest
