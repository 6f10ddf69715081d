// A top-down 32-bit DIB section selected into a memory device context, so
// GDI can draw text into the pixels and BitBlt them to the window.

#include "raster/SysBitmapNative.h"

#include <windows.h>

namespace raster::sysbitmap {

void* CreateContext() { return CreateCompatibleDC(nullptr); }

void DestroyContext(void* context) { DeleteDC(static_cast<HDC>(context)); }

void* PublicContext(void* context) { return context; }

bool CreateSection(void* context, int width, int height, bool flipped, Pixel** bits, void** section,
                   void** previous) {
  *bits = nullptr;
  *section = nullptr;
  *previous = nullptr;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = flipped ? height : -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  void* pixels = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!dib || !pixels) {
    if (dib) DeleteObject(dib);
    return false;
  }
  *previous = SelectObject(static_cast<HDC>(context), dib);
  *bits = static_cast<Pixel*>(pixels);
  *section = dib;
  return true;
}

void DestroySection(void* context, void* section, void* previous) {
  if (previous) SelectObject(static_cast<HDC>(context), static_cast<HGDIOBJ>(previous));
  if (section) DeleteObject(static_cast<HGDIOBJ>(section));
}

}  // namespace raster::sysbitmap
