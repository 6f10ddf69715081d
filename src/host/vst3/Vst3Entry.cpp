// The VST 3 module's exported entry points: the factory, and the module's
// entry and exit the platform's hosts call around it.
#include "host/vst3/Vst3Factory.h"

#ifdef _WIN32
#define QW_EXPORT extern "C" __declspec(dllexport)
#else
#define QW_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QW_EXPORT vst3::IPluginFactory* GetPluginFactory() {
  Vst3Factory& factory = Vst3Factory::Instance();
  factory.addRef();
  return &factory;
}

#ifdef _WIN32
QW_EXPORT bool InitDll() { return true; }
QW_EXPORT bool ExitDll() { return true; }
#else
QW_EXPORT bool ModuleEntry(void*) { return true; }
QW_EXPORT bool ModuleExit() { return true; }
#endif
