#include <windows.h>

#include "core/ModuleHandle.h"

namespace module {

void* ProgramHandle() { return GetModuleHandleA(nullptr); }

}  // namespace module
