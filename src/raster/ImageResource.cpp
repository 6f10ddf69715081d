#include "raster/ImageResource.h"

#include <cstring>

#include "raster/PngImage.h"

namespace raster {

namespace {

bool HasPngExtension(const char* fileName) {
  if (!fileName) return false;
  const char* dot = std::strrchr(fileName, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  const char want[] = "png";
  for (int i = 0; i < 3; ++i) {
    char c = ext[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != want[i]) return false;
  }
  return ext[3] == '\0';
}

}  // namespace

std::unique_ptr<MemBitmap> LoadImageResource(int id, const char* fileName) {
  if (!HasPngExtension(fileName)) return nullptr;
  const ResourceBytes res = FindPNGResource(std::uint16_t(id & 0xFFFF));
  if (!res.data || res.length <= 7) return nullptr;
  return LoadPNGFromMemory(res.data, res.length);
}

}  // namespace raster
