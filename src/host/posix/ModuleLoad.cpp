// Records the handle of this shared object when it is loaded, for the
// resource lookups that go through module::Handle().
#include <dlfcn.h>

#include "base/ModuleHandle.h"

namespace {

__attribute__((constructor)) void RecordModuleHandle() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&RecordModuleHandle), &info) || !info.dli_fname) return;
  // RTLD_NOLOAD only looks the object up; closing again keeps the reference
  // count as the loader left it, so the host can still unload the library.
  if (void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD)) {
    module::SetHandle(handle);
    dlclose(handle);
  }
}

}  // namespace
