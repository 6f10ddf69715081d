// The plug-in the libraries carry, for the formats' entry points.
#include "core/PluginFactory.h"
#include "quillwave/Quillwave.h"

IEffectCore* CreatePluginInstance() { return new Quillwave; }
