#include "editor/FontCache.h"

#include <cstring>
#include <memory>

#include "editor/ProcessCache.h"
#include "editor/ProcessWide.h"
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

// Kept while an editor thread may still draw text from it, exit included.
ProcessCache<Key, raster::CachedFont>& Fonts() {
  static ProcessWide<ProcessCache<Key, raster::CachedFont>> cache;
  return cache.Get();
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
  style.font = Fonts().Find(key);
  if (!style.font) style.font = Fonts().Add(key, MakeFont(key));
  return style.font;
}
