#pragma once
// A straight-alpha RGBA drawing surface in floating point for the artwork
// generator, with anti-aliased shapes given as signed distance functions.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace art {

struct Color {
  double r = 0, g = 0, b = 0, a = 0;
};

constexpr Color Rgb(int r, int g, int b, double a = 1.0) {
  return {r / 255.0, g / 255.0, b / 255.0, a};
}

inline Color Mix(Color x, Color y, double t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
          x.a + (y.a - x.a) * t};
}

inline Color WithAlpha(Color c, double a) { return {c.r, c.g, c.b, a}; }

// Pixel-aligned area a shape may touch: left, top inclusive; right, bottom
// exclusive. Limits the work of every fill to the shape's neighbourhood.
struct Box {
  int left, top, right, bottom;
};

// Box around a circle of radius r (plus a margin for soft edges).
inline Box Around(double cx, double cy, double r) {
  return {int(std::floor(cx - r - 2)), int(std::floor(cy - r - 2)), int(std::ceil(cx + r + 2)),
          int(std::ceil(cy + r + 2))};
}

class Canvas {
 public:
  Canvas(int width, int height);

  int Width() const { return w_; }
  int Height() const { return h_; }
  Box All() const { return {0, 0, w_, h_}; }

  // "Over" of colour c at coverage cover (0..1) onto pixel (x, y).
  void Blend(int x, int y, Color c, double cover);

  // Fills the pixels of box whose centre lies inside dist (a signed
  // distance in pixels, negative inside) with paint(x, y), anti-aliased
  // across one pixel.
  template <class Dist, class Paint>
  void Shape(Box box, const Dist& dist, const Paint& paint) {
    ForBox(box, [&](int x, int y, double px, double py) {
      const double cover = std::clamp(0.5 - dist(px, py), 0.0, 1.0);
      if (cover > 0) Blend(x, y, paint(px, py), cover);
    });
  }

  template <class Dist>
  void Fill(Box box, const Dist& dist, Color c) {
    Shape(box, dist, [c](double, double) { return c; });
  }

  // Like Fill, with the edge fading out over `soft` pixels outside the shape
  // (shadows and glows).
  template <class Dist>
  void Soft(Box box, const Dist& dist, Color c, double soft) {
    ForBox(box, [&](int x, int y, double px, double py) {
      const double d = dist(px, py);
      if (d >= soft) return;
      double cover = 1.0;
      if (d > 0) {
        const double t = 1.0 - d / soft;
        cover = t * t * (3 - 2 * t);
      }
      Blend(x, y, c, cover);
    });
  }

  // Copies another canvas in at (ox, oy) with "over".
  void Put(const Canvas& source, int ox, int oy);

  // Writes an 8-bit RGBA PNG; false if the file cannot be written.
  bool WritePng(const std::string& path) const;

 private:
  template <class Fn>
  void ForBox(Box b, const Fn& fn) {
    const int x0 = std::max(0, b.left), y0 = std::max(0, b.top);
    const int x1 = std::min(w_, b.right), y1 = std::min(h_, b.bottom);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) fn(x, y, x + 0.5, y + 0.5);
  }

  int w_, h_;
  std::vector<Color> px_;
};

}  // namespace art
