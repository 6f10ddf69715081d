// The effect runs both channels' filters together, with their
// coefficients computed for many samples at once (on the processor's widest
// instruction set, or the baseline one when QW_SIMD=baseline; CTest runs
// this program both ways). Its output must stay within 1e-12 of its peak of
// what the plain arithmetic gives: each channel on its own, sample by
// sample, with the filters' design formulas written out here as they were
// first written (divisions where they stand, the output scale applied last).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/StereoSweep.h"
#include "HostedQuillwave.h"
#include "quillwave/Quillwave.h"

namespace {

constexpr double kFs = 48000.0;
constexpr double kPi = 3.141592653589793;
constexpr double k2Pi = 6.283185307179586;

vst::VstIntPtr NoHost(vst::AEffect*, vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*, float) {
  return 0;
}

// One channel's filter in the plain form: low-pass, band-pass or the wah
// voice (rising orientation, as the effect sets it), with its history.
struct PlainFilter {
  int mode = 0;      // 0 low-pass, 1 band-pass, 2 wah
  double q = 4.0;    // the resonance
  double y1 = 0, y2 = 0, x1 = 0, x2 = 0;      // low-pass, band-pass
  double n1 = 0, n2 = 0, nx1 = 0, nx2 = 0;    // wah: narrow band
  double w1 = 0, w2 = 0, wx1 = 0, wx2 = 0;    // wah: wide band
  double hx1 = 0, hy1 = 0;                    // wah: high-pass

  void Reset() { *this = PlainFilter{mode, q}; }

  static double BandPass(double fc, double q, double x, double& y1, double& y2, double& x1,
                         double& x2) {
    const double b = kPi * fc / q;
    const double c = k2Pi * fc / kFs;
    const double b0 = b / (kFs + b);
    const double a1 = kFs / (kFs + b) * (2.0 - c * c);
    const double a2 = kFs / (kFs + b) * (b / kFs - 1.0);
    const double v = b0 * x + -b0 * x2 + a1 * y1 + a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = v;
    return 2.5 * v;
  }

  double Step(double fc, double x) {
    if (mode == 0) {
      const double b = kPi * fc / q;
      const double c = k2Pi * fc / kFs;
      const double g = 1.0 / (b / kFs + 1.0);
      const double y = g * (c * c * x + (2.0 - c * c) * y1 + (b / kFs - 1.0) * y2);
      y2 = y1;
      y1 = y;
      return y;
    }
    if (mode == 1) return BandPass(fc, q, x, y1, y2, x1, x2);
    const double position = std::clamp(0.0 - (fc - 380.0) * -1.0 / (1850.0 - 380.0), 0.0, 1.0);
    const double q1 = (position * 2.5 + 1.0) * q;
    const double hpCutoff = (position * position * position * 100.0 + 100.0) * 0.0;
    const double o1 = BandPass(fc, q1, x, n1, n2, nx1, nx2);
    const double o2 = BandPass(fc, 0.15, x, w1, w2, wx1, wx2);
    const double s = (position + 1.0) * 2.0 * o1 + 0.5 * o2;
    const double k = 1.0 / (k2Pi * hpCutoff / kFs + 1.0);
    const double high = (s + hy1 - hx1) * k;
    hx1 = s;
    hy1 = high;
    return (high + s) * 0.2;
  }
};

// The straightforward audio path over the effect's own cutoffs and
// modulation values: filters set up the way the effect's parameters set up
// its own, each channel filtered on its own, one after the other.
class Reference {
 public:
  explicit Reference(const Quillwave& q) : q_(q) {
    Apply(Quillwave::kResonance);
    Apply(Quillwave::kFilterMode);
  }

  // What the effect does to its filters when the parameter changes.
  void Apply(int32_t index) {
    const double resonance = Value(Quillwave::kResonance);
    if (index == Quillwave::kResonance) {
      for (PlainFilter& f : filters_) f.q = resonance;
    } else if (index == Quillwave::kFilterMode) {
      for (PlainFilter& f : filters_) {
        f.mode = static_cast<int>(Value(Quillwave::kFilterMode));
        f.q = resonance;
        f.Reset();
      }
    }
  }

  void Process(double* const* in, double* const* out, int frames) {
    const double* cutoff = q_.SliceCutoffs().data();
    const double* t = q_.SliceModulation().data();
    const double mix = Value(Quillwave::kMix);
    const bool tremolo = Value(Quillwave::kMode) != 0.0;
    for (int c = 0; c < 2; ++c) {
      if (!in[c] || !out[c]) continue;
      PlainFilter& f = filters_[c];
      for (int j = 0; j < frames; ++j) {
        const double wet = f.Step(cutoff[j], in[c][j]);
        const double gain = c == 0 ? t[j] : 1.0 - t[j];
        out[c][j] = tremolo ? mix * wet * gain + (1.0 - mix) * in[c][j]
                            : (1.0 - mix) * in[c][j] + mix * wet;
      }
    }
  }

 private:
  double Value(int32_t index) const { return q_.GetParameter(index)->Value(); }

  const Quillwave& q_;
  PlainFilter filters_[2];
};

// How the host hands over its buffers.
enum class Layout { kSeparate, kInPlace, kMono, kCrossed };
const char* const kLayoutNames[] = {"separate", "in place", "mono", "crossed"};

// Two input channels a, b and two spares c, d; the layout decides which of
// them the outputs point at.
struct Buffers {
  std::vector<double> a, b, c, d;
  double* in[2];
  double* out[2];

  Buffers(Layout layout, int frames, unsigned seed)
      : a(size_t(frames)), b(size_t(frames)), c(size_t(frames), 0.0), d(size_t(frames), 0.0) {
    unsigned s = seed;
    for (size_t i = 0; i < a.size(); ++i) {
      s = s * 1664525u + 1013904223u;
      a[i] = (double(s >> 8) / 16777216.0 - 0.5) * 0.8;
      b[i] = 0.6 * a[i] + 0.2 * std::sin(0.01 * double(i + seed));
    }
    in[0] = a.data();
    in[1] = b.data();
    out[0] = c.data();
    out[1] = d.data();
    switch (layout) {
      case Layout::kSeparate:
        break;
      case Layout::kInPlace:
        out[0] = a.data();
        out[1] = b.data();
        break;
      case Layout::kMono:
        in[1] = out[1] = nullptr;
        break;
      // The first output overwrites the second input: the channels are not
      // independent and must run one after the other.
      case Layout::kCrossed:
        out[0] = b.data();
        out[1] = c.data();
        break;
    }
  }
};

// Largest difference between two outputs and the plain output's peak.
struct Deviation {
  double largest = 0.0, peak = 0.0;
  void Add(const double* mine, const double* plain, int frames) {
    for (int j = 0; j < frames; ++j) {
      largest = std::max(largest, std::fabs(mine[j] - plain[j]));
      peak = std::max(peak, std::fabs(plain[j]));
    }
  }
  double Relative() const { return peak > 0.0 ? largest / peak : largest; }
};

bool SameBits(const std::vector<double>& x, const std::vector<double>& y) {
  return x.size() == y.size() && std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0;
}

// Parameter changes between blocks, by block number: the sweep limits,
// resonance, mix, the oscillator (with its slew) and the filter mode itself.
struct Change {
  int block;
  int32_t index;
  float value;
};
const Change kChanges[] = {
    {3, Quillwave::kResonance, 0.2f},     {5, Quillwave::kCutoff1, 0.9f},
    {5, Quillwave::kCutoff2, 0.1f},       {8, Quillwave::kMix, 0.83f},
    {10, Quillwave::kPhase, 0.9f},        {12, Quillwave::kShape, 0.0f},
    {14, Quillwave::kLfoFrequency, 0.7f}, {16, Quillwave::kShape, 0.95f},
    {18, Quillwave::kResonance, 1.0f},    {20, Quillwave::kSymmetry, 0.3f},
};

}  // namespace

TEST(EffectChannelPair, OutputIsThePlainArithmetics) {
  const int kBlockSizes[] = {1, 37, 512, 1500};
  for (int mode = 0; mode < 3; ++mode) {
    for (int tremolo = 0; tremolo < 2; ++tremolo) {
      for (int layout = 0; layout < 4; ++layout) {
        for (int frames : kBlockSizes) {
          const std::string what = std::string("mode ") + std::to_string(mode) + " tremolo " +
                                   std::to_string(tremolo) + " " + kLayoutNames[layout] +
                                   " frames " + std::to_string(frames);
          SCOPED_TRACE(what);
          HostedQuillwave qHost(&NoHost);
          Quillwave& q = qHost.Plugin();
          vst::AEffect* e = qHost.Effect();
          e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
          e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, float(kFs));
          e->dispatcher(e, vst::effSetBlockSize, 0, 512, nullptr, 0.0f);
          e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
          e->setParameter(e, Quillwave::kFilterMode, float(mode) / 2.0f);
          e->setParameter(e, Quillwave::kMode, float(tremolo));
          Reference ref(q);

          Deviation deviation[2];
          bool othersUntouched = true;
          for (int block = 0; block < 24; ++block) {
            // Values set while the plug-in is switched off apply at once
            // (no ramp, no crossfade), which is what the reference models.
            e->dispatcher(e, vst::effMainsChanged, 0, 0, nullptr, 0.0f);
            for (const Change& c : kChanges) {
              if (c.block != block) continue;
              e->setParameter(e, c.index, c.value);
              ref.Apply(c.index);
            }
            // Half way through, another filter mode and back: histories reset.
            if (block == 12 || block == 15) {
              const int other = block == 12 ? (mode + 1) % 3 : mode;
              e->setParameter(e, Quillwave::kFilterMode, float(other) / 2.0f);
              ref.Apply(Quillwave::kFilterMode);
            }
            e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
            const auto l = static_cast<Layout>(layout);
            Buffers mine(l, frames, unsigned(block + 1)), plain(l, frames, unsigned(block + 1));
            e->processDoubleReplacing(e, mine.in, mine.out, frames);
            ASSERT_EQ(q.SliceCutoffs().size(), size_t(frames));
            ref.Process(plain.in, plain.out, frames);
            for (int c = 0; c < 2; ++c)
              if (plain.out[c]) deviation[c].Add(mine.out[c], plain.out[c], frames);
            // Buffers that are no output keep their contents.
            for (auto [m, p] : {std::pair{&mine.a, &plain.a}, {&mine.b, &plain.b},
                                {&mine.c, &plain.c}, {&mine.d, &plain.d}})
              if (p->data() != plain.out[0] && p->data() != plain.out[1])
                othersUntouched = othersUntouched && SameBits(*m, *p);
          }
          EXPECT_TRUE(othersUntouched);
          for (int c = 0; c < 2; ++c) {
            EXPECT_LE(deviation[c].Relative(), 1e-12) << "channel " << c;
            if (layout != 2 || c == 0) {
              EXPECT_GT(deviation[c].peak, 0.01) << "channel " << c;
            }
          }
        }
      }
    }
  }
}

// The run CTest makes with QW_SIMD=baseline does take the baseline kernels.
TEST(EffectChannelPair, BaselineWhenForced) {
  const char* forced = std::getenv("QW_SIMD");
  if (!forced || std::string(forced) != "baseline") GTEST_SKIP() << "QW_SIMD is not baseline";
  EXPECT_EQ(dsp::ActiveSimdLevel(), dsp::SimdLevel::kBaseline);
}

// A minute of steady playing in every mode, auto-pan with the wah too, in
// 512-frame blocks: the deviation never grows past the margin.
TEST(EffectChannelPair, AMinuteOfEveryModeStaysOnThePlainArithmetics) {
  const int frames = 512;
  const int blocks = int(60.0 * kFs) / frames;
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    HostedQuillwave qHost(&NoHost);
    Quillwave& q = qHost.Plugin();
    vst::AEffect* e = qHost.Effect();
    e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, float(kFs));
    e->dispatcher(e, vst::effSetBlockSize, 0, frames, nullptr, 0.0f);
    e->setParameter(e, Quillwave::kFilterMode, float(std::min(mode, 2)) / 2.0f);
    e->setParameter(e, Quillwave::kMode, mode == 3 ? 1.0f : 0.0f);
    e->setParameter(e, Quillwave::kMix, 0.7f);
    e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    Reference ref(q);
    Deviation deviation[2];
    for (int block = 0; block < blocks; ++block) {
      Buffers mine(Layout::kSeparate, frames, unsigned(block + 1));
      Buffers plain(Layout::kSeparate, frames, unsigned(block + 1));
      e->processDoubleReplacing(e, mine.in, mine.out, frames);
      ref.Process(plain.in, plain.out, frames);
      for (int c = 0; c < 2; ++c) deviation[c].Add(mine.out[c], plain.out[c], frames);
    }
    for (int c = 0; c < 2; ++c) {
      EXPECT_LE(deviation[c].Relative(), 1e-12) << "channel " << c;
      EXPECT_GT(deviation[c].peak, 0.01) << "channel " << c;
    }
  }
}

// While the host automates resonance, mix and both limits every block, so
// the glides never end, both channels run together with each frame's own
// resonance: the first channel comes out as it does when it runs alone.
TEST(EffectChannelPair, GlidingResonanceTogetherAsAlone) {
  const int frames = 512;
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    HostedQuillwave pair(&NoHost), alone(&NoHost);
    for (HostedQuillwave* q : {&pair, &alone}) {
      vst::AEffect* e = q->Effect();
      e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
      e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, float(kFs));
      e->dispatcher(e, vst::effSetBlockSize, 0, frames, nullptr, 0.0f);
      e->setParameter(e, Quillwave::kFilterMode, float(std::min(mode, 2)) / 2.0f);
      e->setParameter(e, Quillwave::kMode, mode == 3 ? 1.0f : 0.0f);
      e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    Deviation deviation;
    for (int block = 0; block < 60; ++block) {
      const float v = float(block % 10) / 10.0f;
      for (HostedQuillwave* q : {&pair, &alone}) {
        vst::AEffect* e = q->Effect();
        e->setParameter(e, Quillwave::kResonance, v);
        e->setParameter(e, Quillwave::kMix, 1.0f - v);
        e->setParameter(e, Quillwave::kCutoff1, v);
        e->setParameter(e, Quillwave::kCutoff2, 0.5f + v / 2.0f);
      }
      Buffers two(Layout::kSeparate, frames, unsigned(block + 1));
      Buffers one(Layout::kMono, frames, unsigned(block + 1));
      pair.Effect()->processDoubleReplacing(pair.Effect(), two.in, two.out, frames);
      alone.Effect()->processDoubleReplacing(alone.Effect(), one.in, one.out, frames);
      deviation.Add(two.out[0], one.out[0], frames);
    }
    EXPECT_LE(deviation.Relative(), 1e-12);
    EXPECT_GT(deviation.peak, 0.01);
  }
}

// A 64-bit host block longer than the reserved storage runs in slices, each
// exactly as if the host had sent it as a block of its own.
TEST(EffectChannelPair, LongDoubleBlockEqualsItsSlices) {
  HostedQuillwave whole(&NoHost), sliced(&NoHost);
  for (HostedQuillwave* q : {&whole, &sliced}) {
    vst::AEffect* e = q->Effect();
    e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, float(kFs));
    e->dispatcher(e, vst::effSetBlockSize, 0, 256, nullptr, 0.0f);
    e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    e->setParameter(e, Quillwave::kFilterMode, 1.0f);
  }
  const int slice = whole.Plugin().SliceFrames();
  ASSERT_GE(slice, 256);
  ASSERT_EQ(slice, sliced.Plugin().SliceFrames());
  const int frames = 2 * slice + slice / 3;
  Buffers a(Layout::kSeparate, frames, 7), b(Layout::kSeparate, frames, 7);
  whole.Effect()->processDoubleReplacing(whole.Effect(), a.in, a.out, frames);
  for (int done = 0; done < frames; done += slice) {
    const int n = std::min(slice, frames - done);
    double* in[2] = {b.in[0] + done, b.in[1] + done};
    double* out[2] = {b.out[0] + done, b.out[1] + done};
    sliced.Effect()->processDoubleReplacing(sliced.Effect(), in, out, n);
  }
  EXPECT_TRUE(SameBits(a.c, b.c));
  EXPECT_TRUE(SameBits(a.d, b.d));
  // The effect did filter: the output is not the input scaled by the dry share.
  EXPECT_NE(a.c[size_t(frames) - 1], 0.5 * a.a[size_t(frames) - 1]);
}

TEST(EffectChannelPair, HugeBlockSizeReservesABoundedSlice) {
  HostedQuillwave qHost(&NoHost);
  Quillwave& q = qHost.Plugin();
  vst::AEffect* e = qHost.Effect();
  e->dispatcher(e, vst::effSetBlockSize, 0, 25000000, nullptr, 0.0f);
  EXPECT_LE(q.SliceFrames(), 65536);
  EXPECT_GE(q.SliceFrames(), 4096);
}
