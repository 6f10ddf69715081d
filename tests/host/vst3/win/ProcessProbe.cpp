#include "ProcessProbe.h"

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <vector>

#include "HostWindow.h"

namespace qwtest {

namespace {

// The module links its own C++ runtime, whose operator new is not the test
// program's: its allocations are counted where they leave the module, at
// the C library's allocator in its import table.
std::atomic<long> g_allocations{0};

using MallocFn = void* (*)(std::size_t);
using CallocFn = void* (*)(std::size_t, std::size_t);
using ReallocFn = void* (*)(void*, std::size_t);
using StrdupFn = char* (*)(const char*);
MallocFn g_malloc = nullptr;
CallocFn g_calloc = nullptr;
ReallocFn g_realloc = nullptr;
StrdupFn g_strdup = nullptr;

void* CountedMalloc(std::size_t n) {
  ++g_allocations;
  return g_malloc(n);
}
void* CountedCalloc(std::size_t count, std::size_t n) {
  ++g_allocations;
  return g_calloc(count, n);
}
void* CountedRealloc(void* p, std::size_t n) {
  ++g_allocations;
  return g_realloc(p, n);
}
char* CountedStrdup(const char* s) {
  ++g_allocations;
  return g_strdup(s);
}

struct Hook {
  const char* name;
  void* counted;
  void** original;
};
const Hook kHooks[] = {
    {"malloc", reinterpret_cast<void*>(&CountedMalloc), reinterpret_cast<void**>(&g_malloc)},
    {"calloc", reinterpret_cast<void*>(&CountedCalloc), reinterpret_cast<void**>(&g_calloc)},
    {"realloc", reinterpret_cast<void*>(&CountedRealloc), reinterpret_cast<void**>(&g_realloc)},
    {"_strdup", reinterpret_cast<void*>(&CountedStrdup), reinterpret_cast<void**>(&g_strdup)},
};

void WriteSlot(ULONGLONG* slot, ULONGLONG value) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  *slot = value;
  VirtualProtect(slot, sizeof *slot, old, &old);
}

// Calls visit(library, function, slot) for each entry of the loaded
// module's import table: the library's name, the function's (null when
// imported by ordinal) and the slot the loader filled with its address.
template <class Visit>
void ForEachImport(const Vst3Module& module, Visit visit) {
  auto* base = static_cast<unsigned char*>(module.Handle());
  if (!base) return;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       d->Name; ++d) {
    const auto* library = reinterpret_cast<const char*>(base + d->Name);
    // The names live in the lookup table; the slots beside them.
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(
        base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      const char* function = nullptr;
      if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) && d->OriginalFirstThunk)
        function = reinterpret_cast<const char*>(
            reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      visit(library, function, &slots->u1.Function);
    }
  }
}

int CountThreads() {
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  const DWORD me = GetCurrentProcessId();
  int n = 0;
  THREADENTRY32 t = {};
  t.dwSize = sizeof t;
  for (BOOL more = Thread32First(snapshot, &t); more; more = Thread32Next(snapshot, &t))
    n += t.th32OwnerProcessID == me;
  CloseHandle(snapshot);
  return n;
}

}  // namespace

// The import table's slots this counter redirected, with what they held.
struct ModuleAllocationCounter::State {
  struct Patched {
    ULONGLONG* slot;
    ULONGLONG original;
  };
  std::vector<Patched> patched;
};

ModuleAllocationCounter::ModuleAllocationCounter(const Vst3Module& module)
    : state_(std::make_unique<State>()) {
  state_->patched.reserve(std::size(kHooks));
  g_allocations = 0;
  ForEachImport(module, [&](const char* library, const char* function, ULONGLONG* slot) {
    if (lstrcmpiA(library, "msvcrt.dll") != 0 || !function) return;
    for (const Hook& h : kHooks) {
      if (std::strcmp(function, h.name) != 0) continue;
      *h.original = reinterpret_cast<void*>(*slot);
      state_->patched.push_back({slot, *slot});
      WriteSlot(slot, reinterpret_cast<ULONGLONG>(h.counted));
    }
  });
}

ModuleAllocationCounter::~ModuleAllocationCounter() { Stop(); }

long ModuleAllocationCounter::Count() const { return g_allocations.load(); }

void ModuleAllocationCounter::Stop() {
  for (const State::Patched& p : state_->patched) WriteSlot(p.slot, p.original);
  state_->patched.clear();
}

ProcessHoldings ProcessHoldings::Now() {
  const ResourceUse use = CurrentResourceUse();
  ProcessHoldings h;
  h.handles = use.handles + use.gdiObjects;
  h.threads = CountThreads();
  h.memoryKb = long(use.committedBytes / 1024);
  return h;
}

bool ProcessHoldings::MemoryWithin(const ProcessHoldings& before, long kb) const {
  return memoryKb - before.memoryKb < kb;
}

void KeepSystemLibrariesLoaded(const Vst3Module& module) {
  // Under Wine the print spooler, which the common dialogs bring in, keeps
  // a mutex handle per load.
  const char* last = nullptr;
  ForEachImport(module, [&](const char* library, const char*, ULONGLONG*) {
    if (library != last) LoadLibraryA(library);
    last = library;
  });
}

}  // namespace qwtest
