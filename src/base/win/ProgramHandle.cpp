#include <windows.h>

#include "base/ModuleHandle.h"

namespace module {

void* ProgramHandle() { return GetModuleHandleA(nullptr); }

}  // namespace module
