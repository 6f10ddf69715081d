#pragma once

class IEffectCore;
class IGraphics;

// The editor with the window layer of the platform the library is built
// for: X11 on Linux; the headless layer where no window layer exists yet.
IGraphics* MakePlatformGraphics(IEffectCore* plugin, int width, int height, int frameRate);
