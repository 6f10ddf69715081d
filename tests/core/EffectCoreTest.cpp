#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

#include "TestEffect.h"

TEST(IEffectCore, IdentityAndDefaults) {
  TestEffect e;
  EXPECT_STREQ(e.EffectName(), "Quillwave");
  EXPECT_STREQ(e.VendorName(), "korvanta");
  EXPECT_STREQ(e.ProductName(), "");
  EXPECT_EQ(e.UniqueId(), 0x516C7776);  // 'Qlwv'
  EXPECT_EQ(e.ManufacturerCode(), 0x4B766E74);
  EXPECT_EQ(e.VersionWord(), 0x10000);
  EXPECT_EQ(e.HostIdentifier(), -1);
  EXPECT_EQ(e.HostInterfaceKind(), 0);
  EXPECT_EQ(e.SampleRate(), 44100.0);
  EXPECT_EQ(e.ParameterCount(), 14);
  EXPECT_EQ(e.GetParameter(14), nullptr);
  EXPECT_EQ(e.GetParameter(-1), nullptr);
  EXPECT_EQ(e.PresetCount(), 5);
  EXPECT_EQ(e.CurrentPresetIndex(), 0);
}

TEST(IEffectCore, ChannelConfigurationsAndLegalIO) {
  TestEffect e;
  ASSERT_EQ(e.ChannelIOConfigCount(), 2);
  EXPECT_EQ(e.GetChannelIOConfig(1)->inputs, 2);
  EXPECT_EQ(e.GetChannelIOConfig(1)->outputs, 2);
  ASSERT_EQ(e.InputCount(), 2);
  ASSERT_EQ(e.OutputCount(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(e.InputBinding(i)->slot, &e.InputData()[i]);
    EXPECT_EQ(e.OutputBinding(i)->slot, &e.OutputData()[i]);
    EXPECT_FALSE(e.InputBinding(i)->connected);
    EXPECT_EQ(e.InputBinding(i)->form, ChannelBinding::kInput);
    EXPECT_EQ(e.OutputBinding(i)->form, ChannelBinding::kOutput);
  }
  EXPECT_TRUE(e.LegalIO(1, -1));
  EXPECT_TRUE(e.LegalIO(2, 2));
  EXPECT_TRUE(e.LegalIO(-1, -1));
  EXPECT_FALSE(e.LegalIO(2, 1));
  EXPECT_FALSE(e.LegalIO(0, -1));
}

namespace {
struct ConfigCore : IEffectCore {
  explicit ConfigCore(const char* configs) : IEffectCore(0, 0, configs) {}
  void BeginParameterGesture(int32_t) override {}
  void InformHostOfParameter(int32_t, double) override {}
  void EndParameterGesture(int32_t) override {}
  void InformHostOfPresetChange() override {}
  int64_t HostSamplePosition() override { return 0; }
  double HostTempo() override { return 0; }
  void HostTimeSignature(int32_t&, int32_t&) override {}
  void ReadHostTime(HostTimeInfo&) override {}
  void NotifyEditorResized(int32_t, int32_t) override {}
  bool SendMidiMessage(const MidiMessage&) override { return false; }
};
}  // namespace

TEST(IEffectCore, UnreadableCountsBecomeZeroAndStillCount) {
  ConfigCore c("x-1 3-y 4-6 99999999999-2");
  ASSERT_EQ(c.ChannelIOConfigCount(), 4);
  EXPECT_EQ(c.GetChannelIOConfig(0)->inputs, 0);
  EXPECT_EQ(c.GetChannelIOConfig(0)->outputs, 0);
  EXPECT_EQ(c.GetChannelIOConfig(1)->inputs, 3);
  EXPECT_EQ(c.GetChannelIOConfig(1)->outputs, 0);
  EXPECT_TRUE(c.LegalIO(0, 0));
  EXPECT_TRUE(c.LegalIO(4, 6));
  // An absurd count is not turned into bindings the core cannot size.
  EXPECT_EQ(c.InputCount(), 0);
  EXPECT_EQ(c.OutputCount(), 6);
  EXPECT_EQ(c.ParameterCount(), 0);
  StateChunk chunk;
  EXPECT_TRUE(c.SerializeParams(chunk));
  EXPECT_TRUE(c.SerializePresets(chunk));
  EXPECT_FALSE(c.LoadPreset(0));
}

TEST(IEffectCore, BlockFramesSizeZeroedScratchBuffers) {
  TestEffect e;
  EXPECT_EQ(e.BlockSize(), 1024);
  auto allZero = [&](int frames) {
    for (int o = 0; o < 2; ++o)
      for (ChannelBinding* b : {e.InputBinding(o), e.OutputBinding(o)}) {
        if (b->ScratchFrames() != frames) return false;
        for (int i = 0; i < frames; ++i)
          if (b->Scratch()[i] != 0.0) return false;
      }
    return true;
  };
  EXPECT_TRUE(allZero(1024));
  e.OutputBinding(0)->Scratch()[5] = 1.0;
  e.SetBlockFrames(1024);  // same size: nothing happens
  EXPECT_EQ(e.OutputBinding(0)->Scratch()[5], 1.0);
  e.SetBlockFrames(256);
  EXPECT_EQ(e.BlockSize(), 256);
  EXPECT_TRUE(allZero(256));
  e.SetBlockFrames(-1);
  EXPECT_EQ(e.BlockSize(), 256);
  EXPECT_TRUE(allZero(256));
  // A host's huge block size gets buffers of a bounded length; longer
  // blocks are processed in slices of it.
  e.SetBlockFrames(25000000);
  EXPECT_EQ(e.BlockSize(), 65536);
  EXPECT_TRUE(allZero(65536));
  e.SetBlockFrames(std::numeric_limits<int32_t>::max());
  EXPECT_EQ(e.BlockSize(), 65536);
}

TEST(IEffectCore, PassThroughCopiesMatchingChannelsAndZeroesTheRest) {
  TestEffect e;
  double in0[4] = {1, 2, 3, 4}, in1[4] = {-1, -2, -3, -4};
  double out0[4] = {9, 9, 9, 9}, out1[4] = {9, 9, 9, 9};
  double* ins[2] = {in0, in1};
  double* outs[2] = {out0, out1};
  e.ProcessDoubles(ins, outs, 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(out0[i], in0[i]);
    EXPECT_EQ(out1[i], in1[i]);
  }
  // A mono block leaves the second input slot empty: that output is silent.
  double* monoIns[2] = {in0, nullptr};
  e.ProcessDoubles(monoIns, outs, 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out1[i], 0.0);

  float f0[3] = {0.5f, 0.25f, 1}, g0[3] = {}, g1[3] = {7, 7, 7};
  float* fi[2] = {f0, nullptr};
  float* fo[2] = {g0, g1};
  e.ProcessFloats(fi, fo, 3);
  EXPECT_EQ(g0[1], 0.25f);
  EXPECT_EQ(g1[2], 0.0f);
}

TEST(IEffectCore, EditorChangeSetsInformsAndReacts) {
  TestEffect e;
  e.changed.clear();
  e.SetParameterFromEditor(0, 0.25);
  EXPECT_EQ(e.Value(0), 0.25);
  // The host hears of it when the queued edits are delivered, outside the
  // lock.
  EXPECT_TRUE(e.informed.empty());
  EXPECT_TRUE(e.HostEditsPending());
  EXPECT_TRUE(e.DeliverHostEdits());
  EXPECT_FALSE(e.HostEditsPending());
  ASSERT_EQ(e.informed.size(), 1u);
  EXPECT_EQ(e.informed[0].index, 0);
  EXPECT_EQ(e.informed[0].n, 0.25);
  EXPECT_EQ(e.changed, std::vector<int32_t>{0});

  e.SetParameterFromEditor(13, 0.74);  // integer parameter rounds
  EXPECT_EQ(e.Value(13), 1.0);
  e.SetParameterFromEditor(0, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(e.Value(0), 0.25);
  e.DeliverHostEdits();
  EXPECT_EQ(e.informed.size(), 2u);  // the host never hears of it
  e.SetParameterFromEditor(99, 0.5);
  EXPECT_EQ(e.changed.size(), 2u);
}

TEST(IEffectCore, AttachEditorPushesEveryValueAndOwns) {
  int deleted = 0;
  {
    TestEffect e;
    auto* g = new FakeGraphics(&deleted);
    auto* mix = new FakeControl(0);
    auto* reso = new FakeControl(12, {3, 12, 12});
    auto* unbound = new FakeControl(-1, {1});
    g->controls = {mix, reso, unbound};
    e.AttachEditor(nullptr);
    EXPECT_EQ(e.Editor(), nullptr);
    e.AttachEditor(g);
    EXPECT_EQ(e.Editor(), g);
    EXPECT_EQ(mix->values, std::vector<double>{0.5});
    ASSERT_EQ(reso->values.size(), 1u);
    EXPECT_DOUBLE_EQ(reso->values[0], 1.0);        // 4 over 0.1..4
    EXPECT_DOUBLE_EQ(reso->linkedValues[0], 0.5);  // Phase 1.5 over 0.5..2.5
    EXPECT_DOUBLE_EQ(reso->linkedValues[1], 1.0);  // first link bound to 12 only
    EXPECT_EQ(reso->linkedValues[2], -1.0);
    EXPECT_EQ(reso->linkedCalls, 2);
    EXPECT_TRUE(unbound->values.empty());
    EXPECT_NEAR(unbound->linkedValues[0], (6 - 0.1) / 31.9, 1e-12);

    e.RefreshParameterControls();
    ASSERT_EQ(g->pushed.size(), 14u);
    EXPECT_EQ(g->pushed[1].index, 1);
    EXPECT_EQ(g->pushed[1].value, 6.0);  // real units
    EXPECT_FALSE(g->pushed[1].normalized);

    e.AttachEditor(new FakeGraphics(&deleted));  // the first one goes
    EXPECT_EQ(deleted, 1);
  }
  EXPECT_EQ(deleted, 2);
}

TEST(IEffectCore, NoEditorMeansNoControlWork) {
  TestEffect e;
  e.RefreshParameterControls();
  e.PushNormalizedToControls(0, 0.3);
  EXPECT_TRUE(e.LoadPreset(0));
}

TEST(IEffectCore, StateEqualsComparesAsSinglePrecision) {
  TestEffect e;
  std::vector<double> values(16, 0.0);
  for (int j = 0; j < 14; ++j) values[size_t(j) + 2] = e.Value(j);
  EXPECT_TRUE(e.StateEquals(values.data(), 2));
  values[2] += 0.000001;
  EXPECT_TRUE(e.StateEquals(values.data(), 2));
  values[15] += 0.001;
  EXPECT_FALSE(e.StateEquals(values.data(), 2));
  values[15] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(e.StateEquals(values.data(), 2));
}

TEST(IEffectCore, MidiIsPassedOnAndNoteNamesAreEmpty) {
  TestEffect e;
  MidiMessage m;
  m.status = 0x90;
  m.data1 = 60;
  e.ProcessMidiMessage(m);
  ASSERT_EQ(e.sentMidi.size(), 1u);
  EXPECT_EQ(e.sentMidi[0].data1, 60);
  char name[8] = "x";
  EXPECT_FALSE(e.MidiNoteName(60, name));
  EXPECT_STREQ(name, "");
  EXPECT_FALSE(e.SendSystemExclusive(SysExMessage{}));
  e.SetLatencySamples(64);
  EXPECT_EQ(e.Latency(), 64);
}

TEST(IEffectCore, LockIsReentrantAndExcludesOtherThreads) {
  TestEffect e;
  std::atomic<bool> otherHasIt{false};
  std::thread other;
  {
    IEffectCore::Hold outer(e);
    e.ParamChanged(0);  // takes the lock again on this thread
    e.Reset();
    other = std::thread([&] {
      IEffectCore::Hold hold(e);
      otherHasIt = true;
      e.SetParameterFromEditor(0, 0.75);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(otherHasIt.load());  // still blocked while we hold it
    EXPECT_EQ(e.Value(0), 0.5);
  }
  other.join();
  EXPECT_TRUE(otherHasIt.load());
  EXPECT_EQ(e.Value(0), 0.75);
}

TEST(IEffectCore, ConcurrentWritersAndReadersKeepTheStateWhole) {
  TestEffect e;
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0};
  for (int i = 0; i < 14; ++i) e.GetParameter(i)->SetClamped(e.GetParameter(i)->Min());
  std::thread writer([&] {
    for (int k = 0; k < 2000; ++k) {
      IEffectCore::Hold hold(e);
      const double v = (k % 2) ? 1.0 : 0.0;
      for (int i = 0; i < 14; ++i)
        e.GetParameter(i)->SetClamped(v ? e.GetParameter(i)->Max() : e.GetParameter(i)->Min());
    }
    stop = true;
  });
  while (!stop) {
    StateChunk c;
    e.SerializeParams(c);
    // Every value written in one hold is all-minimum or all-maximum.
    int atMax = 0;
    for (int i = 0; i < 14; ++i) {
      double v;
      c.GetDouble(&v, 8 * i);
      atMax += v == e.GetParameter(i)->Max();
    }
    if (atMax != 0 && atMax != 14) ++torn;
  }
  writer.join();
  EXPECT_EQ(torn.load(), 0);
}
