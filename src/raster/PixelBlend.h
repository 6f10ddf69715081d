#pragma once
// Per-pixel blend arithmetic shared by blits, fills, lines and text. Every
// division is signed integer division truncating towards zero; results are
// clamped to 0..255 where the operation says so, otherwise only the low
// 8 bits are stored.

#include <cmath>

#include "raster/BlitMode.h"
#include "raster/Pixel.h"

namespace raster::blend {

// Source channels as plain ints: fills pass a weight of up to 256 as the
// alpha channel, which does not fit a byte.
struct Source {
  int b, g, r, a;
};

inline Source FromPixel(Pixel p) {
  return {int(p & 255), int((p >> 8) & 255), int((p >> 16) & 255), int(p >> 24)};
}

// Integer weight of an opacity, trunc(alpha * 256) in double precision.
// Limited to 0..256 so that out-of-range or non-finite opacities cannot
// overflow the channel arithmetic.
inline int Weight(float alpha) {
  const double w = double(alpha) * 256.0;
  if (!(w > 0.0)) return 0;
  if (w >= 256.0) return 256;
  return int(w);
}

constexpr int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

constexpr Pixel Pack(int b, int g, int r, int a) {
  return Pixel(b & 255) | (Pixel(g & 255) << 8) | (Pixel(r & 255) << 16) | (Pixel(a & 255) << 24);
}

// --- channel formulas ----------------------------------------------------

// Cross-fade towards s: f = 256 - weight is the share the destination keeps.
constexpr int CopyChannel(int d, int s, int keep) { return s + (d - s) * keep / 256; }
constexpr int AddChannel(int d, int s, int w) { return Clamp255(d + s * w / 256); }
constexpr int DodgeChannel(int d, int s, int w) {
  const int k = s * w / 256;
  return k < 255 ? Clamp255((d * 256) / (256 - k)) : Clamp255(d * 256);
}
constexpr int MultiplyChannel(int d, int s, int w) { return ((w * (s - 256) + 65536) * d) >> 16; }
constexpr int OverlayChannel(int d, int s, int w) {
  const int m = (256 - w) * 128;
  const int S = s * w + m;
  return Clamp255(((((32768 - S) * d) / 256 + S) * d) >> 15);
}

// --- whole pixels ----------------------------------------------------------

// Cross-fade of all four channels; nothing below weight 1, whole copy at 256.
inline Pixel Copy(Pixel d, const Source& s, int w) {
  if (w < 1) return d;
  if (w == 256) return Pack(s.b, s.g, s.r, s.a);
  const int keep = 256 - w;
  return Pack(CopyChannel(int(d & 255), s.b, keep), CopyChannel(int((d >> 8) & 255), s.g, keep),
              CopyChannel(int((d >> 16) & 255), s.r, keep), CopyChannel(int(d >> 24), s.a, keep));
}

inline Pixel Add(Pixel d, const Source& s, int w) {
  return Pack(AddChannel(int(d & 255), s.b, w), AddChannel(int((d >> 8) & 255), s.g, w),
              AddChannel(int((d >> 16) & 255), s.r, w), AddChannel(int(d >> 24), s.a, w));
}

inline Pixel Dodge(Pixel d, const Source& s, int w) {
  return Pack(DodgeChannel(int(d & 255), s.b, w), DodgeChannel(int((d >> 8) & 255), s.g, w),
              DodgeChannel(int((d >> 16) & 255), s.r, w), DodgeChannel(int(d >> 24), s.a, w));
}

inline Pixel Multiply(Pixel d, const Source& s, int w) {
  return Pack(MultiplyChannel(int(d & 255), s.b, w), MultiplyChannel(int((d >> 8) & 255), s.g, w),
              MultiplyChannel(int((d >> 16) & 255), s.r, w), MultiplyChannel(int(d >> 24), s.a, w));
}

inline Pixel Overlay(Pixel d, const Source& s, int w) {
  return Pack(OverlayChannel(int(d & 255), s.b, w), OverlayChannel(int((d >> 8) & 255), s.g, w),
              OverlayChannel(int((d >> 16) & 255), s.r, w), OverlayChannel(int(d >> 24), s.a, w));
}

// Shifts the destination's hue, saturation and value by the source's red,
// green and blue (128 = no change); the alpha byte becomes newAlpha.
Pixel HSVAdjust(Pixel d, int sr, int sg, int sb, int newAlpha, int w);

// One blend by operation byte (0..5) with weight w; the HSV adjust stores
// the source alpha. Other operation bytes leave the pixel as it is.
inline Pixel Apply(BlitMode op, Pixel d, const Source& s, int w) {
  switch (op) {
    case BlitCopy:
      return Copy(d, s, w);
    case BlitAdd:
      return Add(d, s, w);
    case BlitDodge:
      return Dodge(d, s, w);
    case BlitMultiply:
      return Multiply(d, s, w);
    case BlitOverlay:
      return Overlay(d, s, w);
    case BlitHSVAdjust:
      return HSVAdjust(d, s.r, s.g, s.b, s.a, w);
    default:
      return d;
  }
}

// Whole-word cross-fades used by the copy fast paths (alpha byte included).
constexpr Pixel Half(Pixel x) { return (x >> 1) & 0x7F7F7F7Fu; }
constexpr Pixel Quarter(Pixel x) { return (x >> 2) & 0x3F3F3F3Fu; }
constexpr Pixel Eighth(Pixel x) { return (x >> 3) & 0x1F1F1F1Fu; }

}  // namespace raster::blend
