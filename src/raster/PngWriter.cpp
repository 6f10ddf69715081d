#include "raster/PngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

namespace raster {

namespace {

[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// Everything that must survive a longjmp out of libpng lives outside the
// frame that calls setjmp.
struct Writer {
  std::FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<png_byte> row;
};

bool Write(Writer& w, const IBitmap& bitmap) {
  if (setjmp(png_jmpbuf(w.png))) return false;
  png_init_io(w.png, w.file);
  const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
  png_set_IHDR(w.png, w.info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(w.png, w.info);
  const Pixel* bits = bitmap.GetBits();
  const int span = bitmap.GetRowSpan();
  for (int y = 0; y < height; ++y) {
    const int memoryRow = bitmap.IsFlipped() ? height - 1 - y : y;
    const Pixel* src = bits + std::ptrdiff_t(memoryRow) * span;
    for (int x = 0; x < width; ++x) {
      const Pixel p = src[x];
      png_byte* out = &w.row[std::size_t(x) * 4];
      out[0] = png_byte(PixelR(p));
      out[1] = png_byte(PixelG(p));
      out[2] = png_byte(PixelB(p));
      out[3] = png_byte(PixelA(p));
    }
    png_write_row(w.png, w.row.data());
  }
  png_write_end(w.png, w.info);
  return true;
}

}  // namespace

bool WritePNGFile(const IBitmap& bitmap, const char* path) {
  if (!path || !bitmap.GetBits() || bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0)
    return false;
  Writer w;
  w.row.resize(std::size_t(bitmap.GetWidth()) * 4);
  w.file = std::fopen(path, "wb");
  if (!w.file) return false;
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
  if (w.png) w.info = png_create_info_struct(w.png);
  bool ok = w.png && w.info && Write(w, bitmap);
  png_destroy_write_struct(w.png ? &w.png : nullptr, w.info ? &w.info : nullptr);
  ok = std::fclose(w.file) == 0 && ok;
  if (!ok) std::remove(path);
  return ok;
}

}  // namespace raster
