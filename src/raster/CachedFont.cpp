#include "raster/CachedFont.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "raster/Blur.h"
#include "raster/Fill.h"
#include "raster/PixelBlend.h"
#include "raster/TextSystem.h"

namespace raster {

namespace {

// Process-wide, user-interface thread only: the scratch bitmaps live while
// any font does.
int g_liveFonts = 0;
SysBitmap* g_glyphScratch = nullptr;
SysBitmap* g_nativeScratch = nullptr;

constexpr std::uint32_t kEffectFlags = FontVertical | FontBottomToTop | FontAsciiOnly | FontBlur |
                                       FontInvert | FontNoAntialias | FontShadow | FontOutline;
constexpr std::uint32_t kAlignFlags = TextCenter | TextRight | TextVCenter | TextBottom;
constexpr std::uint32_t kNativeExtensionId = 0x59555678;

// Makes sure the glyph scratch exists and is at least size x size.
SysBitmap* GlyphScratch(int size) {
  if (!g_glyphScratch) {
    g_glyphScratch = new SysBitmap(0, 0);
  }
  SysBitmap& s = *g_glyphScratch;
  if (s.GetWidth() < size || s.GetHeight() < size || !s.GetBits()) {
    s.Resize(std::max(s.GetWidth(), size), std::max(s.GetHeight(), size));
    textsys::PrepareScratch(s);
  }
  return s.GetBits() ? &s : nullptr;
}

// One decoded character and the number of bytes it took.
struct Decoded {
  std::uint32_t code;
  int length;
};

bool Continuation(unsigned char c) { return c >= 0x80 && c <= 0xBF; }

// UTF-8 as far as the cache understands it: 2- and 3-byte sequences become
// codes up to 0xFFFF, a 4-byte sequence is one space, every other byte
// stands for itself.
Decoded Decode(const unsigned char* t, int remaining) {
  const unsigned char b = t[0];
  auto cont = [&](int n) {
    if (remaining <= n) return false;
    for (int i = 1; i <= n; ++i)
      if (!Continuation(t[i])) return false;
    return true;
  };
  if (b >= 0xC2 && b <= 0xDF && cont(1)) return {std::uint32_t((b & 0x1F) << 6 | (t[1] & 0x3F)), 2};
  if (b >= 0xE0 && b <= 0xEF && cont(2))
    return {std::uint32_t((b & 0x0F) << 12 | (t[1] & 0x3F) << 6 | (t[2] & 0x3F)), 3};
  if (b >= 0xF0 && b <= 0xF4 && cont(3)) return {' ', 4};
  return {b, 1};
}

TextRect Intersect(const TextRect& a, const TextRect& b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

}  // namespace

CachedFont::CachedFont() { ++g_liveFonts; }

CachedFont::~CachedFont() {
  if ((flags_ & FontOwnsHandle) && font_) DeleteFontHandle(font_);
  extended_.Free();
  coverage_.Free();
  if (--g_liveFonts == 0) {
    delete g_glyphScratch;
    delete g_nativeScratch;
    g_glyphScratch = nullptr;
    g_nativeScratch = nullptr;
  }
}

void CachedFont::SetFromFontHandle(FontHandle font, std::uint32_t flags) {
  if ((flags_ & FontOwnsHandle) && font_ && font_ != font) DeleteFontHandle(font_);
  flags_ = flags;
  font_ = font;
  lineHeight_ = 0;
  if (font) {
    if (SysBitmap* s = GlyphScratch(256)) lineHeight_ = textsys::LineHeight(*s, font);
  }
  std::memset(ascii_, 0, sizeof ascii_);
  extended_.Resize(0, true);
  coverage_.Resize(0, true);
  if (font && (flags & FontAsciiOnly))
    for (std::uint32_t c = 0; c < 128; ++c) RenderGlyph(c);
}

Pixel CachedFont::SetForeColor(Pixel colour) { return std::exchange(foreColor_, colour); }
Pixel CachedFont::SetBackColor(Pixel colour) { return std::exchange(backColor_, colour); }
Pixel CachedFont::SetEffectColor(Pixel colour) { return std::exchange(effectColor_, colour); }
int CachedFont::SetBackMode(int mode) { return std::exchange(backMode_, mode); }

void CachedFont::SetCombineMode(BlitMode mode, float alpha) {
  combineMode_ = mode;
  combineAlpha_ = alpha;
}

GlyphRecord* CachedFont::Find(std::uint32_t code, bool insert) {
  if (code < 128) return &ascii_[code];
  auto* list = static_cast<GlyphRecord*>(extended_.Data());
  const int n = extended_.Size() / int(sizeof(GlyphRecord));
  GlyphRecord* end = list ? list + n : nullptr;
  GlyphRecord* at = list ? std::lower_bound(list, end, code,
                                            [](const GlyphRecord& r, std::uint32_t c) {
                                              return std::uint32_t(r.code) < c;
                                            })
                         : nullptr;
  if (at && at != end && std::uint32_t(at->code) == code) return at;
  if (!insert) return nullptr;
  // Inserting at the sorted place keeps the list ordered by code.
  const int index = at ? int(at - list) : 0;
  const int bytes = (n + 1) * int(sizeof(GlyphRecord));
  if (!extended_.Resize(bytes, false) || extended_.Size() != bytes) return nullptr;
  list = static_cast<GlyphRecord*>(extended_.Data());
  std::memmove(list + index + 1, list + index, std::size_t(n - index) * sizeof(GlyphRecord));
  list[index] = GlyphRecord{0, 0, 0, 0, std::int32_t(code)};
  return &list[index];
}

bool CachedFont::RenderGlyph(std::uint32_t code) {
  if (lineHeight_ > 1023 || !font_) return false;
  if (code >= 128 && (flags_ & FontAsciiOnly)) return false;
  if (!Find(code, true)) return false;

  const int lh = std::max(lineHeight_, 1);
  SysBitmap* s = GlyphScratch(2 * lh + 8);
  if (!s) return false;
  ++renderCount_;

  int w = 0, h = 0;
  if (!textsys::MeasureChar(*s, font_, code, w, h)) w = h = 0;
  int bw = w + (lineHeight_ >= 16 ? lineHeight_ / 16 : 0) + 2;
  const int sw = s->GetWidth(), sh = s->GetHeight();
  w = std::min(w, sw);
  bw = std::min(bw, sw);
  h = std::min(h, sh);

  // The record pointer is fetched again after every store growth.
  auto record = [&]() { return Find(code, false); };
  if (w < 1 || h < 1) {
    *record() = GlyphRecord{-1, 0, 0, 0, std::int32_t(code)};
    return true;
  }
  FillRect(s, 0, 0, bw, h, 0xFF000000u, 1.0f, BlitCopy);
  textsys::DrawCharWhite(*s, font_, code);
  if (flags_ & FontBlur) Blur(s, s, bw, h);

  const int offset = coverage_.Size();
  if (!coverage_.Resize(offset + bw * h, false) || coverage_.Size() != offset + bw * h) {
    *record() = GlyphRecord{-1, 0, 0, 0, std::int32_t(code)};
    return true;
  }
  auto* mask = static_cast<std::uint8_t*>(coverage_.Data()) + offset;
  const Pixel* bits = s->GetBits();
  const int span = s->GetRowSpan();
  const bool invert = flags_ & FontInvert;
  int inkRight = -1;
  for (int y = 0; y < h; ++y) {
    const Pixel* row = bits + std::size_t(y) * std::size_t(span);
    for (int x = 0; x < bw; ++x) {
      std::uint8_t v = std::uint8_t((row[x] >> 16) & 255);
      if (invert) v = std::uint8_t(255 - v);
      mask[y * bw + x] = v;
      if (v && x > inkRight) inkRight = x;
    }
  }
  int mw = std::max(w, inkRight + 1);
  if (mw < bw) {
    for (int y = 1; y < h; ++y) std::memmove(mask + y * mw, mask + y * bw, std::size_t(mw));
    coverage_.Resize(offset + mw * h, false);
    mask = static_cast<std::uint8_t*>(coverage_.Data()) + offset;
  }
  int mh = h;

  if (flags_ & FontVertical) {
    // A quarter turn through the scratch (mw x mh fits: both are at most
    // the scratch side).
    Pixel* tmp = s->GetBits();
    for (int i = 0; i < mw * mh; ++i) tmp[i] = mask[i];
    const bool ccw = flags_ & FontBottomToTop;
    for (int y = 0; y < mh; ++y)
      for (int x = 0; x < mw; ++x) {
        // Clockwise: (x, y) -> (mh-1-y, x); counter-clockwise: (y, mw-1-x).
        const int nx = ccw ? y : mh - 1 - y;
        const int ny = ccw ? mw - 1 - x : x;
        mask[ny * mh + nx] = std::uint8_t(tmp[y * mw + x]);
      }
    std::swap(mw, mh);
  }

  if (flags_ & (FontNoAntialias | FontShadow | FontOutline)) {
    for (int i = 0; i < mw * mh; ++i) mask[i] = mask[i] > 130 ? 255 : 0;
    if (flags_ & (FontShadow | FontOutline)) {
      const bool shadow = flags_ & FontShadow;
      auto ink = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < mw && y < mh && mask[y * mw + x] == 255;
      };
      for (int y = 0; y < mh; ++y)
        for (int x = 0; x < mw; ++x) {
          if (mask[y * mw + x]) continue;
          const bool mark =
              shadow ? (ink(x - 1, y) || ink(x - 1, y - 1) || ink(x, y - 1))
                     : (ink(x - 1, y) || ink(x + 1, y) || ink(x, y - 1) || ink(x, y + 1));
          if (mark) mask[y * mw + x] = 128;
        }
    }
  }

  *record() = GlyphRecord{offset + 1, mw, mh, w, std::int32_t(code)};
  return true;
}

const GlyphRecord* CachedFont::Glyph(std::uint32_t code) {
  GlyphRecord* r = Find(code, false);
  if (!r || r->position == 0) {
    if (!RenderGlyph(code)) return nullptr;
    r = Find(code, false);
  }
  return r;
}

const std::uint8_t* CachedFont::Mask(const GlyphRecord& record) const {
  if (record.position <= 0) return nullptr;
  return static_cast<const std::uint8_t*>(coverage_.Data()) + (record.position - 1);
}

bool CachedFont::DrawGlyph(IBitmap* bitmap, std::uint32_t code, int x, int y,
                           const TextRect& clip) {
  const GlyphRecord* rec = Glyph(code);
  if (!rec) return false;
  return DrawRecord(bitmap, *rec, x, y, clip, combineAlpha_);
}

bool CachedFont::DrawRecord(IBitmap* bitmap, const GlyphRecord& rec, int x, int y,
                            const TextRect& clipIn, float alpha) {
  if (rec.position <= 0 || !bitmap || !bitmap->GetBits()) return false;
  // The clip never reaches past the bitmap, whatever the caller passes.
  const TextRect clip = Intersect(clipIn, {0, 0, bitmap->GetWidth(), bitmap->GetHeight()});
  const long long right = (long long)x + rec.width, bottom = (long long)y + rec.height;
  if (x >= clip.right || y >= clip.bottom || right <= clip.left || bottom <= clip.top) return false;
  const int sx = std::max(0, clip.left - x), sy = std::max(0, clip.top - y);
  const int ex = int(std::min<long long>(rec.width, (long long)clip.right - x));
  const int ey = int(std::min<long long>(rec.height, (long long)clip.bottom - y));
  if (ex <= sx || ey <= sy) return false;

  const BlitMode op = combineMode_ & BlitOperationMask;
  // The background box takes the font's own opacity; the text colour's
  // alpha, when the caller asks for it, fades only the glyph.
  if (backMode_ == BackOpaque)
    FillRect(bitmap, x + sx, y + sy, ex - sx, ey - sy, backColor_, combineAlpha_,
             combineMode_ & ~BlitUseSourceAlpha);

  const int k = blend::Weight(alpha);
  if (k == 0) return true;
  const std::uint8_t* mask = Mask(rec);
  const blend::Source fore = blend::FromPixel(foreColor_ | 0xFF000000u);
  const blend::Source effect = blend::FromPixel(effectColor_ | 0xFF000000u);
  const bool antialiased = !(flags_ & (FontNoAntialias | FontShadow | FontOutline));
  const bool solidCopy = !antialiased && alpha == 1.0f && op == BlitCopy;
  Pixel* bits = bitmap->GetBits();
  const int span = bitmap->GetRowSpan(), height = bitmap->GetHeight();
  const bool flipped = bitmap->IsFlipped();

  for (int my = sy; my < ey; ++my) {
    const int row = flipped ? height - 1 - (y + my) : y + my;
    Pixel* out = bits + std::size_t(row) * std::size_t(span) + (x + sx);
    const std::uint8_t* m = mask + std::size_t(my) * std::size_t(rec.width) + sx;
    for (int i = 0; i < ex - sx; ++i) {
      const int v = m[i];
      if (v == 0) continue;
      Pixel& d = out[i];
      if (antialiased) {
        if (op == BlitCopy) {
          int g;
          if (k == 256)
            g = 255 - v;
          else
            g = k * v >= 65792 ? 0 : 256 - k * v / 256;
          d = blend::Pack(blend::CopyChannel(int(d & 255), fore.b, g),
                          blend::CopyChannel(int((d >> 8) & 255), fore.g, g),
                          blend::CopyChannel(int((d >> 16) & 255), fore.r, g),
                          blend::CopyChannel(int(d >> 24), 255, g));
        } else {
          const int w = k == 256 ? v + 1 : std::min(256, k * v / 256);
          d = blend::Apply(op, d, fore, w);
        }
      } else {
        const bool isEffect = v == 128;
        if (solidCopy) {
          d = isEffect ? effectColor_ : foreColor_;
          continue;
        }
        const blend::Source& src = isEffect ? effect : fore;
        if (op == BlitCopy) {
          const int keep = 256 - k;
          d = blend::Pack(blend::CopyChannel(int(d & 255), src.b, keep),
                          blend::CopyChannel(int((d >> 8) & 255), src.g, keep),
                          blend::CopyChannel(int((d >> 16) & 255), src.r, keep),
                          blend::CopyChannel(int(d >> 24), 255, keep));
        } else {
          d = blend::Apply(op, d, src, k);
        }
      }
    }
  }
  return true;
}

bool CachedFont::UseNative(const IBitmap* bitmap, const char* text, int count,
                           std::uint32_t flags) const {
  if (!textsys::NativeAvailable()) return false;
  if (bitmap && const_cast<IBitmap*>(bitmap)->Extension(kNativeExtensionId, nullptr) != 0)
    return false;
  if (lineHeight_ > 255) return true;
  if (!(flags_ & FontAllowNative) || !font_ || (flags & (TextNeverNative | TextUseColorAlpha)) ||
      (flags_ & kEffectFlags))
    return false;
  if (lineSpacing_ != 0 && !(flags & TextSingleLine)) {
    for (int i = 0; i < count && text[i]; ++i)
      if (text[i] == '\n') return false;
  }
  return !textsys::RunningUnderWine();
}

void CachedFont::Layout(IBitmap* bitmap, const char* text, int count, bool singleLine, long long x0,
                        long long y0, const TextRect* clip, float alpha, int& width, int& height) {
  const bool vertical = flags_ & FontVertical;
  const bool upwards = vertical && (flags_ & FontBottomToTop);
  const int step = lineHeight_ + lineSpacing_;
  long long x = x0, y = y0;
  long long maxRight = 0, maxBottom = 0;
  auto* t = reinterpret_cast<const unsigned char*>(text);
  for (int i = 0; i < count && t[i];) {
    const Decoded d = Decode(t + i, count - i);
    i += d.length;
    std::uint32_t code = d.code;
    if (code == '\r') continue;
    if (code == '\n') {
      if (!singleLine) {
        if (vertical) {
          x += step;
          y = y0;
        } else {
          x = x0;
          y += step;
        }
        continue;
      }
      code = ' ';
    }
    const GlyphRecord* rec = Glyph(code);
    if (!rec) continue;
    long long gy = y;
    if (upwards) gy = y - rec->height;
    if (rec->position > 0) {
      // Extents relative to the start; upward text counts its run length.
      maxRight = std::max(maxRight, x - x0 + rec->width);
      maxBottom = std::max(maxBottom, upwards ? y0 - gy : gy - y0 + rec->height);
      if (bitmap && gy > -(1LL << 30) && gy < (1LL << 30) && x > -(1LL << 30) && x < (1LL << 30))
        DrawRecord(bitmap, *rec, int(x), int(gy), *clip, alpha);
    }
    if (!vertical)
      x += rec->advance;
    else if (upwards)
      y -= rec->advance;
    else
      y += rec->advance;
  }
  width = int(std::min<long long>(maxRight, 1 << 30));
  height = int(std::min<long long>(maxBottom, 1 << 30));
}

int CachedFont::DrawString(IBitmap* bitmap, const char* text, int count, TextRect* rect,
                           std::uint32_t flags) {
  if (!text || !rect) return 0;
  if (!bitmap && !(flags & TextCalcRect)) return 0;
  if (count < 0) count = int(std::strlen(text));
  const bool neverNative = flags & TextNeverNative;
  flags &= ~TextNeverNative;

  if (UseNative(bitmap, text, count, flags | (neverNative ? TextNeverNative : 0))) {
    if (!g_nativeScratch) g_nativeScratch = new SysBitmap(4, 4);
    const textsys::NativeStyle style{font_, foreColor_, backColor_, backMode_, combineAlpha_};
    return textsys::DrawNative(bitmap, *g_nativeScratch, style, text, count, *rect, flags);
  }

  const bool vertical = flags_ & FontVertical;
  const bool single = flags & TextSingleLine;
  if (flags & TextCalcRect) {
    int w = 0, h = 0;
    Layout(nullptr, text, count, single, 0, 0, nullptr, 0.0f, w, h);
    // A rectangle near the integer limit ends at it.
    rect->right = int(std::min<long long>((long long)rect->left + w, INT32_MAX));
    rect->bottom = int(std::min<long long>((long long)rect->top + h, INT32_MAX));
    return vertical ? w : h;
  }

  float alpha = combineAlpha_;
  if (flags & TextUseColorAlpha) alpha *= float(foreColor_ >> 24) / 255.0f;
  if (alpha == 0.0f) return 0;

  // Placement in 64 bits: a rectangle may span the whole integer range.
  long long x = rect->left, y = rect->top;
  const long long left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
  const bool upwards = vertical && (flags_ & FontBottomToTop);
  if ((flags & kAlignFlags) || upwards) {
    int w = 0, h = 0;
    Layout(nullptr, text, count, single, 0, 0, nullptr, 0.0f, w, h);
    if (flags & TextCenter)
      x = left + (right - left - w) / 2;
    else if (flags & TextRight)
      x = right - w;
    if (flags & TextVCenter)
      y = top + (bottom - top - h) / 2;
    else if (flags & TextBottom)
      y = bottom - h;
    if (upwards) y += h;
  }
  const TextRect whole{0, 0, bitmap->GetWidth(), bitmap->GetHeight()};
  const TextRect clip = (flags & TextNoClip) ? whole : Intersect(*rect, whole);
  if (clip.right <= clip.left || clip.bottom <= clip.top) return 0;
  int w = 0, h = 0;
  Layout(bitmap, text, count, single, x, y, &clip, alpha, w, h);
  return vertical ? w : h;
}

}  // namespace raster
