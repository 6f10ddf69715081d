#include "core/IPresetSlot.h"

#include <cstdio>

IPresetSlot::IPresetSlot() { SetName("empty"); }

void IPresetSlot::SetName(const char* name) {
  std::snprintf(name_, sizeof name_, "%s", name ? name : "");
}
