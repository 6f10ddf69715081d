#pragma once

#include "host/VstAbi.h"

class IVstAdapter;

// Builds one instance of the plug-in this library carries. The plug-in's own
// folder defines it; the exported entry point calls it under the
// construction lock. May return null or throw; neither reaches the host.
IVstAdapter* CreatePluginInstance(vst::audioMasterCallback host);
