#pragma once

class IEffectCore;
class IGraphics;

// The editor with the window layer of the platform the library is built
// for: the Win32 window on Windows, the X11 window on Linux. The plug-in
// builds its panel on it.
IGraphics* MakePlatformGraphics(IEffectCore* plugin, int width, int height, int frameRate);
