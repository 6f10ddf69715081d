#include "editor/PlatformGraphics.h"

#include "editor/win/IGraphicsWin.h"

IGraphics* MakePlatformGraphics(IEffectCore* plugin, int width, int height, int frameRate) {
  return new IGraphicsWin(plugin, width, height, frameRate);
}
