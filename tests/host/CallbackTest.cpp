// The process and parameter callbacks through the AEffect record.
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#define QW_HAVE_MXCSR 1
#endif

#include "HostTestSupport.h"

using namespace qwtest;

namespace {

// An opened instance with the effect bypassed, so its output is the input
// whatever sound the effect makes otherwise.
class Callbacks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(a);
    a.Start(44100.0f, 1024);
    a.SetParameter(kBypass, 1.0f);
  }
  TestHost& host = SharedHost();
  Instance a{host};
};

}  // namespace

TEST_F(Callbacks, ReplacingReturnsTheInputExactly) {
  auto in = Signal(2, 1024, 0.3f);
  std::vector<std::vector<float>> out(2, std::vector<float>(1024, 7.0f));
  a.ProcessReplacing(in, out, 1024);
  EXPECT_EQ(out, in);
  // A shorter block too.
  std::vector<std::vector<float>> shortOut(2, std::vector<float>(1024, 7.0f));
  a.ProcessReplacing(in, shortOut, 100);
  for (int c = 0; c < 2; ++c) {
    EXPECT_TRUE(std::equal(in[c].begin(), in[c].begin() + 100, shortOut[c].begin()));
    EXPECT_EQ(shortOut[c][100], 7.0f);  // nothing written past the frames asked for
  }
}

TEST_F(Callbacks, AccumulatingAddsToTheOutput) {
  auto in = Signal(2, 512, 1.1f);
  std::vector<std::vector<float>> out(2, std::vector<float>(512, 0.25f));
  a.ProcessAccumulating(in, out, 512);
  for (int c = 0; c < 2; ++c)
    for (int f = 0; f < 512; ++f) ASSERT_FLOAT_EQ(out[c][f], 0.25f + in[c][f]);
}

TEST_F(Callbacks, DoubleReplacingWorksInTheHostBuffers) {
  std::vector<std::vector<double>> in(2, std::vector<double>(3000));
  for (int c = 0; c < 2; ++c)
    for (int f = 0; f < 3000; ++f) in[c][f] = std::cos(0.001 * f + c) * 0.9;
  std::vector<std::vector<double>> out(2, std::vector<double>(3000, 5.0));
  // Longer than the block size: the 64-bit path has no such limit.
  a.ProcessDouble(in, out, 3000);
  EXPECT_EQ(out, in);
}

TEST_F(Callbacks, LongerThanTheBlockIsProcessedInSlices) {
  a.Dispatch(vst::effSetBlockSize, 0, 64);
  auto in = Signal(2, 1000, 2.0f);
  std::vector<std::vector<float>> out(2, std::vector<float>(1000, 9.0f));
  a.ProcessReplacing(in, out, 1000);
  EXPECT_EQ(out, in);
  std::vector<std::vector<float>> acc(2, std::vector<float>(1000, 1.0f));
  a.ProcessAccumulating(in, acc, 1000);
  for (int c = 0; c < 2; ++c)
    for (int f = 0; f < 1000; ++f) ASSERT_FLOAT_EQ(acc[c][f], 1.0f + in[c][f]);
}

TEST_F(Callbacks, HugeBlockSizeStillProcessesWholeBlocks) {
  // The scratch buffers of a 2^31 - 1 or 25-million-frame block size are
  // bounded; a call longer than them is processed whole, in slices.
  for (vst::VstIntPtr size : {vst::VstIntPtr(0x7FFFFFFF), vst::VstIntPtr(25000000)}) {
    a.Dispatch(vst::effSetBlockSize, 0, size);
    auto in = Signal(2, 70000, 0.4f);
    std::vector<std::vector<float>> out(2, std::vector<float>(70000, 9.0f));
    a.ProcessReplacing(in, out, 70000);
    EXPECT_EQ(out, in);
  }
}

TEST_F(Callbacks, ZeroBlockSizeGivesSilenceNotGarbage) {
  a.Dispatch(vst::effSetBlockSize, 0, 0);
  auto in = Signal(2, 256, 0.7f);
  std::vector<std::vector<float>> out(2, std::vector<float>(256, 3.0f));
  a.ProcessReplacing(in, out, 256);
  for (auto& c : out)
    for (float v : c) ASSERT_EQ(v, 0.0f);
  a.ProcessReplacing(in, out, 0);
  a.ProcessReplacing(in, out, -5);
}

TEST_F(Callbacks, MonoInputArrangementUsesOnlyTheFirstHostInput) {
  vst::VstSpeakerArrangement mono{};
  mono.type = vst::kSpeakerArrMono;
  mono.numChannels = 1;
  a.Dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<vst::VstIntPtr>(&mono), nullptr);
  // Exactly one input pointer: reading a second one would run past the array.
  std::vector<std::vector<double>> in(1, std::vector<double>(256, 0.5));
  std::vector<std::vector<double>> out(2, std::vector<double>(256, 4.0));
  a.ProcessDouble(in, out, 256);
  for (int f = 0; f < 256; ++f) {
    ASSERT_EQ(out[0][f], 0.5);
    ASSERT_EQ(out[1][f], 0.0);  // the second binding reads its own (zeroed) buffer
  }
  std::vector<std::vector<float>> fin(1, std::vector<float>(256, 0.25f));
  std::vector<std::vector<float>> fout(2, std::vector<float>(256, 4.0f));
  a.ProcessReplacing(fin, fout, 256);
  for (int f = 0; f < 256; ++f) {
    ASSERT_EQ(fout[0][f], 0.25f);
    ASSERT_EQ(fout[1][f], 0.0f);
  }
}

TEST_F(Callbacks, UnconnectedChannelsFollowTheBlockSize) {
  // Hosts often announce the arrangement before the block size. The channels
  // the host left out then work on buffers of the new size, and a 64-bit
  // block longer than that size touches nothing beyond them.
  vst::VstSpeakerArrangement mono{};
  mono.type = vst::kSpeakerArrMono;
  mono.numChannels = 1;
  a.Dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<vst::VstIntPtr>(&mono), &mono);
  a.Dispatch(vst::effSetBlockSize, 0, 8192);
  std::vector<std::vector<double>> in(1, std::vector<double>(8192, 0.5));
  std::vector<std::vector<double>> out(1, std::vector<double>(8192, 4.0));
  a.ProcessDouble(in, out, 8192);
  EXPECT_EQ(out, in);
  std::vector<std::vector<float>> fin(1, std::vector<float>(8192, 0.25f));
  std::vector<std::vector<float>> fout(1, std::vector<float>(8192, 4.0f));
  a.ProcessReplacing(fin, fout, 8192);
  EXPECT_EQ(fout, fin);

  a.Dispatch(vst::effSetBlockSize, 0, 100);
  std::vector<std::vector<double>> longIn(1, std::vector<double>(3000));
  for (int f = 0; f < 3000; ++f) longIn[0][f] = std::sin(0.01 * f);
  std::vector<std::vector<double>> longOut(1, std::vector<double>(3000, 4.0));
  a.ProcessDouble(longIn, longOut, 3000);
  EXPECT_EQ(longOut, longIn);

  // With no scratch room at all the left-out channels are skipped.
  a.Dispatch(vst::effSetBlockSize, 0, 0);
  std::vector<std::vector<double>> zeroOut(1, std::vector<double>(3000, 4.0));
  a.ProcessDouble(longIn, zeroOut, 3000);
  EXPECT_EQ(zeroOut, longIn);
}

#ifdef QW_HAVE_MXCSR
TEST_F(Callbacks, DenormalsAreFlushedAndTheHostModeRestored) {
  // Control bits only: the exception flags are sticky status the test's own
  // arithmetic may raise.
  auto mode = [] { return _mm_getcsr() & ~0x3Fu; };
  const unsigned hostMode = mode();
  ASSERT_EQ(hostMode & 0x8040u, 0u) << "test assumes the default mode";
  const float tiny = std::numeric_limits<float>::denorm_min() * 64;
  ASSERT_NE(tiny, 0.0f);
  std::vector<std::vector<float>> in(2, std::vector<float>(64, tiny));
  std::vector<std::vector<float>> out(2, std::vector<float>(64, 1.0f));
  a.ProcessReplacing(in, out, 64);
  EXPECT_EQ(out[0][0], 0.0f);
  EXPECT_EQ(out[1][63], 0.0f);
  EXPECT_EQ(mode(), hostMode);
  std::vector<std::vector<double>> din(2, std::vector<double>(64, 1.0));
  std::vector<std::vector<double>> dout(2, std::vector<double>(64));
  a.ProcessDouble(din, dout, 64);
  a.ProcessAccumulating(in, out, 64);
  EXPECT_EQ(mode(), hostMode);
}
#endif

TEST_F(Callbacks, ParametersSetAndGet) {
  a.SetParameter(0, 0.3f);
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.3f);
  a.SetParameter(3, 0.75f);
  EXPECT_FLOAT_EQ(a.GetParameter(3), 0.75f);
  // Integer parameters snap to their steps.
  a.SetParameter(13, 0.4f);
  EXPECT_FLOAT_EQ(a.GetParameter(13), 0.5f);
  EXPECT_EQ(a.GetParameter(14), 0.0f);
  EXPECT_EQ(a.GetParameter(-1), 0.0f);
  a.SetParameter(14, 0.5f);
  a.SetParameter(-1, 0.5f);
  // Not a number, or infinite: ignored.
  a.SetParameter(0, std::numeric_limits<float>::quiet_NaN());
  a.SetParameter(0, std::numeric_limits<float>::infinity());
  a.SetParameter(0, -std::numeric_limits<float>::infinity());
  EXPECT_FLOAT_EQ(a.GetParameter(0), 0.3f);
  // Host-set values are not reported back.
  EXPECT_TRUE(host.CallsOf(vst::audioMasterAutomate, a.Effect()).empty());
}

TEST_F(Callbacks, ValuesOutsideTheNormalisedRangeAreTakenAtItsEnds) {
  // Below 0 the parameter would fall under its minimum, where a saved
  // state could not bring it back; the state read back must be the state.
  const struct {
    int index;
    float sent, kept;
  } cases[] = {{12, -0.5f, 0.0f}, {1, -1e30f, 0.0f}, {0, 1.75f, 1.0f}, {11, 3e20f, 1.0f}};
  for (const auto& c : cases) {
    a.SetParameter(c.index, c.sent);
    EXPECT_EQ(a.GetParameter(c.index), c.kept) << c.index;
    const std::vector<uint8_t> saved = a.GetChunk(false);
    ASSERT_EQ(a.SetChunk(saved, false), 1);
    EXPECT_EQ(a.GetChunk(false), saved) << c.index;
  }
}

TEST_F(Callbacks, TwoThreadsAtOnce) {
  // Audio on one thread, parameter and dispatcher traffic on another; every
  // block still comes out whole and unchanged, every parameter read is one
  // of the values written.
  std::atomic<bool> stop{false};
  std::atomic<int> badBlocks{0};
  std::thread audio([&] {
    auto in = Signal(2, 512, 0.9f);
    std::vector<std::vector<float>> out(2, std::vector<float>(512));
    std::vector<std::vector<double>> din(2, std::vector<double>(512, 0.125));
    std::vector<std::vector<double>> dout(2, std::vector<double>(512));
    for (int i = 0; i < 300 && !stop; ++i) {
      a.ProcessReplacing(in, out, 512);
      if (out != in) ++badBlocks;
      a.ProcessDouble(din, dout, 512);
      if (dout != din) ++badBlocks;
    }
  });
  int badReads = 0;
  for (int i = 0; i < 300; ++i) {
    const float v = (i % 2) ? 0.2f : 0.6f;
    a.SetParameter(0, v);
    const float back = a.GetParameter(0);
    if (back != 0.2f && back != 0.6f) ++badReads;
    a.SetParameter(10, v);
    a.Text(vst::effGetParamDisplay, 0);
    if (i % 50 == 0) a.GetChunk(true);
  }
  stop = true;
  audio.join();
  EXPECT_EQ(badBlocks.load(), 0);
  EXPECT_EQ(badReads, 0);
}

TEST_F(Callbacks, TwoInstancesOnTwoThreads) {
  Instance b(host);
  b.Start(48000.0f, 256);
  b.SetParameter(kBypass, 1.0f);
  std::atomic<int> bad{0};
  auto run = [&](Instance& x, float seed) {
    auto in = Signal(2, 700, seed);
    std::vector<std::vector<float>> out(2, std::vector<float>(700));
    for (int i = 0; i < 200; ++i) {
      x.ProcessReplacing(in, out, 700);
      if (out != in) ++bad;
      x.SetParameter(0, 0.01f * (i % 100));
    }
  };
  std::thread t0(run, std::ref(a), 0.1f), t1(run, std::ref(b), 2.3f);
  t0.join();
  t1.join();
  EXPECT_EQ(bad.load(), 0);
}
