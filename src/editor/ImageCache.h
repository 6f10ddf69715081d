#pragma once

#include <memory>

namespace raster {
class IBitmap;
}  // namespace raster

// The decoded editor images of the whole process, shared by every editor
// and keyed by resource id; decoding happens outside the cache's lock.
class ImageCache {
 public:
  // The cached image for id, or null.
  static raster::IBitmap* Find(int id);
  // Caches image under id and returns it; when another editor cached one for
  // id meanwhile, that one is returned and image is dropped. A null image is
  // not cached.
  static raster::IBitmap* Add(int id, std::unique_ptr<raster::IBitmap> image);
  // How many images are cached.
  static int Count();
};
