#include "Panel.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "Palette.h"
#include "Shapes.h"

namespace art {

using namespace palette;

namespace {

// Where the editor places things (pixels from the panel's top-left).
struct Rect {
  double l, t, r, b;
};
constexpr Rect kOscPlot{520, 25, 665, 114};
constexpr Rect kResponsePlot{520, 155, 666, 216};
constexpr int kPlotMargin = 3;
// Centres of the visible lamps of the two-button columns (32 x 32 buttons
// 24 pixels apart).
constexpr double kTempoX = 42, kModeX = 212, kUpperY = 54, kLowerY = 78;
constexpr double kOnOffUpperY = 314, kOnOffLowerY = 338;

constexpr Rect kOscPanel{236, 5, 359, 364};
constexpr Rect kFilterPanel{366, 5, 502, 364};

Box BoxOf(Rect r, double grow) {
  return {int(std::floor(r.l - grow)), int(std::floor(r.t - grow)), int(std::ceil(r.r + grow)),
          int(std::ceil(r.b + grow))};
}

void RaisedPanel(Canvas& c, Rect p) {
  const double rad = 9;
  c.Soft(BoxOf(p, 10), RoundRect(p.l, p.t + 2, p.r, p.b + 2, rad), Rgb(0, 0, 0, 0.5), 6);
  c.Shape(BoxOf(p, 1), RoundRect(p.l, p.t, p.r, p.b, rad),
          [&](double, double y) { return Mix(kPanelTop, kPanelBottom, (y - p.t) / (p.b - p.t)); });
  // Bevel: light along the top, darker along the bottom.
  c.Shape(BoxOf(p, 1),
          Outline(RoundRect(p.l + 0.5, p.t + 0.5, p.r - 0.5, p.b - 0.5, rad - 0.5), 0.5),
          [&](double, double y) {
            const double t = (y - p.t) / (p.b - p.t);
            return t < 0.5 ? Mix(Rgb(98, 100, 108), kPanelEdge, t * 2)
                           : Mix(kPanelEdge, Rgb(34, 35, 38), (t - 0.5) * 2);
          });
}

// A crisp one-pixel line along pixel column x or row y (rounded).
void GridColumn(Canvas& c, double x, double top, double bottom, Color col) {
  const double px = std::floor(x) + 0.5;
  c.Fill(BoxOf({px, top, px, bottom}, 2), Segment(px, top, px, bottom, 0.5), col);
}

void GridRow(Canvas& c, double y, double left, double right, Color col) {
  const double py = std::floor(y) + 0.5;
  c.Fill(BoxOf({left, py, right, py}, 2), Segment(left, py, right, py, 0.5), col);
}

// A recessed screen around the plot rectangle p; returns the inner area
// the plot lines use.
Rect Screen(Canvas& c, Rect p) {
  const Rect outer{p.l - 5, p.t - 5, p.r + 5, p.b + 5};
  c.Fill(BoxOf(outer, 2), Outline(RoundRect(outer.l, outer.t + 1, outer.r, outer.b + 1, 6), 0.5),
         Rgb(255, 255, 255, 0.10));
  c.Fill(BoxOf(outer, 2), RoundRect(outer.l, outer.t, outer.r, outer.b, 6), kBezel);
  const Rect s{p.l - 2, p.t - 2, p.r + 2, p.b + 2};
  c.Shape(BoxOf(s, 1), RoundRect(s.l, s.t, s.r, s.b, 3), [&](double, double y) {
    return Mix(kScreenTop, kScreenBottom, (y - s.t) / (s.b - s.t));
  });
  // The bezel's shade on the top edge of the glass.
  c.Shape(BoxOf(s, 1), RoundRect(s.l, s.t, s.r, s.b, 3), [&](double, double y) {
    return Rgb(40, 34, 20, 0.30 * std::clamp(1.0 - (y - s.t) / 4.0, 0.0, 1.0));
  });
  return {p.l + kPlotMargin, p.t + kPlotMargin, p.r - kPlotMargin, p.b - kPlotMargin};
}

void OscillatorGrid(Canvas& c) {
  const Rect in = Screen(c, kOscPlot);
  const double w = in.r - in.l, h = in.b - in.t;
  // Quarters of the period across, quarters of the swing up.
  for (int k = 0; k <= 4; ++k) {
    GridColumn(c, in.l + w * k / 4, in.t, in.b, k == 2 ? kGridMajor : kGrid);
    GridRow(c, in.b - h * k / 4, in.l, in.r, k == 2 ? kGridMajor : kGrid);
  }
}

void ResponseGrid(Canvas& c, Typeface& type) {
  const Rect in = Screen(c, kResponsePlot);
  const double w = in.r - in.l, h = in.b - in.t;
  // The plot spreads 100 Hz .. 4 kHz logarithmically over its width.
  const auto x = [&](double hz) { return in.l + w * std::log(hz / 100.0) / std::log(40.0); };
  for (double hz : {100.0, 200.0, 300.0, 400.0, 500.0, 600.0, 700.0, 800.0, 900.0, 1000.0, 2000.0,
                    3000.0, 4000.0}) {
    const bool major = hz == 100.0 || hz == 1000.0 || hz == 4000.0;
    GridColumn(c, x(hz), in.t, in.b, major ? kGridMajor : kGrid);
  }
  for (int k = 0; k <= 4; ++k)
    GridRow(c, in.b - h * k / 4, in.l, in.r, k == 0 ? kGridMajor : kGrid);
  const TextStyle small{7, false, 0, kScreenText};
  type.Draw(c, "100", x(100) + 2, in.t + 7, small);
  type.Draw(c, "1k", x(1000) + 2, in.t + 7, small);
  type.Draw(c, "4k", x(4000) - 2, in.t + 7, small, Align::Right);
}

void Screw(Canvas& c, double cx, double cy) {
  const Box box = Around(cx, cy, 6);
  c.Soft(box, Circle(cx, cy + 0.8, 3.6), Rgb(0, 0, 0, 0.6), 1.5);
  c.Shape(box, Circle(cx, cy, 3.6), [&](double, double y) {
    return Mix(Rgb(120, 122, 128), Rgb(52, 53, 58), std::clamp((y - cy + 3.6) / 7.2, 0.0, 1.0));
  });
  const Dir d = Direction(35);
  c.Fill(box, Segment(cx - d.x * 2.6, cy - d.y * 2.6, cx + d.x * 2.6, cy + d.y * 2.6, 0.55),
         Rgb(22, 22, 25, 0.9));
}

}  // namespace

Canvas Background(Typeface& type) {
  Canvas c(689, 369);
  c.Shape(
      c.All(), [](double, double) { return -1.0; },
      [](double, double y) { return Mix(kFaceTop, kFaceBottom, y / 369.0); });
  // A thin light edge around the whole faceplate.
  c.Fill(c.All(), Outline(RoundRect(0.5, 0.5, 688.5, 368.5, 2), 0.5), Rgb(255, 255, 255, 0.07));

  RaisedPanel(c, kOscPanel);
  RaisedPanel(c, kFilterPanel);
  OscillatorGrid(c);
  ResponseGrid(c, type);

  for (auto [x, y] : {std::pair{9.0, 9.0}, {680.0, 9.0}, {9.0, 360.0}, {680.0, 360.0}})
    Screw(c, x, y);

  const TextStyle heading{11, true, 0.6, kTitle};
  const TextStyle option{11, false, 0, kLabel};
  // Each option's x-height is centred on its lamp.
  const double lift = 4;
  type.Draw(c, "Tempo", kTempoX, 34, heading, Align::Centre);
  type.Draw(c, "man", kTempoX + 14, kUpperY + lift, option);
  type.Draw(c, "host", kTempoX + 14, kLowerY + lift, option);
  type.Draw(c, "Mode", kModeX, 34, heading, Align::Centre);
  type.Draw(c, "tr", kModeX - 14, kUpperY + lift, option, Align::Right);
  type.Draw(c, "pan", kModeX - 14, kLowerY + lift, option, Align::Right);
  type.Draw(c, "on", kTempoX + 14, kOnOffUpperY + lift, option);
  type.Draw(c, "off", kTempoX + 14, kOnOffLowerY + lift, option);

  type.Draw(c, "QUILLWAVE", 127, 34, {13, true, 1.4, kBrand}, Align::Centre);
  type.Draw(c, "AUTO-WAH", 127, 48, {8, false, 2.0, kTick}, Align::Centre);
  type.Draw(c, "LFO", kOscPlot.l - 4, 14, {9, true, 1.0, kLabel});
  type.Draw(c, "korvanta", 672, 364, {9, false, 0.5, kTick}, Align::Right);
  return c;
}

Canvas Lamp(int size, bool lit) {
  Canvas c(size, size);
  const double cx = size / 2.0, cy = size / 2.0;
  const double bezel = size * 0.29, hole = bezel * 0.76, lens = bezel * 0.64;
  const Box box = c.All();
  if (lit) c.Soft(box, Circle(cx, cy, bezel * 0.9), WithAlpha(kAmber, 0.32), size * 0.22);
  c.Soft(box, Circle(cx, cy + 1, bezel), Rgb(0, 0, 0, 0.55), 1.6);
  c.Shape(box, Circle(cx, cy, bezel), [&](double, double y) {
    return Mix(Rgb(112, 114, 121), Rgb(30, 31, 34),
               std::clamp((y - cy + bezel) / (2 * bezel), 0.0, 1.0));
  });
  c.Fill(box, Circle(cx, cy, hole), Rgb(10, 10, 11));
  c.Shape(box, Circle(cx, cy, lens), [&](double x, double y) {
    const double r = std::hypot(x - cx + lens * 0.2, y - cy + lens * 0.25) / lens;
    return lit ? Mix(kAmberHot, kAmber, std::clamp(r, 0.0, 1.0))
               : Mix(Rgb(96, 72, 44), kAmberOff, std::clamp(r, 0.0, 1.0));
  });
  c.Fill(box, Circle(cx - lens * 0.32, cy - lens * 0.38, lens * 0.22),
         Rgb(255, 255, 255, lit ? 0.55 : 0.22));
  return c;
}

Canvas LampButtonStrip(int size) {
  Canvas c(size, size * 2);
  c.Put(Lamp(size, false), 0, 0);
  c.Put(Lamp(size, true), 0, size);
  return c;
}

Canvas Logo(Typeface& type) {
  Canvas c(52, 52);
  const Box box = c.All();
  c.Soft(box, Circle(26, 27, 23), Rgb(0, 0, 0, 0.5), 3);
  c.Shape(box, Circle(26, 26, 23), [](double, double y) {
    return Mix(Rgb(70, 72, 78), Rgb(26, 27, 30), std::clamp((y - 3) / 46, 0.0, 1.0));
  });
  c.Fill(box, Circle(26, 26, 20), Rgb(20, 20, 23));
  c.Fill(box, Ring(26, 26, 20, 0.6), WithAlpha(kAmber, 0.55));
  // A wave that grows out of a quill stroke.
  const auto wave = [](double x) {
    const double t = (x - 10) / 32.0;
    return 25 - 8.5 * std::sin(t * 2 * kPi) * (0.35 + 0.65 * t);
  };
  for (double x = 10; x < 42; x += 0.5)
    c.Fill(box, Segment(x, wave(x), x + 0.5, wave(x + 0.5), 0.6 + 0.9 * (x - 10) / 32), kAmber);
  type.Draw(c, "QW", 26, 42, {7, true, 1.0, kLabel}, Align::Centre);
  return c;
}

Canvas NoteKinds(Typeface& type) {
  Canvas c(78, 47);
  const Box box = c.All();
  const auto note = [&](double x, double y) {
    // Head tilted like an engraved note head, stem up on its right.
    const double rx = 3.3, ry = 2.4, tilt = -0.35;
    c.Fill(
        box,
        [=](double px, double py) {
          const double u = (px - x) * std::cos(tilt) + (py - y) * std::sin(tilt);
          const double v = -(px - x) * std::sin(tilt) + (py - y) * std::cos(tilt);
          return (std::hypot(u / rx, v / ry) - 1.0) * ry;
        },
        kTitle);
    c.Fill(box, Segment(x + 2.7, y - 1.0, x + 2.7, y - 15, 0.55), kTitle);
  };
  // Centred over the buttons, 26 pixels apart.
  const double y = 40;
  const TextStyle figures{8, true, 0, kTitle};
  note(10, y);
  // The second kind lasts 4/3 of the note, and the figures beside it say so
  // (a dot would promise 3/2). They stand on the line of the head's bottom;
  // note and figures together are centred on the button's lamp, which puts
  // their ink as far left of it as the neighbours' (the figures' advance
  // ends in blank).
  const double lamp = 37, headLeft = 3.4, stemRight = 3.25, gap = 3;
  const double width = headLeft + stemRight + gap + type.Width("4/3", figures);
  const double x = lamp - width / 2 + headLeft;
  note(x, y);
  type.Draw(c, "4/3", x + stemRight + gap, y + 2, figures);
  note(62, y);
  type.Draw(c, "3", 64, y - 18, figures, Align::Centre);
  return c;
}

Canvas FilterNames(Typeface& type) {
  Canvas c(130, 18);
  // Buttons at 520, 570 and 620 (16 wide); the image starts at 536.
  const TextStyle name{11, true, 0.3, kTitle};
  type.Draw(c, "LP", 2, 12, name);
  type.Draw(c, "BP", 52, 12, name);
  type.Draw(c, "Wah", 102, 12, name);
  return c;
}

Canvas Word(Typeface& type, int width, int height, const char* text) {
  Canvas c(width, height);
  type.Draw(c, text, width / 2.0, height - 3, {8, true, 0, kTitle}, Align::Centre);
  return c;
}

}  // namespace art
