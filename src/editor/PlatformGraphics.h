#pragma once

class IEffectCore;
class IGraphics;

// The editor with the window layer of the platform the library is built
// for; the headless layer where no window layer exists. The plug-in builds
// its panel on it.
IGraphics* MakePlatformGraphics(IEffectCore* plugin, int width, int height, int frameRate);
