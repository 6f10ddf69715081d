// The Windows editor window inside a host window, driven by posted window
// messages: the window class, redraws compared with the headless editor,
// mouse and key input reaching the controls and the host, text entry, and
// the window going away under a drag or an entry.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>

#include "HostWindow.h"
#include "WinEditorFixture.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "editor/win/IGraphicsWin.h"
#include "raster/SysBitmap.h"

using namespace qwtest;

namespace {

constexpr int kW = WinTestPanel::kWidth, kH = WinTestPanel::kHeight;
constexpr int kKnobCX = WinTestPanel::kKnobX + 55, kKnobCY = WinTestPanel::kKnobY + 55;

bool ClassRegistered() {
  WNDCLASSA wc;
  return GetClassInfoA(GetModuleHandleA(nullptr), IGraphicsWin::kWindowClassName, &wc) != 0;
}

// One plug-in core with the test panel on a Windows editor (owned by the
// core), opened in the host's window unless asked otherwise.
struct WinEditor {
  WinTestEffect fx;
  IGraphicsWin* g = new IGraphicsWin(&fx, kW, kH, 25);
  HWND window = nullptr;

  explicit WinEditor(HostWindow* host = nullptr) {
    WinTestPanel::Build(fx, g);
    if (host) Open(*host);
  }
  void Open(HostWindow& host) {
    window = static_cast<HWND>(g->OpenWindow(host.Handle()));
    // The first paint draws everything and leaves nothing dirty.
    PumpUntil([this] {
      IRect dirty;
      return !g->CollectDirtyArea(dirty);
    }, 1000);
  }
  double Mix() const { return fx.GetParameter(WinTestEffect::kMix)->Value(); }
  double Mode() const { return fx.GetParameter(WinTestEffect::kMode)->Value(); }
  IControl* Knob() const { return g->GetControl(1); }
};

std::vector<std::uint32_t> SurfacePixels(IGraphics& g) {
  const raster::SysBitmap* s = g.Surface();
  std::vector<std::uint32_t> out(std::size_t(kW) * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      out[std::size_t(y) * kW + std::size_t(x)] =
          s->GetBits()[std::size_t(y) * std::size_t(s->GetRowSpan()) + std::size_t(x)];
  return out;
}

// Pixels whose red, green or blue differ, with the first one found.
struct Difference {
  int count = 0;
  int x = -1, y = -1;
};
Difference Compare(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  Difference d;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    if ((a[i] & 0xFFFFFF) == (b[i] & 0xFFFFFF)) continue;
    if (d.count++ == 0) d.x = int(i % kW), d.y = int(i / kW);
  }
  return d;
}

// The same panel and values drawn by the headless editor.
std::vector<std::uint32_t> HeadlessSnapshot(double mix, double mode) {
  WinTestEffect fx;
  auto* g = new IGraphicsHeadless(&fx, kW, kH, 25);
  WinTestPanel::Build(fx, g);
  g->PushParameterToControls(WinTestEffect::kMix, mix, false);
  g->PushParameterToControls(WinTestEffect::kMode, mode, false);
  g->Tick();
  return SurfacePixels(*g);
}

// Waits for the window's redraws until it shows want; what still differs.
Difference Shown(HWND window, const std::vector<std::uint32_t>& want) {
  Difference d;
  PumpUntil([&] { return (d = Compare(ReadPixels(window, kW, kH), want)).count == 0; }, 1000);
  return d;
}

TEST(EditorWindow, OpensAsChildOfTheHostWindowAndMatchesTheHeadlessEditor) {
  HostWindow host(kW, kH);
  WinEditor ed(&host);
  ASSERT_NE(ed.window, nullptr);
  EXPECT_EQ(GetParent(ed.window), host.Handle());
  EXPECT_EQ(GetWindowLongPtrA(ed.window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE),
            LONG_PTR(WS_CHILD | WS_VISIBLE));
  char name[64] = {}, title[64] = {};
  GetClassNameA(ed.window, name, sizeof name);
  GetWindowTextA(ed.window, title, sizeof title);
  EXPECT_STREQ(name, "QuillwaveWndClass");
  EXPECT_STREQ(title, "Quillwave");
  RECT r;
  GetClientRect(ed.window, &r);
  EXPECT_EQ(r.right, kW);
  EXPECT_EQ(r.bottom, kH);
  EXPECT_TRUE(ed.g->IsWindowOpen());
  EXPECT_STREQ(ed.g->DrawingApiName(), "Windows GDI");

  const auto shown = ReadPixels(ed.window, kW, kH);
  const Difference fromSurface = Compare(shown, SurfacePixels(*ed.g));
  EXPECT_EQ(fromSurface.count, 0) << "first at " << fromSurface.x << "," << fromSurface.y;
  const Difference fromHeadless = Compare(shown, HeadlessSnapshot(0.5, 0));
  EXPECT_EQ(fromHeadless.count, 0) << "first at " << fromHeadless.x << "," << fromHeadless.y;
  if (const char* dir = std::getenv("QW_SNAPSHOT_DIR"))
    WritePng(std::string(dir) + "/editor-window.png", shown, kW, kH);

  // A value from the host shows at the next tick, and only the knob is redrawn.
  ed.g->PushParameterToControls(WinTestEffect::kMix, 0.9, false);
  ed.g->PushParameterToControls(WinTestEffect::kMode, 2, false);
  const Difference after = Shown(ed.window, HeadlessSnapshot(0.9, 2));
  EXPECT_EQ(after.count, 0) << "first at " << after.x << "," << after.y;
}

TEST(EditorWindow, ARedrawOutsideAPaintReachesTheWindowAtOnce) {
  HostWindow host(kW, kH);
  WinEditor ed(&host);
  ASSERT_NE(ed.window, nullptr);
  ed.g->PushParameterToControls(WinTestEffect::kMix, 0.9, false);
  // No message runs in between: neither the tick nor a paint draws it.
  ed.g->Redraw({0, 0, kW, kH});
  const Difference d = Compare(ReadPixels(ed.window, kW, kH), HeadlessSnapshot(0.9, 0));
  EXPECT_EQ(d.count, 0) << "first at " << d.x << "," << d.y;
}

TEST(EditorWindow, TwoEditorsShareOneClassThatGoesWithTheLast) {
  // Each in its own host window, as a host shows two plug-ins' editors.
  HostWindow host(kW, kH), host2(kW, kH);
  ASSERT_FALSE(ClassRegistered());
  WinEditor a(&host), b(&host2);
  ASSERT_NE(a.window, nullptr);
  ASSERT_NE(b.window, nullptr);
  EXPECT_NE(a.window, b.window);
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 2);
  EXPECT_TRUE(ClassRegistered());
  // Both redraw: each shows its own knob value.
  a.g->PushParameterToControls(WinTestEffect::kMix, 0.1, false);
  b.g->PushParameterToControls(WinTestEffect::kMix, 0.8, false);
  EXPECT_EQ(Shown(a.window, HeadlessSnapshot(0.1, 0)).count, 0);
  EXPECT_EQ(Shown(b.window, HeadlessSnapshot(0.8, 0)).count, 0);

  a.g->CloseWindow();
  EXPECT_FALSE(IsWindow(a.window));
  EXPECT_FALSE(a.g->IsWindowOpen());
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 1);
  EXPECT_TRUE(ClassRegistered());
  b.g->PushParameterToControls(WinTestEffect::kMix, 0.3, false);
  EXPECT_EQ(Shown(b.window, HeadlessSnapshot(0.3, 0)).count, 0);

  a.Open(host);
  ASSERT_NE(a.window, nullptr);
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 2);
  EXPECT_EQ(Compare(ReadPixels(a.window, kW, kH), HeadlessSnapshot(0.1, 0)).count, 0);

  a.g->CloseWindow();
  b.g->CloseWindow();
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 0);
  EXPECT_FALSE(ClassRegistered());
  b.g->CloseWindow();  // closing a closed editor changes nothing
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 0);
}

TEST(EditorWindow, ReopeningWhileOpenKeepsPlaceAndSize) {
  HostWindow host(kW + 100, kH + 100);
  WinEditor ed(&host);
  SetWindowPos(ed.window, nullptr, 30, 40, kW - 20, kH - 10, SWP_NOZORDER | SWP_NOACTIVATE);
  HWND again = static_cast<HWND>(ed.g->OpenWindow(host.Handle()));
  ASSERT_NE(again, nullptr);
  EXPECT_FALSE(IsWindow(ed.window));
  RECT r;
  GetWindowRect(again, &r);
  MapWindowPoints(HWND_DESKTOP, host.Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 30);
  EXPECT_EQ(r.top, 40);
  EXPECT_EQ(r.right - r.left, kW - 20);
  EXPECT_EQ(r.bottom - r.top, kH - 10);
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 1);
}

TEST(EditorWindow, NoWindowWithoutAParent) {
  WinEditor ed;
  // A child window needs a parent: nothing opens and the class is released.
  EXPECT_EQ(ed.g->OpenWindow(nullptr), nullptr);
  EXPECT_FALSE(ed.g->IsWindowOpen());
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 0);
  EXPECT_FALSE(ClassRegistered());
}

TEST(EditorWindow, KnobDragWheelAndDoubleClickReachTheHost) {
  HostWindow host(kW, kH);
  WinEditor ed(&host);
  ASSERT_NE(ed.window, nullptr);

  // Up by 44 pixels with gearing 4 on a 110-pixel knob: 44 / 110 / 4 = 0.1.
  Drag(ed.window, kKnobCX, kKnobCY, 0, -44, 4);
  EXPECT_NEAR(ed.Mix(), 0.6, 1e-9);
  // The window handed every edit to the host as it handled the messages.
  EXPECT_FALSE(ed.fx.HostEditsPending());
  ASSERT_FALSE(ed.fx.events.empty());
  EXPECT_EQ(ed.fx.events.front().kind, 'B');
  EXPECT_EQ(ed.fx.events.back().kind, 'E');
  EXPECT_EQ(ed.fx.Count('B', WinTestEffect::kMix), 1);
  EXPECT_EQ(ed.fx.Count('E', WinTestEffect::kMix), 1);
  EXPECT_EQ(ed.fx.Count('I', WinTestEffect::kMix), 4);
  EXPECT_NEAR(ed.fx.Last('I')->value, 0.6, 1e-9);
  EXPECT_EQ(GetCapture(), nullptr);

  // Shift makes it ten times finer; the drag keeps going outside the knob.
  Drag(ed.window, kKnobCX, kKnobCY, 300, 44, 2, MK_SHIFT);
  EXPECT_NEAR(ed.Mix(), 0.59, 1e-9);
  EXPECT_EQ(ed.g->CaptureIndex(), -1);

  // Wheel: one notch is 0.01; less than a notch is nothing.
  ed.fx.events.clear();
  Wheel(ed.window, kKnobCX, kKnobCY, 120);
  EXPECT_NEAR(ed.Mix(), 0.60, 1e-9);
  Wheel(ed.window, kKnobCX, kKnobCY, -240);
  EXPECT_NEAR(ed.Mix(), 0.58, 1e-9);
  Wheel(ed.window, kKnobCX, kKnobCY, 100);
  EXPECT_NEAR(ed.Mix(), 0.58, 1e-9);
  Wheel(ed.window, kKnobCX, kKnobCY, 120, MK_CONTROL);
  EXPECT_NEAR(ed.Mix(), 0.581, 1e-9);
  EXPECT_EQ(ed.fx.Count('B', WinTestEffect::kMix), 0);  // the wheel makes no gesture

  // A double click puts the knob back to its default; the gestures the
  // presses began are ended.
  ed.fx.events.clear();
  DoubleClick(ed.window, kKnobCX, kKnobCY);
  EXPECT_NEAR(ed.Mix(), 0.5, 1e-9);
  EXPECT_NEAR(ed.fx.Last('I')->value, 0.5, 1e-9);
  EXPECT_EQ(ed.fx.Count('B', WinTestEffect::kMix), 1);
  EXPECT_EQ(ed.fx.Count('E', WinTestEffect::kMix), 1);
  EXPECT_EQ(GetCapture(), nullptr);

  // The redraw shows the final value.
  EXPECT_EQ(Shown(ed.window, HeadlessSnapshot(0.5, 0)).count, 0);
}

// ---- the window going away ----

TEST(EditorWindow, ClosingDuringADragEndsTheGestureAndFreesTheMouse) {
  HostWindow host(kW, kH);
  WinEditor ed(&host);
  PostMouse(ed.window, WM_LBUTTONDOWN, MK_LBUTTON, kKnobCX, kKnobCY);
  PostMouse(ed.window, WM_MOUSEMOVE, MK_LBUTTON, kKnobCX, kKnobCY - 22);
  ASSERT_EQ(GetCapture(), ed.window);
  ASSERT_EQ(ed.g->CaptureIndex(), 1);
  EXPECT_EQ(ed.fx.Count('B', WinTestEffect::kMix), 1);
  EXPECT_EQ(ed.fx.Count('I', WinTestEffect::kMix), 1);
  ed.g->CloseWindow();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(ed.g->CaptureIndex(), -1);
  // The end waits for the host's next call into the plug-in.
  ed.fx.DeliverHostEdits();
  EXPECT_EQ(ed.fx.Count('E', WinTestEffect::kMix), 1);
  EXPECT_EQ(ed.fx.events.back().kind, 'E');
  EXPECT_NEAR(ed.Mix(), 0.55, 1e-9);
}

TEST(EditorWindow, DestroyedWithItsParentMidDragThenOpenedOnANewOne) {
  auto host = std::make_unique<HostWindow>(kW, kH);
  WinEditor ed(host.get());
  ASSERT_NE(ed.window, nullptr);
  PostMouse(ed.window, WM_LBUTTONDOWN, MK_LBUTTON, kKnobCX, kKnobCY);
  PostMouse(ed.window, WM_MOUSEMOVE, MK_LBUTTON, kKnobCX, kKnobCY - 22);
  ASSERT_EQ(GetCapture(), ed.window);
  ed.g->HidePointer();

  host.reset();
  EXPECT_FALSE(IsWindow(ed.window));
  EXPECT_FALSE(ed.g->IsWindowOpen());
  EXPECT_EQ(ed.g->GetWindow(), nullptr);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(ed.g->CaptureIndex(), -1);
  EXPECT_FALSE(ed.g->PointerHidden());
  ed.fx.DeliverHostEdits();
  EXPECT_EQ(ed.fx.Count('E', WinTestEffect::kMix), 1);
  // The class stays this editor's until it is closed.
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 1);

  // A new parent, larger: the editor opens at its top left, at its own size.
  HostWindow second(kW + 50, kH + 40);
  ed.Open(second);
  ASSERT_NE(ed.window, nullptr);
  EXPECT_EQ(GetParent(ed.window), second.Handle());
  EXPECT_TRUE(IsWindowVisible(ed.window));
  RECT r = {};
  ASSERT_TRUE(GetWindowRect(ed.window, &r));
  MapWindowPoints(HWND_DESKTOP, second.Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, kW);
  EXPECT_EQ(r.bottom, kH);
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 1);
  EXPECT_EQ(Shown(ed.window, HeadlessSnapshot(0.55, 0)).count, 0);

  ed.fx.events.clear();
  Drag(ed.window, kKnobCX, kKnobCY, 0, 22, 2);
  EXPECT_NEAR(ed.Mix(), 0.5, 1e-9);
  EXPECT_EQ(ed.fx.Count('B', WinTestEffect::kMix), 1);
  EXPECT_EQ(ed.fx.Count('E', WinTestEffect::kMix), 1);
  ed.g->CloseWindow();
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 0);
  EXPECT_FALSE(ClassRegistered());
}

TEST(EditorWindow, RadioClicksBetweenOverlappingButtons) {
  HostWindow host(kW, kH);
  WinEditor ed(&host);
  const IRect r = WinTestPanel::kRadio;
  struct Row {
    int x;
    double mode;
  };
  // Buttons at 0..31, 24..55 and 48..79: the first one in order takes the
  // overlaps.
  const Row rows[] = {{60, 2}, {28, 0}, {50, 1}, {5, 0}, {52, 1}, {79, 2}, {30, 0}, {40, 1}, {56, 2}};
  for (const Row& row : rows) {
    ed.fx.events.clear();
    Click(ed.window, r.left + row.x, r.top + 16);
    EXPECT_EQ(ed.Mode(), row.mode) << "x " << row.x;
    EXPECT_EQ(ed.fx.Count('B', WinTestEffect::kMode), 1);
    EXPECT_EQ(ed.fx.Count('E', WinTestEffect::kMode), 1);
    ASSERT_NE(ed.fx.Last('I'), nullptr);
    EXPECT_NEAR(ed.fx.Last('I')->value, row.mode / 2.0, 1e-9);
  }
  // A click on the background changes nothing.
  ed.fx.events.clear();
  Click(ed.window, 600, 30);
  EXPECT_TRUE(ed.fx.events.empty());
  EXPECT_EQ(Shown(ed.window, HeadlessSnapshot(0.5, 2)).count, 0);
}

TEST(EditorWindow, KeysNoControlTakesReachTheHostWindow) {
  HostWindow host(kW, kH);
  WinEditor ed(&host);
  for (WPARAM vk : {WPARAM(VK_ESCAPE), WPARAM(VK_F5), WPARAM(VK_NUMPAD3), WPARAM('A'),
                    WPARAM(VK_SPACE), WPARAM('7')}) {
    host.ClearKeys();
    Key(ed.window, vk);
    ASSERT_EQ(host.Keys().size(), 2u) << "vk " << vk;
    EXPECT_EQ(host.Keys()[0].first, UINT(WM_KEYDOWN));
    EXPECT_EQ(host.Keys()[0].second, vk);
    EXPECT_EQ(host.Keys()[1].first, UINT(WM_KEYUP));
  }
  EXPECT_NEAR(ed.Mix(), 0.5, 1e-12);
}

TEST(EditorWindow, MiddleButtonPressEndsItsGesture) {
  HostWindow host(kW, kH);
  WinEditor ed(&host);
  PostMouse(ed.window, WM_MBUTTONDOWN, MK_MBUTTON, kKnobCX, kKnobCY);
  EXPECT_EQ(GetCapture(), ed.window);
  PostMouse(ed.window, WM_MBUTTONUP, 0, kKnobCX, kKnobCY);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(ed.fx.Count('B', WinTestEffect::kMix), 1);
  EXPECT_EQ(ed.fx.Count('E', WinTestEffect::kMix), 1);
}

// ---- text entry ----

struct EntryCase : ::testing::Test {
  HostWindow host{kW, kH};
  WinEditor ed{&host};
  HWND Entry() const { return ed.g->TextEntryWindow(); }
  void OpenOn(int param, const char* text) {
    IControl* c = param == WinTestEffect::kMix ? ed.Knob() : ed.g->GetControl(2);
    ed.g->OpenTextEntry(c, c->TextStyle(), c->Rect(), text, ed.fx.GetParameter(param));
  }
  // Sent, not posted: no redraw tick runs in between.
  void Type(const char* s) {
    for (; *s; ++s) SendMessageA(Entry(), WM_CHAR, WPARAM(static_cast<unsigned char>(*s)), 1);
  }
  std::string Text() const {
    char t[64] = {};
    GetWindowTextA(Entry(), t, sizeof t);
    return t;
  }
  void PressKey(WPARAM vk) { SendMessageA(Entry(), WM_KEYDOWN, vk, 1); }
};

TEST_F(EntryCase, OpensOverTheControlWithFocusAndSelectedText) {
  OpenOn(WinTestEffect::kMix, "0.50");
  ASSERT_NE(Entry(), nullptr);
  EXPECT_EQ(GetParent(Entry()), ed.window);
  EXPECT_EQ(GetDlgCtrlID(Entry()), IGraphicsWin::kTextEntryId);
  EXPECT_EQ(GetFocus(), Entry());
  EXPECT_EQ(ed.g->EntryState(), IGraphicsWin::kEntryEditing);
  EXPECT_EQ(Text(), "0.50");
  DWORD from = 1, to = 0;
  SendMessageA(Entry(), EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 4u);
  RECT r;
  GetWindowRect(Entry(), &r);
  MapWindowPoints(HWND_DESKTOP, ed.window, reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, WinTestPanel::kKnobX);
  EXPECT_EQ(r.top, WinTestPanel::kKnobY);
  EXPECT_EQ(r.right - r.left, WinTestPanel::kKnobSize + 1);
  // A second entry does not open over the first.
  HWND first = Entry();
  OpenOn(WinTestEffect::kMode, "1");
  EXPECT_EQ(Entry(), first);
}

TEST_F(EntryCase, ReturnCommitsAtTheNextTickWithCharactersFiltered) {
  OpenOn(WinTestEffect::kMix, "0.50");
  Type("x0y.7z");  // letters never reach a number's entry; '.' does
  EXPECT_EQ(Text(), "0.7");
  PressKey(VK_RETURN);
  EXPECT_EQ(ed.g->EntryState(), IGraphicsWin::kEntryCommit);
  EXPECT_NEAR(ed.Mix(), 0.5, 1e-12);  // not before the tick
  ASSERT_TRUE(PumpUntil([&] { return Entry() == nullptr; }, 1000));
  EXPECT_NEAR(ed.Mix(), 0.7, 1e-9);
  EXPECT_EQ(ed.g->EntryState(), IGraphicsWin::kEntryNone);
  ASSERT_NE(ed.fx.Last('I'), nullptr);
  EXPECT_NEAR(ed.fx.Last('I')->value, 0.7, 1e-9);
}

TEST_F(EntryCase, IntegerEntryRefusesTheDecimalPoint) {
  OpenOn(WinTestEffect::kMode, "0");
  Type("1.5");
  EXPECT_EQ(Text(), "15");
  Type("\b\b2");
  EXPECT_EQ(Text(), "2");
  PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return Entry() == nullptr; }, 1000));
  EXPECT_EQ(ed.Mode(), 2);
}

TEST_F(EntryCase, EscapeAndAClickOnTheEditorAbandonTheText) {
  OpenOn(WinTestEffect::kMix, "0.50");
  Type("0.9");
  PressKey(VK_ESCAPE);
  EXPECT_EQ(ed.g->EntryState(), IGraphicsWin::kEntryCancel);
  ASSERT_TRUE(PumpUntil([&] { return Entry() == nullptr; }, 1000));
  EXPECT_NEAR(ed.Mix(), 0.5, 1e-12);

  OpenOn(WinTestEffect::kMix, "0.50");
  Type("0.9");
  SendMessageA(ed.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(600, 30));
  EXPECT_EQ(ed.g->EntryState(), IGraphicsWin::kEntryCancel);
  ASSERT_TRUE(PumpUntil([&] { return Entry() == nullptr; }, 1000));
  EXPECT_NEAR(ed.Mix(), 0.5, 1e-12);
  EXPECT_TRUE(ed.fx.events.empty());  // the swallowed press reached no control
}

TEST_F(EntryCase, ClosingTheWindowDropsAnOpenEntry) {
  OpenOn(WinTestEffect::kMix, "0.50");
  Type("0.9");
  PressKey(VK_RETURN);
  ed.g->CloseWindow();
  EXPECT_EQ(Entry(), nullptr);
  Pump(100);  // ticks that would have applied it, had the timer lived on
  EXPECT_NEAR(ed.Mix(), 0.5, 1e-12);
  EXPECT_TRUE(ed.fx.events.empty());
}

TEST_F(EntryCase, AWindowDestroyedByTheHostTakesItsEntryUnapplied) {
  OpenOn(WinTestEffect::kMix, "0.50");
  Type("0.9");
  PressKey(VK_RETURN);  // to be applied at the next tick
  HWND entry = Entry();
  ASSERT_TRUE(DestroyWindow(ed.window));
  EXPECT_FALSE(IsWindow(entry));
  EXPECT_EQ(Entry(), nullptr);
  EXPECT_EQ(ed.g->EntryState(), IGraphicsWin::kEntryNone);
  EXPECT_FALSE(ed.g->IsWindowOpen());
  Pump(100);
  EXPECT_NEAR(ed.Mix(), 0.5, 1e-12);
  EXPECT_TRUE(ed.fx.events.empty());
  ed.g->CloseWindow();
  EXPECT_EQ(IGraphicsWin::WindowClassUsers(), 0);
}

TEST_F(EntryCase, LosingTheFocusCommits) {
  OpenOn(WinTestEffect::kMix, "0.50");
  Type("0.25");
  SetFocus(ed.window);
  EXPECT_EQ(ed.g->EntryState(), IGraphicsWin::kEntryCommit);
  ASSERT_TRUE(PumpUntil([&] { return Entry() == nullptr; }, 1000));
  EXPECT_NEAR(ed.Mix(), 0.25, 1e-9);
}

}  // namespace
