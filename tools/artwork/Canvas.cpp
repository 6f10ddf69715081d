#include "Canvas.h"

#include "PngWriter.h"

namespace art {

Canvas::Canvas(int width, int height)
    : w_(width), h_(height), px_(std::size_t(width) * std::size_t(height)) {}

void Canvas::Blend(int x, int y, Color c, double cover) {
  if (x < 0 || y < 0 || x >= w_ || y >= h_ || cover <= 0) return;
  Color& d = px_[std::size_t(y) * std::size_t(w_) + std::size_t(x)];
  const double sa = c.a * std::min(cover, 1.0);
  const double oa = sa + d.a * (1 - sa);
  if (oa <= 0) return;
  d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
  d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
  d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
  d.a = oa;
}

void Canvas::Put(const Canvas& source, int ox, int oy) {
  for (int y = 0; y < source.h_; ++y)
    for (int x = 0; x < source.w_; ++x) {
      const Color& s = source.px_[std::size_t(y) * std::size_t(source.w_) + std::size_t(x)];
      Blend(ox + x, oy + y, {s.r, s.g, s.b, 1.0}, s.a);
    }
}

bool Canvas::WritePng(const std::string& path) const {
  auto q = [](double v) { return (unsigned char)std::lround(std::clamp(v, 0.0, 1.0) * 255.0); };
  return art::WritePng(path, w_, h_, true, [&](int y, unsigned char* bytes) {
    for (int x = 0; x < w_; ++x) {
      const Color& c = px_[std::size_t(y) * std::size_t(w_) + std::size_t(x)];
      // Fully transparent pixels are stored as zeros so that their colour
      // cannot leak through a blend and files compress better.
      const bool clear = q(c.a) == 0;
      unsigned char* p = bytes + std::size_t(x) * 4;
      p[0] = clear ? 0 : q(c.r);
      p[1] = clear ? 0 : q(c.g);
      p[2] = clear ? 0 : q(c.b);
      p[3] = q(c.a);
    }
  });
}

}  // namespace art
