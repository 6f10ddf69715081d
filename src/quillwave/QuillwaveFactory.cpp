// The plug-in this library carries, for the adapter's exported entry point.
#include "host/PluginFactory.h"
#include "quillwave/Quillwave.h"

IVstAdapter* CreatePluginInstance(vst::audioMasterCallback host) { return new Quillwave(host); }
