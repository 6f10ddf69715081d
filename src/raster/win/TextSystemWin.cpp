// Text through GDI: glyphs are drawn by DrawText into the scratch DIB
// section; strings may also be drawn natively.
#include "raster/TextSystem.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/Blit.h"

namespace raster {

FontHandle CreateFontHandle(const FontRequest& request) {
  const DWORD quality = request.antialiased ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY;
  return CreateFontA(request.height, 0, 0, 0, request.weight, request.italic ? TRUE : FALSE, FALSE,
                     FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, quality,
                     DEFAULT_PITCH | FF_DONTCARE, request.face ? request.face : "Verdana");
}

void DeleteFontHandle(FontHandle font) {
  if (font) DeleteObject(static_cast<HFONT>(font));
}

namespace textsys {

namespace {

HDC Dc(const SysBitmap& s) { return static_cast<HDC>(s.GetDC()); }

// Selects a font into a context for the lifetime of the object.
class SelectFont {
 public:
  SelectFont(HDC dc, FontHandle font)
      : dc_(dc), old_(dc ? SelectObject(dc, static_cast<HFONT>(font)) : nullptr) {}
  ~SelectFont() {
    if (dc_ && old_) SelectObject(dc_, old_);
  }
  SelectFont(const SelectFont&) = delete;
  SelectFont& operator=(const SelectFont&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

constexpr UINT kGlyphFormat = DT_SINGLELINE | DT_NOPREFIX;

int g_wine = -1;  // -1 not yet tested

// UTF-16 of the text when it holds at least one well-formed multi-byte
// UTF-8 sequence; empty otherwise (the bytes are then drawn as they are).
bool ToWide(const char* text, int count, std::vector<wchar_t>& out) {
  bool multi = false;
  for (int i = 0; i < count; ++i) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    auto cont = [&](int n) {
      for (int k = 1; k <= n; ++k)
        if (i + k >= count || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
          return false;
      return true;
    };
    if ((b >= 0xC2 && b <= 0xDF && cont(1)) || (b >= 0xE0 && b <= 0xEF && cont(2)) ||
        (b >= 0xF0 && b <= 0xF4 && cont(3))) {
      multi = true;
      break;
    }
  }
  if (!multi) return false;
  const int n = MultiByteToWideChar(CP_UTF8, 0, text, count, nullptr, 0);
  if (n <= 0) return false;
  out.resize(std::size_t(n));
  return MultiByteToWideChar(CP_UTF8, 0, text, count, out.data(), n) == n;
}

int Draw(HDC dc, const char* text, int count, const std::vector<wchar_t>& wide, bool useWide,
         RECT* r, UINT format) {
  if (useWide) return DrawTextW(dc, wide.data(), int(wide.size()), r, format);
  return DrawTextA(dc, text, count, r, format);
}

void SetColours(HDC dc, const NativeStyle& style) {
  const Pixel c = style.foreColor;
  SetTextColor(dc, RGB((c >> 16) & 255, (c >> 8) & 255, c & 255));
  SetBkMode(dc, style.backMode == 2 ? OPAQUE : TRANSPARENT);
  if (style.backMode == 2) {
    const Pixel b = style.backColor;
    SetBkColor(dc, RGB((b >> 16) & 255, (b >> 8) & 255, b & 255));
  }
}

}  // namespace

void PrepareScratch(SysBitmap& scratch) {
  if (HDC dc = Dc(scratch)) {
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(0, 0, 0));
  }
}

int LineHeight(SysBitmap& scratch, FontHandle font) {
  HDC dc = Dc(scratch);
  if (!dc) return 0;
  SelectFont sel(dc, font);
  TEXTMETRICA tm{};
  if (!GetTextMetricsA(dc, &tm)) return 0;
  return tm.tmHeight;
}

bool MeasureChar(SysBitmap& scratch, FontHandle font, std::uint32_t code, int& width, int& height) {
  HDC dc = Dc(scratch);
  if (!dc || code > 0xFFFF) return false;
  SelectFont sel(dc, font);
  const wchar_t ch = wchar_t(code);
  RECT r{0, 0, 0, 0};
  if (!DrawTextW(dc, &ch, 1, &r, kGlyphFormat | DT_CALCRECT)) return false;
  width = r.right - r.left;
  height = r.bottom - r.top;
  return true;
}

void DrawCharWhite(SysBitmap& scratch, FontHandle font, std::uint32_t code) {
  HDC dc = Dc(scratch);
  if (!dc || code > 0xFFFF) return;
  SelectFont sel(dc, font);
  const wchar_t ch = wchar_t(code);
  RECT r{0, 0, scratch.GetWidth(), scratch.GetHeight()};
  DrawTextW(dc, &ch, 1, &r, kGlyphFormat | DT_NOCLIP);
  GdiFlush();
}

bool NativeAvailable() { return true; }

bool RunningUnderWine() {
  if (g_wine < 0) {
    HKEY key = nullptr;
    g_wine = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Wine", 0, KEY_READ, &key) == ERROR_SUCCESS
                 ? 1
                 : 0;
    if (key) RegCloseKey(key);
  }
  return g_wine == 1;
}

int DrawNative(IBitmap* bitmap, SysBitmap& scratch, const NativeStyle& style, const char* text,
               int count, TextRect& rect, std::uint32_t flags) {
  count = int(strnlen(text, std::size_t(count)));
  std::vector<wchar_t> wide;
  wide.reserve(1024);
  const bool useWide = ToWide(text, count, wide);
  const UINT format = UINT(flags & 0x3FFFFFFF) | DT_NOPREFIX;

  HDC target = bitmap ? static_cast<HDC>(bitmap->GetDC()) : nullptr;
  if (target || !bitmap) {
    HDC dc = target ? target : Dc(scratch);
    if (!dc) return 0;
    SelectFont sel(dc, style.font);
    SetColours(dc, style);
    RECT r{rect.left, rect.top, rect.right, rect.bottom};
    const int result = Draw(dc, text, count, wide, useWide, &r, format);
    if (flags & DT_CALCRECT) {
      rect.right = r.right;
      rect.bottom = r.bottom;
    }
    GdiFlush();
    return result;
  }

  // A memory bitmap: measure, then draw into a scratch copy of the covered
  // area and copy it back.
  HDC dc = Dc(scratch);
  if (!dc || !bitmap->GetBits()) return 0;
  if (scratch.GetWidth() < 4 || scratch.GetHeight() < 4)
    scratch.Resize(std::max(4, scratch.GetWidth()), std::max(4, scratch.GetHeight()));
  int tw = 0, th = 0;
  {
    SelectFont sel(dc, style.font);
    RECT m{0, 0, 0, 0};
    Draw(dc, text, count, wide, useWide, &m,
         (format & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT);
    tw = m.right - m.left;
    th = m.bottom - m.top;
  }
  if (flags & DT_CALCRECT) {
    // A rectangle near the integer limit ends at it.
    rect.right = int(std::min<long long>((long long)rect.left + tw, INT32_MAX));
    rect.bottom = int(std::min<long long>((long long)rect.top + th, INT32_MAX));
    return th;
  }
  // Placement in 64 bits: a rectangle may span the whole integer range.
  const long long left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
  long long x = left, y = top;
  if (flags & DT_CENTER)
    x = left + (right - left - tw) / 2;
  else if (flags & DT_RIGHT)
    x = right - tw;
  if (flags & DT_VCENTER)
    y = top + (bottom - top - th) / 2;
  else if (flags & DT_BOTTOM)
    y = bottom - th;
  long long l = std::max(x, 0LL), t = std::max(y, 0LL);
  long long r = std::min(x + tw, (long long)bitmap->GetWidth());
  long long b = std::min(y + th, (long long)bitmap->GetHeight());
  if (!(flags & DT_NOCLIP)) {
    l = std::max(l, left);
    t = std::max(t, top);
    r = std::min(r, right);
    b = std::min(b, bottom);
  }
  if (r <= l || b <= t) return th;
  // Inside the bitmap now, and the text reaches into it: every offset below
  // fits an int.
  const BlitRect area{int(l), int(t), int(r), int(b)};
  const int aw = area.right - area.left, ah = area.bottom - area.top;
  if (scratch.GetWidth() < aw || scratch.GetHeight() < ah)
    scratch.Resize(std::max(aw, scratch.GetWidth()), std::max(ah, scratch.GetHeight()));
  if (!scratch.GetBits() || scratch.GetWidth() < aw || scratch.GetHeight() < ah) return 0;

  Blit(&scratch, bitmap, 0, 0, &area, 1.0f, BlitCopy);
  // GDI leaves the alpha byte of the pixels it writes at 0; mark the area
  // opaque first so that written pixels can be told apart afterwards.
  Pixel* sb = scratch.GetBits();
  const int ss = scratch.GetRowSpan();
  for (int yy = 0; yy < ah; ++yy)
    for (int xx = 0; xx < aw; ++xx) sb[std::size_t(yy) * ss + xx] |= 0xFF000000u;
  {
    SelectFont sel(dc, style.font);
    SetColours(dc, style);
    const LONG ox = LONG(x - area.left), oy = LONG(y - area.top);
    RECT place{ox, oy, ox + tw, oy + th};
    Draw(dc, text, count, wide, useWide, &place,
         (format & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM | DT_CALCRECT)) | DT_NOCLIP);
    GdiFlush();
  }
  // Text pixels become opaque; untouched ones get their own alpha back.
  const Pixel* db = bitmap->GetBits();
  const int ds = bitmap->GetRowSpan(), dh = bitmap->GetHeight();
  const bool flipped = bitmap->IsFlipped();
  for (int yy = 0; yy < ah; ++yy) {
    const int row = flipped ? dh - 1 - (area.top + yy) : area.top + yy;
    for (int xx = 0; xx < aw; ++xx) {
      Pixel& p = sb[std::size_t(yy) * ss + xx];
      if (p >> 24)
        p = (p & 0x00FFFFFFu) | (db[std::size_t(row) * ds + area.left + xx] & 0xFF000000u);
      else
        p |= 0xFF000000u;
    }
  }
  const BlitRect from{0, 0, aw, ah};
  Blit(bitmap, &scratch, area.left, area.top, &from, style.alpha, BlitCopy);
  return th;
}

}  // namespace textsys

}  // namespace raster
