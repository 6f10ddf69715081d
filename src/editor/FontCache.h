#pragma once

#include "editor/IGraphicsTypes.h"

// The fonts of the whole process, shared by every editor: one cached font
// per size, orientation, style, quality and face; fonts are created outside
// the cache's lock.
class FontCache {
 public:
  // The font text in style is drawn with: the one the style remembers, a
  // cached one or a new one (which the style then remembers). Null when the
  // font cannot be made.
  static raster::CachedFont* Resolve(ITextStyle& style);
};
