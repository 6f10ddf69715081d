// The operating system's library entry: records the module handle (the
// resources live in this DLL, not in the host's executable).
#include <windows.h>

#include "base/ModuleHandle.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
  module::SetHandle(instance);
  return TRUE;
}
