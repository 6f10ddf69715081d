// The exported entry points and a fresh instance record.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "HostTestSupport.h"

using namespace qwtest;

TEST(Entry, LibraryLoadsAndExportsBothEntryPoints) {
  TestHost& host = SharedHost();
  ASSERT_TRUE(host.Loaded()) << host.Error();
  EXPECT_NE(host.Symbol("VSTPluginMain"), nullptr);
  EXPECT_NE(host.Symbol("main"), nullptr);
}

TEST(Entry, FreshRecordHoldsTheIdentityAndCounts) {
  TestHost& host = SharedHost();
  host.ClearCalls();
  Instance a(host);
  ASSERT_TRUE(a);
  // Creation makes no call into the host.
  EXPECT_TRUE(host.Calls().empty());
  vst::AEffect* e = a.Effect();
  EXPECT_EQ(e->magic, 0x56737450);
  EXPECT_EQ(e->numPrograms, kPresets);
  EXPECT_EQ(e->numParams, kParams);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  // CanReplacing | CanDoubleReplacing | CanMono | HasEditor.
  EXPECT_EQ(e->flags, 0x1019);
  EXPECT_EQ(e->initialDelay, 0);
  EXPECT_EQ(e->version, 10000);
  EXPECT_EQ(e->uniqueID, vst::FourCC('Q', 'l', 'w', 'v'));
  EXPECT_EQ(e->ioRatio, 1.0f);
  EXPECT_EQ(e->resvd1, 0);
  EXPECT_EQ(e->resvd2, 0);
  EXPECT_EQ(e->realQualities, 0);
  EXPECT_EQ(e->offQualities, 0);
  EXPECT_NE(e->object, nullptr);
  EXPECT_NE(e->dispatcher, nullptr);
  EXPECT_NE(e->process, nullptr);
  EXPECT_NE(e->processReplacing, nullptr);
  EXPECT_NE(e->processDoubleReplacing, nullptr);
  EXPECT_NE(e->setParameter, nullptr);
  EXPECT_NE(e->getParameter, nullptr);
  for (char c : e->future) EXPECT_EQ(c, 0);
}

TEST(Entry, PresetsAreNamedEmptyAndHoldTheDefaults) {
  TestHost& host = SharedHost();
  Instance a(host);
  ASSERT_TRUE(a);
  for (int p = 0; p < kPresets; ++p) {
    char name[256] = {};
    EXPECT_EQ(a.Dispatch(vst::effGetProgramNameIndexed, p, 0, name), 1);
    EXPECT_STREQ(name, "Empty");
  }
  // Change a value in preset 0, then visit every other preset: each one
  // brings back the defaults.
  a.SetParameter(0, 0.9f);
  for (int p = 1; p < kPresets; ++p) {
    a.Dispatch(vst::effSetProgram, 0, p);
    for (int i = 0; i < kParams; ++i)
      EXPECT_NEAR(a.GetParameter(i), DefaultNormalized()[i], 1e-6)
          << "preset " << p << " param " << i;
  }
}

TEST(Entry, LegacyMainTakesTheCallbackAsFullPointer) {
  TestHost& host = SharedHost();
  // The test program's callback lies above 4 GiB on both platforms, so a
  // truncated pointer could not reach it.
  EXPECT_GT(reinterpret_cast<uintptr_t>(&TestHost::Callback), uintptr_t(0xFFFFFFFFu));
  host.ClearCalls();
  Instance a(host, "main");
  ASSERT_TRUE(a);
  a.Dispatch(vst::effOpen);
  EXPECT_EQ(host.CallsOf(vst::audioMasterGetProductString, a.Effect()).size(), 1u);
}

TEST(Entry, NullCallbackStillGivesAWorkingInstance) {
  auto entry = reinterpret_cast<vst::PluginEntryProc>(SharedHost().Symbol("VSTPluginMain"));
  ASSERT_NE(entry, nullptr);
  vst::AEffect* e = entry(nullptr);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f), 0);
  e->setParameter(e, 0, 0.25f);
  EXPECT_FLOAT_EQ(e->getParameter(e, 0), 0.25f);
  e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
}

TEST(Entry, InstancesAreIndependent) {
  TestHost& host = SharedHost();
  Instance a(host), b(host);
  ASSERT_TRUE(a && b);
  EXPECT_NE(a.Effect(), b.Effect());
  EXPECT_NE(a.Effect()->object, b.Effect()->object);
  a.Start();
  b.Start();
  a.SetParameter(0, 0.1f);
  b.SetParameter(0, 0.9f);
  a.Dispatch(vst::effSetProgram, 0, 2);
  a.Dispatch(vst::effSetProgramName, 0, 0, const_cast<char*>("only a"));
  EXPECT_FLOAT_EQ(b.GetParameter(0), 0.9f);
  EXPECT_EQ(b.Dispatch(vst::effGetProgram), 0);
  EXPECT_EQ(b.Text(vst::effGetProgramName), "Empty");
  EXPECT_EQ(a.Text(vst::effGetProgramName), "only a");
  // Closing one leaves the other usable.
  a.Close();
  EXPECT_FLOAT_EQ(b.GetParameter(0), 0.9f);
}

TEST(Entry, ConcurrentCreationFromTwoThreads) {
  TestHost& host = SharedHost();
  constexpr int kEach = 20;
  std::vector<vst::AEffect*> made[2];
  auto work = [&](int t) {
    for (int i = 0; i < kEach; ++i) made[t].push_back(host.Create());
  };
  std::thread t0(work, 0), t1(work, 1);
  t0.join();
  t1.join();
  std::vector<vst::AEffect*> all;
  for (auto& v : made)
    for (vst::AEffect* e : v) {
      ASSERT_NE(e, nullptr);
      EXPECT_EQ(e->numPrograms, kPresets);
      all.push_back(e);
    }
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::unique(all.begin(), all.end()), all.end());
  for (vst::AEffect* e : all) e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
}
