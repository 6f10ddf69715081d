// Bytes through the image decoder. A decoded image must have the size its
// header gives and every pixel must be readable; anything else must come
// back as no image, without leaking.
//
// libpng rejects a chunk whose checksum is wrong before looking at its
// contents, so the mutator puts the checksums right after each change:
// otherwise almost every mutation would end at the first checksum.
#include <png.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "raster/PngImage.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

uint32_t ReadBig32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void WriteBig32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

// Rewrites the checksum of every whole chunk after the signature.
void FixChecksums(uint8_t* data, size_t size) {
  size_t at = 8;
  while (at + 12 <= size) {
    const uint32_t length = ReadBig32(data + at);
    if (length > size - at - 12) break;
    const uLong crc = crc32(0L, data + at + 4, uInt(length + 4));
    WriteBig32(data + at + 8 + length, uint32_t(crc));
    at += 12 + size_t(length);
  }
}

// The image's size as its header chunk gives it. Decoders accept ancillary
// chunks ahead of the header, so the header is looked for, not assumed at the
// start; the first one counts, since a second is refused.
bool HeaderSize(const uint8_t* data, size_t size, int& width, int& height) {
  size_t at = 8;
  while (at + 12 <= size) {
    const uint32_t length = ReadBig32(data + at);
    if (length > size - at - 12) return false;
    if (ReadBig32(data + at + 4) == 0x49484452u && length >= 8) {
      width = int(ReadBig32(data + at + 8)), height = int(ReadBig32(data + at + 12));
      return true;
    }
    at += 12 + size_t(length);
  }
  return false;
}

}  // namespace

// Keeps the pixel reads from being optimised away.
uint32_t g_pixelSum = 0;

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int) {
  size = LLVMFuzzerMutate(data, size, maxSize);
  FixChecksums(data, size);
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<raster::MemBitmap> image = raster::LoadPNGFromMemory(data, size);
  if (!image) return 0;
  int width = 0, height = 0;
  if (!HeaderSize(data, size, width, height)) fuzz::Fail("an image without a header chunk");
  if (image->GetWidth() != width || image->GetHeight() != height)
    fuzz::Fail("image size differs from its header");
  if (!image->GetBits() || image->GetRowSpan() < width) fuzz::Fail("image without room");
  uint32_t sum = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) sum += image->GetBits()[size_t(y) * image->GetRowSpan() + x];
  g_pixelSum += sum;
  return 0;
}
