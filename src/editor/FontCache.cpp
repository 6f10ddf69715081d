#include "editor/FontCache.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "raster/CachedFont.h"
#include "raster/FontHandle.h"

namespace {

struct Key {
  int size, orientation, style, quality;
  char name[sizeof(ITextStyle::fontName)];

  explicit Key(const ITextStyle& s)
      : size(s.size), orientation(s.orientation), style(s.style), quality(s.quality), name{} {
    std::memcpy(name, s.fontName, strnlen(s.fontName, sizeof(name) - 1));
  }
  bool operator==(const Key& o) const {
    return size == o.size && orientation == o.orientation && style == o.style &&
           quality == o.quality && std::strcmp(name, o.name) == 0;
  }
};

struct Entry {
  Key key;
  std::unique_ptr<raster::CachedFont> font;
};

struct Store {
  std::mutex lock;
  std::vector<Entry> entries;

  raster::CachedFont* FindLocked(const Key& key) const {
    for (const Entry& e : entries)
      if (e.key == key) return e.font.get();
    return nullptr;
  }
};

Store& Instance() {
  static Store store;
  return store;
}

std::unique_ptr<raster::CachedFont> MakeFont(const Key& key) {
  raster::FontRequest request;
  request.face = key.name;
  request.height = key.size;  // the character cell's height
  request.weight = key.style == ITextStyle::kBold ? 700 : 400;
  request.italic = key.style == ITextStyle::kItalic;
  request.antialiased = key.quality != ITextStyle::kNonAntialiased;
  raster::FontHandle handle = raster::CreateFontHandle(request);
  if (!handle) return nullptr;
  auto font = std::make_unique<raster::CachedFont>();
  font->SetFromFontHandle(handle, raster::FontOwnsHandle | raster::FontAllowNative);
  return font;
}

}  // namespace

raster::CachedFont* FontCache::Resolve(ITextStyle& style) {
  if (style.font) return style.font;
  const Key key(style);
  Store& s = Instance();
  {
    std::lock_guard<std::mutex> hold(s.lock);
    style.font = s.FindLocked(key);
  }
  if (style.font) return style.font;
  std::unique_ptr<raster::CachedFont> made = MakeFont(key);
  if (!made) return nullptr;
  std::lock_guard<std::mutex> hold(s.lock);
  // Another editor may have made the same font meanwhile: keep the first.
  style.font = s.FindLocked(key);
  if (!style.font) {
    s.entries.push_back({key, std::move(made)});
    style.font = s.entries.back().font.get();
  }
  return style.font;
}

int FontCache::Count() {
  Store& s = Instance();
  std::lock_guard<std::mutex> hold(s.lock);
  return int(s.entries.size());
}
