// The LV2 UI library's exported entry: one X11 UI, for the plug-in this
// library carries (URIs from the build).
#include <lv2/ui/ui.h>

#include <string_view>

#include "core/PluginFactory.h"
#include "host/lv2/Lv2Ui.h"

#ifndef QW_LV2_UI_URI
#error "QW_LV2_UI_URI names the UI"
#endif

namespace {

Lv2Ui* Self(LV2UI_Handle handle) { return static_cast<Lv2Ui*>(handle); }

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
  return Lv2Ui::Create(write, controller, widget, features, &CreatePluginInstance);
}

void Cleanup(LV2UI_Handle handle) { delete Self(handle); }

void PortEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
  Self(handle)->PortEvent(port, size, format, buffer);
}

int Idle(LV2UI_Handle handle) { return Self(handle)->Idle(); }

const LV2UI_Idle_Interface kIdle = {Idle};

const void* ExtensionData(const char* uri) {
  if (uri && std::string_view(uri) == LV2_UI__idleInterface) return &kIdle;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor = {QW_LV2_UI_URI, Instantiate, Cleanup, PortEvent,
                                      ExtensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
