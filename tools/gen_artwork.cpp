// Draws the editor's images (panel background, knob filmstrips, captions,
// switches, logo) and writes them as 8-bit RGBA PNG files.
//
//   qw_gen_artwork <output directory>
//
// The output depends only on this program, libpng, FreeType and the DejaVu
// fonts, so running it again reproduces the committed files byte for byte.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "artwork/Canvas.h"
#include "artwork/Dial.h"
#include "artwork/Panel.h"
#include "artwork/Typeface.h"

using namespace art;

namespace {

std::string g_dir;
int g_failures = 0;

void Save(const Canvas& c, const char* name) {
  const std::string path = g_dir + "/" + name;
  if (!c.WritePng(path)) {
    std::fprintf(stderr, "qw_gen_artwork: cannot write %s\n", path.c_str());
    ++g_failures;
  }
}

// Scale icons: one period of each waveform the oscillator can take, drawn
// the way synthesizer panels usually show them.
constexpr double kTwoPi = 2 * 3.14159265358979323846;
double Sine(double t) { return std::sin(kTwoPi * t); }
double Tri(double t) { return t < 0.25 ? 4 * t : t < 0.75 ? 2 - 4 * t : 4 * t - 4; }
double Square(double t) {
  const double edge = 0.02;
  if (t < edge) return t / edge;
  if (t < 0.5 - edge) return 1;
  if (t < 0.5 + edge) return (0.5 - t) / edge;
  if (t < 1 - edge) return -1;
  return (t - 1) / edge;
}
// Two teeth each, so that the slow and the fast edge are told apart.
double RampUp(double t) {
  const double u = 2 * t - std::floor(2 * t);
  return u < 0.96 ? -1 + 2 * u / 0.96 : 1 - 2 * (u - 0.96) / 0.04;
}
double RampDown(double t) { return RampUp(1 - t); }

// Position on a dial of a value of a linear parameter range.
double At(double v, double lo, double hi) { return (v - lo) / (hi - lo); }

CaptionSpec Mix() {
  return {124, MediumKnob(), "Mix", "%", EvenTicks(10, 5), {{0.0, "0"}, {0.5, "50"}, {1.0, "100"}}};
}

// One period of shift either way around the default.
CaptionSpec Phase() {
  CaptionSpec s{112, SmallKnob(), "Phase", "", EvenTicks(8, 4), {}};
  s.labels = {{0.0, "\u2212180\u00b0"}, {0.5, "0\u00b0"}, {1.0, "+180\u00b0"}};
  return s;
}

CaptionSpec Symmetry() {
  CaptionSpec s{108, SmallKnob(), "Symmetry", "", EvenTicks(10, 5), {}};
  s.labels = {{0.0, "", RampUp}, {0.5, "", Tri}, {1.0, "", RampDown}};
  return s;
}

CaptionSpec Shape() {
  CaptionSpec s{116, SmallKnob(), "Shape", "", EvenTicks(10, 5), {}};
  s.labels = {{0.0, "", Sine}, {0.5, "", Tri}, {1.0, "", Square}};
  return s;
}

CaptionSpec Cutoff(const char* title) {
  // 125 * 32^value Hz: every fifth of the travel is one octave.
  CaptionSpec s{130, SmallKnob(), title, "Hz", EvenTicks(10, 2), {}};
  const char* hz[] = {"125", "250", "500", "1k", "2k", "4k"};
  for (int i = 0; i < 6; ++i) s.labels.push_back({i / 5.0, hz[i]});
  return s;
}

CaptionSpec LfoRate() {
  // 0.1 .. 32 Hz, linear.
  CaptionSpec s{180, LargeKnob(), "LFO rate", "Hz", {}, {}};
  s.ticks.push_back({0.0, true});
  for (int hz = 2; hz <= 32; hz += 2) s.ticks.push_back({At(hz, 0.1, 32), hz % 8 == 0});
  s.labels = {{0.0, "0.1"},
              {At(8, 0.1, 32), "8"},
              {At(16, 0.1, 32), "16"},
              {At(24, 0.1, 32), "24"},
              {1.0, "32"}};
  s.labelPx = 10;
  return s;
}

CaptionSpec NoteValue() {
  CaptionSpec s{210, LargeKnob(), "Note", "tempo sync", EvenTicks(6, 1), {}};
  const char* notes[] = {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64"};
  for (int i = 0; i < 7; ++i) s.labels.push_back({i / 6.0, notes[i]});
  s.labelPx = 10;
  return s;
}

CaptionSpec Resonance() {
  // Q 0.1 .. 4, linear.
  CaptionSpec s{130, SmallKnob(), "Resonance", "Q", {}, {}};
  s.ticks.push_back({0.0, true});
  for (int k = 1; k <= 8; ++k) s.ticks.push_back({At(k * 0.5, 0.1, 4), k % 2 == 0});
  s.labels = {
      {0.0, "0.1"}, {At(1, 0.1, 4), "1"}, {At(2, 0.1, 4), "2"}, {At(3, 0.1, 4), "3"}, {1.0, "4"}};
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qw_gen_artwork <output directory>\n");
    return 2;
  }
  g_dir = argv[1];
  Typeface type;

  Save(Background(type), "back.png");

  Save(Filmstrip(LargeKnob(), 120), "knob1_anim.png");
  Save(Filmstrip(LargeKnob(), 7), "knob1_note_anim.png");
  Save(Filmstrip(MediumKnob(), 120), "knob2_anim.png");
  Save(Filmstrip(SmallKnob(), 120), "knob3_anim.png");

  Save(Caption(type, Mix()), "mix.png");
  Save(Caption(type, LfoRate()), "lfo.png");
  Save(Caption(type, NoteValue()), "note.png");
  Save(Caption(type, Phase()), "phase.png");
  Save(Caption(type, Symmetry()), "symm.png");
  Save(Caption(type, Shape()), "shape.png");
  Save(Caption(type, Cutoff("Cutoff 1")), "cut1.png");
  Save(Caption(type, Cutoff("Cutoff 2")), "cut2.png");
  Save(Caption(type, Resonance()), "res.png");

  Save(LampButtonStrip(32), "switch.png");
  Save(LampButtonStrip(16), "small_check.png");
  Save(NoteKinds(type), "note_lbl.png");
  Save(FilterNames(type), "filt_sw.png");
  Save(Logo(type), "logo.png");

  // Images the library carries but the editor does not load: kept small.
  {
    Canvas k(16, 16);
    DrawKnob(k, 8, 8, {16, 7.0, 0.8, 5.5, 0.6, 0}, 0.5);
    Save(k, "knob1.png");
    Save(k, "knob3.png");
    Save(Caption(type, {16, {16, 4.0, 0.5, 3.0, 0.4, 0}, "", "", EvenTicks(4, 2), {}}), "cut.png");
  }
  Save(Lamp(16, true), "led_on.png");
  Save(Lamp(16, false), "led_off.png");
  Save(Word(type, 24, 12, "HP"), "hp.png");
  Save(Word(type, 24, 12, "LP"), "lp.png");
  Save(Word(type, 24, 12, "Wah"), "wah.png");
  return g_failures ? 1 : 0;
}
