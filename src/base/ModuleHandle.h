#pragma once

// The handle of the loaded module (the plug-in library) that holds the
// resources. The library's load hook records it; until then lookups fall
// back to the running program's own module.
namespace module {

void SetHandle(void* handle);
void* Handle();

// The running program's own module: the fallback before the hook ran.
void* ProgramHandle();

}  // namespace module
