#include "editor/PlatformGraphics.h"
#include "editor/headless/IGraphicsHeadless.h"

IGraphics* MakePlatformGraphics(IEffectCore* plugin, int width, int height, int frameRate) {
  return new IGraphicsHeadless(plugin, width, height, frameRate);
}
