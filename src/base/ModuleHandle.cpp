#include "base/ModuleHandle.h"

#include <atomic>

namespace {
std::atomic<void*> g_handle{nullptr};
}

namespace module {

void SetHandle(void* handle) { g_handle.store(handle); }

void* Handle() {
  if (void* h = g_handle.load()) return h;
  return ProgramHandle();
}

}  // namespace module
