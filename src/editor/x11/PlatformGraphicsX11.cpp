#include "editor/PlatformGraphics.h"

#include "editor/x11/IGraphicsX11.h"

IGraphics* MakePlatformGraphics(IEffectCore* plugin, int width, int height, int frameRate) {
  return new IGraphicsX11(plugin, width, height, frameRate);
}
