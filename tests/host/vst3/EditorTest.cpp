// Quillwave.vst3's editor view in an X11 host window on a private Xvfb
// server, opened and closed the way hosts do it, with a frame that offers
// the host's run loop whose timer the test fires itself: the view's size
// and platforms, the window's pixels against the same panel drawn
// off-screen at the same values, a drag on a knob coming back as one
// gesture of edits on the thread that fires the timer, and nothing left
// behind when the view goes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "EditorHostSupport.h"
#include "PngFile.h"
#include "ProcessProbe.h"
#include "Vst3TestHost.h"
#include "X11HostDisplay.h"
#include "XvfbTestSuite.h"
#include "quillwave/Quillwave.h"
#include "snapshot/PanelSnapshot.h"

namespace qwtest {
namespace {

using namespace vst3;
using Call = ComponentHandler::Call;

constexpr int kW = 689, kH = 369;
constexpr int kMixX = 593, kMixY = 292;
// A point of the panel where no control lies.
constexpr int kRestX = 4, kRestY = 180;

void* AsParent(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

class Vst3EditorX11 : public XvfbTestSuite {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fx_.Ok()) << module_.Error();
    ASSERT_TRUE(x_.Ok());
    parent_ = x_.MakeParent(kW, kH, 20, 20);
  }
  void TearDown() override {
    if (view_) Close();
    XDestroyWindow(x_.Get(), parent_);
    x_.Sync();
    EXPECT_EQ(x_.Errors(), 0);
  }

  // The run loop's timer fires while the host waits, as the host's loop
  // would fire it.
  bool TickUntil(const std::function<bool()>& pred) {
    return WaitUntil([&] {
      frame_.FireTimers();
      return pred();
    });
  }
  // The child window of parent_ once it is viewable; 0 when none came.
  Window ViewWindow() {
    Window w = 0;
    TickUntil([&] {
      const auto children = x_.Children(parent_);
      w = children.size() == 1 ? children.front() : 0;
      return w && x_.Viewable(w);
    });
    return w;
  }
  // createView, getSize, setFrame, attached, in that order; the view's
  // window.
  Window Open() {
    view_ = fx_.Controller()->createView("editor");
    if (!view_) return 0;
    ViewRect size{};
    EXPECT_EQ(view_->getSize(&size), kResultOk);
    EXPECT_EQ(view_->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view_->setFrame(&frame_), kResultOk);
    if (view_->attached(AsParent(parent_), kPlatformTypeX11EmbedWindowID) != kResultOk) return 0;
    return ViewWindow();
  }
  // setFrame(null), removed, release; then neither a window nor a timer
  // nor a reference of the view is left.
  void Close() {
    EXPECT_EQ(view_->setFrame(nullptr), kResultOk);
    EXPECT_EQ(view_->removed(), kResultOk);
    EXPECT_EQ(view_->release(), 0u);
    view_ = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return x_.Children(parent_).empty(); }));
    EXPECT_TRUE(frame_.Timers().empty());
    EXPECT_EQ(frame_.EventHandlers(), 0);
    EXPECT_EQ(frame_.References(), 1u);
  }

  // The panel drawn off-screen at the controller's values.
  Pixels Panel() {
    PanelSnapshot panel;
    for (int32_t i = 0; i < Quillwave::kParamCount; ++i)
      panel.SetNormalized(i, float(fx_.Controller()->getParamNormalized(ParamID(i))));
    return PixelsOf(panel.Render());
  }
  // The window's pixels equal want once the pointer rests off every knob
  // and the editor has redrawn; on failure both pictures are written beside
  // the program.
  ::testing::AssertionResult Shows(Window w, const Pixels& want, const std::string& name) {
    x_.MovePointer(w, kRestX, kRestY);
    Pixels shown;
    Difference d;
    WaitUntil(
        [&] {
          frame_.FireTimers();
          shown = x_.Pixels(w, 0, 0, kW, kH);
          d = Compare(shown, want, kW);
          return d.count == 0;
        },
        5000);
    if (d.count == 0) return ::testing::AssertionSuccess();
    WritePng("vst3-shown-" + name + ".png", shown, kW, kH);
    WritePng("vst3-wanted-" + name + ".png", want, kW, kH);
    return ::testing::AssertionFailure() << d.count << " pixels differ, the first at (" << d.x
                                         << ", " << d.y << "); see vst3-shown-" << name << ".png";
  }
  void Set(int32_t id, double value) {
    ASSERT_EQ(fx_.Controller()->setParamNormalized(ParamID(id), value), kResultOk);
  }

  Vst3Module module_;
  Vst3Instance fx_{module_};
  HostDisplay x_;
  HostFrame frame_;
  Window parent_ = 0;
  IPlugView* view_ = nullptr;
};

TEST_F(Vst3EditorX11, TheViewDescribesItselfBeforeItOpens) {
  IEditController* c = fx_.Controller();
  EXPECT_EQ(c->createView("preferences"), nullptr);
  EXPECT_EQ(c->createView(nullptr), nullptr);
  IPlugView* view = c->createView("editor");
  ASSERT_NE(view, nullptr);
  ViewRect size{-1, -1, -1, -1};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.top, 0);
  EXPECT_EQ(size.right, kW);
  EXPECT_EQ(size.bottom, kH);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
  // A fixed size: whatever the host proposes becomes the view's own.
  EXPECT_EQ(view->canResize(), kResultFalse);
  ViewRect proposed{10, 20, 300, 200};
  ASSERT_EQ(view->checkSizeConstraint(&proposed), kResultOk);
  EXPECT_EQ(proposed.right - proposed.left, kW);
  EXPECT_EQ(proposed.bottom - proposed.top, kH);
  // A window the view cannot use is refused.
  EXPECT_NE(view->attached(AsParent(parent_), kPlatformTypeHWND), kResultOk);
  EXPECT_TRUE(x_.Children(parent_).empty());
  EXPECT_EQ(view->release(), 0u);
}

// The panel embeds in the host's window at its size and shows the values
// the host set, before it opened and while it is open, as the panel shows
// the same values anywhere; the host's values are not reported back.
TEST_F(Vst3EditorX11, ShowsTheHostsValuesAsThePanelDoes) {
  Set(Quillwave::kFilterMode, 1.0);
  Set(Quillwave::kTempoSync, 1.0);
  Set(Quillwave::kNote, 0.5);
  Set(Quillwave::kPrefix, 1.0);
  Set(Quillwave::kCutoff1, 0.125);
  Set(Quillwave::kCutoff2, 0.875);
  const int threadsBefore = ProcessHoldings::Now().threads;
  const Window w = Open();
  ASSERT_NE(w, 0u);
  EXPECT_EQ(x_.Children(parent_), std::vector<Window>{w});
  // The window's descriptor and one timer on the host's loop, at a pace for
  // a user interface; no thread of the editor's own.
  const auto timers = frame_.Timers();
  ASSERT_EQ(timers.size(), 1u);
  EXPECT_GE(timers[0].milliseconds, 1u);
  EXPECT_LE(timers[0].milliseconds, 100u);
  EXPECT_EQ(frame_.EventHandlers(), 1);
  EXPECT_EQ(ProcessHoldings::Now().threads, threadsBefore);
  EXPECT_TRUE(Shows(w, Panel(), "before"));

  Set(Quillwave::kMix, 0.75);
  Set(Quillwave::kResonance, 0.625);
  Set(Quillwave::kShape, 0.75);
  Set(Quillwave::kMode, 1.0);
  Set(Quillwave::kFilterMode, 0.5);
  EXPECT_TRUE(Shows(w, Panel(), "while-open"));
  EXPECT_TRUE(fx_.Handler().Calls().empty());
}

// A drag on Mix reaches the host as one gesture for id 0: beginEdit,
// performEdit rising with the drag, endEdit, all from the run loop's timer
// on the thread that fires it; the controller has the last value at once.
TEST_F(Vst3EditorX11, ADragIsOneGestureFromTheHostsLoop) {
  Set(Quillwave::kMix, 0.25);
  const Window w = Open();
  ASSERT_NE(w, 0u);
  fx_.Handler().Clear();
  x_.MovePointer(w, kMixX, kMixY);
  x_.Button(1, true);
  for (int i = 1; i <= 30; ++i) {
    x_.MovePointer(w, kMixX, kMixY - i);
    frame_.FireTimers();
  }
  x_.Button(1, false);
  ASSERT_TRUE(TickUntil([&] {
    const auto calls = fx_.Handler().Calls();
    return !calls.empty() && calls.back().kind == Call::kEnd;
  }));
  const auto calls = fx_.Handler().Calls();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front().kind, Call::kBegin);
  double last = 0.25;
  for (size_t i = 1; i + 1 < calls.size(); ++i) {
    EXPECT_EQ(calls[i].kind, Call::kPerform) << i;
    EXPECT_GE(calls[i].value, last) << i;
    last = calls[i].value;
  }
  EXPECT_GT(last, 0.3);
  EXPECT_LE(last, 1.0);
  for (const Call& c : calls) {
    EXPECT_EQ(c.id, ParamID(Quillwave::kMix));
    EXPECT_EQ(c.thread, std::this_thread::get_id());
  }
  EXPECT_DOUBLE_EQ(fx_.Controller()->getParamNormalized(Quillwave::kMix), last);
}

// Hosts that hand over the frame after attaching, and remove the view
// before taking the frame back: the timer starts with the frame and ends
// with the view.
TEST_F(Vst3EditorX11, AFrameAfterAttachingStartsTheTimer) {
  view_ = fx_.Controller()->createView("editor");
  ASSERT_NE(view_, nullptr);
  ASSERT_EQ(view_->attached(AsParent(parent_), kPlatformTypeX11EmbedWindowID), kResultOk);
  ASSERT_NE(ViewWindow(), 0u);
  EXPECT_EQ(frame_.TimerRegistrations(), 0);
  ASSERT_EQ(view_->setFrame(&frame_), kResultOk);
  EXPECT_EQ(frame_.Timers().size(), 1u);
  EXPECT_EQ(view_->removed(), kResultOk);
  EXPECT_TRUE(frame_.Timers().empty());
  EXPECT_TRUE(WaitUntil([&] { return x_.Children(parent_).empty(); }));
  EXPECT_EQ(view_->setFrame(nullptr), kResultOk);
  EXPECT_EQ(view_->release(), 0u);
  view_ = nullptr;
  EXPECT_EQ(frame_.References(), 1u);
  EXPECT_EQ(frame_.TimerRegistrations(), 1);
}

}  // namespace
}  // namespace qwtest
