// Quillwave.so's editor in an X11 host's window on a private Xvfb server,
// opened and driven the way a host does it: the editor requests of the
// dispatcher, XTest input on the panel's knobs and switches turned into
// parameter values and the host's begin-edit / automate / end-edit calls,
// the window's pixels (XGetImage) against the committed reference images or
// the same panel drawn off-screen, two editors at once, and many open/close
// cycles while other threads process audio and automate parameters.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "EditorHostSupport.h"
#include "HostTestSupport.h"
#include "PngFile.h"
#include "TestHost.h"
#include "X11HostDisplay.h"
#include "XvfbTestSuite.h"
#include "editor/x11/X11Connection.h"
#include "host/vst2/IVstAdapter.h"
#include "core/PluginFactory.h"
#include "quillwave/Quillwave.h"

namespace qwtest {
namespace {

constexpr int kW = kEditorWidth, kH = kEditorHeight;
// Centre of the 72-pixel Mix knob, and a point on each switch.
constexpr int kMixX = 593, kMixY = 292;
constexpr int kTempoSyncX = 42;
// A point of the panel where no control lies.
constexpr int kRestX = 4, kRestY = 180;
constexpr int kPrefixY = 336;

// Quillwave built into this program: the library keeps the count of X
// errors on its editor connections to itself; this copy's count is seen
// here.
vst::AEffect* BuiltInEntry(vst::audioMasterCallback host) {
  return IVstAdapter::CreateInstance(host, &CreatePluginInstance);
}

class QuillwaveEditorX11 : public XvfbTestSuite {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Loaded()) << host_.Error();
    ASSERT_TRUE(x_.Ok());
    parent_ = x_.MakeParent(kW, kH, 20, 20);
  }
  void TearDown() override {
    XDestroyWindow(x_.Get(), parent_);
    x_.Sync();
    EXPECT_EQ(x_.Errors(), 0);
  }

  // effEditGetRect, effEditOpen into parent and an idle call, as a host
  // makes them; the editor's window once it is viewable, 0 when the editor
  // did not open.
  Window Open(Instance& fx, Window parent) {
    ExpectEditorRect(fx);
    if (fx.Dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) != 1) return 0;
    ExpectEditorRect(fx);
    EXPECT_EQ(fx.Dispatch(vst::effEditIdle), 0);
    Window w = 0;
    WaitUntil([&] {
      const auto children = x_.Children(parent);
      w = children.size() == 1 ? children.front() : 0;
      return w && x_.Viewable(w);
    });
    return w;
  }
  static void ExpectEditorRect(Instance& fx) {
    vst::ERect* rect = nullptr;
    ASSERT_EQ(fx.Dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->right, kW);
    EXPECT_EQ(rect->bottom, kH);
  }

  // Waits for the editor's redraws until the window shows want; on failure
  // writes what it showed and what was wanted beside the program.
  // The window's pixels equal want once the pointer rests off every knob,
  // so no value readout shows.
  ::testing::AssertionResult Shows(Window w, const Pixels& want, const std::string& name) {
    x_.MovePointer(w, kRestX, kRestY);
    return ShowsAsIs(w, want, name);
  }
  ::testing::AssertionResult ShowsAsIs(Window w, const Pixels& want, const std::string& name) {
    Pixels shown;
    Difference d;
    WaitUntil(
        [&] {
          shown = x_.Pixels(w, 0, 0, kW, kH);
          d = Compare(shown, want, kW);
          return d.count == 0;
        },
        5000);
    if (d.count == 0) return ::testing::AssertionSuccess();
    WritePng("shown-" + name + ".png", shown, kW, kH);
    WritePng("wanted-" + name + ".png", want, kW, kH);
    return ::testing::AssertionFailure()
           << d.count << " pixels differ from " << name << ", the first at (" << d.x << ", " << d.y
           << "); see shown-" << name << ".png";
  }

  // Left-button press at (x, y) of w, steps moves by (dx, dy) in all, then
  // the release, with Shift held throughout when asked.
  void Drag(Window w, int x, int y, int dx, int dy, int steps, bool shift = false) {
    x_.MovePointer(w, x, y);
    if (shift) x_.Key("Shift_L", true);
    x_.Button(1, true);
    for (int i = 1; i <= steps; ++i) x_.MovePointer(w, x + dx * i / steps, y + dy * i / steps);
    x_.Button(1, false);
    if (shift) x_.Key("Shift_L", false);
  }
  void Wheel(Window w, int x, int y, unsigned button) {
    x_.MovePointer(w, x, y);
    x_.Button(button, true);
    x_.Button(button, false);
  }
  // The editor handles input on its own thread: waits until the host's
  // edit calls for param of fx read want.
  bool EditsReach(const Instance& fx, int param, const std::string& want) {
    return WaitUntil([&] { return EditsOf(host_, fx, param) == want; });
  }

  TestHost host_;  // Quillwave.so
  HostDisplay x_;
  Window parent_ = 0;
};

TEST_F(QuillwaveEditorX11, DispatcherOpensIdlesAndClosesTheEditor) {
  Instance fx(host_);
  fx.Start();
  EXPECT_EQ(fx.Effect()->flags, 0x1019);
  const Window editor = Open(fx, parent_);
  ASSERT_NE(editor, 0u);
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(x_.Get(), editor, &a));
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.width, kW);
  EXPECT_EQ(a.height, kH);
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "panel-default"));

  // The window keeps its own time: host automation shows without idle
  // calls, and idle calls change nothing.
  fx.SetParameter(Quillwave::kMix, 0.8f);
  fx.SetParameter(Quillwave::kResonance, 0.3f);
  EXPECT_TRUE(Shows(editor, Reference(fx), "automated"));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(fx.Dispatch(vst::effEditIdle), 0);
  EXPECT_TRUE(Shows(editor, Reference(fx), "automated-idle"));

  // No control of the panel takes keys: with the pointer over the panel
  // they reach the host's window.
  x_.KeysReceived(parent_);
  x_.MovePointer(editor, 300, 40);
  for (const char* key : {"space", "m", "F5"}) x_.TypeKey(key);
  std::vector<unsigned long> keys;
  EXPECT_TRUE(WaitUntil([&] {
    for (unsigned long k : x_.KeysReceived(parent_)) keys.push_back(k);
    return keys.size() >= 3;
  }));
  EXPECT_EQ(keys, (std::vector<unsigned long>{XK_space, XK_m, XK_F5}));

  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
  EXPECT_TRUE(x_.Children(parent_).empty());
  ExpectEditorRect(fx);  // the size stays known while closed
  EXPECT_EQ(fx.Dispatch(vst::effEditIdle), 0);
}

// Ardour's way: the editor opens in an unmapped 1 x 1 window, which the
// host then sizes to the editor's rectangle and maps.
TEST_F(QuillwaveEditorX11, OpensInAnUnmappedParentTheHostSizesAfterwards) {
  Instance fx(host_);
  fx.Start();
  const Window tiny =
      XCreateSimpleWindow(x_.Get(), DefaultRootWindow(x_.Get()), 40, 40, 1, 1, 0, 0, 0);
  x_.Sync();
  ASSERT_EQ(fx.Dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(tiny)), 1);
  ExpectEditorRect(fx);
  ASSERT_EQ(x_.Children(tiny).size(), 1u);
  const Window editor = x_.Children(tiny).front();
  XResizeWindow(x_.Get(), tiny, kW, kH);
  XMapWindow(x_.Get(), tiny);
  x_.Sync();
  ASSERT_TRUE(WaitUntil([&] { return x_.Viewable(editor); }));
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "unmapped-parent"));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
  XDestroyWindow(x_.Get(), tiny);
}

TEST_F(QuillwaveEditorX11, OpeningWithoutADisplayOrAWindowFailsCleanly) {
  Instance fx(host_);
  fx.Start();
  ASSERT_NE(Open(fx, parent_), 0u);  // the first connection's one-time set-up
  fx.CloseEditor();
  const ProcessResources before = ProcessResources::Now();
  const Window destroyed = XCreateSimpleWindow(x_.Get(), parent_, 0, 0, 5, 5, 0, 0, 0);
  XDestroyWindow(x_.Get(), destroyed);
  x_.Sync();
  for (void* bad : {static_cast<void*>(nullptr), reinterpret_cast<void*>(destroyed),
                    reinterpret_cast<void*>(0x7ffffff)})
    EXPECT_EQ(fx.Dispatch(vst::effEditOpen, 0, 0, bad), 0) << bad;
  const std::string display = std::getenv("DISPLAY");
  for (const char* none : {"", ":9999"}) {
    setenv("DISPLAY", none, 1);
    EXPECT_EQ(fx.Dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent_)), 0) << none;
  }
  setenv("DISPLAY", display.c_str(), 1);
  fx.CloseEditor();  // a close after a failed open is harmless
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(after.shmSegments, 0);
  EXPECT_TRUE(x_.Children(parent_).empty());
  // And a good window still works.
  const Window editor = Open(fx, parent_);
  ASSERT_NE(editor, 0u);
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "after-failures"));
  fx.CloseEditor();
}

TEST_F(QuillwaveEditorX11, MixKnobDragsWithGearingAndFinerWithShift) {
  Instance fx(host_);
  fx.Start();
  const Window editor = Open(fx, parent_);
  ASSERT_NE(editor, 0u);
  ASSERT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.5f);

  // 36 pixels up on the 72-pixel knob at gearing 4: 36 / 72 / 4 = 0.125,
  // one automation per move inside one gesture.
  host_.ClearCalls();
  Drag(editor, kMixX, kMixY, 0, -36, 3);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "BAAAE")) << EditsOf(host_, fx, Quillwave::kMix);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.625f);
  EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kMix), 0.625f);
  EXPECT_TRUE(Shows(editor, Reference(fx), "mix-dragged"));

  // Shift: ten times finer, and the drag goes on outside the window. (The
  // press lies a few pixels from the last one: two presses at one place in
  // quick succession are a double click.)
  host_.ClearCalls();
  Drag(editor, kMixX - 6, kMixY + 6, 200, 72, 2, true);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "BAAE")) << EditsOf(host_, fx, Quillwave::kMix);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.6f);
  EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kMix), 0.6f);
  EXPECT_TRUE(Shows(editor, Reference(fx), "mix-fine"));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditorX11, WheelNotchRightClickAndDoubleClickReset) {
  Instance fx(host_);
  fx.Start();
  const Window editor = Open(fx, parent_);
  ASSERT_NE(editor, 0u);

  // Button 4 is a notch up of 0.01, button 5 one down; neither makes a
  // gesture. The sideways buttons 6 and 7 move nothing.
  host_.ClearCalls();
  Wheel(editor, kMixX, kMixY, 4);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "A"));
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.51f);
  EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kMix), 0.51f);
  Wheel(editor, kMixX, kMixY, 6);
  Wheel(editor, kMixX, kMixY, 7);
  Wheel(editor, kMixX, kMixY, 4);
  Wheel(editor, kMixX, kMixY, 5);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "AAA")) << EditsOf(host_, fx, Quillwave::kMix);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.51f);
  EXPECT_TRUE(Shows(editor, Reference(fx), "mix-wheel"));

  // While the pointer rests on the knob its value shows under it.
  x_.MovePointer(editor, kMixX + 3, kMixY);
  EXPECT_TRUE(ShowsAsIs(editor, Reference(fx, kMixX, kMixY), "mix-readout"));

  // A right click opens a text box holding the value's text; a value typed
  // in the readout's units applies as one gesture of its own, and no key
  // reaches the host meanwhile.
  host_.ClearCalls();
  x_.KeysReceived(parent_);
  const auto boxShown = [&] {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x_.Get(), &focus, &revert);
    return focus == editor &&
           x_.Pixels(editor, kMixX - 19, kMixY - 7, 1, 1) == std::vector<std::uint32_t>{0xFFFFFF};
  };
  const auto typeInBox = [&](std::initializer_list<const char*> keys) {
    // The last box is gone; the new one shows and has the keyboard.
    if (!WaitUntil([&] { return !boxShown(); })) return false;
    x_.Click(editor, kMixX, kMixY, 3);
    if (!WaitUntil(boxShown)) return false;
    for (const char* k : keys) x_.TypeKey(k);
    return true;
  };
  ASSERT_TRUE(typeInBox({"6", "4", "space", "Return"}));
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "BEBAE")) << EditsOf(host_, fx, Quillwave::kMix);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.64f);
  EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kMix), 0.64f);
  // Text that is no value, and Escape, change nothing; a value beyond the
  // range clamps.
  ASSERT_TRUE(typeInBox({"x", "y", "Return"}));
  ASSERT_TRUE(typeInBox({"9", "Escape"}));
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "BEBAEBEBE")) << EditsOf(host_, fx, Quillwave::kMix);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.64f);
  ASSERT_TRUE(typeInBox({"1", "5", "0", "Return"}));
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "BEBAEBEBEBEBAE"));
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 1.0f);
  EXPECT_TRUE(x_.KeysReceived(parent_).empty());
  // Closed, the box gives the keyboard back to the host.
  x_.MovePointer(editor, kRestX, kRestY);
  x_.TypeKey("5");
  EXPECT_TRUE(WaitUntil([&] { return x_.KeysReceived(parent_).size() == 1; }));
  fx.SetParameter(Quillwave::kMix, 0.51f);

  // A double click puts the knob back to its default.
  host_.ClearCalls();
  Drag(editor, kMixX, kMixY + 6, 0, -36, 2);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "BAAE"));
  ASSERT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.635f);
  host_.ClearCalls();
  x_.Click(editor, kMixX, kMixY);
  x_.Click(editor, kMixX, kMixY);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "BEA")) << EditsOf(host_, fx, Quillwave::kMix);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.5f);
  EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kMix), 0.5f);
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "mix-reset"));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditorX11, TheSweepsMarkerFollowsTheAudioAndStaysStillWithout) {
  Instance fx(host_);
  fx.Start();
  const Window editor = Open(fx, parent_);
  ASSERT_NE(editor, 0u);
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "no-audio-no-marker"));
  // A quarter second of silence in the host's blocks: the marker stands
  // where the reference, run in other blocks, has it.
  ProcessSilence(fx, 11025);
  EXPECT_TRUE(Shows(editor, Golden("panel-marker.png"), "marker"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(Shows(editor, Golden("panel-marker.png"), "marker-still"));
  ProcessSilence(fx, 2205);
  EXPECT_TRUE(WaitUntil([&] {
    return Compare(x_.Pixels(editor, 0, 0, kW, kH), Golden("panel-marker.png"), kW).count > 0;
  })) << "the marker did not move";
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditorX11, TempoSyncButtonsWhereTheyOverlap) {
  Instance fx(host_);
  fx.Start();
  const Window editor = Open(fx, parent_);
  ASSERT_NE(editor, 0u);

  // "man" spans y 38..69 and "host" 62..93. At 75 only "host" is hit.
  host_.ClearCalls();
  x_.Click(editor, kTempoSyncX, 75);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kTempoSync, "BAE"));
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kTempoSync), 1.0f);
  EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kTempoSync), 1.0f);
  // The note knob and the note-kind buttons take the rate knob's and the
  // logo's places.
  EXPECT_TRUE(Shows(editor, Golden("panel-temposync.png"), "panel-temposync"));

  // At 65 both buttons hold the point: the first one in order takes it.
  host_.ClearCalls();
  x_.Click(editor, kTempoSyncX, 65);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kTempoSync, "BAE"));
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kTempoSync), 0.0f);
  EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kTempoSync), 0.0f);
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "panel-default-again"));

  // A double click on "pan" is two presses on it: auto-pan stays on.
  host_.ClearCalls();
  x_.Click(editor, 212, 75);
  x_.Click(editor, 212, 75);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMode, "BAEBAE")) << EditsOf(host_, fx, Quillwave::kMode);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMode), 1.0f);
  EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kMode), 1.0f);
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditorX11, PrefixButtonsOnlyWithTempoSync) {
  Instance fx(host_);
  fx.Start();
  const Window editor = Open(fx, parent_);
  ASSERT_NE(editor, 0u);

  // Hidden without tempo sync: a click there reaches no parameter (seen
  // once the click after it has been handled).
  host_.ClearCalls();
  x_.Click(editor, 190, kPrefixY);
  x_.Click(editor, kTempoSyncX, 75);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kTempoSync, "BAE"));
  EXPECT_EQ(EditsOf(host_, fx, Quillwave::kPrefix), "");
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kPrefix), 0.0f);

  // Buttons at x 148..179, 174..205 and 200..231: in an overlap the
  // earlier button wins.
  struct Row {
    int x;
    float normalized;
  };
  for (const Row& row : {Row{190, 0.5f}, Row{178, 0.0f}, Row{220, 1.0f}, Row{203, 0.5f},
                         Row{150, 0.0f}, Row{231, 1.0f}}) {
    host_.ClearCalls();
    x_.Click(editor, row.x, kPrefixY);
    ASSERT_TRUE(EditsReach(fx, Quillwave::kPrefix, "BAE")) << "x " << row.x;
    EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kPrefix), row.normalized) << "x " << row.x;
    EXPECT_FLOAT_EQ(LastAutomated(host_, fx, Quillwave::kPrefix), row.normalized) << "x " << row.x;
  }
  EXPECT_TRUE(Shows(editor, Reference(fx), "prefix"));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditorX11, TwoEditorsAtOnceThenOneClosedAndReopened) {
  const Window secondParent = x_.MakeParent(kW, kH, 20, 420);
  Instance a(host_), b(host_);
  a.Start();
  b.Start();
  a.SetParameter(Quillwave::kMix, 0.1f);
  b.SetParameter(Quillwave::kMix, 0.9f);
  b.SetParameter(Quillwave::kTempoSync, 1.0f);
  Window ea = Open(a, parent_);
  const Window eb = Open(b, secondParent);
  ASSERT_NE(ea, 0u);
  ASSERT_NE(eb, 0u);
  EXPECT_TRUE(Shows(ea, Reference(a), "two-a"));
  EXPECT_TRUE(Shows(eb, Reference(b), "two-b"));

  // Each editor drives its own instance.
  host_.ClearCalls();
  Drag(eb, kMixX, kMixY, 0, 36, 2);
  ASSERT_TRUE(EditsReach(b, Quillwave::kMix, "BAAE"));
  EXPECT_FLOAT_EQ(b.GetParameter(Quillwave::kMix), 0.775f);
  EXPECT_FLOAT_EQ(a.GetParameter(Quillwave::kMix), 0.1f);
  EXPECT_EQ(EditsOf(host_, a, Quillwave::kMix), "");

  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  EXPECT_TRUE(x_.Children(parent_).empty());
  b.SetParameter(Quillwave::kCutoff2, 0.9f);  // the response plot changes
  EXPECT_TRUE(Shows(eb, Reference(b), "two-b-alone"));

  // Changed while its editor is closed: the plots are drawn on opening.
  a.SetParameter(Quillwave::kCutoff1, 0.7f);
  a.SetParameter(Quillwave::kSymmetry, 0.2f);
  ea = Open(a, parent_);
  ASSERT_NE(ea, 0u);
  EXPECT_TRUE(Shows(ea, Reference(a), "two-a-changed-while-closed"));
  a.SetParameter(Quillwave::kShape, 0.0f);  // the oscillator plot changes
  EXPECT_TRUE(Shows(ea, Reference(a), "two-a-reopened"));
  EXPECT_TRUE(Shows(eb, Reference(b), "two-b-still"));
  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  EXPECT_EQ(b.Dispatch(vst::effEditClose), 1);
  EXPECT_TRUE(x_.Children(secondParent).empty());
  XDestroyWindow(x_.Get(), secondParent);
}

// A host's audio thread and its automation of knobs, plots and the
// switches that show and hide controls, running until stopped.
class BusyHost {
 public:
  explicit BusyHost(Instance& fx) {
    audio_ = std::thread([this, &fx] {
      auto in = Signal(2, 256, 0.3f), out = Signal(2, 256, 0.0f);
      while (running_) {
        fx.ProcessReplacing(in, out, 256);
        blocks_.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    });
    automation_ = std::thread([this, &fx] {
      for (int i = 0; running_; ++i) {
        fx.SetParameter(Quillwave::kMix, float(i % 100) / 100.0f);
        fx.SetParameter(Quillwave::kCutoff1, float(i % 50) / 50.0f);
        fx.SetParameter(Quillwave::kShape, float(i % 30) / 30.0f);
        fx.SetParameter(Quillwave::kTempoSync, float(i / 16 % 2));
        fx.SetParameter(Quillwave::kFilterMode, float(i % 3) / 2.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    });
  }
  ~BusyHost() {
    running_ = false;
    audio_.join();
    automation_.join();
  }
  long Blocks() const { return blocks_.load(); }

 private:
  std::atomic<bool> running_{true};
  std::atomic<long> blocks_{0};
  std::thread audio_, automation_;
};

// 100 open/close cycles of fx's editor while a busy host plays and
// automates. Most close while the first drawing is under way; every fourth
// waits for that drawing, every eighth also for a later tick's redraw of
// the automated Mix knob (so that the close meets the ticks at every
// point), and now and then the knob is dragged. Checks that nothing of the
// editors stays behind.
void CyclesLeaveNothingBehind(HostDisplay& x, TestHost& host, Instance& fx, Window parent) {
  const std::uint32_t corner = Golden("panel-default.png").at(0) & 0xFFFFFF;
  ASSERT_TRUE(fx.OpenEditor(reinterpret_cast<void*>(parent)));  // one-time set-up
  fx.CloseEditor();
  const ProcessResources before = ProcessResources::Now();
  {
    BusyHost busy(fx);
    for (int cycle = 0; cycle < 100; ++cycle) {
      const std::string at = "cycle " + std::to_string(cycle);
      ASSERT_TRUE(fx.OpenEditor(reinterpret_cast<void*>(parent))) << at;
      if (cycle % 4 == 0) {
        const auto children = x.Children(parent);
        ASSERT_EQ(children.size(), 1u) << at;
        const Window editor = children.front();
        auto knob = [&] { return x.Pixels(editor, kMixX - 36, kMixY - 36, 72, 72); };
        auto drawn = [&] {
          return x.Viewable(editor) && x.Pixels(editor, 0, 0, 1, 1) == Pixels{corner};
        };
        auto gestureEnded = [&] {
          return !host.CallsOf(vst::audioMasterEndEdit, fx.Effect()).empty();
        };
        ASSERT_TRUE(WaitUntil(drawn)) << at;
        if (cycle % 8 == 0) {
          const Pixels first = knob();
          EXPECT_TRUE(WaitUntil([&] { return knob() != first; })) << at;
        }
        if (cycle % 12 == 0) {
          host.ClearCalls();
          x.MovePointer(editor, kMixX, kMixY);
          x.Button(1, true);
          x.MovePointer(editor, kMixX, kMixY - 10);
          x.Button(1, false);
          EXPECT_TRUE(WaitUntil(gestureEnded)) << at;
        }
      }
      fx.CloseEditor();
      ASSERT_TRUE(x.Children(parent).empty()) << at;
    }
    EXPECT_GT(busy.Blocks(), 100);
  }
  host.ClearCalls();
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(after.shmSegments, 0);
  EXPECT_TRUE(after.MemoryWithin(before, 4096))
      << "resident memory grew by " << after.rssKb - before.rssKb << " kB";
}

TEST_F(QuillwaveEditorX11, HundredOpenCloseCyclesWhileAudioRunsAndTheHostAutomates) {
  Instance fx(host_);
  fx.Start(44100.0f, 256);
  CyclesLeaveNothingBehind(x_, host_, fx, parent_);
}

TEST_F(QuillwaveEditorX11, HundredCyclesOfTheBuiltInPlugInRaiseNoXError) {
  Instance fx(host_, &BuiltInEntry);
  ASSERT_TRUE(fx);
  fx.Start(44100.0f, 256);
  const std::uint64_t errors = X11Connection::ProcessErrorCount();
  CyclesLeaveNothingBehind(x_, host_, fx, parent_);
  EXPECT_EQ(X11Connection::ProcessErrorCount(), errors);
  EXPECT_EQ(X11Connection::OpenCount(), 0);
}

// A host may close the editor while the user still holds a knob: the
// host's gesture ends with the close, and the release that comes later
// reaches nobody.
TEST_F(QuillwaveEditorX11, ClosingDuringADragEndsTheHostsGesture) {
  Instance fx(host_);
  fx.Start();
  const Window editor = Open(fx, parent_);
  ASSERT_NE(editor, 0u);
  host_.ClearCalls();
  x_.MovePointer(editor, kMixX, kMixY);
  x_.Button(1, true);
  x_.MovePointer(editor, kMixX, kMixY - 18);
  ASSERT_TRUE(EditsReach(fx, Quillwave::kMix, "BA"));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
  EXPECT_EQ(EditsOf(host_, fx, Quillwave::kMix), "BAE");
  int rootX = 0, rootY = 0;
  x_.RootPosition(parent_, rootX, rootY);  // the editor's window is gone
  x_.MovePointerTo(rootX + kMixX, rootY + kMixY - 36);
  x_.Button(1, false);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.5625f);
  const Window reopened = Open(fx, parent_);
  ASSERT_NE(reopened, 0u);
  EXPECT_TRUE(Shows(reopened, Reference(fx), "closed-during-drag"));
  EXPECT_EQ(EditsOf(host_, fx, Quillwave::kMix), "BAE");
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditorX11, ClosingThePlugInWithItsEditorOpen) {
  Instance fx(host_);
  fx.Start();
  ASSERT_NE(Open(fx, parent_), 0u);
  const ProcessResources before = ProcessResources::Now();
  fx.Close();  // effClose without effEditClose
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads - 1) << "the editor's thread is gone";
  EXPECT_LT(after.fds, before.fds) << "its connection is closed";
  EXPECT_TRUE(x_.Children(parent_).empty());
}

}  // namespace
}  // namespace qwtest
