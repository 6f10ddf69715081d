#pragma once

#include <memory>

#include "editor/IGraphicsTypes.h"

// The fonts of the whole process, shared by every editor: one cached font
// per size, orientation, style, quality and face. Entries are only ever
// added; they are released when the library is unloaded. Every search and
// addition holds the cache's own lock; fonts are created outside it.
class FontCache {
 public:
  // The font text in style is drawn with: the one the style remembers, a
  // cached one or a new one. Null when the font cannot be made.
  static raster::CachedFont* Resolve(ITextStyle& style);
  // How many fonts are cached.
  static int Count();
};
