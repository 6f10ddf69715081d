// The LV2 library's exported entry: one plug-in, the one this library
// carries (its URI comes from the build), each instance an Lv2Adapter
// around a fresh effect.
#include <lv2/core/lv2.h>

#include <mutex>

#include "core/PluginFactory.h"
#include "host/lv2/Lv2Adapter.h"

#ifndef QW_LV2_URI
#error "QW_LV2_URI names the plug-in"
#endif

namespace {

// Instances are made one at a time, as the VST 2.4 entry makes them.
std::mutex& ConstructionLock() {
  static std::mutex lock;
  return lock;
}

Lv2Adapter* Self(LV2_Handle handle) { return static_cast<Lv2Adapter*>(handle); }

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
  std::lock_guard<std::mutex> lock(ConstructionLock());
  return Lv2Adapter::Create(rate, features, &CreatePluginInstance);
}

void ConnectPort(LV2_Handle handle, uint32_t port, void* data) {
  Self(handle)->ConnectPort(port, data);
}

void Activate(LV2_Handle handle) { Self(handle)->Activate(); }

void Run(LV2_Handle handle, uint32_t frames) { Self(handle)->Run(frames); }

void Deactivate(LV2_Handle handle) { Self(handle)->Deactivate(); }

void Cleanup(LV2_Handle handle) { delete Self(handle); }

const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {QW_LV2_URI, Instantiate, ConnectPort, Activate,
                                    Run,        Deactivate,  Cleanup,     ExtensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
