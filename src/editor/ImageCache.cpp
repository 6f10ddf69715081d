#include "editor/ImageCache.h"

#include "editor/ProcessCache.h"
#include "editor/ProcessWide.h"
#include "raster/IBitmap.h"

namespace {

// Kept while an editor thread may still draw from it, exit included.
ProcessCache<int, raster::IBitmap>& Images() {
  static ProcessWide<ProcessCache<int, raster::IBitmap>> cache;
  return cache.Get();
}

}  // namespace

raster::IBitmap* ImageCache::Find(int id) { return Images().Find(id); }

raster::IBitmap* ImageCache::Add(int id, std::unique_ptr<raster::IBitmap> image) {
  return Images().Add(id, std::move(image));
}

int ImageCache::Count() { return Images().Count(); }
