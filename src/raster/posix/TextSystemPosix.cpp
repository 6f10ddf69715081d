// Text through FreeType, with fontconfig choosing the face. There is no
// native text path here: every string is drawn from the glyph cache.
#include "raster/TextSystem.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_MODULE_H

#include <algorithm>
#include <new>

namespace raster {

namespace {

// A font handle on this platform. It holds a reference to the library its
// face came from.
struct FaceHandle {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  int ascent = 0;
  int lineHeight = 0;
  bool antialiased = true;
};

// The FreeType library, made on first use. This holder keeps one reference
// until the process exits or our library is unloaded, and every face one
// more, so it is freed (a host may load and unload us many times) only when
// both the unload and the last face have gone, whichever is later.
class FreeTypeLibrary {
 public:
  FreeTypeLibrary() {
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
  }
  ~FreeTypeLibrary() {
    FT_Library l = library_;
    library_ = nullptr;  // a font asked for after this gets none
    if (l) FT_Done_FreeType(l);
  }
  FreeTypeLibrary(const FreeTypeLibrary&) = delete;
  FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;
  FT_Library Get() const { return library_; }

 private:
  FT_Library library_ = nullptr;
};

FT_Library Library() {
  static FreeTypeLibrary library;
  return library.Get();
}

// Our own fontconfig configuration, released at exit, so that the library's
// default configuration is never created behind our back.
class FontConfig {
 public:
  FontConfig() : config_(FcInitLoadConfigAndFonts()) {}
  ~FontConfig() {
    if (config_) FcConfigDestroy(config_);
  }
  FontConfig(const FontConfig&) = delete;
  FontConfig& operator=(const FontConfig&) = delete;
  FcConfig* Get() const { return config_; }

 private:
  FcConfig* config_;
};

FcConfig* Config() {
  static FontConfig config;
  return config.Get();
}

FaceHandle* Face(FontHandle font) { return static_cast<FaceHandle*>(font); }

}  // namespace

FontHandle CreateFontHandle(const FontRequest& request) {
  FT_Library lib = Library();
  if (!lib) return nullptr;

  // Fontconfig picks the named family or, when it is not installed, the
  // closest sans face it has.
  FcConfig* config = Config();
  FcPattern* pattern = config ? FcPatternCreate() : nullptr;
  if (!pattern) return nullptr;
  FcPatternAddString(pattern, FC_FAMILY,
                     reinterpret_cast<const FcChar8*>(request.face ? request.face : "Verdana"));
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddInteger(pattern, FC_WEIGHT,
                      request.weight >= 600 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return nullptr;
  FcChar8* file = nullptr;
  int index = 0;
  FT_Face face = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    if (FT_New_Face(lib, reinterpret_cast<const char*>(file), index, &face) != 0) face = nullptr;
  }
  FcPatternDestroy(match);
  if (!face) return nullptr;

  // Negative heights give the em size, positive ones the cell
  // (ascent + descent), as the window system's fonts do.
  const int h = std::clamp(request.height == 0 ? -12 : request.height, -4096, 4096);
  FT_Size_RequestRec size{};
  size.type = h < 0 ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_CELL;
  size.height = FT_Long(h < 0 ? -h : h) * 64;
  if (FT_Request_Size(face, &size) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  auto* handle = new (std::nothrow) FaceHandle;
  if (!handle) {
    FT_Done_Face(face);
    return nullptr;
  }
  FT_Reference_Library(lib);
  handle->library = lib;
  handle->face = face;
  handle->ascent = int((face->size->metrics.ascender + 63) >> 6);
  handle->lineHeight = handle->ascent + int((-face->size->metrics.descender + 63) >> 6);
  handle->antialiased = request.antialiased;
  return handle;
}

void DeleteFontHandle(FontHandle font) {
  if (FaceHandle* f = Face(font)) {
    FT_Done_Face(f->face);
    FT_Done_Library(f->library);
    delete f;
  }
}

namespace textsys {

void PrepareScratch(SysBitmap&) {}

int LineHeight(SysBitmap&, FontHandle font) {
  const FaceHandle* f = Face(font);
  return f ? f->lineHeight : 0;
}

bool MeasureChar(SysBitmap&, FontHandle font, std::uint32_t code, int& width, int& height) {
  const FaceHandle* f = Face(font);
  if (!f) return false;
  const FT_UInt index = FT_Get_Char_Index(f->face, code);
  if (index == 0 || FT_Load_Glyph(f->face, index, FT_LOAD_DEFAULT) != 0) return false;
  width = int((f->face->glyph->advance.x + 32) >> 6);
  height = f->lineHeight;
  return true;
}

void DrawCharWhite(SysBitmap& scratch, FontHandle font, std::uint32_t code) {
  const FaceHandle* f = Face(font);
  Pixel* bits = scratch.GetBits();
  if (!f || !bits) return;
  const FT_UInt index = FT_Get_Char_Index(f->face, code);
  const FT_Int32 load =
      FT_LOAD_RENDER | (f->antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
  if (index == 0 || FT_Load_Glyph(f->face, index, load) != 0) return;
  const FT_GlyphSlot g = f->face->glyph;
  const FT_Bitmap& b = g->bitmap;
  const bool mono = b.pixel_mode == FT_PIXEL_MODE_MONO;
  if (!mono && b.pixel_mode != FT_PIXEL_MODE_GRAY) return;
  const int ox = g->bitmap_left, oy = f->ascent - g->bitmap_top;
  const int sw = scratch.GetWidth(), sh = scratch.GetHeight(), span = scratch.GetRowSpan();
  for (int r = 0; r < int(b.rows); ++r) {
    const int y = oy + r;
    if (y < 0 || y >= sh) continue;
    const unsigned char* src = b.buffer + (long)r * b.pitch;
    for (int c = 0; c < int(b.width); ++c) {
      const int x = ox + c;
      if (x < 0 || x >= sw) continue;
      const int v = mono ? ((src[c >> 3] >> (7 - (c & 7))) & 1) * 255 : src[c];
      Pixel& d = bits[std::size_t(y) * std::size_t(span) + x];
      const int old = int((d >> 16) & 255);
      if (v > old) d = 0xFF000000u | Pixel(v) * 0x010101u;
    }
  }
}

bool NativeAvailable() { return false; }
bool RunningUnderWine() { return false; }

int DrawNative(IBitmap*, SysBitmap&, const NativeStyle&, const char*, int, TextRect&,
               std::uint32_t) {
  return 0;
}

}  // namespace textsys

}  // namespace raster
