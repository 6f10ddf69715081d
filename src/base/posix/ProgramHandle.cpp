#include "base/ModuleHandle.h"

namespace module {

// Resources are found through an embedded table here, not a module handle.
void* ProgramHandle() { return nullptr; }

}  // namespace module
