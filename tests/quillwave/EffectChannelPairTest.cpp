// The effect runs both channels' filters in one loop with one coefficient
// computation per sample. Its output must be bit for bit what the plain
// code gives: for each channel in turn, per sample SetCutoff then
// ProcessSample on that channel's own filter holder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/MultiBandFilterBT.h"
#include "quillwave/Quillwave.h"

namespace {

constexpr double kFs = 48000.0;

vst::VstIntPtr NoHost(vst::AEffect*, vst::VstInt32, vst::VstInt32, vst::VstIntPtr, void*, float) {
  return 0;
}

// The straightforward audio path over the effect's own cutoffs and
// modulation values: holders configured the way the effect's parameters
// configure its own, each channel filtered on its own, one after the other.
class Reference {
 public:
  explicit Reference(const Quillwave& q) : q_(q) {
    for (MultiBandFilterBT& h : holders_) {
      h.SetType(MultiBandFilterBT::kWahBP2);
      h.WahOverBP2().SetOrientation(-1.0);
      h.WahOverBP2().Recompute();
      h.SetSampleRate(kFs);
    }
    Apply(Quillwave::kResonance);
    Apply(Quillwave::kFilterMode);
  }

  // What the effect does to its holders when the parameter changes.
  void Apply(int32_t index) {
    const double resonance = Value(Quillwave::kResonance);
    if (index == Quillwave::kResonance) {
      for (MultiBandFilterBT& h : holders_) h.SetResonance(resonance);
    } else if (index == Quillwave::kFilterMode) {
      static constexpr int kTypes[] = {MultiBandFilterBT::kLP2, MultiBandFilterBT::kBP2,
                                       MultiBandFilterBT::kWahBP2};
      for (MultiBandFilterBT& h : holders_) {
        h.SetType(kTypes[static_cast<int>(Value(Quillwave::kFilterMode))]);
        h.ResetState();
        h.SetResonance(resonance);
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
      MultiBandFilterBT& h = holders_[c];
      for (int j = 0; j < frames; ++j) {
        h.SetCutoff(cutoff[j]);
        const double wet = h.ProcessSample(in[c][j]);
        const double gain = c == 0 ? t[j] : 1.0 - t[j];
        out[c][j] = tremolo ? mix * wet * gain + (1.0 - mix) * in[c][j]
                            : (1.0 - mix) * in[c][j] + mix * wet;
      }
    }
  }

 private:
  double Value(int32_t index) const { return q_.GetParameter(index)->Value(); }

  const Quillwave& q_;
  MultiBandFilterBT holders_[2];
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

TEST(EffectChannelPair, OutputIsBitIdenticalToPerChannelFiltering) {
  const int kBlockSizes[] = {1, 37, 512, 1500};
  for (int mode = 0; mode < 3; ++mode) {
    for (int tremolo = 0; tremolo < 2; ++tremolo) {
      for (int layout = 0; layout < 4; ++layout) {
        for (int frames : kBlockSizes) {
          const std::string what = std::string("mode ") + std::to_string(mode) + " tremolo " +
                                   std::to_string(tremolo) + " " + kLayoutNames[layout] +
                                   " frames " + std::to_string(frames);
          SCOPED_TRACE(what);
          Quillwave q(&NoHost);
          vst::AEffect* e = q.Effect();
          e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
          e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, float(kFs));
          e->dispatcher(e, vst::effSetBlockSize, 0, 512, nullptr, 0.0f);
          e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
          e->setParameter(e, Quillwave::kFilterMode, float(mode) / 2.0f);
          e->setParameter(e, Quillwave::kMode, float(tremolo));
          Reference ref(q);

          bool allSame = true;
          for (int block = 0; block < 24 && allSame; ++block) {
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
            allSame = SameBits(mine.a, plain.a) && SameBits(mine.b, plain.b) &&
                      SameBits(mine.c, plain.c) && SameBits(mine.d, plain.d);
            EXPECT_TRUE(allSame) << "block " << block;
          }
        }
      }
    }
  }
}

// A 64-bit host block longer than the reserved storage runs in slices, each
// exactly as if the host had sent it as a block of its own.
TEST(EffectChannelPair, LongDoubleBlockEqualsItsSlices) {
  Quillwave whole(&NoHost), sliced(&NoHost);
  for (Quillwave* q : {&whole, &sliced}) {
    vst::AEffect* e = q->Effect();
    e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, float(kFs));
    e->dispatcher(e, vst::effSetBlockSize, 0, 256, nullptr, 0.0f);
    e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    e->setParameter(e, Quillwave::kFilterMode, 1.0f);
  }
  const int slice = whole.SliceFrames();
  ASSERT_GE(slice, 256);
  ASSERT_EQ(slice, sliced.SliceFrames());
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
  Quillwave q(&NoHost);
  vst::AEffect* e = q.Effect();
  e->dispatcher(e, vst::effSetBlockSize, 0, 25000000, nullptr, 0.0f);
  EXPECT_LE(q.SliceFrames(), 65536);
  EXPECT_GE(q.SliceFrames(), 4096);
}
