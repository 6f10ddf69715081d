// The library's exported entry points. Each call builds one instance of the
// plug-in the library carries and hands its AEffect record to the host.
#include "host/vst2/IVstAdapter.h"
#include "core/PluginFactory.h"

#ifdef _WIN32
#define QW_EXPORT __declspec(dllexport)
#else
#define QW_EXPORT __attribute__((visibility("default")))
#endif

extern "C" QW_EXPORT vst::AEffect* VSTPluginMain(vst::audioMasterCallback host) {
  return IVstAdapter::CreateInstance(host, &CreatePluginInstance);
}

// Older hosts look for "main". The C++ name differs so the compiler does not
// treat it as a program entry; the assembler name is what the host finds. The
// callback arrives as a full pointer.
extern "C" QW_EXPORT vst::AEffect* LegacyPluginMain(vst::audioMasterCallback host) asm("main");
extern "C" vst::AEffect* LegacyPluginMain(vst::audioMasterCallback host) {
  return VSTPluginMain(host);
}
