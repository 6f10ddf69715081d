#include "Typeface.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace art {

namespace {

[[noreturn]] void Die(const char* what) {
  std::fprintf(stderr, "qw_gen_artwork: %s\n", what);
  std::exit(1);
}

FT_Face Load(FT_Library lib, const char* path) {
  FT_Face f = nullptr;
  if (FT_New_Face(lib, path, 0, &f)) Die(path);
  return f;
}

// Code points of UTF-8 text; a malformed byte stands for itself.
std::vector<char32_t> Decode(const std::string& s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    char32_t cp = extra == 3 ? c & 0x07u : extra == 2 ? c & 0x0Fu : extra == 1 ? c & 0x1Fu : c;
    if (i + std::size_t(extra) >= s.size()) {
      extra = 0;
      cp = c;
    }
    for (int k = 1; k <= extra; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    out.push_back(cp);
    i += std::size_t(extra) + 1;
  }
  return out;
}

}  // namespace

Typeface::Typeface() {
  if (FT_Init_FreeType(&lib_)) Die("FreeType init failed");
  regular_ = Load(lib_, "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  bold_ = Load(lib_, "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
}

Typeface::~Typeface() {
  FT_Done_Face(regular_);
  FT_Done_Face(bold_);
  FT_Done_FreeType(lib_);
}

FT_Face Typeface::Face(const TextStyle& style) {
  FT_Face f = style.bold ? bold_ : regular_;
  FT_Set_Pixel_Sizes(f, 0, FT_UInt(style.px));
  return f;
}

double Typeface::Width(const std::string& s, const TextStyle& style) {
  FT_Face f = Face(style);
  const std::vector<char32_t> text = Decode(s);
  double w = 0;
  for (char32_t ch : text)
    if (!FT_Load_Char(f, ch, FT_LOAD_DEFAULT)) w += f->glyph->advance.x / 64.0;
  if (!text.empty()) w += style.tracking * double(text.size() - 1);
  return w;
}

double Typeface::CapHeight(const TextStyle& style) {
  FT_Face f = Face(style);
  if (FT_Load_Char(f, 'H', FT_LOAD_DEFAULT)) return style.px * 0.73;
  return f->glyph->metrics.horiBearingY / 64.0;
}

void Typeface::Draw(Canvas& canvas, const std::string& s, double x, double y,
                    const TextStyle& style, Align align) {
  if (align != Align::Left) x -= Width(s, style) / (align == Align::Centre ? 2.0 : 1.0);
  FT_Face f = Face(style);
  // Whole-pixel pen positions keep the hinted glyphs sharp.
  double pen = std::round(x);
  const int base = int(std::lround(y));
  for (char32_t ch : Decode(s)) {
    if (FT_Load_Char(f, ch, FT_LOAD_RENDER)) continue;
    const FT_GlyphSlot g = f->glyph;
    const int gx = int(std::lround(pen)) + g->bitmap_left, gy = base - g->bitmap_top;
    for (unsigned r = 0; r < g->bitmap.rows; ++r)
      for (unsigned k = 0; k < g->bitmap.width; ++k)
        canvas.Blend(gx + int(k), gy + int(r), style.color,
                     g->bitmap.buffer[r * unsigned(g->bitmap.pitch) + k] / 255.0);
    pen += g->advance.x / 64.0 + style.tracking;
  }
}

}  // namespace art
