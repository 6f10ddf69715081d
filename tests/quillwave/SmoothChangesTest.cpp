// Changes while audio runs, as a host makes them through the exported entry
// point: ramps and crossfades that end on exactly the new sound, output
// that does not depend on how the host cuts its blocks, and tempo sync that
// holds whatever the block sizes and wherever playback starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "EffectParams.h"
#include "HostTestSupport.h"

namespace {

using qwtest::Instance;
using qwtest::SharedHost;

constexpr double kFs = 44100.0;
constexpr double kTwoPi = 6.283185307179586;
constexpr int kFade = 882;   // crossfades, 20 ms
constexpr int kRamp = 1103;  // ramps, 25 ms

using namespace qwtest::params;

using Block = std::vector<std::vector<double>>;

// A 440 Hz sine on the first channel, 330 Hz on the second.
Block Signal(int frames, int start = 0) {
  Block b(2, std::vector<double>(size_t(frames)));
  for (int f = 0; f < frames; ++f) {
    const int n = start + f;
    b[0][size_t(f)] = 0.5 * std::sin(kTwoPi * 440.0 * n / kFs);
    b[1][size_t(f)] = 0.4 * std::sin(kTwoPi * 330.0 * n / kFs);
  }
  return b;
}

Block Process(Instance& inst, Block in) {
  const int frames = int(in[0].size());
  Block out(2, std::vector<double>(size_t(frames), -99.0));
  if (frames > 0) inst.ProcessDouble(in, out, frames);
  return out;
}

void Append(Block& to, const Block& from) {
  for (size_t c = 0; c < to.size(); ++c) to[c].insert(to[c].end(), from[c].begin(), from[c].end());
}

// A parameter change (or, with index -1, a program change) at a sample
// position of the stream.
struct Event {
  int at;
  int index;
  double value;
};

void Apply(Instance& inst, const Event& e) {
  if (e.index < 0)
    inst.Dispatch(vst::effSetProgram, 0, intptr_t(e.value));
  else
    Set(inst, e.index, e.value);
}

// Renders total frames of Signal through a fresh instance. sizes gives the
// host's next block size; like a host, it also ends a block where an event
// falls, and applies the event before the block that starts there.
Block Render(const std::vector<Event>& events, int total, const std::function<int()>& sizes) {
  Instance inst(SharedHost());
  inst.Start(float(kFs), 4096);
  Block out(2);
  size_t next = 0;
  for (int pos = 0; pos < total;) {
    while (next < events.size() && events[next].at <= pos) Apply(inst, events[next++]);
    int n = std::min(sizes(), total - pos);
    if (next < events.size()) n = std::min(n, events[next].at - pos);
    Append(out, Process(inst, Signal(n, pos)));
    pos += n;
  }
  return out;
}

double MaxDifference(const Block& a, const Block& b, size_t from = 0, size_t to = SIZE_MAX) {
  double worst = 0.0;
  for (size_t c = 0; c < a.size(); ++c)
    for (size_t i = from; i < std::min({a[c].size(), b[c].size(), to}); ++i)
      worst = std::max(worst, std::fabs(a[c][i] - b[c][i]));
  return worst;
}

// The largest fourth difference in [from, to): a strong high-pass (about
// -96 dB at 440 Hz, +10 dB at 10 kHz) that finds the step or kink a click
// is made of.
double Click(const Block& b, size_t from, size_t to) {
  double worst = 0.0;
  for (const auto& ch : b)
    for (size_t i = std::max<size_t>(from, 4); i < std::min(to, ch.size()); ++i)
      worst = std::max(worst, std::fabs(ch[i] - 4.0 * ch[i - 1] + 6.0 * ch[i - 2] -
                                        4.0 * ch[i - 3] + ch[i - 4]));
  return worst;
}

}  // namespace

// The same automation at the same sample positions gives the same output
// whatever the host's block size: ramps, crossfades and their retargeting
// all run per sample.
TEST(SmoothChanges, SameAutomationGivesTheSameOutputAtEveryBlockSize) {
  const std::vector<Event> events = {
      {3000, kMix, 1.0},        {3300, kMix, 0.2},         {5000, kCutoff1, 1.0},
      {5100, kCutoff2, 0.0},    {7000, kResonance, 0.3},   {7400, kFilterMode, 1},
      {7500, kFilterMode, 2},   {9000, kMode, 1},          {11000, kOnOff, 1},
      {11200, kOnOff, 0},       {14000, kPhase, 0.9},      {16000, kShape, 1.7},
      {18000, -1, 2},           {18500, kMix, 0.9},        {21000, kFilterMode, 0},
      {21000, kResonance, 3.5}, {24000, kCutoff1, 0.3},    {26000, kMode, 0},
  };
  const int total = 30000;
  const Block reference = Render(events, total, [] { return 1; });
  for (int size : {32, 512, 4096}) {
    const Block out = Render(events, total, [size] { return size; });
    EXPECT_LE(MaxDifference(reference, out), 1e-12) << "blocks of " << size;
  }
  std::mt19937 random(7);
  const Block out = Render(events, total, [&random] { return 1 + int(random() % 3000); });
  EXPECT_LE(MaxDifference(reference, out), 1e-12) << "random blocks";
}

// Each change made while playing is smooth, and once its ramp or fade has
// ended the output is exactly that of an instance which took the new value
// at once (values set while switched off apply at once).
TEST(SmoothChanges, SwitchesAndMixEndOnExactlyTheNewSound) {
  struct Case {
    const char* what;
    int index;
    double from, to;
  };
  const Case cases[] = {
      {"mix", kMix, 0.0, 1.0},          {"bypass on", kOnOff, 0, 1},
      {"bypass off", kOnOff, 1, 0},     {"LP to wah", kFilterMode, 0, 2},
      {"wah to BP", kFilterMode, 2, 1}, {"BP to LP", kFilterMode, 1, 0},
      {"auto-pan on", kMode, 0, 1},     {"auto-pan off", kMode, 1, 0},
  };
  const int before = 4410, after = 4410;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Instance smooth(SharedHost()), instant(SharedHost());
    for (Instance* inst : {&smooth, &instant}) {
      inst->Start(float(kFs), 512);
      Set(*inst, kMix, 0.8);
      Set(*inst, c.index, c.from);
    }
    Block a = Process(smooth, Signal(before));
    Block b = Process(instant, Signal(before));
    ASSERT_EQ(a, b);
    Set(smooth, c.index, c.to);
    instant.Dispatch(vst::effMainsChanged, 0, 0);
    Set(instant, c.index, c.to);
    instant.Dispatch(vst::effMainsChanged, 0, 1);
    Append(a, Process(smooth, Signal(after, before)));
    Append(b, Process(instant, Signal(after, before)));

    const size_t change = before, end = before + (c.index == kMix ? kRamp : kFade);
    EXPECT_GT(MaxDifference(a, b, change, end), 1e-3);  // it did fade
    EXPECT_EQ(MaxDifference(a, b, end, a[0].size()), 0.0);
    // The instant switch steps; the faded one stays close to the smoothness
    // of the signal itself (a fourth difference near 1e-5 here).
    const double steady = Click(a, 100, change);
    const double stepped = Click(b, change, change + 4), faded = Click(a, change, end);
    EXPECT_GT(stepped, 20.0 * faded) << steady;
    EXPECT_LT(faded, 1e-4) << steady;
  }
}

// Sweep limits and resonance ramp too: no step where they change, and the
// ramp is over after 25 ms (what follows is a steady sweep again).
TEST(SmoothChanges, SweepLimitsAndResonanceMoveWithoutSteps) {
  for (int mode = 0; mode < 3; ++mode) {
    SCOPED_TRACE(mode);
    Instance smooth(SharedHost()), instant(SharedHost());
    for (Instance* inst : {&smooth, &instant}) {
      inst->Start(float(kFs), 512);
      Set(*inst, kMix, 1.0);
      Set(*inst, kFilterMode, mode);
      Set(*inst, kCutoff1, 0.0);
      Set(*inst, kCutoff2, 0.0);
    }
    Block a = Process(smooth, Signal(4410));
    Block b = Process(instant, Signal(4410));
    Set(smooth, kCutoff1, 1.0);
    Set(smooth, kResonance, 0.5);
    instant.Dispatch(vst::effMainsChanged, 0, 0);
    Set(instant, kCutoff1, 1.0);
    Set(instant, kResonance, 0.5);
    instant.Dispatch(vst::effMainsChanged, 0, 1);
    Append(a, Process(smooth, Signal(4410, 4410)));
    Append(b, Process(instant, Signal(4410, 4410)));
    // After the ramp both run the same filter on the same input; their
    // histories differ only by what has since decayed.
    EXPECT_LT(MaxDifference(a, b, 4410 + 4 * kRamp, 8820), 1e-3);
    EXPECT_GT(Click(b, 4410, 4414), 20.0 * Click(a, 4410, 4410 + kRamp));
  }
}

// A session that loads and switches on starts on its settings: values set
// before the first block after switching on apply at once.
TEST(SmoothChanges, ValuesSetBeforeTheFirstBlockApplyAtOnce) {
  Instance inst(SharedHost());
  inst.Start(float(kFs), 512);
  Set(inst, kMix, 0.0);
  const Block in = Signal(512);
  EXPECT_EQ(Process(inst, in), in);  // dry from the first sample

  Set(inst, kMix, 0.7);
  Process(inst, Signal(2000));
  inst.Dispatch(vst::effMainsChanged, 0, 0);
  Set(inst, kOnOff, 1);
  inst.Dispatch(vst::effMainsChanged, 0, 1);
  EXPECT_EQ(Process(inst, in), in);  // bypassed from the first sample
}

// ---- tempo sync ----

namespace {

struct Meter {
  int numerator;
  double QuartersPerBar() const { return numerator; }  // x/4 signatures
};

// What the host reports at a stream position (playing, 120 BPM unless
// given), with playback that started at song position startQuarters.
void Report(double samplePos, double startQuarters, Meter meter, double tempo = 120.0) {
  vst::VstTimeInfo t{};
  t.samplePos = samplePos;
  t.sampleRate = kFs;
  t.tempo = tempo;
  t.ppqPos = startQuarters + samplePos / kFs * tempo / 60.0;
  t.barStartPos = std::floor(t.ppqPos / meter.QuartersPerBar()) * meter.QuartersPerBar();
  t.timeSigNumerator = meter.numerator;
  t.timeSigDenominator = 4;
  t.flags = vst::kVstPpqPosValid | vst::kVstTempoValid | vst::kVstBarsValid |
            vst::kVstTimeSigValid | vst::kVstTransportPlaying;
  SharedHost().SetTransport(t, true);
}

// Tremolo on, Mix 1 and the same DC on both channels: the channels carry
// wet*t and wet*(1 - t), so their ratio is the modulation value t.
void OpenForSweep(Instance& inst, int note, int prefix) {
  inst.Start(float(kFs), 4096);
  Set(inst, kMode, 1);
  Set(inst, kMix, 1.0);
  Set(inst, kShape, 0.0);
  Set(inst, kSymmetry, 0.5);
  Set(inst, kPhase, 2.0);  // a whole period: the cycle starts at the top
  Set(inst, kNote, note);
  Set(inst, kPrefix, prefix);
  Set(inst, kTempoSync, 1);
}

std::vector<double> Sweep(Instance& inst, int frames) {
  Block in(2, std::vector<double>(size_t(frames), 1.0));
  const Block out = Process(inst, in);
  std::vector<double> ratio(static_cast<size_t>(frames));
  for (size_t j = 0; j < ratio.size(); ++j) ratio[j] = out[0][j] / (out[0][j] + out[1][j]);
  return ratio;
}

// Plays total frames from song position startQuarters in host blocks of the
// given sizes, reporting the position at each block's start.
std::vector<double> Play(int note, int prefix, Meter meter, double startQuarters, int total,
                         const std::function<int()>& sizes) {
  Instance inst(SharedHost());
  OpenForSweep(inst, note, prefix);
  std::vector<double> t;
  for (int pos = 0; pos < total;) {
    const int n = std::min(sizes(), total - pos);
    Report(pos, startQuarters, meter);
    const std::vector<double> part = Sweep(inst, n);
    t.insert(t.end(), part.begin(), part.end());
    pos += n;
  }
  SharedHost().SetTransport(vst::VstTimeInfo{}, true);
  return t;
}

double MaxDifference(const std::vector<double>& a, const std::vector<double>& b, size_t from) {
  double worst = 0.0;
  for (size_t i = from; i < std::min(a.size(), b.size()); ++i)
    worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

}  // namespace

// Hosts change block sizes: that is no transport jump. Every note value,
// including those that do not divide the bar, keeps its sweep.
TEST(TempoSync, VaryingBlockSizesKeepTheSweep) {
  const int total = int(4 * 4 * kFs / 2);  // four 4/4 bars at 120 BPM
  for (Meter meter : {Meter{4}, Meter{3}}) {
    for (int note = 0; note <= 6; ++note) {
      for (int prefix = 0; prefix <= 2; ++prefix) {
        std::mt19937 random(unsigned(note * 3 + prefix));
        const auto fixed = Play(note, prefix, meter, 0.0, total, [] { return 512; });
        const auto varied =
            Play(note, prefix, meter, 0.0, total, [&random] { return 1 + int(random() % 2048); });
        EXPECT_LE(MaxDifference(fixed, varied, 0), 1e-9)
            << meter.numerator << "/4, note " << note << ", prefix " << prefix;
      }
    }
  }
}

// The same song position gives the same sweep wherever playback started:
// once the start's slew has ended, playback from bar 3 equals playback that
// ran from bar 1.
TEST(TempoSync, PlaybackFromBarThreeMatchesPlaybackFromBarOne) {
  struct Combo {
    Meter meter;
    int note, prefix;
  };
  for (const Combo& c : {Combo{{4}, 0, 2}, Combo{{3}, 0, 0}, Combo{{3}, 1, 0}, Combo{{3}, 2, 1},
                         Combo{{4}, 3, 1}}) {
    SCOPED_TRACE(testing::Message() << c.meter.numerator << "/4 note " << c.note << " prefix "
                                    << c.prefix);
    const double bar3 = 2 * c.meter.QuartersPerBar();
    const int bar3Frames = int(bar3 * kFs / 2.0);
    const auto fromStart =
        Play(c.note, c.prefix, c.meter, 0.0, bar3Frames + 44100, [] { return 512; });
    const auto fromBar3 = Play(c.note, c.prefix, c.meter, bar3, 44100, [] { return 512; });
    const std::vector<double> tail(fromStart.begin() + bar3Frames, fromStart.end());
    EXPECT_LE(MaxDifference(tail, fromBar3, 64), 1e-9);
  }
}

// A 32-bit call longer than the announced block size is sliced by the
// plug-in, but the host's position belongs to the whole call: the sweep
// runs on as in the 64-bit path.
TEST(TempoSync, LongFloatBlocksFollowTheHostCallNotTheSlices) {
  Instance f(SharedHost()), d(SharedHost());
  for (Instance* inst : {&f, &d}) {
    OpenForSweep(*inst, 2, 0);
    inst->Dispatch(vst::effSetBlockSize, 0, 256);
  }
  const int frames = 1500;
  double worst = 0.0;
  for (int block = 0; block < 40; ++block) {
    std::vector<std::vector<float>> in(2, std::vector<float>(frames, 1.0f)),
        out(2, std::vector<float>(frames));
    Report(double(block) * frames, 0.0, Meter{4});
    f.ProcessReplacing(in, out, frames);
    Report(double(block) * frames, 0.0, Meter{4});
    const std::vector<double> t = Sweep(d, frames);
    for (int j = 0; j < frames; ++j)
      worst = std::max(worst, std::fabs(double(out[0][size_t(j)]) /
                                            (double(out[0][size_t(j)]) + out[1][size_t(j)]) -
                                        t[size_t(j)]));
  }
  SharedHost().SetTransport(vst::VstTimeInfo{}, true);
  EXPECT_LT(worst, 1e-4);  // float rounding only
}

// A note value changed while the transport runs locks to the song position
// again, reached through the slew.
TEST(TempoSync, NoteChangeWhilePlayingRealignsToTheSong) {
  Instance inst(SharedHost());
  OpenForSweep(inst, 2, 0);  // quarter
  int pos = 0;
  for (; pos < 20000; pos += 500) {
    Report(pos, 0.0, Meter{4});
    Sweep(inst, 500);
  }
  Set(inst, kNote, 0);    // whole
  Set(inst, kPrefix, 2);  // triplet: 1.5 cycles a whole note
  Report(pos, 0.0, Meter{4});
  const std::vector<double> t = Sweep(inst, 2000);
  SharedHost().SetTransport(vst::VstTimeInfo{}, true);
  for (int j : {200, 1000, 1999}) {
    const double quarters = (pos + j) / kFs * 2.0;
    const double cycles = quarters * 1.5 / 4.0;
    EXPECT_NEAR(t[size_t(j)], 0.5 + 0.5 * std::cos(kTwoPi * cycles), 1e-9) << j;
  }
}

namespace {
double Peak(const Block& b) {
  double peak = 0.0;
  for (const auto& ch : b)
    for (double x : ch) peak = std::max(peak, std::fabs(x));
  return peak;
}
}  // namespace

// The host changes the sample rate while a crossfade and ramps run: they go
// on from as far as they had come, and the output stays the size of the
// input.
TEST(SmoothChanges, ASampleRateChangeDuringAFadeKeepsTheOutputInBounds) {
  Instance inst(SharedHost());
  inst.Start(float(kFs), 512);
  Process(inst, Signal(4410));
  Set(inst, kMix, 1.0);
  Set(inst, kFilterMode, 2);
  inst.Dispatch(vst::effSetProgram, 0, 2);  // a crossfade starts
  Process(inst, Signal(100));
  inst.Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 8000.0f);
  const Block out = Process(inst, Signal(2000));
  EXPECT_LT(Peak(out), 1.0);
  EXPECT_GT(Peak(out), 0.01);
}
