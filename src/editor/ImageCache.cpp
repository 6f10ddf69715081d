#include "editor/ImageCache.h"

#include <mutex>
#include <vector>

#include "raster/IBitmap.h"

namespace {

struct Entry {
  int id;
  std::unique_ptr<raster::IBitmap> image;
};

struct Store {
  std::mutex lock;
  std::vector<Entry> entries;

  raster::IBitmap* FindLocked(int id) const {
    for (const Entry& e : entries)
      if (e.id == id && e.image) return e.image.get();
    return nullptr;
  }
};

Store& Instance() {
  static Store store;
  return store;
}

}  // namespace

raster::IBitmap* ImageCache::Find(int id) {
  Store& s = Instance();
  std::lock_guard<std::mutex> hold(s.lock);
  return s.FindLocked(id);
}

raster::IBitmap* ImageCache::Add(int id, std::unique_ptr<raster::IBitmap> image) {
  if (!image) return nullptr;
  Store& s = Instance();
  std::lock_guard<std::mutex> hold(s.lock);
  if (raster::IBitmap* first = s.FindLocked(id)) return first;
  s.entries.push_back({id, std::move(image)});
  return s.entries.back().image.get();
}

int ImageCache::Count() {
  Store& s = Instance();
  std::lock_guard<std::mutex> hold(s.lock);
  return int(s.entries.size());
}
