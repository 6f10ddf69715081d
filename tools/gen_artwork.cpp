// Draws the editor's images (panel background, knob filmstrips, captions,
// switches, logo) and writes them as 8-bit RGBA PNG files.
//
//   qw_gen_artwork <output directory>
//
// The output depends only on this program and the DejaVu fonts, so running
// it again reproduces the committed files.

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Color {
  double r, g, b, a;
};

constexpr Color Rgb(int r, int g, int b, double a = 1.0) {
  return {r / 255.0, g / 255.0, b / 255.0, a};
}

Color Mix(Color x, Color y, double t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
          x.a + (y.a - x.a) * t};
}

// Palette: warm dark panel, cream displays and lettering, amber lights.
const Color kBack = Rgb(38, 39, 42);
const Color kBackLow = Rgb(28, 29, 31);
const Color kPanel = Rgb(50, 52, 56);
const Color kPanelEdge = Rgb(78, 80, 86);
const Color kText = Rgb(226, 219, 196);
const Color kTextDim = Rgb(160, 155, 140);
const Color kDisplay = Rgb(222, 216, 192);
const Color kGrid = Rgb(190, 182, 152);
const Color kAmber = Rgb(255, 176, 48);
const Color kAmberDim = Rgb(96, 72, 40);
const Color kKnobRim = Rgb(20, 20, 22);
const Color kKnobTop = Rgb(104, 106, 112);
const Color kKnobLow = Rgb(58, 60, 65);
const Color kPointer = Rgb(240, 232, 206);

// Straight-alpha RGBA canvas with "over" compositing of coverage-weighted colour.
class Canvas {
 public:
  Canvas(int w, int h) : w_(w), h_(h), px_(std::size_t(w) * h, Color{0, 0, 0, 0}) {}
  int W() const { return w_; }
  int H() const { return h_; }

  void Blend(int x, int y, Color c, double cover) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_ || cover <= 0) return;
    Color& d = px_[std::size_t(y) * w_ + x];
    const double sa = c.a * std::min(cover, 1.0);
    const double oa = sa + d.a * (1 - sa);
    if (oa <= 0) return;
    d.r = (c.r * sa + d.r * d.a * (1 - sa)) / oa;
    d.g = (c.g * sa + d.g * d.a * (1 - sa)) / oa;
    d.b = (c.b * sa + d.b * d.a * (1 - sa)) / oa;
    d.a = oa;
  }

  // Fills the region whose signed distance (pixels, negative inside) is
  // dist(x, y), with the colour paint(x, y), anti-aliased over one pixel.
  void Shape(const std::function<double(double, double)>& dist,
             const std::function<Color(double, double)>& paint, int x0 = 0, int y0 = 0, int x1 = -1,
             int y1 = -1) {
    if (x1 < 0) x1 = w_;
    if (y1 < 0) y1 = h_;
    for (int y = std::max(0, y0); y < std::min(h_, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(w_, x1); ++x) {
        const double px = x + 0.5, py = y + 0.5;
        const double cover = std::clamp(0.5 - dist(px, py), 0.0, 1.0);
        if (cover > 0) Blend(x, y, paint(px, py), cover);
      }
  }

  void Fill(const std::function<double(double, double)>& dist, Color c) {
    Shape(dist, [c](double, double) { return c; });
  }

  // Copies another canvas in at (ox, oy) with "over".
  void Put(const Canvas& src, int ox, int oy) {
    for (int y = 0; y < src.h_; ++y)
      for (int x = 0; x < src.w_; ++x) {
        const Color& s = src.px_[std::size_t(y) * src.w_ + x];
        Blend(ox + x, oy + y, {s.r, s.g, s.b, 1.0}, s.a);
      }
  }

  bool WritePng(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
      png_destroy_write_struct(&png, &info);
      std::fclose(f);
      return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    // Unfiltered rows let deflate match whole repeated runs between rows of
    // the filmstrips; it gives the smallest files here.
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_IHDR(png, info, w_, h_, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<unsigned char> row(std::size_t(w_) * 4);
    auto q = [](double v) { return (unsigned char)std::lround(std::clamp(v, 0.0, 1.0) * 255.0); };
    for (int y = 0; y < h_; ++y) {
      for (int x = 0; x < w_; ++x) {
        const Color& c = px_[std::size_t(y) * w_ + x];
        const bool clear = q(c.a) == 0;
        row[4 * x + 0] = clear ? 0 : q(c.r);
        row[4 * x + 1] = clear ? 0 : q(c.g);
        row[4 * x + 2] = clear ? 0 : q(c.b);
        row[4 * x + 3] = q(c.a);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
  }

 private:
  int w_, h_;
  std::vector<Color> px_;
};

// Signed distances.
auto Circle(double cx, double cy, double r) {
  return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}

auto Ring(double cx, double cy, double r, double halfWidth) {
  return [=](double x, double y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - halfWidth; };
}

auto RoundRect(double l, double t, double r, double b, double rad) {
  return [=](double x, double y) {
    const double cx = (l + r) / 2, cy = (t + b) / 2;
    const double qx = std::fabs(x - cx) - ((r - l) / 2 - rad),
                 qy = std::fabs(y - cy) - ((b - t) / 2 - rad);
    const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.0) - rad;
  };
}

auto Segment(double ax, double ay, double bx, double by, double halfWidth) {
  return [=](double x, double y) {
    const double vx = bx - ax, vy = by - ay, wx = x - ax, wy = y - ay;
    const double t = std::clamp((wx * vx + wy * vy) / (vx * vx + vy * vy), 0.0, 1.0);
    return std::hypot(wx - vx * t, wy - vy * t) - halfWidth;
  };
}

auto Outline(std::function<double(double, double)> d, double halfWidth) {
  return [=](double x, double y) { return std::fabs(d(x, y)) - halfWidth; };
}

// Text through FreeType with the DejaVu faces.
class Fonts {
 public:
  Fonts() {
    if (FT_Init_FreeType(&lib_)) Die("FreeType init failed");
    regular_ = Load("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    bold_ = Load("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
  }
  ~Fonts() {
    FT_Done_Face(regular_);
    FT_Done_Face(bold_);
    FT_Done_FreeType(lib_);
  }

  double Width(const std::string& s, int px, bool bold) {
    FT_Face f = Face(px, bold);
    double w = 0;
    for (unsigned char ch : s)
      if (!FT_Load_Char(f, ch, FT_LOAD_DEFAULT)) w += f->glyph->advance.x / 64.0;
    return w;
  }

  // Draws s with its baseline at y, starting at x (align: 0 left, 1 centre, 2 right).
  void Draw(Canvas& c, const std::string& s, double x, double y, int px, bool bold, Color col,
            int align = 0) {
    FT_Face f = Face(px, bold);
    if (align) x -= Width(s, px, bold) / (align == 1 ? 2.0 : 1.0);
    double pen = std::round(x);
    for (unsigned char ch : s) {
      if (FT_Load_Char(f, ch, FT_LOAD_RENDER)) continue;
      const FT_GlyphSlot g = f->glyph;
      const int gx = int(pen) + g->bitmap_left, gy = int(std::round(y)) - g->bitmap_top;
      for (unsigned r = 0; r < g->bitmap.rows; ++r)
        for (unsigned k = 0; k < g->bitmap.width; ++k)
          c.Blend(gx + int(k), gy + int(r), col, g->bitmap.buffer[r * g->bitmap.pitch + k] / 255.0);
      pen += g->advance.x / 64.0;
    }
  }

 private:
  [[noreturn]] static void Die(const char* what) {
    std::fprintf(stderr, "qw_gen_artwork: %s\n", what);
    std::exit(1);
  }
  FT_Face Load(const char* path) {
    FT_Face f = nullptr;
    if (FT_New_Face(lib_, path, 0, &f)) Die(path);
    return f;
  }
  FT_Face Face(int px, bool bold) {
    FT_Face f = bold ? bold_ : regular_;
    FT_Set_Pixel_Sizes(f, 0, px);
    return f;
  }
  FT_Library lib_ = nullptr;
  FT_Face regular_ = nullptr;
  FT_Face bold_ = nullptr;
};

std::string g_dir;
int g_failures = 0;

void Save(const Canvas& c, const char* name) {
  const std::string path = g_dir + "/" + name;
  if (!c.WritePng(path)) {
    std::fprintf(stderr, "qw_gen_artwork: cannot write %s\n", path.c_str());
    ++g_failures;
  }
}

// Pointer angles run from -135 degrees (minimum, lower left) to +135 degrees
// (maximum, lower right), 0 pointing straight up.
void Direction(double deg, double& dx, double& dy) {
  const double a = deg * kPi / 180.0;
  dx = std::sin(a);
  dy = -std::cos(a);
}

// One knob of diameter size with its pointer at angle deg.
void DrawKnob(Canvas& c, double ox, double oy, double size, double deg, bool withPointer = true) {
  const double cx = ox + size / 2, cy = oy + size / 2, r = size / 2 - 1.5;
  // Soft shadow, rim, body with a top-lit vertical shade, inner cap.
  c.Fill(Circle(cx + 1, cy + 2, r), Rgb(0, 0, 0, 0.35));
  c.Fill(Circle(cx, cy, r), kKnobRim);
  c.Shape(Circle(cx, cy, r - size * 0.06), [&](double, double y) {
    return Mix(kKnobTop, kKnobLow, std::clamp((y - (cy - r)) / (2 * r), 0.0, 1.0));
  });
  c.Fill(Ring(cx, cy, r * 0.70, 0.6), Rgb(30, 31, 34, 0.8));
  c.Shape(Circle(cx, cy, r * 0.68), [&](double, double y) {
    return Mix(Rgb(88, 90, 96), Rgb(66, 68, 73), std::clamp((y - (cy - r)) / (2 * r), 0.0, 1.0));
  });
  if (!withPointer) return;
  double dx, dy;
  Direction(deg, dx, dy);
  const double w = std::max(1.2, size * 0.028);
  c.Fill(Segment(cx + dx * r * 0.30, cy + dy * r * 0.30, cx + dx * (r - size * 0.09),
                 cy + dy * (r - size * 0.09), w),
         kPointer);
}

void Filmstrip(const char* name, int size, int frames) {
  Canvas c(size, size * frames);
  for (int i = 0; i < frames; ++i)
    DrawKnob(c, 0, double(i) * size, size, -135.0 + 270.0 * i / (frames - 1));
  Save(c, name);
}

// A caption: the knob's name above it and a scale of ticks around it.
void Caption(Fonts& fonts, const char* name, int size, int knob, const char* title,
             const std::vector<std::string>& marks, int ticks) {
  Canvas c(size, size);
  const double cx = size / 2.0, cy = size / 2.0, r0 = knob / 2.0 + 3, r1 = knob / 2.0 + 8;
  for (int i = 0; i < ticks; ++i) {
    const bool major = i == 0 || i == ticks - 1 || (ticks > 5 && i == ticks / 2);
    double dx, dy;
    Direction(-135.0 + 270.0 * i / (ticks - 1), dx, dy);
    const double re = major ? r1 : r1 - 2.5;
    c.Fill(Segment(cx + dx * r0, cy + dy * r0, cx + dx * re, cy + dy * re, major ? 0.9 : 0.6),
           major ? kText : kTextDim);
  }
  const int titlePx = size >= 150 ? 13 : 11;
  fonts.Draw(c, title, cx, titlePx + 1, titlePx, true, kText, 1);
  // Marks are spread over the scale; two marks sit at its ends.
  const int n = int(marks.size());
  for (int i = 0; i < n; ++i) {
    double dx, dy;
    Direction(n == 1 ? 0.0 : -135.0 + 270.0 * i / (n - 1), dx, dy);
    const double rl = r1 + 9;
    const double x = cx + dx * rl, y = cy + dy * rl + 3.5;
    fonts.Draw(c, marks[std::size_t(i)], std::clamp(x, 2.0, size - 2.0), std::min(y, size - 2.0), 9,
               false, kTextDim, 1);
  }
  Save(c, name);
}

void Switch(const char* name, int size, bool check) {
  Canvas c(size, size * 2);
  for (int frame = 0; frame < 2; ++frame) {
    const double oy = frame * size, s = size;
    if (check) {
      c.Fill(RoundRect(1.5, oy + 1.5, s - 1.5, oy + s - 1.5, 3), Rgb(24, 25, 27));
      c.Fill(Outline(RoundRect(1.5, oy + 1.5, s - 1.5, oy + s - 1.5, 3), 0.6), kPanelEdge);
      if (frame == 1) {
        c.Fill(Segment(4.5, oy + 8.5, 7, oy + 11.5, 1.1), kAmber);
        c.Fill(Segment(7, oy + 11.5, 11.8, oy + 4.5, 1.1), kAmber);
      }
    } else {
      const double cx = s / 2, cy = oy + s / 2;
      c.Fill(Circle(cx + 0.5, cy + 1.5, s * 0.40), Rgb(0, 0, 0, 0.35));
      c.Fill(Circle(cx, cy, s * 0.40), kKnobRim);
      c.Shape(Circle(cx, cy, s * 0.36), [&](double, double y) {
        return Mix(kKnobTop, kKnobLow, std::clamp((y - cy + s * 0.36) / (s * 0.72), 0.0, 1.0));
      });
      if (frame == 1) {
        c.Fill(Circle(cx, cy, s * 0.30), Rgb(255, 150, 40, 0.25));
        c.Fill(Circle(cx, cy, s * 0.16), kAmber);
        c.Fill(Circle(cx - 1, cy - 1.2, s * 0.06), Rgb(255, 240, 200));
      } else {
        c.Fill(Circle(cx, cy, s * 0.16), kAmberDim);
      }
    }
  }
  Save(c, name);
}

void Led(const char* name, bool on) {
  Canvas c(16, 16);
  if (on) c.Fill(Circle(8, 8, 7), Rgb(255, 150, 40, 0.3));
  c.Fill(Circle(8, 8, 5), on ? kAmber : kAmberDim);
  c.Fill(Outline(Circle(8, 8, 5), 0.5), kKnobRim);
  Save(c, name);
}

void Label(Fonts& fonts, const char* name, int w, int h, const char* text) {
  Canvas c(w, h);
  fonts.Draw(c, text, 2, h - 5, 11, true, kText);
  Save(c, name);
}

void Logo(Fonts& fonts) {
  Canvas c(52, 52);
  c.Fill(Circle(26, 26, 24.5), kKnobRim);
  c.Fill(Circle(26, 26, 22.5), kAmber);
  c.Fill(Circle(26, 26, 19.5), Rgb(32, 33, 36));
  // A decaying wave across the disc.
  auto wave = [](double x) {
    const double t = (x - 8) / 36.0;
    return 26 - 9 * std::exp(-1.6 * t) * std::sin(t * 3 * kPi);
  };
  for (double x = 8; x < 44; x += 0.25)
    c.Fill(Segment(x, wave(x), x + 0.25, wave(x + 0.25), 1.2), kAmber);
  fonts.Draw(c, "qw", 26, 44, 8, true, kText, 1);
  Save(c, "logo.png");
}

void Background(Fonts& fonts) {
  Canvas c(689, 369);
  c.Shape([](double, double) { return -1.0; },
          [](double, double y) { return Mix(kBack, kBackLow, y / 369.0); });
  // Panels behind the two knob columns and the left control group.
  const double panels[][4] = {{236, 8, 358, 358}, {364, 4, 502, 362}, {10, 8, 232, 362}};
  for (const auto& p : panels) {
    c.Fill(RoundRect(p[0] + 1, p[1] + 2, p[2] + 1, p[3] + 2, 9), Rgb(0, 0, 0, 0.3));
    c.Shape(RoundRect(p[0], p[1], p[2], p[3], 9), [&](double, double y) {
      return Mix(kPanel, Rgb(44, 46, 50), (y - p[1]) / (p[3] - p[1]));
    });
    c.Fill(Outline(RoundRect(p[0], p[1], p[2], p[3], 9), 0.5), kPanelEdge);
  }
  // Framed grids behind the two plots.
  const int plots[][4] = {{520, 25, 665, 114}, {520, 155, 666, 216}};
  for (const auto& p : plots) {
    const double l = p[0] - 3, t = p[1] - 3, r = p[2] + 3, b = p[3] + 3;
    c.Fill(RoundRect(l, t, r, b, 4), Rgb(18, 18, 20));
    c.Fill(RoundRect(l + 2, t + 2, r - 2, b - 2, 2), kDisplay);
    for (int i = 1; i < 8; ++i) {
      const double x = p[0] + (p[2] - p[0]) * i / 8.0;
      c.Fill(Segment(x, p[1], x, p[3], 0.35), kGrid);
    }
    for (int i = 1; i < 4; ++i) {
      const double y = p[1] + (p[3] - p[1]) * i / 4.0;
      c.Fill(Segment(p[0], y, p[2], y, 0.35), kGrid);
    }
  }
  fonts.Draw(c, "LFO", 593, 19, 11, true, kText, 1);
  // Fixed texts beside the switch groups.
  fonts.Draw(c, "Tempo", 42, 30, 12, true, kText, 1);
  fonts.Draw(c, "man", 62, 58, 11, false, kText);
  fonts.Draw(c, "host", 62, 82, 11, false, kText);
  fonts.Draw(c, "Mode", 212, 30, 12, true, kText, 1);
  fonts.Draw(c, "tr", 192, 58, 11, false, kText, 2);
  fonts.Draw(c, "pan", 192, 82, 11, false, kText, 2);
  fonts.Draw(c, "on", 62, 318, 11, false, kText);
  fonts.Draw(c, "off", 62, 342, 11, false, kText);
  // Name plate between the two switch groups, vendor at the lower right.
  fonts.Draw(c, "QUILLWAVE", 121, 30, 13, true, kAmber, 1);
  fonts.Draw(c, "korvanta", 680, 362, 9, false, kTextDim, 2);
  Save(c, "back.png");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qw_gen_artwork <output directory>\n");
    return 2;
  }
  g_dir = argv[1];
  Fonts fonts;

  Background(fonts);
  Filmstrip("knob1_anim.png", 110, 120);
  Filmstrip("knob1_note_anim.png", 110, 7);
  Filmstrip("knob2_anim.png", 72, 120);
  Filmstrip("knob3_anim.png", 56, 120);
  {
    Canvas k1(110, 110), k3(56, 56);
    DrawKnob(k1, 0, 0, 110, 0, false);
    DrawKnob(k3, 0, 0, 56, 0, false);
    Save(k1, "knob1.png");
    Save(k3, "knob3.png");
  }

  Caption(fonts, "mix.png", 124, 72, "Mix", {"dry", "wet"}, 11);
  Caption(fonts, "lfo.png", 180, 110, "LFO rate", {"0.1", "1", "32"}, 21);
  Caption(fonts, "note.png", 210, 110, "Note", {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64"},
          7);
  Caption(fonts, "phase.png", 112, 56, "Phase", {"0", "360"}, 9);
  Caption(fonts, "symm.png", 108, 56, "Symmetry", {"-", "+"}, 9);
  Caption(fonts, "shape.png", 116, 56, "Shape", {"sin", "sqr"}, 9);
  Caption(fonts, "cut.png", 130, 56, "Cutoff", {"20", "20k"}, 11);
  Caption(fonts, "cut1.png", 130, 56, "Cutoff 1", {"20", "20k"}, 11);
  Caption(fonts, "cut2.png", 130, 56, "Cutoff 2", {"20", "20k"}, 11);
  Caption(fonts, "res.png", 130, 56, "Resonance", {"0", "max"}, 11);

  Switch("switch.png", 32, false);
  Switch("small_check.png", 16, true);
  Led("led_on.png", true);
  Led("led_off.png", false);
  Label(fonts, "hp.png", 40, 18, "HP");
  Label(fonts, "lp.png", 40, 18, "LP");
  Label(fonts, "wah.png", 40, 18, "Wah");

  {
    // Prefix buttons below: plain, dotted, triplet.
    Canvas c(78, 47);
    fonts.Draw(c, "Prefix", 39, 12, 11, true, kText, 1);
    const double xs[] = {11, 37, 63};
    const char* names[] = {"str", "dot", "tri"};
    for (int i = 0; i < 3; ++i) fonts.Draw(c, names[i], xs[i], 40, 9, false, kTextDim, 1);
    Save(c, "note_lbl.png");
  }
  {
    // Filter names beside the three filter-mode boxes at x 0, 50, 100.
    Canvas c(130, 18);
    fonts.Draw(c, "HP", 2, 12, 11, true, kText);
    fonts.Draw(c, "LP", 52, 12, 11, true, kText);
    fonts.Draw(c, "Wah", 102, 12, 11, true, kText);
    Save(c, "filt_sw.png");
  }
  Logo(fonts);
  return g_failures ? 1 : 0;
}
