#include "raster/Blit.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "raster/PixelBlend.h"

namespace raster {

namespace {

using blend::Source;

// Rows of one bitmap, top row first, honouring the flipped flag.
struct RowWalker {
  Pixel* first;         // pixel (x, y) of the first row visited
  std::ptrdiff_t step;  // pixels from one visited row to the next

  RowWalker(const IBitmap& bm, Pixel* bits, std::int64_t x, std::int64_t y) {
    const std::ptrdiff_t span = bm.GetRowSpan();
    if (bm.IsFlipped()) {
      first = bits + std::ptrdiff_t(bm.GetHeight() - 1 - y) * span + x;
      step = -span;
    } else {
      first = bits + std::ptrdiff_t(y) * span + x;
      step = span;
    }
  }
  Pixel* Row(int i) const { return first + step * i; }
};

struct Area {
  RowWalker dst;
  RowWalker src;
  int columns;
  int rows;
};

template <class PixelOp>
void ForEachPixel(const Area& a, PixelOp op) {
  for (int y = 0; y < a.rows; ++y) {
    Pixel* d = a.dst.Row(y);
    const Pixel* s = a.src.Row(y);
    for (int x = 0; x < a.columns; ++x) d[x] = op(d[x], s[x]);
  }
}

// Operation with the source pixel's own alpha folded into the weight.
template <class Blend>
void SourceAlphaBlit(const Area& a, int w, bool skipTransparent, Blend blendFn) {
  ForEachPixel(a, [&](Pixel d, Pixel s) {
    const int sa = int(s >> 24);
    if (skipTransparent && sa == 0) return d;
    const int n = w * (sa + 1) / 256;
    return blendFn(d, blend::FromPixel(s), n);
  });
}

void SourceAlphaCopy(const Area& a, int w) {
  if (w == 256) {
    ForEachPixel(a, [](Pixel d, Pixel s) -> Pixel {
      const int sa = int(s >> 24);
      if (sa == 0) return d;
      if (sa == 255) return s;
      const int keep = 255 - sa;
      const int da = std::min(255, sa + int(d >> 24));
      return blend::Pack(blend::CopyChannel(int(d & 255), int(s & 255), keep),
                         blend::CopyChannel(int((d >> 8) & 255), int((s >> 8) & 255), keep),
                         blend::CopyChannel(int((d >> 16) & 255), int((s >> 16) & 255), keep), da);
    });
    return;
  }
  ForEachPixel(a, [w](Pixel d, Pixel s) -> Pixel {
    const int sa = int(s >> 24);
    if (sa == 0) return d;
    const int n = w * (sa + 1) / 256;
    const int keep = 256 - n;
    const int da = std::min(255, n + int(d >> 24));
    return blend::Pack(blend::CopyChannel(int(d & 255), int(s & 255), keep),
                       blend::CopyChannel(int((d >> 8) & 255), int((s >> 8) & 255), keep),
                       blend::CopyChannel(int((d >> 16) & 255), int((s >> 16) & 255), keep), da);
  });
}

}  // namespace

void Blit(IBitmap* destination, const IBitmap* source, int dstX, int dstY,
          const BlitRect* sourceRect, float alpha, BlitMode mode) {
  if (!destination || !source || alpha == 0.0f) return;
  Pixel* dstBits = destination->GetBits();
  Pixel* srcBits = source->GetBits();
  if (!dstBits || !srcBits) return;

  // Clipping in 64 bits: coordinates far outside must not overflow.
  std::int64_t dx = dstX, dy = dstY;
  std::int64_t left = 0, top = 0, right = source->GetWidth(), bottom = source->GetHeight();
  if (sourceRect) {
    left = sourceRect->left;
    top = sourceRect->top;
    if (left < 0) {
      dx -= left;
      left = 0;
    }
    if (top < 0) {
      dy -= top;
      top = 0;
    }
    right = std::min<std::int64_t>(sourceRect->right, right);
    bottom = std::min<std::int64_t>(sourceRect->bottom, bottom);
  }
  if (dx < 0) {
    left -= dx;
    dx = 0;
  }
  if (dy < 0) {
    top -= dy;
    dy = 0;
  }
  const std::int64_t dw = destination->GetWidth(), dh = destination->GetHeight();
  if (right <= left || bottom <= top || dx >= dw || dy >= dh) return;
  right = std::min(left + dw - dx, right);
  bottom = std::min(top + dh - dy, bottom);
  if (right <= left || bottom <= top) return;

  const Area a{RowWalker(*destination, dstBits, dx, dy), RowWalker(*source, srcBits, left, top),
               int(right - left), int(bottom - top)};

  const BlitMode op = mode & BlitOperationMask;
  if (op >= BlitChannelCopy) {
    const int from = int(op & 3);
    const int to = int((op >> 2) & 3);
    for (int y = 0; y < a.rows; ++y) {
      auto* d = reinterpret_cast<std::uint8_t*>(a.dst.Row(y));
      const auto* s = reinterpret_cast<const std::uint8_t*>(a.src.Row(y));
      for (int x = 0; x < a.columns; ++x) d[4 * x + to] = s[4 * x + from];
    }
    return;
  }

  const bool sourceAlpha = (mode & BlitUseSourceAlpha) != 0;
  if (op == BlitCopy && !sourceAlpha) {
    if (alpha == 1.0f) {
      const std::size_t bytes = std::size_t(a.columns) * sizeof(Pixel);
      if (dstBits == srcBits) {
        // Overlap within one bitmap has no defined result, but must
        // stay memory-safe.
        for (int y = 0; y < a.rows; ++y) std::memmove(a.dst.Row(y), a.src.Row(y), bytes);
      } else if (a.dst.step == a.columns && a.src.step == a.columns) {
        // The rows follow each other without a gap on both sides, so the
        // area is one block. (Padding between rows may belong to a larger
        // image that a bitmap is a view of: it is never written.)
        std::memcpy(a.dst.Row(0), a.src.Row(0), std::size_t(a.rows) * bytes);
      } else {
        for (int y = 0; y < a.rows; ++y) std::memcpy(a.dst.Row(y), a.src.Row(y), bytes);
      }
      return;
    }
    if (alpha == 0.5f) {
      ForEachPixel(a, [](Pixel d, Pixel s) { return blend::Half(d) + blend::Half(s); });
      return;
    }
  }

  const int w = blend::Weight(alpha);
  if (w == 0) return;

  if (!sourceAlpha) {
    switch (op) {
      case BlitCopy:
        ForEachPixel(a, [w](Pixel d, Pixel s) { return blend::Copy(d, blend::FromPixel(s), w); });
        break;
      case BlitAdd:
        ForEachPixel(a, [w](Pixel d, Pixel s) { return blend::Add(d, blend::FromPixel(s), w); });
        break;
      case BlitDodge:
        ForEachPixel(a, [w](Pixel d, Pixel s) { return blend::Dodge(d, blend::FromPixel(s), w); });
        break;
      case BlitMultiply:
        ForEachPixel(a,
                     [w](Pixel d, Pixel s) { return blend::Multiply(d, blend::FromPixel(s), w); });
        break;
      case BlitOverlay:
        ForEachPixel(a,
                     [w](Pixel d, Pixel s) { return blend::Overlay(d, blend::FromPixel(s), w); });
        break;
      case BlitHSVAdjust:
        ForEachPixel(a, [w](Pixel d, Pixel s) {
          return blend::HSVAdjust(d, int((s >> 16) & 255), int((s >> 8) & 255), int(s & 255),
                                  int(s >> 24), w);
        });
        break;
      default:
        break;
    }
    return;
  }

  switch (op) {
    case BlitCopy:
      SourceAlphaCopy(a, w);
      break;
    case BlitAdd:
      SourceAlphaBlit(a, w, true,
                      [](Pixel d, const Source& s, int n) { return blend::Add(d, s, n); });
      break;
    case BlitDodge:
      SourceAlphaBlit(a, w, false,
                      [](Pixel d, const Source& s, int n) { return blend::Dodge(d, s, n); });
      break;
    case BlitMultiply:
      SourceAlphaBlit(a, w, true,
                      [](Pixel d, const Source& s, int n) { return blend::Multiply(d, s, n); });
      break;
    case BlitOverlay:
      SourceAlphaBlit(a, w, false,
                      [](Pixel d, const Source& s, int n) { return blend::Overlay(d, s, n); });
      break;
    case BlitHSVAdjust:
      SourceAlphaBlit(a, w, false, [](Pixel d, const Source& s, int n) {
        return blend::HSVAdjust(d, s.r, s.g, s.b, s.a, n);
      });
      break;
    default:
      break;
  }
}

}  // namespace raster
