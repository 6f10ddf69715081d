#pragma once

class IEffectCore;
class IGraphics;

// The editor of this platform's window system for plugin, width x height
// pixels, redrawn frameRate times a second. The plug-in builds its panel on
// it; one definition per platform.
IGraphics* MakePlatformGraphics(IEffectCore* plugin, int width, int height, int frameRate);
