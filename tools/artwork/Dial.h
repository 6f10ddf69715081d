#pragma once
// Knob filmstrips and the caption images that frame them: the knob with
// its value arc in every frame, and around it a scale of ticks, values, the
// knob's name above and its unit below.

#include <string>
#include <vector>

#include "Canvas.h"
#include "Typeface.h"

namespace art {

// Geometry of one knob drawing inside its square frame of `size` pixels.
struct KnobStyle {
  int size;
  double arcRadius;    // centre line of the value arc
  double arcHalf;      // half the arc's width
  double body;         // radius of the turning knob
  double pointerHalf;  // half the pointer line's width
  int ridges;          // grip ridges on the knob's skirt (0: smooth)

  // Outer edge of the value arc; the caption's scale starts beyond it.
  double Reach() const { return arcRadius + arcHalf; }
};

KnobStyle SmallKnob();   // 56 x 56
KnobStyle MediumKnob();  // 72 x 72
KnobStyle LargeKnob();   // 110 x 110

// The knob at `value` (0..1) centred on (cx, cy).
void DrawKnob(Canvas& canvas, double cx, double cy, const KnobStyle& style, double value);

// `frames` knob frames stacked vertically; frame i shows value i / (frames - 1).
Canvas Filmstrip(const KnobStyle& style, int frames);

// A waveform drawn as a small icon on a scale: t in 0..1 over one period,
// result in -1..1.
using Waveform = double (*)(double t);

struct ScaleTick {
  double value;  // 0..1 along the dial
  bool major;
};

struct ScaleLabel {
  double value;
  std::string text;  // drawn when icon is null
  Waveform icon = nullptr;
};

struct CaptionSpec {
  int size;  // the caption is size x size, centred on the knob
  KnobStyle knob;
  std::string title;
  std::string unit;
  std::vector<ScaleTick> ticks;
  std::vector<ScaleLabel> labels;
  int labelPx = 9;
};

// Ticks at every step of `count` equal divisions; every `majorEvery`-th
// (and both ends) major.
std::vector<ScaleTick> EvenTicks(int count, int majorEvery);

Canvas Caption(Typeface& type, const CaptionSpec& spec);

}  // namespace art
