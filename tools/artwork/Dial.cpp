#include "Dial.h"

#include <algorithm>
#include <cmath>

#include "Palette.h"
#include "Shapes.h"

namespace art {

using namespace palette;

KnobStyle SmallKnob() { return {56, 24.6, 2.0, 19.5, 1.35, 0}; }
KnobStyle MediumKnob() { return {72, 32.0, 2.4, 25.5, 1.6, 0}; }
KnobStyle LargeKnob() { return {110, 50.0, 3.0, 41.0, 2.1, 40}; }

void DrawKnob(Canvas& c, double cx, double cy, const KnobStyle& s, double value) {
  const double angle = DialAngle(std::clamp(value, 0.0, 1.0));
  const double R = s.body;
  const Box box = Around(cx, cy, s.size / 2.0);
  const Dir dir = Direction(angle);

  // Value arc: a dark groove over the whole travel, lit up to the value.
  c.Fill(box, Arc(cx, cy, s.arcRadius, kDialMin, kDialMax, s.arcHalf), kTrack);
  if (angle > kDialMin + 0.5) {
    c.Soft(box, Arc(cx, cy, s.arcRadius, kDialMin, angle, s.arcHalf * 0.6), WithAlpha(kAmber, 0.35),
           s.arcHalf * 1.2);
    c.Fill(box, Arc(cx, cy, s.arcRadius, kDialMin, angle, s.arcHalf - 0.45), kAmber);
  }

  // Drop shadow, then the skirt lit from above.
  c.Soft(box, Circle(cx, cy + R * 0.07, R - 0.5), kShadow, R * 0.16);
  c.Shape(box, Circle(cx, cy, R), [&](double, double y) {
    return Mix(kKnobSkirtTop, kKnobSkirtBottom, std::clamp((y - (cy - R)) / (2 * R), 0.0, 1.0));
  });
  // Grip ridges turn with the knob, so even the skirt shows the motion.
  for (int k = 0; k < s.ridges; ++k) {
    const Dir d = Direction(angle + 360.0 * k / s.ridges);
    c.Fill(box,
           Segment(cx + d.x * R * 0.83, cy + d.y * R * 0.83, cx + d.x * (R - 1.2),
                   cy + d.y * (R - 1.2), 0.55),
           Rgb(14, 14, 16, 0.55));
  }
  // Rim catching the light on its upper half.
  c.Shape(box, Outline(Circle(cx, cy, R - 0.6), 0.55), [&](double, double y) {
    return Rgb(255, 255, 255, 0.22 * std::clamp((cy - y) / R, 0.0, 1.0));
  });

  // Cap with a separating groove and a faint highlight.
  const double cap = R * (s.ridges ? 0.80 : 0.78);
  c.Fill(box, Circle(cx, cy, cap + 0.9), Rgb(12, 12, 14, 0.7));
  c.Shape(box, Circle(cx, cy, cap), [&](double, double y) {
    return Mix(kKnobCapTop, kKnobCapBottom, std::clamp((y - (cy - cap)) / (2 * cap), 0.0, 1.0));
  });
  c.Shape(box, Outline(Circle(cx, cy, cap - 0.5), 0.45), [&](double, double y) {
    return Rgb(255, 255, 255, 0.16 * std::clamp((cy - y) / cap, 0.0, 1.0));
  });

  // Pointer: a light line on a dark halo, from near the centre to the rim.
  const double r0 = R * 0.24, r1 = R * 0.90;
  const auto line = [&](double half) {
    return Segment(cx + dir.x * r0, cy + dir.y * r0, cx + dir.x * r1, cy + dir.y * r1, half);
  };
  c.Soft(box, line(s.pointerHalf + 0.6), Rgb(0, 0, 0, 0.55), 1.4);
  c.Fill(box, line(s.pointerHalf), kPointer);
}

Canvas Filmstrip(const KnobStyle& style, int frames) {
  Canvas strip(style.size, style.size * frames);
  // Each frame is drawn on its own canvas so that soft edges cannot spill
  // into the neighbouring frames.
  for (int i = 0; i < frames; ++i) {
    Canvas one(style.size, style.size);
    DrawKnob(one, style.size / 2.0, style.size / 2.0, style,
             frames > 1 ? double(i) / (frames - 1) : 0.0);
    strip.Put(one, 0, i * style.size);
  }
  return strip;
}

std::vector<ScaleTick> EvenTicks(int count, int majorEvery) {
  std::vector<ScaleTick> ticks;
  for (int i = 0; i <= count; ++i)
    ticks.push_back({double(i) / count, i == 0 || i == count || i % majorEvery == 0});
  return ticks;
}

namespace {

constexpr double kIconWidth = 15, kIconHeight = 7;

void DrawIcon(Canvas& c, Waveform wave, double cx, double cy, double w, double h, Color color) {
  const Box box = Around(cx, cy, std::max(w, h));
  const int steps = 60;
  double px = cx - w / 2, py = cy - wave(0.0) * h / 2;
  for (int i = 1; i <= steps; ++i) {
    const double t = double(i) / steps;
    const double x = cx - w / 2 + w * t, y = cy - wave(t) * h / 2;
    c.Fill(box, Segment(px, py, x, y, 0.62), color);
    px = x;
    py = y;
  }
}

}  // namespace

Canvas Caption(Typeface& type, const CaptionSpec& spec) {
  Canvas c(spec.size, spec.size);
  const double cx = spec.size / 2.0, cy = spec.size / 2.0;
  const Box box = c.All();
  const double r0 = spec.knob.Reach() + 1.5;

  for (const ScaleTick& t : spec.ticks) {
    const Dir d = Direction(DialAngle(t.value));
    const double r1 = r0 + (t.major ? 4.0 : 2.8);
    c.Fill(
        box,
        Segment(cx + d.x * r0, cy + d.y * r0, cx + d.x * r1, cy + d.y * r1, t.major ? 0.65 : 0.45),
        t.major ? kTickMajor : kTick);
  }

  // Each label sits just outside the ticks, its nearest edge at the same
  // distance from the centre whatever its direction.
  const TextStyle label{spec.labelPx, false, 0, kLabel};
  const double textH = type.CapHeight(label);
  const double rl = r0 + 5.5;
  double top = r0 + 4.0;  // highest point of the scale above the centre
  for (const ScaleLabel& l : spec.labels) {
    const Dir d = Direction(DialAngle(l.value));
    const double w = l.icon ? kIconWidth : type.Width(l.text, label);
    const double h = l.icon ? kIconHeight : textH;
    const double reach = rl + std::fabs(d.x) * w / 2 + std::fabs(d.y) * h / 2;
    const double x = cx + d.x * reach, y = cy + d.y * reach;
    top = std::max(top, -(d.y * reach) + h / 2);
    if (l.icon)
      DrawIcon(c, l.icon, x, y, kIconWidth, kIconHeight, kTickMajor);
    else
      type.Draw(c, l.text, x, y + h / 2, label, Align::Centre);
  }

  // The name just above the scale, the unit in the gap below the knob.
  const TextStyle title{12, true, 0.4, kTitle};
  const double baseline = std::max(cy - top - 5.0, type.CapHeight(title) + 1);
  type.Draw(c, spec.title, cx, baseline, title, Align::Centre);
  if (!spec.unit.empty()) {
    const TextStyle unit{spec.labelPx, false, 0, kTick};
    type.Draw(c, spec.unit, cx, cy + spec.knob.Reach() + 2 + type.CapHeight(unit), unit,
              Align::Centre);
  }
  return c;
}

}  // namespace art
