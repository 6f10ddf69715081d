// PNG decoding from memory and image resources by id.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdint>
#include <vector>

#include "raster/ImageResource.h"
#include "raster/PngImage.h"

namespace {

using raster::MemBitmap;

struct PngSpec {
  int width = 1, height = 1, bitDepth = 8, colorType = PNG_COLOR_TYPE_RGB;
  int interlace = PNG_INTERLACE_NONE;
  std::vector<png_color> palette;
  std::vector<png_byte> trnsAlpha;  // palette transparency
  std::vector<std::vector<png_byte>> rows;
};

void Append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void NoFlush(png_structp) {}

// Writes a PNG file into memory with libpng's writer.
std::vector<unsigned char> MakePng(const PngSpec& s) {
  std::vector<unsigned char> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "libpng could not write the test image";
    return {};
  }
  png_set_write_fn(png, &out, Append, NoFlush);
  png_set_IHDR(png, info, png_uint_32(s.width), png_uint_32(s.height), s.bitDepth, s.colorType,
               s.interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
  if (!s.trnsAlpha.empty())
    png_set_tRNS(png, info, s.trnsAlpha.data(), int(s.trnsAlpha.size()), nullptr);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (auto& r : s.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

Pixel At(const MemBitmap& b, int x, int y) { return b.GetBits()[y * b.GetRowSpan() + x]; }

std::unique_ptr<MemBitmap> Load(const std::vector<unsigned char>& file) {
  return raster::LoadPNGFromMemory(file.data(), file.size());
}

TEST(PngImage, PaletteWithTransparencyGivesPerPixelAlpha) {
  PngSpec s;
  s.width = 3;
  s.colorType = PNG_COLOR_TYPE_PALETTE;
  s.palette = {{255, 0, 0}, {0, 255, 0}, {10, 20, 30}};
  s.trnsAlpha = {255, 64};  // entry 2 has no tRNS value: opaque
  s.rows = {{0, 1, 2}};
  auto b = Load(MakePng(s));
  ASSERT_TRUE(b);
  ASSERT_EQ(b->GetWidth(), 3);
  EXPECT_EQ(At(*b, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(At(*b, 1, 0), 0x4000FF00u);
  EXPECT_EQ(At(*b, 2, 0), 0xFF0A141Eu);
}

TEST(PngImage, OneBitGreyBecomesOpaqueBlackAndWhite) {
  PngSpec s;
  s.width = 10;
  s.height = 2;
  s.bitDepth = 1;
  s.colorType = PNG_COLOR_TYPE_GRAY;
  s.rows = {{0xA5, 0x40}, {0x00, 0xC0}};  // 1010 0101 01, 0000 0000 11
  auto b = Load(MakePng(s));
  ASSERT_TRUE(b);
  const int bits0[10] = {1, 0, 1, 0, 0, 1, 0, 1, 0, 1};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(At(*b, x, 0), bits0[x] ? 0xFFFFFFFFu : 0xFF000000u) << x;
  for (int x = 0; x < 8; ++x) EXPECT_EQ(At(*b, x, 1), 0xFF000000u);
  EXPECT_EQ(At(*b, 8, 1), 0xFFFFFFFFu);
  EXPECT_EQ(At(*b, 9, 1), 0xFFFFFFFFu);
}

TEST(PngImage, SixteenBitDropsTheLowByte) {
  PngSpec s;
  s.width = 2;
  s.bitDepth = 16;
  s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  // Low bytes of 0xFF would round up if the samples were scaled.
  s.rows = {{0x12, 0xFF, 0x34, 0x80, 0x56, 0xFF, 0x7F, 0xFF, 0x00, 0x01, 0xFF, 0x00, 0xAB, 0xCD,
             0x01, 0xFF}};
  auto b = Load(MakePng(s));
  ASSERT_TRUE(b);
  EXPECT_EQ(At(*b, 0, 0), 0x7F123456u);
  EXPECT_EQ(At(*b, 1, 0), 0x0100FFABu);
}

TEST(PngImage, GreyAlphaAndRgbWithoutAlpha) {
  PngSpec ga;
  ga.width = 2;
  ga.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  ga.rows = {{0x40, 0x80, 0xFF, 0x00}};
  auto b = Load(MakePng(ga));
  ASSERT_TRUE(b);
  EXPECT_EQ(At(*b, 0, 0), 0x80404040u);
  EXPECT_EQ(At(*b, 1, 0), 0x00FFFFFFu);

  PngSpec rgb;
  rgb.width = 5;  // row span 8: rows must be placed by span, not width
  rgb.height = 3;
  for (int y = 0; y < 3; ++y) {
    std::vector<png_byte> row;
    for (int x = 0; x < 5; ++x)
      for (int v : {x * 40, y * 80, x + y}) row.push_back(png_byte(v));
    rgb.rows.push_back(row);
  }
  auto c = Load(MakePng(rgb));
  ASSERT_TRUE(c);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(At(*c, x, y), raster::MakePixel(255, x * 40, y * 80, x + y));
}

TEST(PngImage, InterlacedImageIsReassembled) {
  PngSpec s;
  s.width = 13;
  s.height = 11;
  s.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  s.interlace = PNG_INTERLACE_ADAM7;
  for (int y = 0; y < s.height; ++y) {
    std::vector<png_byte> row;
    for (int x = 0; x < s.width; ++x)
      for (int v : {x, y, x * y, 200 + x}) row.push_back(png_byte(v));
    s.rows.push_back(row);
  }
  auto b = Load(MakePng(s));
  ASSERT_TRUE(b);
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      ASSERT_EQ(At(*b, x, y), raster::MakePixel(200 + x, x, y, x * y)) << x << "," << y;
}

TEST(PngImage, ShortForeignAndTruncatedDataAreRefused) {
  PngSpec s;
  s.width = 40;
  s.height = 30;
  s.colorType = PNG_COLOR_TYPE_RGB;
  for (int y = 0; y < s.height; ++y) {
    std::vector<png_byte> row;
    for (int x = 0; x < s.width * 3; ++x) row.push_back(png_byte((x * 7 + y * 13) & 255));
    s.rows.push_back(row);
  }
  const auto file = MakePng(s);
  ASSERT_TRUE(Load(file));

  EXPECT_FALSE(raster::LoadPNGFromMemory(nullptr, 100));
  EXPECT_FALSE(raster::LoadPNGFromMemory(file.data(), 7));
  // Eight bytes pass the length test and the signature, then fail decoding.
  EXPECT_FALSE(raster::LoadPNGFromMemory(file.data(), 8));
  auto foreign = file;
  foreign[1] = 'Q';
  EXPECT_FALSE(Load(foreign));

  // Every truncation fails cleanly (the sanitizer build checks for leaks
  // and stray reads).
  for (std::size_t n = 8; n < file.size(); ++n) {
    std::vector<unsigned char> cut(file.begin(), file.begin() + std::ptrdiff_t(n));
    EXPECT_FALSE(Load(cut)) << "length " << n;
  }
  // A corrupted data byte is caught by the chunk checksum.
  auto corrupt = file;
  corrupt[file.size() / 2] ^= 0x5A;
  EXPECT_FALSE(Load(corrupt));
}

TEST(PngImage, ImagesBeyondTheSizeLimitsAreRefused) {
  // Up to 32768 pixels a side and 16 million pixels in all; one-bit grey
  // keeps the files small (decoded, the largest here takes 64 MB).
  const struct {
    int width, height;
    bool loads;
  } cases[] = {{4096, 4096, true}, {4097, 4096, false}, {32768, 2, true}, {32769, 1, false}};
  for (const auto& c : cases) {
    PngSpec s;
    s.width = c.width, s.height = c.height, s.bitDepth = 1, s.colorType = PNG_COLOR_TYPE_GRAY;
    s.rows.assign(size_t(c.height), std::vector<png_byte>(size_t(c.width + 7) / 8, 0xA5));
    const auto image = Load(MakePng(s));
    EXPECT_EQ(image != nullptr, c.loads) << c.width << " x " << c.height;
    if (image) EXPECT_EQ(At(*image, 1, c.height - 1), 0xFF000000u);
  }
}

TEST(ImageResource, LoadsLibraryImagesById) {
  struct Expect {
    int id;
    const char* name;
    int w, h;
  };
  const Expect images[] = {
      {120, "resources/img/back.png", 689, 369},
      {108, "resources/img/knob2_anim.png", 72, 8640},
      {110, "resources/img/knob1_anim.png", 110, 13200},
      {112, "resources/img/knob1_note_anim.png", 110, 770},
      {114, "resources/img/knob3_anim.png", 56, 6720},
      {118, "resources/img/switch.png", 32, 64},
      {119, "resources/img/note_lbl.png", 78, 47},
      {121, "resources/img/logo.png", 52, 52},
      {152, "resources/img/cut1.png", 130, 130},
      {160, "resources/img/small_check.png", 16, 32},
      {161, "resources/img/filt_sw.png", 130, 18},
      {113, "resources/img/note.png", 210, 210},
  };
  for (const Expect& e : images) {
    auto b = raster::LoadImageResource(e.id, e.name);
    ASSERT_TRUE(b) << e.name;
    EXPECT_EQ(b->GetWidth(), e.w) << e.name;
    EXPECT_EQ(b->GetHeight(), e.h) << e.name;
  }
  // The background covers the whole panel: opaque in every corner.
  auto back = raster::LoadImageResource(120, "back.png");
  ASSERT_TRUE(back);
  EXPECT_EQ(At(*back, 0, 0) >> 24, 255u);
  EXPECT_EQ(At(*back, 688, 368) >> 24, 255u);
  // Only the low 16 bits of the id count.
  auto wrapped = raster::LoadImageResource(0x10000 + 121, "logo.png");
  ASSERT_TRUE(wrapped);
  EXPECT_EQ(wrapped->GetWidth(), 52);
}

TEST(ImageResource, ExtensionDecidesBeforeTheLookup) {
  EXPECT_TRUE(raster::LoadImageResource(121, "LOGO.PNG"));
  EXPECT_TRUE(raster::LoadImageResource(121, "a.b/logo.Png"));
  EXPECT_FALSE(raster::LoadImageResource(121, "logo.bmp"));
  EXPECT_FALSE(raster::LoadImageResource(121, "logo.png.txt"));
  EXPECT_FALSE(raster::LoadImageResource(121, "logo.pngx"));
  EXPECT_FALSE(raster::LoadImageResource(121, "logo"));
  EXPECT_FALSE(raster::LoadImageResource(121, nullptr));
  // No such resource.
  EXPECT_FALSE(raster::LoadImageResource(4242, "missing.png"));
  EXPECT_EQ(raster::FindPNGResource(4242).data, nullptr);
  EXPECT_GT(raster::FindPNGResource(120).length, 8u);
}

}  // namespace
