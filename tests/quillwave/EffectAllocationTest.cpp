// The audio path allocates nothing once the first block has run: every
// operator new in this program is counted while process calls run.
#include <gtest/gtest.h>

#include <vector>

#include "AllocationCounter.h"
#include "editor/IGraphics.h"
#include "HostedQuillwave.h"
#include "quillwave/Quillwave.h"

using testsupport::AllocationCounter;

namespace {
vst::VstTimeInfo g_time{};

vst::VstIntPtr HostCallback(vst::AEffect*, vst::VstInt32 opcode, vst::VstInt32, vst::VstIntPtr,
                            void*, float) {
  if (opcode == vst::audioMasterGetTime) return reinterpret_cast<vst::VstIntPtr>(&g_time);
  return 0;
}
}  // namespace

TEST(EffectAudioPath, AllocatesNothingAfterTheFirstBlock) {
  HostedQuillwave qHost(&HostCallback);
  vst::AEffect* e = qHost.Effect();
  e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
  e->dispatcher(e, vst::effSetBlockSize, 0, 512, nullptr, 0.0f);
  e->dispatcher(e, vst::effMainsChanged, 0, 1, nullptr, 0.0f);

  std::vector<double> d0(512, 0.25), d1(512, -0.25), o0(512), o1(512);
  std::vector<float> f0(2000, 0.5f), f1(2000, -0.5f), g0(2000), g1(2000);
  double* din[2] = {d0.data(), d1.data()};
  double* dout[2] = {o0.data(), o1.data()};
  float* fin[2] = {f0.data(), f1.data()};
  float* fout[2] = {g0.data(), g1.data()};
  // Longer than the announced 512 frames and than any storage reserved up
  // front: the 64-bit callback hands such blocks to the effect unsliced.
  std::vector<double> l0(20000, 0.125), l1(20000, -0.125), m0(20000), m1(20000);
  double* lin[2] = {l0.data(), l1.data()};
  double* lout[2] = {m0.data(), m1.data()};
  e->processDoubleReplacing(e, din, dout, 512);

  g_time.tempo = 128.0;
  g_time.sampleRate = 48000.0;
  g_time.flags =
      vst::kVstTempoValid | vst::kVstPpqPosValid | vst::kVstBarsValid | vst::kVstTransportPlaying;
  long total = 0;
  for (int setting = 0; setting < 6; ++setting) {
    e->setParameter(e, Quillwave::kFilterMode, float(setting % 3) / 2.0f);
    e->setParameter(e, Quillwave::kMode, float(setting % 2));
    e->setParameter(e, Quillwave::kTempoSync, setting >= 3 ? 1.0f : 0.0f);
    e->setParameter(e, Quillwave::kShape, float(setting) / 5.0f);
    AllocationCounter allocations;
    for (int block = 0; block < 300; ++block) {
      const int frames = block % 3 == 0 ? 512 : (block % 3 == 1 ? 100 : 1);
      g_time.samplePos += frames;
      g_time.ppqPos += frames / 48000.0 * 128.0 / 60.0;
      // Automation between blocks starts ramps and crossfades.
      if (block % 7 == 0) {
        e->setParameter(e, Quillwave::kMix, float(block % 5) / 4.0f);
        e->setParameter(e, Quillwave::kCutoff1, float(block % 3) / 2.0f);
        e->setParameter(e, Quillwave::kResonance, float(block % 4) / 3.0f);
      }
      if (block % 11 == 0) e->setParameter(e, Quillwave::kOnOff, float(block % 2));
      if (block % 13 == 0) e->setParameter(e, Quillwave::kMode, float(block % 2));
      e->processDoubleReplacing(e, din, dout, frames);
      e->processReplacing(e, fin, fout, block % 2 ? 2000 : 333);  // sliced by the adapter
      if (block % 50 == 0) e->processDoubleReplacing(e, lin, lout, block % 100 ? 20000 : 4097);
    }
    allocations.Stop();
    EXPECT_EQ(allocations.Count(), 0) << "setting " << setting;
    total += allocations.Count();
  }
  EXPECT_EQ(total, 0);
  // The counter does count: an allocation in the window is seen.
  AllocationCounter probing;
  auto* probe = new std::vector<int>(10);
  probing.Stop();
  delete probe;
  EXPECT_GE(probing.Count(), 1);
}

// The open editor draws, follows automation and takes the mouse without
// allocating once it has drawn itself once (images and fonts loaded).
TEST(EditorDrawing, AllocatesNothingAfterTheFirstRedraw) {
  HostedQuillwave qHost(&HostCallback);
  Quillwave& q = qHost.Plugin();
  vst::AEffect* e = qHost.Effect();
  e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f);
  IGraphics* g = q.Graphics();
  ASSERT_NE(g, nullptr);
  const IRect all{0, 0, g->Width(), g->Height()};
  g->Redraw(all);

  AllocationCounter allocations;
  IRect area;
  const IMouseMods left{true};
  for (int round = 0; round < 20; ++round) {
    for (int p = 0; p < Quillwave::kParamCount; ++p)
      e->setParameter(e, p, float((round * 7 + p) % 11) / 10.0f);
    for (int tick = 0; tick < 3 && g->CollectDirtyArea(area); ++tick) g->Redraw(area);
    g->HandleMouseDown(593, 292, left);  // Mix
    g->HandleMouseDrag(593, 280 - round, left);
    g->HandleMouseUp(593, 280 - round, left);
    g->HandleMouseWheel(433, 71, IMouseMods{}, 1);  // Cutoff 1
    g->HandleMouseDown(40, 80, left);               // tempo sync: host
    g->HandleMouseUp(40, 80, left);
    for (int tick = 0; tick < 3 && g->CollectDirtyArea(area); ++tick) g->Redraw(area);
    g->Redraw(all);
  }
  allocations.Stop();
  EXPECT_EQ(allocations.Count(), 0);
  EXPECT_FALSE(g->CollectDirtyArea(area)) << "a control stays dirty after its redraws";
}
