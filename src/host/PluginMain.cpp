// The library's exported entry points. Each call builds one Quillwave
// instance and hands its AEffect record to the host.
#include "dsp/Quillwave.h"
#include "host/IVstAdapter.h"

#ifdef _WIN32
#define QW_EXPORT __declspec(dllexport)
#else
#define QW_EXPORT __attribute__((visibility("default")))
#endif

namespace {
IVstAdapter* MakeQuillwave(vst::audioMasterCallback host) { return new Quillwave(host); }
}  // namespace

extern "C" QW_EXPORT vst::AEffect* VSTPluginMain(vst::audioMasterCallback host) {
  return IVstAdapter::CreateInstance(host, &MakeQuillwave);
}

// Older hosts look for "main". The C++ name differs so the compiler does not
// treat it as a program entry; the assembler name is what the host finds. The
// callback arrives as a full pointer.
extern "C" QW_EXPORT vst::AEffect* LegacyPluginMain(vst::audioMasterCallback host) asm("main");
extern "C" vst::AEffect* LegacyPluginMain(vst::audioMasterCallback host) {
  return VSTPluginMain(host);
}
