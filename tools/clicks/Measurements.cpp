#include "Measurements.h"

#include "HighPass.h"
#include "RenderError.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace clicks {

namespace {

constexpr double kHighPassHz = 3000.0;
constexpr int64_t kQuarterFrames = 22050;  // at 120 BPM

struct Expected {
  int index;
  const char* name;
};
constexpr Expected kExpected[] = {
    {kMix, "Mix"},
    {kLfoFrequency, "LfoFrequency"},
    {kNote, "Note"},
    {kPrefix, "Prefix"},
    {kTempoSync, "TempoSync"},
    {kOnOff, "OnOff"},
    {kMode, "Mode"},
    {kCutoff1, "Cutoff1"},
    {kCutoff2, "Cutoff2"},
    {kFilterMode, "FilterMode"},
};

// Both channels of a render through a fresh high-pass each.
std::vector<double> HighPassed(const std::vector<double>& samples) {
  HighPass hp(kRate, kHighPassHz);
  std::vector<double> out(samples.size());
  for (size_t i = 0; i < samples.size(); ++i) out[i] = hp.Process(samples[i]);
  return out;
}

double PeakIn(const std::vector<double>& x, int64_t from, int64_t to) {
  double peak = 0.0;
  for (int64_t i = std::max<int64_t>(from, 0); i < std::min<int64_t>(to, std::ssize(x)); ++i)
    peak = std::max(peak, std::fabs(x[static_cast<size_t>(i)]));
  return peak;
}

// Largest |a[i] - b[i - offset]| for i in [from, to), a indexed from frame 0
// and b from frame `offset`.
double MaxDifference(const std::vector<double>& a, const std::vector<double>& b, int64_t offset,
                     int64_t from, int64_t to) {
  double d = 0.0;
  for (int64_t i = from; i < to; ++i)
    d = std::max(d, std::fabs(a[static_cast<size_t>(i)] - b[static_cast<size_t>(i - offset)]));
  return d;
}

double MaxDifference(const PluginRig& a, const PluginRig& b, int64_t from, int64_t to) {
  const int64_t offset = b.StartFrame() - a.StartFrame();
  return std::max(MaxDifference(a.Left(), b.Left(), offset, from, to),
                  MaxDifference(a.Right(), b.Right(), offset, from, to));
}

ClickCase Case(std::string name, std::function<void(PluginRig&)> setup,
               std::function<void(PluginRig&)> change) {
  return ClickCase{std::move(name), std::move(setup), std::move(change)};
}

std::function<void(PluginRig&)> Setting(int index, double normalized) {
  return [=](PluginRig& rig) { rig.Set(index, normalized); };
}

}  // namespace

void CheckParameters(PluginInstance& plugin) {
  for (const Expected& e : kExpected) {
    if (e.index >= plugin.NumParams() || plugin.ParamName(e.index) != e.name)
      throw RenderError("plug-in has no parameter '" + std::string(e.name) + "' at index " +
                        std::to_string(e.index));
  }
}

double Sine(int64_t frame) {
  static const double amplitude = std::sqrt(2.0) * std::pow(10.0, -9.0 / 20.0);
  const double cycles = std::fmod(440.0 * static_cast<double>(frame) / kRate, 1.0);
  return amplitude * std::sin(2.0 * std::numbers::pi * cycles);
}

std::vector<ClickCase> ClickCases() {
  std::vector<ClickCase> cases;
  const auto nothing = [](PluginRig&) {};
  cases.push_back(Case("no change (floor)", nothing, nullptr));
  cases.push_back(Case("Mix 0 -> 1", Setting(kMix, 0.0), Setting(kMix, 1.0)));
  cases.push_back(Case("OnOff 0 -> 1 (bypass)", nothing, Setting(kOnOff, 1.0)));
  cases.push_back(Case("OnOff 1 -> 0 (effect)", Setting(kOnOff, 1.0), Setting(kOnOff, 0.0)));
  const struct {
    const char* name;
    double value;
  } modes[] = {{"LP", kLp}, {"BP", kBp}, {"Wah", kWah}};
  for (const auto& from : modes)
    for (const auto& to : modes)
      if (from.value != to.value)
        cases.push_back(Case(std::string("FilterMode ") + from.name + " -> " + to.name,
                             Setting(kFilterMode, from.value), Setting(kFilterMode, to.value)));
  cases.push_back(Case("Mode 0 -> 1 (auto-pan)", nothing, Setting(kMode, 1.0)));
  cases.push_back(Case("Mode 1 -> 0", Setting(kMode, 1.0), Setting(kMode, 0.0)));
  cases.push_back(Case(
      "program 0 (edited) -> 1",
      [](PluginRig& rig) {
        rig.Set(kMix, 0.9);
        rig.Set(kFilterMode, kWah);
        rig.Set(kCutoff1, 0.6);
        rig.Set(kCutoff2, 0.9);
        rig.Set(kMode, 1.0);
      },
      [](PluginRig& rig) { rig.Dispatch(vst::effSetProgram, 0, 1); }));
  for (const auto& mode : modes) {
    cases.push_back(Case(
        std::string("Cutoff1 0 -> 1 in ") + mode.name,
        [=](PluginRig& rig) {
          rig.Set(kFilterMode, mode.value);
          rig.Set(kLfoFrequency, 0.0);
          rig.Set(kCutoff1, 0.0);
          rig.Set(kCutoff2, 0.0);
        },
        Setting(kCutoff1, 1.0)));
  }
  return cases;
}

ClickFigure MeasureClick(const PluginLibrary& library, const ClickCase& c, int block) {
  PluginRig::Setup setup;
  setup.maxBlock = block;
  const int64_t end = kChangeFrame + kEffectTo;
  PluginRig changed(library, setup, Sine);
  c.setup(changed);
  changed.Run(kChangeFrame, block);
  if (c.change) c.change(changed);
  changed.Run(end - kChangeFrame, block);

  ClickFigure f;
  for (const auto* channel : {&changed.Left(), &changed.Right()}) {
    const std::vector<double> hp = HighPassed(*channel);
    f.click = std::max(f.click, PeakIn(hp, kChangeFrame, kChangeFrame + kClickWindow));
    f.before = std::max(f.before, PeakIn(hp, kChangeFrame - kClickWindow, kChangeFrame));
  }
  if (c.change) {
    PluginRig steady(library, setup, Sine);
    c.setup(steady);
    steady.Run(end, block);
    double sum = 0.0;
    for (int64_t i = kChangeFrame + kEffectFrom; i < end; ++i) {
      const size_t k = static_cast<size_t>(i);
      const double l = changed.Left()[k] - steady.Left()[k];
      const double r = changed.Right()[k] - steady.Right()[k];
      sum += l * l + r * r;
    }
    f.effect = std::sqrt(sum / (2.0 * static_cast<double>(end - kChangeFrame - kEffectFrom)));
  }
  return f;
}

double MeasureAutomation(const PluginLibrary& library, int block) {
  PluginRig::Setup setup;
  setup.maxBlock = block;
  PluginRig rig(library, setup, Sine);
  rig.Set(kMix, 0.0);
  rig.Run(kChangeFrame, block);
  const int64_t second = static_cast<int64_t>(kRate);
  while (rig.Position() < kChangeFrame + second) {
    const double t = static_cast<double>(rig.Position() - kChangeFrame) / kRate;
    rig.Set(kMix, std::min(t, 1.0));
    rig.Process(block);
  }
  double peak = 0.0;
  for (const auto* channel : {&rig.Left(), &rig.Right()})
    peak = std::max(peak, PeakIn(HighPassed(*channel), kChangeFrame, kChangeFrame + second));
  return peak;
}

std::string NoteName(const SyncCase& c) {
  static const char* const kKinds[] = {"", " 4/3", " triplet"};
  return "1/" + std::to_string(1 << c.note) + kKinds[c.prefix];
}

double CyclesPerBar(const SyncCase& c) {
  static constexpr double kFactors[] = {1.0, 4.0 / 3.0, 2.0 / 3.0};
  return c.numerator / 4.0 * (1 << c.note) / kFactors[c.prefix];
}

namespace {
// The oscillator as the output shows it: in auto-pan mode at Mix 1 with the
// same DC on both channels the channels carry wet*t and wet*(1 - t), so
// their ratio is the modulation value t of each frame, whatever the
// filter's history.
std::vector<double> Modulation(const PluginRig& rig) {
  std::vector<double> t(rig.Left().size());
  for (size_t i = 0; i < t.size(); ++i) t[i] = rig.Left()[i] / (rig.Left()[i] + rig.Right()[i]);
  return t;
}

double MaxDifference(const PluginRig& a, const PluginRig& b, int64_t from, int64_t to,
                     bool modulation) {
  if (!modulation) return MaxDifference(a, b, from, to);
  return MaxDifference(Modulation(a), Modulation(b), b.StartFrame() - a.StartFrame(), from, to);
}
}  // namespace

SyncFigure MeasureSync(const PluginLibrary& library, const SyncCase& c, uint32_t seed) {
  const int64_t bar = c.numerator * kQuarterFrames;
  const auto settings = [&](PluginRig& rig) {
    rig.Set(kTempoSync, 1.0);
    rig.Set(kNote, c.note / 6.0);
    rig.Set(kPrefix, c.prefix / 2.0);
    rig.Set(kFilterMode, kLp);
    rig.Set(kMix, 1.0);
    rig.Set(kMode, 1.0);
  };
  const auto dc = [](int64_t) { return 0.5; };
  PluginRig::Setup setup;
  setup.doubles = true;
  setup.tempo = 120.0;
  setup.numerator = c.numerator;

  // Bars 1 to 5 in 512-frame blocks: the reference for both comparisons.
  PluginRig fixed(library, setup, dc);
  settings(fixed);
  fixed.Run(5 * bar, 512);

  SyncFigure f;
  {
    PluginRig::Setup s = setup;
    s.maxBlock = 2048;
    PluginRig varied(library, s, dc);
    settings(varied);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> sizes(1, 2048);
    while (varied.Position() < 4 * bar)
      varied.Process(static_cast<int>(std::min<int64_t>(sizes(rng), 4 * bar - varied.Position())));
    f.blocks = MaxDifference(fixed, varied, 0, 4 * bar, true);
    f.blocksOutput = MaxDifference(fixed, varied, 0, 4 * bar, false);
    for (int b = 0; b < 4; ++b)
      f.blocksPerBar.push_back(MaxDifference(fixed, varied, b * bar, (b + 1) * bar, true));
  }
  {
    PluginRig::Setup s = setup;
    s.startFrame = 2 * bar;
    PluginRig late(library, s, dc);
    settings(late);
    late.Run(3 * bar, 512);
    f.fromBar3 = MaxDifference(fixed, late, 2 * bar + kCompareAfterBar3, 5 * bar, true);
  }
  return f;
}

}  // namespace clicks
