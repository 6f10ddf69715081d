// Quillwave.vst3's editor view in a Windows host's top-level window under
// Wine, opened and closed the way hosts do it, with a frame that offers no
// run loop (Windows has none): the view's size and platforms, its child
// window, the window's pixels against the same panel drawn off-screen at
// the same values, a drag on a knob coming back as one gesture of edits on
// the window's thread while the window handles the input, and nothing left
// behind when the view goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "EditorHostSupport.h"
#include "HostWindow.h"
#include "PngFile.h"
#include "Vst3TestHost.h"
#include "quillwave/Quillwave.h"
#include "snapshot/PanelSnapshot.h"

namespace qwtest {
namespace {

using namespace vst3;
using Call = ComponentHandler::Call;

constexpr int kW = 689, kH = 369;
constexpr int kMixX = 593, kMixY = 292;
constexpr const char* kEditorClass = "QuillwaveWndClass";

// The child windows of parent, in z-order.
std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND w = GetWindow(parent, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    children.push_back(w);
  return children;
}

std::string Kinds(const std::vector<Call>& calls) {
  std::string s;
  for (const Call& c : calls) s += "BPER"[c.kind];
  return s;
}

class Vst3EditorWin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fx_.Ok()) << module_.Error();
    ASSERT_NE(window_.Handle(), nullptr);
  }
  void TearDown() override {
    if (view_) Close();
  }

  bool ClassRegistered() const {
    WNDCLASSA wc;
    return GetClassInfoA(static_cast<HINSTANCE>(module_.Handle()), kEditorClass, &wc) != 0;
  }

  // createView, getSize, setFrame, attached, in that order; the view's
  // window.
  HWND Open() {
    view_ = fx_.Controller()->createView("editor");
    if (!view_) return nullptr;
    ViewRect size{};
    EXPECT_EQ(view_->getSize(&size), kResultOk);
    EXPECT_EQ(view_->setFrame(&frame_), kResultOk);
    if (view_->attached(window_.Handle(), kPlatformTypeHWND) != kResultOk) return nullptr;
    Pump(0);
    const auto children = Children(window_.Handle());
    return children.size() == 1 ? children.front() : nullptr;
  }
  // setFrame(null), removed, release; then neither a window nor the
  // editor's window class nor a reference of the view is left.
  void Close() {
    EXPECT_EQ(view_->setFrame(nullptr), kResultOk);
    EXPECT_EQ(view_->removed(), kResultOk);
    EXPECT_EQ(view_->release(), 0u);
    view_ = nullptr;
    Pump(0);
    EXPECT_TRUE(Children(window_.Handle()).empty());
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(frame_.References(), 1u);
  }

  // The panel drawn off-screen at the controller's values.
  Pixels Panel() {
    PanelSnapshot panel;
    for (int32_t i = 0; i < Quillwave::kParamCount; ++i)
      panel.SetNormalized(i, float(fx_.Controller()->getParamNormalized(ParamID(i))));
    return PixelsOf(panel.Render());
  }
  // The window's pixels equal want once the editor has redrawn; on failure
  // both pictures are written beside the program.
  ::testing::AssertionResult Shows(HWND w, const Pixels& want, const std::string& name) {
    Pixels shown;
    Difference d;
    PumpUntil(
        [&] {
          shown = ReadPixels(w, kW, kH);
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
  HostWindow window_{kW, kH};
  HostFrame frame_;
  IPlugView* view_ = nullptr;
};

TEST_F(Vst3EditorWin, TheViewDescribesItselfBeforeItOpens) {
  IEditController* c = fx_.Controller();
  IPlugView* view = c->createView("editor");
  ASSERT_NE(view, nullptr);
  ViewRect size{-1, -1, -1, -1};
  ASSERT_EQ(view->getSize(&size), kResultOk);
  EXPECT_EQ(size.left, 0);
  EXPECT_EQ(size.top, 0);
  EXPECT_EQ(size.right, kW);
  EXPECT_EQ(size.bottom, kH);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
  EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultFalse);
  EXPECT_EQ(view->isPlatformTypeSupported(nullptr), kResultFalse);
  // A window the view cannot use is refused.
  EXPECT_NE(view->attached(window_.Handle(), kPlatformTypeX11EmbedWindowID), kResultOk);
  EXPECT_NE(view->attached(nullptr, kPlatformTypeHWND), kResultOk);
  Pump(0);
  EXPECT_TRUE(Children(window_.Handle()).empty());
  EXPECT_FALSE(ClassRegistered());
  EXPECT_EQ(view->release(), 0u);
}

// The panel opens as a child of the host's window at its size, with a
// window class of the module's own, and shows the values the host set,
// before it opened and while it is open, as the panel shows the same
// values anywhere; the host's values are not reported back.
TEST_F(Vst3EditorWin, ShowsTheHostsValuesAsThePanelDoes) {
  Set(Quillwave::kFilterMode, 1.0);
  Set(Quillwave::kTempoSync, 1.0);
  Set(Quillwave::kNote, 0.5);
  Set(Quillwave::kPrefix, 1.0);
  Set(Quillwave::kCutoff1, 0.125);
  Set(Quillwave::kCutoff2, 0.875);
  const HWND editor = Open();
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(GetParent(editor), window_.Handle());
  EXPECT_NE(GetWindowLongPtrA(editor, GWL_STYLE) & WS_CHILD, 0);
  EXPECT_TRUE(IsWindowVisible(editor));
  RECT client{};
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, kW);
  EXPECT_EQ(client.bottom, kH);
  EXPECT_EQ(GetWindowThreadProcessId(editor, nullptr), GetCurrentThreadId());
  EXPECT_TRUE(ClassRegistered());
  EXPECT_TRUE(Shows(editor, Panel(), "before"));

  Set(Quillwave::kMix, 0.75);
  Set(Quillwave::kResonance, 0.625);
  Set(Quillwave::kShape, 0.75);
  Set(Quillwave::kMode, 1.0);
  Set(Quillwave::kFilterMode, 0.5);
  EXPECT_TRUE(Shows(editor, Panel(), "while-open"));
  EXPECT_TRUE(fx_.Handler().Calls().empty());
  // A second attach while open is refused and makes no second window.
  EXPECT_NE(view_->attached(window_.Handle(), kPlatformTypeHWND), kResultOk);
  EXPECT_EQ(Children(window_.Handle()), std::vector<HWND>{editor});
}

// A drag on Mix reaches the host as one gesture for id 0: beginEdit with
// the press, one performEdit per move rising with the drag, endEdit with
// the release, each delivered on the window's thread while the window
// handles that input, with no host loop or idle call involved; the
// controller has the last value and the panel shows it.
TEST_F(Vst3EditorWin, ADragIsOneGestureOnTheWindowsThread) {
  const HWND editor = Open();
  ASSERT_NE(editor, nullptr);
  ASSERT_DOUBLE_EQ(fx_.Controller()->getParamNormalized(Quillwave::kMix), 0.5);
  fx_.Handler().Clear();
  // PostMouse returns once the window has handled the message.
  PostMouse(editor, WM_LBUTTONDOWN, MK_LBUTTON, kMixX, kMixY);
  std::string heard = "B";
  EXPECT_EQ(Kinds(fx_.Handler().Calls()), heard);
  for (int i = 1; i <= 3; ++i) {
    PostMouse(editor, WM_MOUSEMOVE, MK_LBUTTON, kMixX, kMixY - 12 * i);
    heard += 'P';
    EXPECT_EQ(Kinds(fx_.Handler().Calls()), heard) << "move " << i;
  }
  PostMouse(editor, WM_LBUTTONUP, 0, kMixX, kMixY - 36);
  const auto calls = fx_.Handler().Calls();
  ASSERT_EQ(Kinds(calls), "BPPPE");
  double last = 0.5;
  for (size_t i = 1; i + 1 < calls.size(); ++i) {
    EXPECT_GT(calls[i].value, last) << i;
    last = calls[i].value;
  }
  // 36 pixels up on the 72-pixel knob at gearing 4: 36 / 72 / 4 = 0.125.
  EXPECT_DOUBLE_EQ(last, 0.625);
  for (const Call& c : calls) {
    EXPECT_EQ(c.id, ParamID(Quillwave::kMix));
    EXPECT_EQ(c.thread, std::this_thread::get_id());
  }
  EXPECT_DOUBLE_EQ(fx_.Controller()->getParamNormalized(Quillwave::kMix), last);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(Shows(editor, Panel(), "dragged"));
}

// A host that removes the view in the middle of a drag hears the gesture
// end, on its own thread, before removed() returns.
TEST_F(Vst3EditorWin, RemovingTheViewMidDragEndsTheGesture) {
  const HWND editor = Open();
  ASSERT_NE(editor, nullptr);
  fx_.Handler().Clear();
  PostMouse(editor, WM_LBUTTONDOWN, MK_LBUTTON, kMixX, kMixY);
  PostMouse(editor, WM_MOUSEMOVE, MK_LBUTTON, kMixX, kMixY - 20);
  ASSERT_EQ(Kinds(fx_.Handler().Calls()), "BP");
  EXPECT_EQ(view_->removed(), kResultOk);
  const auto calls = fx_.Handler().Calls();
  EXPECT_EQ(Kinds(calls), "BPE");
  for (const Call& c : calls) {
    EXPECT_EQ(c.id, ParamID(Quillwave::kMix));
    EXPECT_EQ(c.thread, std::this_thread::get_id());
  }
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(GetCapture(), nullptr);
  // The view opens again in the same window, and goes for good.
  ASSERT_EQ(view_->attached(window_.Handle(), kPlatformTypeHWND), kResultOk);
  EXPECT_EQ(Children(window_.Handle()).size(), 1u);
}

// Views opened and closed many times, some with a drag, leave no window,
// window-system object or heap behind (one window's surface alone is far
// more than the margin).
TEST_F(Vst3EditorWin, OpenAndCloseCyclesLeaveNothingBehind) {
  ResourceUse afterWarmUp;
  for (int cycle = 0; cycle < 40; ++cycle) {
    const HWND editor = Open();
    ASSERT_NE(editor, nullptr) << "cycle " << cycle;
    Pump(45);  // the first paint and at least one redraw tick
    if (cycle % 7 == 0) Drag(editor, kMixX, kMixY, 0, -10, 2);
    Close();
    fx_.Handler().Clear();
    if (cycle == 9) afterWarmUp = CurrentResourceUse();
  }
  Pump(50);
  const ResourceUse atEnd = CurrentResourceUse();
  ASSERT_GT(afterWarmUp.gdiObjects, 0);
  ASSERT_GT(afterWarmUp.windows, 0);
  ASSERT_GT(afterWarmUp.heapBytes, 0u);
  EXPECT_LE(atEnd.gdiObjects, afterWarmUp.gdiObjects);
  EXPECT_EQ(atEnd.windows, afterWarmUp.windows);
  EXPECT_LE(atEnd.handles, afterWarmUp.handles);
  EXPECT_LT(atEnd.heapBytes, afterWarmUp.heapBytes + 16 * 1024);
}

}  // namespace
}  // namespace qwtest
