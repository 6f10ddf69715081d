#include "core/ModuleHandle.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
std::atomic<void*> g_handle{nullptr};
}

namespace module {

void SetHandle(void* handle) { g_handle.store(handle); }

void* Handle() {
  if (void* h = g_handle.load()) return h;
#ifdef _WIN32
  return GetModuleHandleA(nullptr);
#else
  return nullptr;
#endif
}

}  // namespace module
