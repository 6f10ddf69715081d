// A Windows host opening a plug-in's editor through the dispatcher in its
// own top-level window under Wine: the editor requests, input turned into
// the host's begin-edit / automate / end-edit calls, two editors at once,
// pixels against the headless editor, and many open/close cycles while
// another thread processes audio and automates parameters.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "HostWindow.h"
#include "TestHost.h"
#include "WinEditorFixture.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "raster/SysBitmap.h"

using namespace qwtest;

namespace {

constexpr int kW = WinTestPanel::kWidth, kH = WinTestPanel::kHeight;
constexpr int kKnobCX = WinTestPanel::kKnobX + 55, kKnobCY = WinTestPanel::kKnobY + 55;
constexpr const char* kClass = "QuillwaveWndClass";

std::string EditorPluginPath() { return QW_EDITOR_PLUGIN_PATH; }

HWND EditorIn(HWND parent) { return FindWindowExA(parent, nullptr, kClass, nullptr); }

// Busy bytes in every heap of the process (what stays allocated).
std::size_t HeapBytesInUse() {
  HANDLE heaps[64];
  const DWORD n = GetProcessHeaps(64, heaps);
  std::size_t total = 0;
  for (DWORD i = 0; i < n && i < 64; ++i) {
    PROCESS_HEAP_ENTRY e = {};
    HeapLock(heaps[i]);
    while (HeapWalk(heaps[i], &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += e.cbData;
    HeapUnlock(heaps[i]);
  }
  return total;
}

// The same panel with the same values, drawn by the headless editor.
std::vector<std::uint32_t> HeadlessSnapshot(double mix, double mode) {
  WinTestEffect fx;
  auto* g = new IGraphicsHeadless(&fx, kW, kH, 25);
  WinTestPanel::Build(fx, g);
  g->PushParameterToControls(WinTestEffect::kMix, mix, false);
  g->PushParameterToControls(WinTestEffect::kMode, mode, false);
  g->Tick();
  const raster::SysBitmap* s = g->Surface();
  std::vector<std::uint32_t> out(std::size_t(kW) * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      out[std::size_t(y) * kW + std::size_t(x)] =
          s->GetBits()[std::size_t(y) * std::size_t(s->GetRowSpan()) + std::size_t(x)] |
          0xFF000000u;
  return out;
}

int Differences(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) n += a[i] != b[i];
  return n + int(a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

struct EditorHost : ::testing::Test {
  TestHost host{EditorPluginPath()};
  HostWindow window{kW, kH};

  void SetUp() override { ASSERT_TRUE(host.Loaded()) << host.Error(); }

  // effEditGetRect and effEditOpen as a host does them; the editor window.
  HWND Open(Instance& fx, HostWindow& into) {
    vst::ERect* rect = nullptr;
    EXPECT_EQ(fx.Dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    EXPECT_NE(rect, nullptr);
    if (rect) {
      EXPECT_EQ(rect->right - rect->left, kW);
      EXPECT_EQ(rect->bottom - rect->top, kH);
    }
    EXPECT_EQ(fx.Dispatch(vst::effEditOpen, 0, 0, into.Handle()), 1);
    EXPECT_EQ(fx.Dispatch(vst::effEditIdle), 0);
    Pump(150);
    return EditorIn(into.Handle());
  }
  int CountOf(int32_t opcode, int32_t index) {
    int n = 0;
    for (const HostCall& c : host.CallsOf(opcode))
      n += c.index == index;
    return n;
  }
};

TEST_F(EditorHost, DispatcherOpensIdlesAndClosesTheEditor) {
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(GetParent(editor), window.Handle());
  WNDCLASSA wc;
  HMODULE library = GetModuleHandleA(EditorPluginPath().c_str());
  ASSERT_NE(library, nullptr);
  // The class belongs to the plug-in library, not to the host.
  EXPECT_TRUE(GetClassInfoA(library, kClass, &wc));
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), kClass, &wc));
  EXPECT_EQ(Differences(ReadPixels(editor, kW, kH), HeadlessSnapshot(0.5, 0)), 0);

  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(EditorIn(window.Handle()), nullptr);
  EXPECT_FALSE(GetClassInfoA(library, kClass, &wc));
}

TEST_F(EditorHost, InputBecomesTheHostsEditCalls) {
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);
  host.ClearCalls();

  // 36 pixels up on the 110-pixel knob at gearing 4.
  Drag(editor, kKnobCX, kKnobCY, 0, -36, 3);
  const double expected = 0.5 + 36.0 / 110.0 / 4.0;
  EXPECT_NEAR(fx.GetParameter(WinTestEffect::kMix), expected, 1e-6);
  auto calls = host.Calls();
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(calls.front().opcode, vst::audioMasterBeginEdit);
  EXPECT_EQ(calls.front().index, WinTestEffect::kMix);
  EXPECT_EQ(calls.back().opcode, vst::audioMasterEndEdit);
  EXPECT_EQ(calls.back().index, WinTestEffect::kMix);
  const auto automated = host.CallsOf(vst::audioMasterAutomate);
  ASSERT_EQ(automated.size(), 3u);
  EXPECT_NEAR(automated.back().opt, expected, 1e-6);

  // Wheel and double click.
  host.ClearCalls();
  Wheel(editor, kKnobCX, kKnobCY, -360);
  EXPECT_NEAR(fx.GetParameter(WinTestEffect::kMix), expected - 0.03, 1e-6);
  DoubleClick(editor, kKnobCX, kKnobCY);
  EXPECT_NEAR(fx.GetParameter(WinTestEffect::kMix), 0.5, 1e-6);
  EXPECT_NEAR(host.CallsOf(vst::audioMasterAutomate).back().opt, 0.5, 1e-6);
  EXPECT_EQ(CountOf(vst::audioMasterBeginEdit, 0), CountOf(vst::audioMasterEndEdit, 0));

  // Radio clicks: the overlap goes to the earlier button.
  const IRect r = WinTestPanel::kRadio;
  struct Row {
    int x;
    float normalized;
  };
  for (const Row& row : {Row{70, 1.0f}, Row{26, 0.0f}, Row{50, 0.5f}, Row{54, 0.5f}}) {
    host.ClearCalls();
    Click(editor, r.left + row.x, r.top + 10);
    EXPECT_FLOAT_EQ(fx.GetParameter(WinTestEffect::kMode), row.normalized) << "x " << row.x;
    EXPECT_EQ(CountOf(vst::audioMasterBeginEdit, WinTestEffect::kMode), 1);
    EXPECT_EQ(CountOf(vst::audioMasterEndEdit, WinTestEffect::kMode), 1);
    ASSERT_FALSE(host.CallsOf(vst::audioMasterAutomate).empty());
    EXPECT_FLOAT_EQ(host.CallsOf(vst::audioMasterAutomate).back().opt, row.normalized);
  }

  // The host's own change shows at the next tick.
  fx.SetParameter(WinTestEffect::kMix, 0.25f);
  Pump(150);
  EXPECT_EQ(Differences(ReadPixels(editor, kW, kH), HeadlessSnapshot(0.25, 1)), 0);
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(EditorHost, TwoEditorsAtOnceThenOneClosedAndReopened) {
  HostWindow second(kW, kH);
  Instance a(host), b(host);
  a.Start();
  b.Start();
  a.SetParameter(WinTestEffect::kMix, 0.1f);
  b.SetParameter(WinTestEffect::kMix, 0.9f);
  HWND ea = Open(a, window), eb = Open(b, second);
  ASSERT_NE(ea, nullptr);
  ASSERT_NE(eb, nullptr);
  EXPECT_EQ(Differences(ReadPixels(ea, kW, kH), HeadlessSnapshot(0.1, 0)), 0);
  EXPECT_EQ(Differences(ReadPixels(eb, kW, kH), HeadlessSnapshot(0.9, 0)), 0);

  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  b.SetParameter(WinTestEffect::kMode, 1.0f);
  Pump(150);
  EXPECT_EQ(Differences(ReadPixels(eb, kW, kH), HeadlessSnapshot(0.9, 2)), 0);

  ea = Open(a, window);
  ASSERT_NE(ea, nullptr);
  a.SetParameter(WinTestEffect::kMix, 0.7f);
  Pump(150);
  EXPECT_EQ(Differences(ReadPixels(ea, kW, kH), HeadlessSnapshot(0.7, 0)), 0);
  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  EXPECT_EQ(b.Dispatch(vst::effEditClose), 1);
  WNDCLASSA wc;
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(EditorPluginPath().c_str()), kClass, &wc));
}

TEST_F(EditorHost, HundredOpenCloseCyclesWhileAudioRuns) {
  Instance fx(host);
  fx.Start(44100.0f, 256);
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    std::vector<std::vector<float>> in(2, std::vector<float>(256, 0.25f)), out = in;
    for (unsigned i = 0; !stop.load(); ++i) {
      fx.ProcessReplacing(in, out, 256);
      fx.SetParameter(WinTestEffect::kMix, float(i % 100) / 100.0f);
      fx.SetParameter(WinTestEffect::kMode, float(i % 3) / 2.0f);
      blocks.fetch_add(1);
      Sleep(1);
    }
  });

  std::size_t heapAfterWarmUp = 0;
  for (int cycle = 0; cycle < 100; ++cycle) {
    ASSERT_EQ(fx.Dispatch(vst::effEditOpen, 0, 0, window.Handle()), 1) << "cycle " << cycle;
    HWND editor = EditorIn(window.Handle());
    ASSERT_NE(editor, nullptr);
    Pump(cycle % 10 == 0 ? 90 : 45);  // at least one redraw tick
    if (cycle % 7 == 0) Drag(editor, kKnobCX, kKnobCY, 0, -10, 2);
    ASSERT_EQ(fx.Dispatch(vst::effEditClose), 1);
    ASSERT_FALSE(IsWindow(editor));
    Pump(0);
    if (cycle == 9) heapAfterWarmUp = HeapBytesInUse();
  }
  stop = true;
  audio.join();
  Pump(50);
  const std::size_t heapAtEnd = HeapBytesInUse();
  EXPECT_GT(blocks.load(), 100);
  ASSERT_GT(heapAfterWarmUp, 0u);
  EXPECT_EQ(EditorIn(window.Handle()), nullptr);
  WNDCLASSA wc;
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(EditorPluginPath().c_str()), kClass, &wc));
  // Ninety more cycles leave no more than a few kilobytes of heap behind
  // (a leak of one window's worth per cycle would be far more).
  EXPECT_LT(heapAtEnd, heapAfterWarmUp + 16 * 1024)
      << "heap after 10 cycles " << heapAfterWarmUp << ", after 100 " << heapAtEnd;
}

}  // namespace
