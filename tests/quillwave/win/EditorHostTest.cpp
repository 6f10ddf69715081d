// Quillwave.dll's editor in a Windows host's top-level window under Wine,
// opened and driven the way a host does it: the editor requests of the
// dispatcher, posted mouse input on the panel's knobs and switches turned
// into parameter values and the host's begin-edit / automate / end-edit
// calls, the window's pixels against the same panel drawn off-screen (or
// the committed reference images), two editors at once, many open/close
// cycles while another thread processes audio and automates parameters, and
// hosts that close the plug-in or its editor from inside those calls,
// during a drag, or destroy the window the editor lives in.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "EditorHostSupport.h"
#include "HostWindow.h"
#include "TestHost.h"
#include "quillwave/Quillwave.h"

using namespace qwtest;

namespace {

constexpr int kW = kEditorWidth, kH = kEditorHeight;
constexpr const char* kClass = "QuillwaveWndClass";
// Centre of the 72-pixel Mix knob, and a point on each switch.
constexpr int kMixX = 593, kMixY = 292;
constexpr int kTempoSyncX = 42;
constexpr int kPrefixY = 336;

// Waits for the editor's next redraws until the window shows want; on
// failure writes what it showed and what was wanted beside the program.
::testing::AssertionResult Shows(HWND editor, const Pixels& want, const std::string& name) {
  Pixels shown;
  Difference d;
  PumpUntil(
      [&] {
        shown = ReadPixels(editor, kW, kH);
        d = Compare(shown, want, kW);
        return d.count == 0;
      },
      2000);
  if (d.count == 0) return ::testing::AssertionSuccess();
  WritePng("shown-" + name + ".png", shown, kW, kH);
  WritePng("wanted-" + name + ".png", want, kW, kH);
  return ::testing::AssertionFailure() << d.count << " pixels differ from " << name
                                       << ", the first at (" << d.x << ", " << d.y
                                       << "); see shown-" << name << ".png";
}

HWND EditorIn(HWND parent) { return FindWindowExA(parent, nullptr, kClass, nullptr); }

bool ClassRegistered() {
  WNDCLASSA wc;
  return GetClassInfoA(GetModuleHandleA(PluginPath().c_str()), kClass, &wc) != 0;
}

// The host's edit calls for param of record e, as EditsOf spells them; for
// an instance the host has closed.
std::string EditsOfRecord(const TestHost& host, const vst::AEffect* e, int param) {
  std::string s;
  for (const HostCall& c : host.Calls()) {
    if (c.effect != e || c.index != param) continue;
    if (c.opcode == vst::audioMasterBeginEdit) s += 'B';
    if (c.opcode == vst::audioMasterAutomate) s += 'A';
    if (c.opcode == vst::audioMasterEndEdit) s += 'E';
  }
  return s;
}

// The editor's window rectangle in its parent's client coordinates.
RECT PlaceInParent(HWND editor) {
  RECT r = {};
  GetWindowRect(editor, &r);
  MapWindowPoints(HWND_DESKTOP, GetParent(editor), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

constexpr vst::VstInt32 kEditCalls[] = {vst::audioMasterBeginEdit, vst::audioMasterAutomate,
                                        vst::audioMasterEndEdit};

struct QuillwaveEditor : ::testing::Test {
  TestHost host;
  HostWindow window{kW, kH};

  void SetUp() override { ASSERT_TRUE(host.Loaded()) << host.Error(); }
  void TearDown() override { host.SetEditHook({}); }

  // effEditGetRect and effEditOpen as a host does them, then one idle call;
  // the editor window.
  HWND Open(Instance& fx, HostWindow& into) {
    ExpectEditorRect(fx);
    EXPECT_EQ(fx.Dispatch(vst::effEditOpen, 0, 0, into.Handle()), 1);
    ExpectEditorRect(fx);
    EXPECT_EQ(fx.Dispatch(vst::effEditIdle), 0);
    return EditorIn(into.Handle());
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
};

TEST_F(QuillwaveEditor, DispatcherOpensIdlesAndClosesTheEditor) {
  Instance fx(host);
  fx.Start();
  ASSERT_FALSE(ClassRegistered());
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(GetParent(editor), window.Handle());
  RECT client;
  GetClientRect(editor, &client);
  EXPECT_EQ(client.right, kW);
  EXPECT_EQ(client.bottom, kH);
  // The class belongs to the plug-in library, not to the host.
  EXPECT_TRUE(ClassRegistered());
  WNDCLASSA wc;
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), kClass, &wc));
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "panel-default"));

  // No control of the panel takes keys: they reach the host's window.
  for (WPARAM key : {WPARAM(VK_SPACE), WPARAM('M'), WPARAM(VK_F5)}) {
    window.ClearKeys();
    Key(editor, key);
    ASSERT_EQ(window.Keys().size(), 2u) << "key " << key;
    EXPECT_EQ(window.Keys()[0], std::make_pair(UINT(WM_KEYDOWN), key));
    EXPECT_EQ(window.Keys()[1], std::make_pair(UINT(WM_KEYUP), key));
  }

  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(EditorIn(window.Handle()), nullptr);
  EXPECT_FALSE(ClassRegistered());
  ExpectEditorRect(fx);  // the size stays known while closed
}

TEST_F(QuillwaveEditor, MixKnobDragsWithGearingAndFinerWithShift) {
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);
  ASSERT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.5f);

  // 36 pixels up on the 72-pixel knob at gearing 4: 36 / 72 / 4 = 0.125,
  // one automation per move inside one gesture.
  host.ClearCalls();
  Drag(editor, kMixX, kMixY, 0, -36, 3);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.625f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BAAAE");
  EXPECT_FLOAT_EQ(LastAutomated(host, fx, Quillwave::kMix), 0.625f);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(Shows(editor, Reference(fx), "mix-dragged"));

  // Shift: ten times finer, and the drag goes on outside the knob.
  host.ClearCalls();
  Drag(editor, kMixX, kMixY, 200, 72, 2, MK_SHIFT);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.6f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BAAE");
  EXPECT_TRUE(Shows(editor, Reference(fx), "mix-fine"));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditor, WheelNotchAndDoubleClickReset) {
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);

  // One notch is 0.01 and makes no gesture; less than a notch moves
  // nothing.
  host.ClearCalls();
  Wheel(editor, kMixX, kMixY, 120);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.51f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "A");
  EXPECT_FLOAT_EQ(LastAutomated(host, fx, Quillwave::kMix), 0.51f);
  Wheel(editor, kMixX, kMixY, -60);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.51f);
  EXPECT_TRUE(Shows(editor, Reference(fx), "mix-wheel"));

  // Resting on the knob shows its value under it, drawn as the panel drawn
  // off-screen with the pointer there draws it; the label goes again once
  // the pointer has left (the system reports that as it tracks the mouse).
  PostMouse(editor, WM_MOUSEMOVE, 0, kMixX + 3, kMixY);
  EXPECT_TRUE(Shows(editor, Reference(fx, kMixX, kMixY), "mix-readout"));
  PostMessageA(editor, WM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(Shows(editor, Reference(fx), "mix-readout-gone"));

  // A right click opens a text box over the knob holding the value's text;
  // a value typed in the readout's units applies as one gesture of its
  // own. Text that is no value, and Escape, change nothing.
  host.ClearCalls();
  const auto typeInBox = [&](const char* text, WPARAM key) {
    Click(editor, kMixX, kMixY, true);
    HWND entry = FindWindowExA(editor, nullptr, "EDIT", nullptr);
    if (!entry) return std::string("no box");
    char held[32] = {};
    GetWindowTextA(entry, held, sizeof held);
    SetWindowTextA(entry, text);
    SendMessageA(entry, WM_KEYDOWN, key, 1);
    PumpUntil([&] { return FindWindowExA(editor, nullptr, "EDIT", nullptr) == nullptr; }, 2000);
    return std::string(held);
  };
  EXPECT_EQ(typeInBox("64 %", VK_RETURN), "51 %");
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.64f);
  EXPECT_FLOAT_EQ(LastAutomated(host, fx, Quillwave::kMix), 0.64f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BEBAE");
  EXPECT_EQ(typeInBox("abc", VK_RETURN), "64 %");
  EXPECT_EQ(typeInBox("9", VK_ESCAPE), "64 %");
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.64f);
  PumpUntil([&] { return EditsOf(host, fx, Quillwave::kMix).size() >= 9; }, 2000);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BEBAEBEBE");
  fx.SetParameter(Quillwave::kMix, 0.51f);

  // A double click puts the knob back to the value the editor opened with.
  Drag(editor, kMixX, kMixY, 0, -36, 2);
  ASSERT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.635f);
  host.ClearCalls();
  DoubleClick(editor, kMixX, kMixY);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.5f);
  EXPECT_FLOAT_EQ(LastAutomated(host, fx, Quillwave::kMix), 0.5f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BEA");
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "mix-reset"));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditor, TheSweepsMarkerFollowsTheAudioAndStaysStillWithout) {
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "no-audio-no-marker"));
  // A quarter second of silence in the host's blocks: the marker stands
  // where the reference, run in other blocks, has it.
  ProcessSilence(fx, 11025);
  EXPECT_TRUE(Shows(editor, Golden("panel-marker.png"), "marker"));
  Pump(200);
  EXPECT_TRUE(Shows(editor, Golden("panel-marker.png"), "marker-still"));
  ProcessSilence(fx, 2205);
  EXPECT_TRUE(PumpUntil(
      [&] { return Compare(ReadPixels(editor, kW, kH), Golden("panel-marker.png"), kW).count > 0; },
      2000))
      << "the marker did not move";
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditor, TempoSyncButtonsWhereTheyOverlap) {
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);

  // "man" spans y 38..69 and "host" 62..93. At 75 only "host" is hit.
  host.ClearCalls();
  Click(editor, kTempoSyncX, 75);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kTempoSync), 1.0f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kTempoSync), "BAE");
  EXPECT_FLOAT_EQ(LastAutomated(host, fx, Quillwave::kTempoSync), 1.0f);
  // The note knob and the note-kind buttons take the rate knob's and the
  // logo's places.
  EXPECT_TRUE(Shows(editor, Golden("panel-temposync.png"), "panel-temposync"));

  // At 65 both buttons hold the point: the first one in order takes it.
  host.ClearCalls();
  Click(editor, kTempoSyncX, 65);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kTempoSync), 0.0f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kTempoSync), "BAE");
  EXPECT_FLOAT_EQ(LastAutomated(host, fx, Quillwave::kTempoSync), 0.0f);
  EXPECT_TRUE(Shows(editor, Golden("panel-default.png"), "panel-default-again"));

  // A double click on "pan" is two presses on it: auto-pan stays on, and
  // the mouse is free again afterwards.
  host.ClearCalls();
  DoubleClick(editor, 212, 75);
  Pump(0);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMode), 1.0f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMode), "BAEBAE");
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditor, PrefixButtonsOnlyWithTempoSync) {
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);

  // Hidden without tempo sync: a click there reaches no parameter.
  host.ClearCalls();
  Click(editor, 190, kPrefixY);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kPrefix), 0.0f);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kPrefix), "");

  Click(editor, kTempoSyncX, 75);
  ASSERT_FLOAT_EQ(fx.GetParameter(Quillwave::kTempoSync), 1.0f);
  // Buttons at x 148..179, 174..205 and 200..231: in an overlap the
  // earlier button wins.
  struct Row {
    int x;
    float normalized;
  };
  for (const Row& row : {Row{190, 0.5f}, Row{178, 0.0f}, Row{220, 1.0f}, Row{203, 0.5f},
                         Row{150, 0.0f}, Row{231, 1.0f}}) {
    host.ClearCalls();
    Click(editor, row.x, kPrefixY);
    EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kPrefix), row.normalized) << "x " << row.x;
    EXPECT_EQ(EditsOf(host, fx, Quillwave::kPrefix), "BAE") << "x " << row.x;
    EXPECT_FLOAT_EQ(LastAutomated(host, fx, Quillwave::kPrefix), row.normalized) << "x " << row.x;
  }
  EXPECT_TRUE(Shows(editor, Reference(fx), "prefix"));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

TEST_F(QuillwaveEditor, TwoEditorsAtOnceThenOneClosedAndReopened) {
  HostWindow second(kW, kH);
  Instance a(host), b(host);
  a.Start();
  b.Start();
  a.SetParameter(Quillwave::kMix, 0.1f);
  b.SetParameter(Quillwave::kMix, 0.9f);
  b.SetParameter(Quillwave::kTempoSync, 1.0f);
  HWND ea = Open(a, window), eb = Open(b, second);
  ASSERT_NE(ea, nullptr);
  ASSERT_NE(eb, nullptr);
  EXPECT_TRUE(Shows(ea, Reference(a), "two-a"));
  EXPECT_TRUE(Shows(eb, Reference(b), "two-b"));

  // Each editor drives its own instance.
  host.ClearCalls();
  Drag(eb, kMixX, kMixY, 0, 36, 2);
  EXPECT_FLOAT_EQ(b.GetParameter(Quillwave::kMix), 0.775f);
  EXPECT_FLOAT_EQ(a.GetParameter(Quillwave::kMix), 0.1f);
  EXPECT_EQ(EditsOf(host, b, Quillwave::kMix), "BAAE");
  EXPECT_EQ(EditsOf(host, a, Quillwave::kMix), "");

  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  EXPECT_TRUE(ClassRegistered());
  b.SetParameter(Quillwave::kCutoff2, 0.9f);  // the response plot changes
  EXPECT_TRUE(Shows(eb, Reference(b), "two-b-alone"));

  ea = Open(a, window);
  ASSERT_NE(ea, nullptr);
  a.SetParameter(Quillwave::kShape, 0.0f);  // the oscillator plot changes
  EXPECT_TRUE(Shows(ea, Reference(a), "two-a-reopened"));
  EXPECT_TRUE(Shows(eb, Reference(b), "two-b-still"));
  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  EXPECT_EQ(b.Dispatch(vst::effEditClose), 1);
  EXPECT_FALSE(ClassRegistered());
}

TEST_F(QuillwaveEditor, HundredOpenCloseCyclesWhileAudioRunsAndTheHostAutomates) {
  Instance fx(host);
  fx.Start(44100.0f, 256);
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    std::vector<std::vector<float>> in(2, std::vector<float>(256, 0.25f)), out = in;
    for (unsigned i = 0; !stop.load(); ++i) {
      fx.ProcessReplacing(in, out, 256);
      // Knobs, plots and the switches that show and hide controls.
      fx.SetParameter(Quillwave::kMix, float(i % 100) / 100.0f);
      fx.SetParameter(Quillwave::kCutoff1, float(i % 50) / 50.0f);
      fx.SetParameter(Quillwave::kShape, float(i % 30) / 30.0f);
      fx.SetParameter(Quillwave::kTempoSync, float(i / 16 % 2));
      fx.SetParameter(Quillwave::kFilterMode, float(i % 3) / 2.0f);
      blocks.fetch_add(1);
      Sleep(1);
    }
  });

  ResourceUse afterWarmUp;
  for (int cycle = 0; cycle < 100; ++cycle) {
    ASSERT_EQ(fx.Dispatch(vst::effEditOpen, 0, 0, window.Handle()), 1) << "cycle " << cycle;
    HWND editor = EditorIn(window.Handle());
    ASSERT_NE(editor, nullptr);
    Pump(45);  // the first paint and at least one redraw tick
    if (cycle % 7 == 0) Drag(editor, kMixX, kMixY, 0, -10, 2);
    ASSERT_EQ(fx.Dispatch(vst::effEditClose), 1);
    ASSERT_FALSE(IsWindow(editor));
    Pump(0);
    host.ClearCalls();
    if (cycle == 9) afterWarmUp = CurrentResourceUse();
  }
  stop = true;
  audio.join();
  Pump(50);
  const ResourceUse atEnd = CurrentResourceUse();
  EXPECT_GT(blocks.load(), 100);
  EXPECT_EQ(EditorIn(window.Handle()), nullptr);
  EXPECT_FALSE(ClassRegistered());
  // Ninety more cycles leave nothing behind: no window, no window system
  // object, no handle, no more than a few kilobytes of heap (one window's
  // surface alone is a megabyte).
  ASSERT_GT(afterWarmUp.gdiObjects, 0);
  ASSERT_GT(afterWarmUp.windows, 0);
  ASSERT_GT(afterWarmUp.handles, 0);
  ASSERT_GT(afterWarmUp.heapBytes, 0u);
  EXPECT_LE(atEnd.gdiObjects, afterWarmUp.gdiObjects);
  EXPECT_EQ(atEnd.windows, afterWarmUp.windows);
  EXPECT_LE(atEnd.handles, afterWarmUp.handles);
  EXPECT_LT(atEnd.heapBytes, afterWarmUp.heapBytes + 16 * 1024);
  EXPECT_LT(atEnd.committedBytes, afterWarmUp.committedBytes + 256 * 1024);
}

// ---- hosts that end things at awkward moments ----

// The host closes the plug-in from inside each of the edit calls a click
// makes, as a host whose undo or automation code decides to drop the
// instance. The editor's window procedure is still running then: the close
// completes after the call returns, the window and its class are gone, the
// gesture's end still reaches the host, and the process carries on.
TEST_F(QuillwaveEditor, HostClosesThePlugInFromInsideEachEditCallOfAClick) {
  ResourceUse afterFirstRound;
  for (int round = 0; round < 2; ++round) {
    for (const vst::VstInt32 trigger : kEditCalls) {
      SCOPED_TRACE("round " + std::to_string(round) + ", host opcode " + std::to_string(trigger));
      auto fx = std::make_unique<Instance>(host);
      fx->Start();
      HWND editor = Open(*fx, window);
      ASSERT_NE(editor, nullptr);
      vst::AEffect* const record = fx->Effect();
      int closes = 0;
      host.ClearCalls();
      host.SetEditHook([&](vst::AEffect* e, vst::VstInt32 opcode) {
        if (e != record || opcode != trigger || closes > 0) return;
        ++closes;
        e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
      });
      Click(editor, kTempoSyncX, 75);
      host.SetEditHook({});
      if (closes > 0) fx->Forget();
      ASSERT_EQ(closes, 1) << "the click's edit calls never reached the host";
      EXPECT_FALSE(IsWindow(editor));
      EXPECT_EQ(EditorIn(window.Handle()), nullptr);
      EXPECT_FALSE(ClassRegistered());
      EXPECT_EQ(GetCapture(), nullptr);
      EXPECT_EQ(EditsOfRecord(host, record, Quillwave::kTempoSync), "BAE");
    }
    Pump(20);
    if (round == 0) afterFirstRound = CurrentResourceUse();
  }
  // The second round left nothing behind: no window, no window system
  // object, no instance (one holds far more than 16 KiB).
  const ResourceUse atEnd = CurrentResourceUse();
  ASSERT_GT(afterFirstRound.windows, 0);
  ASSERT_GT(afterFirstRound.gdiObjects, 0);
  EXPECT_EQ(atEnd.windows, afterFirstRound.windows);
  EXPECT_LE(atEnd.gdiObjects, afterFirstRound.gdiObjects);
  EXPECT_LT(atEnd.heapBytes, afterFirstRound.heapBytes + 16 * 1024);

  // Another instance's editor opens in the same window and works.
  Instance next(host);
  next.Start();
  HWND editor = Open(next, window);
  ASSERT_NE(editor, nullptr);
  host.ClearCalls();
  Drag(editor, kMixX, kMixY, 0, -36, 3);
  EXPECT_FLOAT_EQ(next.GetParameter(Quillwave::kMix), 0.625f);
  EXPECT_EQ(EditsOf(host, next, Quillwave::kMix), "BAAAE");
  EXPECT_TRUE(Shows(editor, Reference(next), "after-closes"));
  EXPECT_EQ(next.Dispatch(vst::effEditClose), 1);
}

// The host closes only the editor from inside each edit call of a click:
// the window goes from inside its own procedure, the host hears the whole
// gesture, and the instance opens its editor again and goes on working.
TEST_F(QuillwaveEditor, HostClosesTheEditorFromInsideEachEditCallOfAClick) {
  Instance fx(host);
  fx.Start();
  for (const vst::VstInt32 trigger : kEditCalls) {
    SCOPED_TRACE("host opcode " + std::to_string(trigger));
    HWND editor = Open(fx, window);
    ASSERT_NE(editor, nullptr);
    int closes = 0;
    vst::VstIntPtr answer = 0;
    host.ClearCalls();
    host.SetEditHook([&](vst::AEffect* e, vst::VstInt32 opcode) {
      if (e != fx.Effect() || opcode != trigger || closes > 0) return;
      ++closes;
      answer = e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f);
    });
    Click(editor, kTempoSyncX, 75);
    host.SetEditHook({});
    ASSERT_EQ(closes, 1) << "the click's edit calls never reached the host";
    EXPECT_EQ(answer, 1);
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(EditorIn(window.Handle()), nullptr);
    EXPECT_FALSE(ClassRegistered());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(EditsOf(host, fx, Quillwave::kTempoSync), "BAE");
    EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kTempoSync), 1.0f);

    // Opened again, it shows the value and takes the next click.
    editor = Open(fx, window);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(Shows(editor, Golden("panel-temposync.png"), "reopened-temposync"));
    host.ClearCalls();
    Click(editor, kTempoSyncX, 65);
    EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kTempoSync), 0.0f);
    EXPECT_EQ(EditsOf(host, fx, Quillwave::kTempoSync), "BAE");
    EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
  }
}

// Closing the editor, or the plug-in with its editor open, while the mouse
// button is still down on a knob: the release never comes, so the host hears
// the gesture's end from the close, and the mouse is free again.
TEST_F(QuillwaveEditor, ClosingDuringADragEndsTheHostsGesture) {
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);
  host.ClearCalls();
  PostMouse(editor, WM_LBUTTONDOWN, MK_LBUTTON, kMixX, kMixY);
  PostMouse(editor, WM_MOUSEMOVE, MK_LBUTTON, kMixX, kMixY - 18);
  EXPECT_EQ(GetCapture(), editor);
  // The window hands the edits over as they happen, without an idle call.
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BA");
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BAE");
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.5625f);

  // Reopened, a drag makes a gesture of its own.
  editor = Open(fx, window);
  ASSERT_NE(editor, nullptr);
  host.ClearCalls();
  Drag(editor, kMixX, kMixY, 0, 36, 2);
  EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BAAE");
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMix), 0.4375f);

  // effClose with the editor open, the button still down.
  PostMouse(editor, WM_LBUTTONDOWN, MK_LBUTTON, kMixX, kMixY);
  PostMouse(editor, WM_MOUSEMOVE, MK_LBUTTON, kMixX, kMixY - 18);
  ASSERT_EQ(GetCapture(), editor);
  vst::AEffect* const record = fx.Effect();
  host.ClearCalls();
  fx.Close();
  EXPECT_EQ(EditsOfRecord(host, record, Quillwave::kMix), "E");
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_FALSE(ClassRegistered());
}

// The host destroys its window with the editor inside, in the middle of a
// drag, and later opens the editor in a new window at another size, with
// or without closing it in between: the editor appears there, whole and at
// the top left, and works; the cut-short gesture ends at the host's next
// call.
TEST_F(QuillwaveEditor, HostWindowDestroyedUnderTheEditorThenANewOne) {
  Instance fx(host);
  fx.Start();
  for (const bool closedBetween : {false, true}) {
    SCOPED_TRACE(closedBetween ? "effEditClose in between" : "no effEditClose in between");
    auto first = std::make_unique<HostWindow>(kW, kH);
    HWND editor = Open(fx, *first);
    ASSERT_NE(editor, nullptr);
    host.ClearCalls();
    PostMouse(editor, WM_LBUTTONDOWN, MK_LBUTTON, kMixX, kMixY);
    PostMouse(editor, WM_MOUSEMOVE, MK_LBUTTON, kMixX, kMixY - 18);
    ASSERT_EQ(GetCapture(), editor);
    first.reset();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(GetCapture(), nullptr);
    if (closedBetween) {
      EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
      EXPECT_FALSE(ClassRegistered());
    } else {
      EXPECT_EQ(fx.Dispatch(vst::effEditIdle), 0);
    }
    EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BAE");

    HostWindow second(kW + 60, kH + 40);
    editor = Open(fx, second);
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(IsWindowVisible(editor));
    const RECT place = PlaceInParent(editor);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, 0);
    EXPECT_EQ(place.right, kW);
    EXPECT_EQ(place.bottom, kH);
    EXPECT_TRUE(Shows(editor, Reference(fx), "new-parent"));
    host.ClearCalls();
    Drag(editor, kMixX, kMixY, 0, 36, 2);
    EXPECT_EQ(EditsOf(host, fx, Quillwave::kMix), "BAAE");
    EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
    EXPECT_FALSE(ClassRegistered());
  }
}

// The picture of the Windows build: the panel set up by posted clicks and a
// drag in a host window, checked against the panel drawn off-screen and
// written beside the program as windows-editor.png, with the frame and
// title bar Wine draws. The frame has no system menu: Wine has no symbol
// font for its buttons and would draw them as letters.
TEST_F(QuillwaveEditor, ScreenshotInTheHostWindow) {
  HostWindow framed(kW, kH, "Quillwave - Windows test host", WS_OVERLAPPED | WS_CAPTION);
  Instance fx(host);
  fx.Start();
  HWND editor = Open(fx, framed);
  ASSERT_NE(editor, nullptr);
  Click(editor, kTempoSyncX, 75);  // tempo sync: "host"
  Click(editor, 212, 85);          // mode: "pan"
  Click(editor, 628, 141);         // filter: "Wah"
  Drag(editor, kMixX, kMixY, 0, -40, 4);
  Click(editor, 216, kPrefixY);  // the third note kind
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kTempoSync), 1.0f);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kMode), 1.0f);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kFilterMode), 1.0f);
  EXPECT_FLOAT_EQ(fx.GetParameter(Quillwave::kPrefix), 1.0f);
  ASSERT_TRUE(Shows(editor, Reference(fx), "screenshot"));

  int width = 0, height = 0;
  const Pixels whole = ReadWholeWindow(framed.Handle(), width, height);
  ASSERT_GE(width, kW);
  ASSERT_GE(height, kH);
  EXPECT_TRUE(WritePng("windows-editor.png", whole, width, height));
  EXPECT_EQ(fx.Dispatch(vst::effEditClose), 1);
}

}  // namespace
