#include "DynamicLibrary.h"

#include <windows.h>

namespace qwtest {

DynamicLibrary::DynamicLibrary(const std::string& path) {
  // The build hands over a Unix path; Wine maps the file system root to Z:.
  std::string native = path;
  if (!native.empty() && native[0] == '/') native = "Z:" + native;
  for (char& c : native)
    if (c == '/') c = '\\';
  handle_ = reinterpret_cast<void*>(LoadLibraryA(native.c_str()));
  if (!handle_)
    error_ = "LoadLibrary failed with error " + std::to_string(GetLastError()) + " for " + native;
}

DynamicLibrary::~DynamicLibrary() {
  if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name))
                 : nullptr;
}

}  // namespace qwtest
