#pragma once

class IEffectCore;

// Builds one instance of the plug-in a library carries, not yet connected to
// any host. The plug-in's own folder defines it; each format's entry point
// calls it and wraps the effect in its adapter. May return null or throw;
// neither reaches the host.
IEffectCore* CreatePluginInstance();
