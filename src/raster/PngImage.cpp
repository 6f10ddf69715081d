#include "raster/PngImage.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <new>

namespace raster {

namespace {

const unsigned char kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

// Far above the editor's images (the tallest filmstrip is 13200 pixels, the
// largest holds 1.5 million), far below the gigabytes a few bytes of header
// could otherwise make us allocate for a bitmap or a decompressed chunk.
constexpr png_uint_32 kMaxSide = 32768;
constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 24;
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(1) << 22;

// Whether every chunk up to the end chunk lies wholly inside the data.
// libpng allocates a buffer of a text chunk's stated length before reading
// it, so a few bytes stating two gigabytes would cost two gigabytes.
bool ChunksFit(const unsigned char* data, std::size_t length) {
  std::size_t at = sizeof kSignature;
  while (length - at >= 8) {
    const std::uint32_t size = std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 |
                               std::uint32_t(data[at + 2]) << 8 | data[at + 3];
    if (size > length - at - 8 || length - at - 8 - size < 4) return false;
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    at += 12 + std::size_t(size);
  }
  return true;
}

struct MemoryReader {
  const unsigned char* next;
  std::size_t remaining;
};

// A read past the end fails at once. Handing out zero bytes instead would
// leave libpng to notice the damage, but only after it has read and
// checksummed all of a chunk whose stated length may be two gigabytes: a
// few dozen bytes would cost seconds.
void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->remaining) png_error(png, "read past the end of the data");
  std::memcpy(out, reader->next, count);
  reader->next += count;
  reader->remaining -= count;
}

// Failures are answered by returning no image; nothing is printed from
// inside the host's process.
[[noreturn]] void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// Everything that must survive a longjmp out of libpng lives here, outside
// the frame that calls setjmp, so no automatic object is skipped over.
struct DecodeState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  MemoryReader reader{};
  MemBitmap* bitmap = nullptr;
  png_bytep* rows = nullptr;
};

void Release(DecodeState& st) {
  if (st.png) png_destroy_read_struct(&st.png, st.info ? &st.info : nullptr, nullptr);
  st.png = nullptr;
  st.info = nullptr;
  delete[] st.rows;
  st.rows = nullptr;
  delete st.bitmap;
  st.bitmap = nullptr;
}

// Returns true with st.bitmap filled in. Contains no objects with
// destructors, so leaving it through libpng's longjmp is well defined.
bool Decode(DecodeState& st) {
  if (setjmp(png_jmpbuf(st.png))) return false;

  png_set_read_fn(st.png, &st.reader, ReadFromMemory);
  png_set_user_limits(st.png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(st.png, kMaxChunkBytes);
  png_read_info(st.png, st.info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(st.png, st.info, &width, &height, &bitDepth, &colorType, &interlace, &compression,
               &filter);

  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(st.png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(st.png);
  if (png_get_valid(st.png, st.info, PNG_INFO_tRNS)) {
    png_set_tRNS_to_alpha(st.png);
    colorType |= PNG_COLOR_MASK_ALPHA;
  }
  if (bitDepth == 16) png_set_strip_16(st.png);
  if (bitDepth < 8) png_set_packing(st.png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(st.png);
  if (!(colorType & PNG_COLOR_MASK_ALPHA))
    png_set_filler(st.png, 0xFF, PNG_FILLER_BEFORE);
  else
    png_set_swap_alpha(st.png);
  // Interlaced images need the passes combined by png_read_image.
  png_set_interlace_handling(st.png);
  png_read_update_info(st.png, st.info);

  // A row must come out as exactly four bytes per pixel, or the row
  // pointers below would be overrun.
  if (png_get_rowbytes(st.png, st.info) != png_size_t(width) * 4) return false;
  if (std::uint64_t(width) * height > kMaxPixels) return false;

  st.bitmap = new (std::nothrow) MemBitmap(int(width), int(height));
  if (!st.bitmap || st.bitmap->GetWidth() != int(width) || st.bitmap->GetHeight() != int(height))
    return false;

  st.rows = new (std::nothrow) png_bytep[height];
  if (!st.rows) return false;
  Pixel* bits = st.bitmap->GetBits();
  const std::size_t span = std::size_t(st.bitmap->GetRowSpan());
  for (png_uint_32 y = 0; y < height; ++y)
    st.rows[y] = reinterpret_cast<png_bytep>(bits + y * span);
  png_read_image(st.png, st.rows);
  // Reading on to the end chunk checks the checksums of the remaining
  // data, so a file cut short fails here instead of decoding the zero
  // bytes the reader supplies past its end.
  png_read_end(st.png, nullptr);
  return true;
}

}  // namespace

std::unique_ptr<MemBitmap> LoadPNGFromMemory(const void* data, std::size_t length) {
  if (!data || length <= 7) return nullptr;
  if (std::memcmp(data, kSignature, sizeof kSignature) != 0) return nullptr;
  if (!ChunksFit(static_cast<const unsigned char*>(data), length)) return nullptr;

  DecodeState st;
  st.png = png_create_read_struct("1.6.8", nullptr, QuietError, QuietWarning);
  if (!st.png) return nullptr;
  st.info = png_create_info_struct(st.png);
  if (!st.info) {
    Release(st);
    return nullptr;
  }
  st.reader.next = static_cast<const unsigned char*>(data);
  st.reader.remaining = length;

  if (!Decode(st)) {
    Release(st);
    return nullptr;
  }
  png_destroy_read_struct(&st.png, &st.info, nullptr);
  st.png = nullptr;
  delete[] st.rows;
  st.rows = nullptr;

  // Each pixel arrived as bytes alpha, red, green, blue.
  MemBitmap* bitmap = st.bitmap;
  st.bitmap = nullptr;
  const int w = bitmap->GetWidth(), h = bitmap->GetHeight(), span = bitmap->GetRowSpan();
  for (int y = 0; y < h; ++y) {
    Pixel* row = bitmap->GetBits() + std::size_t(y) * std::size_t(span);
    auto* bytes = reinterpret_cast<unsigned char*>(row);
    for (int x = 0; x < w; ++x) {
      const unsigned char* p = bytes + 4 * x;
      row[x] = (Pixel(p[0]) << 24) | (Pixel(p[1]) << 16) | (Pixel(p[2]) << 8) | Pixel(p[3]);
    }
  }
  return std::unique_ptr<MemBitmap>(bitmap);
}

}  // namespace raster
