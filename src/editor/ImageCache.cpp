#include "editor/ImageCache.h"

#include "editor/ProcessCache.h"
#include "raster/IBitmap.h"

namespace {

// Never destroyed: an editor thread may still draw from it while the
// process exits.
ProcessCache<int, raster::IBitmap>& Images() {
  static auto* cache = new ProcessCache<int, raster::IBitmap>;
  return *cache;
}

}  // namespace

raster::IBitmap* ImageCache::Find(int id) { return Images().Find(id); }

raster::IBitmap* ImageCache::Add(int id, std::unique_ptr<raster::IBitmap> image) {
  return Images().Add(id, std::move(image));
}

int ImageCache::Count() { return Images().Count(); }
