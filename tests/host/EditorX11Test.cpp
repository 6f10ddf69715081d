// A plug-in's editor on X11 as a host sees it: through the exported entry
// point of a library that carries the editor tests' panel on the real
// adapter and window layer, in a parent window of a private X server,
// driven with XTest. Where a picture is checked, the expected one is the
// same plug-in built into this program and drawn by the headless editor;
// the positions of the controls come from there too.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "HostTestSupport.h"
#include "X11HostDisplay.h"
#include "XvfbTestSuite.h"
#include "XvfbServer.h"
#include "X11EditorPlugin.h"
#include "editor/IGraphics.h"
#include "editor/IRadioButtonsControl.h"
#include "editor/x11/X11Connection.h"
#include "raster/SysBitmap.h"

namespace qwtest {
namespace {

constexpr int kW = 689, kH = 369;
constexpr int kMix = X11TestPanel::kMix, kTempoSync = X11TestPanel::kSync;

// The library with the panel, loaded once.
TestHost& PanelHost() {
  static TestHost host(QW_EDITOR_PLUGIN_PATH);
  return host;
}

// The plug-in built into this program, answered by its own host: drawn
// headless it gives the expected pictures and tells where the controls
// are; on the window layer it shows this program's X error count.
class Twin {
 public:
  explicit Twin(bool headless = true)
      : adapter_(new X11EditorPlugin(&TestHost::Callback, headless)) {
    adapter_->Effect()->user = &host_;
    Dispatch(vst::effOpen);
    Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
    Dispatch(vst::effSetBlockSize, 0, 1024);
    Dispatch(vst::effMainsChanged, 0, 1);
  }
  ~Twin() { Dispatch(vst::effClose); }
  vst::VstIntPtr Dispatch(vst::VstInt32 op, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
    vst::AEffect* e = adapter_->Effect();
    return e->dispatcher(e, op, index, value, ptr, opt);
  }
  vst::AEffect* Effect() { return adapter_->Effect(); }
  IGraphics* Editor() { return dynamic_cast<IGraphics*>(adapter_->Editor()); }

  // The panel at the given plug-in's parameter values, drawn afresh.
  std::vector<std::uint32_t> PictureLike(Instance& plugin) {
    for (int i = 0; i < X11TestPanel::kParamCount; ++i)
      Effect()->setParameter(Effect(), i, plugin.GetParameter(i));
    IGraphics* g = Editor();
    g->Redraw({0, 0, kW, kH});
    const raster::SysBitmap* s = g->Surface();
    std::vector<std::uint32_t> out;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) out.push_back(s->GetBits()[y * s->GetRowSpan() + x] & 0xFFFFFF);
    return out;
  }
  // The first control bound to parameter index.
  IControl* ControlOf(int index) {
    IGraphics* g = Editor();
    for (int i = 0; g && i < g->ControlCount(); ++i)
      if (g->GetControl(i)->ParamIndex() == index) return g->GetControl(i);
    return nullptr;
  }
  TestHost& Host() { return host_; }

 private:
  TestHost host_;
  X11EditorPlugin* adapter_;  // deleted by effClose
};

class EditorX11 : public XvfbTestSuite {
 protected:
  void SetUp() override {
    ASSERT_TRUE(x_.Ok());
    ASSERT_TRUE(fx_) << PanelHost().Error();
    fx_.Start(48000.0f, 1024);
    parent_ = x_.MakeParent(kW + 20, kH + 20, 30, 30);
    PanelHost().ClearCalls();
  }
  void TearDown() override {
    fx_.CloseEditor();
    XDestroyWindow(x_.Get(), parent_);
    x_.Sync();
    EXPECT_EQ(x_.Errors(), 0);
  }

  // Opens the editor in the parent window; its window, once viewable.
  Window Open(Instance& plugin, Window parent) {
    if (!plugin.OpenEditor(reinterpret_cast<void*>(parent))) return 0;
    Window w = 0;
    WaitUntil([&] {
      const auto children = x_.Children(parent);
      w = children.empty() ? 0 : children.front();
      return w && x_.Viewable(w);
    });
    return w;
  }
  // Pixels of the window that differ from the twin's picture, once the
  // window has had time to catch up.
  int Mismatch(Window w, Instance& plugin) {
    const auto want = twin_.PictureLike(plugin);
    std::vector<std::uint32_t> got;
    WaitUntil([&] { return (got = x_.Pixels(w, 0, 0, kW, kH)) == want; }, 8000);
    if (got.size() != want.size()) return int(want.size());
    int wrong = 0;
    for (size_t i = 0; i < want.size(); ++i) wrong += got[i] != want[i];
    return wrong;
  }
  std::vector<HostCall> EditCalls(int index) {
    std::vector<HostCall> out;
    for (const HostCall& c : PanelHost().Calls())
      if (c.effect == fx_.Effect() && c.index == index &&
          (c.opcode == vst::audioMasterBeginEdit || c.opcode == vst::audioMasterAutomate ||
           c.opcode == vst::audioMasterEndEdit))
        out.push_back(c);
    return out;
  }
  IRect Centre(int index) {
    const IControl* c = twin_.ControlOf(index);
    if (!c) return {};
    const IRect& r = c->Rect();
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2, 0, 0};
  }

  HostDisplay x_;
  Instance fx_{PanelHost()};
  Window parent_ = 0;
  Twin twin_;
};

TEST_F(EditorX11, ReportsItsEditorAsOnWindows) {
  EXPECT_EQ(fx_.Effect()->flags, 0x1019);
  auto expectRect = [&](const char* when) {
    const vst::ERect r = fx_.EditorRect();
    EXPECT_EQ(r.left, 0) << when;
    EXPECT_EQ(r.top, 0) << when;
    EXPECT_EQ(r.right, kW) << when;
    EXPECT_EQ(r.bottom, kH) << when;
  };
  expectRect("before opening");
  const Window w = Open(fx_, parent_);
  ASSERT_NE(w, 0u);
  expectRect("while open");
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(x_.Get(), w, &a));
  EXPECT_EQ(a.width, kW);
  EXPECT_EQ(a.height, kH);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  fx_.CloseEditor();
  EXPECT_TRUE(x_.Children(parent_).empty());
  expectRect("after closing");
  EXPECT_EQ(fx_.Dispatch(vst::effEditIdle), 0);
}

TEST_F(EditorX11, OpeningWithoutADisplayOrAWindowFailsCleanly) {
  ASSERT_NE(Open(fx_, parent_), 0u);  // the first connection's one-time set-up
  fx_.CloseEditor();
  const ProcessResources before = ProcessResources::Now();
  Window destroyed = XCreateSimpleWindow(x_.Get(), parent_, 0, 0, 5, 5, 0, 0, 0);
  XDestroyWindow(x_.Get(), destroyed);
  x_.Sync();
  for (void* bad : {static_cast<void*>(nullptr), reinterpret_cast<void*>(destroyed),
                    reinterpret_cast<void*>(0x7ffffff)})
    EXPECT_FALSE(fx_.OpenEditor(bad)) << bad;
  const std::string display = getenv("DISPLAY");
  for (const char* none : {"", ":9999"}) {
    setenv("DISPLAY", none, 1);
    EXPECT_FALSE(fx_.OpenEditor(reinterpret_cast<void*>(parent_))) << none;
  }
  setenv("DISPLAY", display.c_str(), 1);
  fx_.CloseEditor();  // a close after a failed open is harmless
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(after.shmSegments, 0);
  EXPECT_TRUE(x_.Children(parent_).empty());
  // And a good window still works.
  EXPECT_NE(Open(fx_, parent_), 0u);
}

TEST_F(EditorX11, ShowsThePanelAndFollowsTheHost) {
  const Window w = Open(fx_, parent_);
  ASSERT_NE(w, 0u);
  EXPECT_EQ(Mismatch(w, fx_), 0);
  // Automation from the host: the knob, the tempo switch and the knobs it
  // shows and hides follow.
  fx_.SetParameter(kMix, 0.8f);
  fx_.SetParameter(kTempoSync, 1.0f);
  fx_.SetParameter(X11TestPanel::kMode, 1.0f);
  EXPECT_EQ(Mismatch(w, fx_), 0);
}

TEST_F(EditorX11, KnobDragWheelAndDoubleClick) {
  const Window w = Open(fx_, parent_);
  ASSERT_NE(w, 0u);
  const IRect c = Centre(kMix);
  ASSERT_FALSE(c.Empty());
  x_.MovePointer(w, c.left, c.top);
  x_.Button(1, true);
  for (int dy = 5; dy <= 30; dy += 5) x_.MovePointer(w, c.left, c.top - dy);
  x_.Button(1, false);
  ASSERT_TRUE(WaitUntil([&] {
    const auto calls = EditCalls(kMix);
    return !calls.empty() && calls.back().opcode == vst::audioMasterEndEdit;
  }));
  auto calls = EditCalls(kMix);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front().opcode, vst::audioMasterBeginEdit);
  for (size_t i = 1; i + 1 < calls.size(); ++i) EXPECT_EQ(calls[i].opcode, vst::audioMasterAutomate);
  const float dragged = fx_.GetParameter(kMix);
  EXPECT_GT(dragged, 0.55f);
  EXPECT_FLOAT_EQ(calls[calls.size() - 2].opt, dragged);
  EXPECT_EQ(Mismatch(w, fx_), 0);

  // One notch down.
  PanelHost().ClearCalls();
  x_.Button(5, true);
  x_.Button(5, false);
  ASSERT_TRUE(WaitUntil([&] { return !EditCalls(kMix).empty(); }));
  EXPECT_NEAR(fx_.GetParameter(kMix), dragged - 0.01f, 1e-6);
  EXPECT_EQ(EditCalls(kMix).back().opcode, vst::audioMasterAutomate);

  // A double click resets it to its default.
  PanelHost().ClearCalls();
  x_.Click(w, c.left, c.top);
  x_.Click(w, c.left, c.top);
  ASSERT_TRUE(WaitUntil([&] { return std::fabs(fx_.GetParameter(kMix) - 0.5f) < 1e-6f; }));
  EXPECT_TRUE(WaitUntil([&] {
    const auto calls = EditCalls(kMix);
    return !calls.empty() && calls.back().opcode == vst::audioMasterEndEdit;
  }));
  bool informed = false;
  for (const HostCall& call : EditCalls(kMix))
    informed = informed || (call.opcode == vst::audioMasterAutomate && call.opt == 0.5f);
  EXPECT_TRUE(informed);
  EXPECT_EQ(Mismatch(w, fx_), 0);
}

TEST_F(EditorX11, ClicksOnTheOverlappingTempoButtons) {
  const Window w = Open(fx_, parent_);
  ASSERT_NE(w, 0u);
  auto* sync = dynamic_cast<IRadioButtonsControl*>(twin_.ControlOf(kTempoSync));
  ASSERT_NE(sync, nullptr);
  ASSERT_EQ(sync->ButtonCount(), 2);
  const IRect first = sync->Button(0), second = sync->Button(1);
  const bool column = second.top > first.top;
  // Points in the second button only, in both, and in the first only.
  struct Case {
    int x, y;
    float value;
  } cases[3];
  if (column) {
    const int x = (first.left + first.right) / 2;
    ASSERT_LT(second.top, first.bottom) << "the buttons overlap";
    cases[0] = {x, second.bottom - 2, 1.0f};
    cases[1] = {x, (second.top + first.bottom) / 2, 0.0f};
    cases[2] = {x, first.top + 1, 0.0f};
  } else {
    const int y = (first.top + first.bottom) / 2;
    ASSERT_LT(second.left, first.right) << "the buttons overlap";
    cases[0] = {second.right - 2, y, 1.0f};
    cases[1] = {(second.left + first.right) / 2, y, 0.0f};
    cases[2] = {first.left + 1, y, 0.0f};
  }
  for (const Case& k : {cases[0], cases[1], cases[0], cases[2]}) {
    PanelHost().ClearCalls();
    x_.Click(w, k.x, k.y);
    ASSERT_TRUE(WaitUntil([&] {
      const auto calls = EditCalls(kTempoSync);
      return !calls.empty() && calls.back().opcode == vst::audioMasterEndEdit;
    })) << k.x << "," << k.y;
    const auto calls = EditCalls(kTempoSync);
    EXPECT_EQ(calls.front().opcode, vst::audioMasterBeginEdit);
    EXPECT_EQ(calls[1].opcode, vst::audioMasterAutomate);
    EXPECT_EQ(calls[1].opt, k.value);
    EXPECT_EQ(fx_.GetParameter(kTempoSync), k.value);
    EXPECT_EQ(Mismatch(w, fx_), 0) << k.x << "," << k.y;
  }
}

TEST_F(EditorX11, TwoInstancesWithEditorsOpenAtOnce) {
  const Window w = Open(fx_, parent_);
  ASSERT_NE(w, 0u);
  Instance other(PanelHost());
  ASSERT_TRUE(other);
  other.Start(48000.0f, 1024);
  const Window otherParent = x_.MakeParent(kW, kH, 30, 420);
  const Window w2 = Open(other, otherParent);
  ASSERT_NE(w2, 0u);
  const IRect c = Centre(kMix);
  x_.MovePointer(w2, c.left, c.top);
  for (int i = 0; i < 3; ++i) {
    x_.Button(4, true);
    x_.Button(4, false);
  }
  ASSERT_TRUE(WaitUntil([&] { return std::fabs(other.GetParameter(kMix) - 0.53f) < 1e-6f; }));
  EXPECT_EQ(fx_.GetParameter(kMix), 0.5f);
  EXPECT_EQ(Mismatch(w2, other), 0);
  EXPECT_EQ(Mismatch(w, fx_), 0);
  other.CloseEditor();
  other.Close();
  XDestroyWindow(x_.Get(), otherParent);
}

// A host's audio thread and its automation, running until stopped.
class BusyHost {
 public:
  explicit BusyHost(Instance& plugin) {
    audio_ = std::thread([this, &plugin] {
      auto in = Signal(2, 256, 0.3f), out = Signal(2, 256, 0.0f);
      while (running_) {
        plugin.ProcessReplacing(in, out, 256);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    });
    automation_ = std::thread([this, &plugin] {
      for (int i = 0; running_; ++i) {
        plugin.SetParameter(kMix, float(i % 100) / 100.0f);
        plugin.SetParameter(kTempoSync, float((i / 40) % 2));
        plugin.SetParameter(X11TestPanel::kRate, float(i % 37) / 37.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  ~BusyHost() {
    running_ = false;
    audio_.join();
    automation_.join();
  }

 private:
  std::atomic<bool> running_{true};
  std::thread audio_, automation_;
};

TEST_F(EditorX11, HundredOpenCloseCyclesWhileTheHostPlaysAndAutomates) {
  ASSERT_NE(Open(fx_, parent_), 0u);
  fx_.CloseEditor();
  const ProcessResources before = ProcessResources::Now();
  {
    BusyHost busy(fx_);
    for (int i = 0; i < 100; ++i) {
      ASSERT_TRUE(fx_.OpenEditor(reinterpret_cast<void*>(parent_))) << i;
      // Now and then long enough for ticks and drawing to run into the close.
      std::this_thread::sleep_for(std::chrono::milliseconds(i % 4 == 0 ? 60 : 3));
      fx_.CloseEditor();
    }
  }
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(after.shmSegments, 0);
  EXPECT_TRUE(after.MemoryWithin(before, 4096)) << "resident memory grew";
  EXPECT_TRUE(x_.Children(parent_).empty());
}

TEST_F(EditorX11, HundredCyclesRaiseNoXError) {
  // The same code built into this program, where its error count is seen.
  Twin windowed(false);
  const std::uint64_t errors = X11Connection::ProcessErrorCount();
  for (int i = 0; i < 100; ++i) {
    ASSERT_EQ(windowed.Dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent_)), 1)
        << i;
    if (i % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(60));
    windowed.Effect()->setParameter(windowed.Effect(), kMix, float(i % 10) / 10.0f);
    windowed.Dispatch(vst::effEditClose);
  }
  EXPECT_EQ(X11Connection::ProcessErrorCount(), errors);
  EXPECT_EQ(X11Connection::OpenCount(), 0);
}

TEST_F(EditorX11, ClosingThePlugInWithItsEditorOpen) {
  Instance other(PanelHost());
  other.Start(48000.0f, 1024);
  ASSERT_NE(Open(other, parent_), 0u);
  const ProcessResources before = ProcessResources::Now();
  other.Close();  // effClose without effEditClose
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads - 1) << "the editor's thread is gone";
  EXPECT_TRUE(x_.Children(parent_).empty());
}

}  // namespace
}  // namespace qwtest
