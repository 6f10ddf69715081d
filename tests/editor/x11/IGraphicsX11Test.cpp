// The editor on X11 with a panel of the library's images: what the window
// shows next to the same panel drawn headless, the mouse and the keyboard
// reaching the controls, the text box, the services, and closing at awkward
// moments.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <thread>

#include "EditorTestSupport.h"
#include "X11TestPanel.h"
#include "X11HostDisplay.h"
#include "XvfbTestSuite.h"
#include "editor/IPopupMenu.h"
#include "editor/x11/IGraphicsX11.h"
#include "editor/x11/X11Connection.h"
#include "editor/x11/XlibHeaders.h"

namespace qwtest {
namespace {

namespace fs = std::filesystem;
using P = EditorTestEffect;
constexpr int kW = 689, kH = 369;

// The test panel of the editor tests, on either window layer.
struct Panel {
  EditorTestEffect fx;
  IGraphics* g;  // owned by fx
  X11TestPanel controls;
  IKnobMultiControlCap *mix, *rate;
  IRadioButtonsControl* sync;

  explicit Panel(bool x11)
      : g(x11 ? static_cast<IGraphics*>(new IGraphicsX11(&fx, kW, kH, 25))
              : new IGraphicsHeadless(&fx, kW, kH, 25)) {
    controls.Build(fx, g);
    mix = controls.mix;
    rate = controls.rate;
    sync = controls.sync;
    fx.freeControl = controls.rate;
    fx.syncedControl = controls.note;
  }
  IGraphicsX11* X11() { return static_cast<IGraphicsX11*>(g); }
  // What the editor told the host so far.
  std::vector<P::Event> Events() { return fx.EventsCopy(); }
  std::vector<Pixel> Surface() const {
    const raster::SysBitmap* s = g->Surface();
    std::vector<Pixel> out;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) out.push_back(s->GetBits()[y * s->GetRowSpan() + x] & 0xFFFFFF);
    return out;
  }
};

IRect Centre(const IControl* c) {
  const IRect& r = c->Rect();
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2, 0, 0};
}

class IGraphicsX11Test : public XvfbTestSuite {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Ok());
    parent_ = host_.MakeParent(kW + 40, kH + 40, 10, 10);
    errorsBefore_ = X11Connection::ProcessErrorCount();
  }
  void TearDown() override {
    panel_.g->CloseWindow();
    XDestroyWindow(host_.Get(), parent_);
    host_.Sync();
    EXPECT_EQ(X11Connection::ProcessErrorCount(), errorsBefore_) << "X errors on the editor";
    EXPECT_EQ(host_.Errors(), 0);
  }

  Window Open() {
    void* w = panel_.g->OpenWindow(reinterpret_cast<void*>(parent_));
    EXPECT_NE(w, nullptr);
    const Window window = Window(reinterpret_cast<uintptr_t>(w));
    EXPECT_TRUE(WaitUntil([&] { return host_.Viewable(window); }));
    return window;
  }
  std::vector<Pixel> Shown(Window w) { return host_.Pixels(w, 0, 0, kW, kH); }
  // The headless twin set to the X11 panel's values and drawn afresh.
  std::vector<Pixel> Expected() {
    for (int i = 0; i < P::kParamCount; ++i) {
      const double v = [&] {
        IEffectCore::Hold hold(panel_.fx);
        return panel_.fx.GetParameter(i)->NormalizedFromValue();
      }();
      twin_.fx.HostSets(i, v);
    }
    twin_.g->Redraw({0, 0, kW, kH});
    return twin_.Surface();
  }
  // Waits for the window to show the twin's picture; counts the pixels
  // that differ in the end.
  int Mismatch(Window w) {
    const std::vector<Pixel> want = Expected();
    std::vector<Pixel> got;
    WaitUntil([&] { return (got = Shown(w)) == want; }, 8000);
    int wrong = 0;
    for (size_t i = 0; i < want.size() && i < got.size(); ++i) wrong += got[i] != want[i];
    return got.size() == want.size() ? wrong : int(want.size());
  }

  HostDisplay host_;
  Window parent_ = 0;
  Panel panel_{true};
  Panel twin_{false};
  std::uint64_t errorsBefore_ = 0;
};

TEST_F(IGraphicsX11Test, ShowsWhatTheHeadlessEditorDraws) {
  const Window w = Open();
  EXPECT_TRUE(panel_.X11()->UsesShm());
  EXPECT_STREQ(panel_.g->DrawingApiName(), "Xlib");
  EXPECT_EQ(panel_.g->GetWindow(), reinterpret_cast<void*>(w));
  EXPECT_EQ(Mismatch(w), 0);
  // The host moves a parameter: the window follows at the next tick.
  panel_.fx.HostSets(P::kMix, 0.8);
  panel_.fx.HostSets(P::kSync, 1.0);
  EXPECT_EQ(Mismatch(w), 0);
  EXPECT_TRUE(panel_.rate->IsHidden());
  // Exposed areas are painted again from the editor's picture.
  XClearArea(host_.Get(), w, 0, 0, kW, kH, True);
  host_.Sync();
  EXPECT_EQ(Mismatch(w), 0);
}

TEST_F(IGraphicsX11Test, DraggingAKnobTellsTheHostAndRedraws) {
  const Window w = Open();
  const IRect c = Centre(panel_.mix);
  const double before = panel_.mix->Value();
  host_.MovePointer(w, c.left, c.top);
  host_.Button(1, true);
  for (int dy = 4; dy <= 40; dy += 4) host_.MovePointer(w, c.left, c.top - dy);
  host_.Button(1, false);
  ASSERT_TRUE(WaitUntil([&] { return panel_.fx.Count('E') == 1; }));
  const auto events = panel_.Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front(), (P::Event{'B', P::kMix, 0.0}));
  EXPECT_EQ(events.back(), (P::Event{'E', P::kMix, 0.0}));
  EXPECT_EQ(panel_.fx.Count('I'), int(events.size()) - 2);
  EXPECT_GT(panel_.mix->Value(), before);
  EXPECT_NEAR(events[events.size() - 2].value, panel_.mix->Value(), 1e-12);
  EXPECT_EQ(Mismatch(w), 0);
}

TEST_F(IGraphicsX11Test, WheelNotchesAndDoubleClickReset) {
  const Window w = Open();
  const IRect c = Centre(panel_.mix);
  host_.MovePointer(w, c.left, c.top);
  host_.Button(4, true);
  host_.Button(4, false);
  ASSERT_TRUE(WaitUntil([&] { return panel_.fx.Count('I') == 1; }));
  EXPECT_NEAR(panel_.mix->Value(), 0.51, 1e-9);
  host_.Button(5, true);
  host_.Button(5, false);
  host_.Button(5, true);
  host_.Button(5, false);
  ASSERT_TRUE(WaitUntil([&] { return panel_.fx.Count('I') == 3; }));
  EXPECT_NEAR(panel_.mix->Value(), 0.49, 1e-9);
  EXPECT_EQ(Mismatch(w), 0);

  // A double click brings the default back.
  host_.Click(w, c.left, c.top);
  host_.Click(w, c.left, c.top);
  ASSERT_TRUE(WaitUntil([&] { return panel_.fx.Count('I') == 4; }));
  EXPECT_DOUBLE_EQ(panel_.mix->Value(), 0.5);
  EXPECT_EQ(panel_.Events().back().kind, 'I');
  EXPECT_EQ(Mismatch(w), 0);
}

TEST_F(IGraphicsX11Test, ClicksOnTheOverlappingTempoButtons) {
  const Window w = Open();
  const IRect first = panel_.sync->Button(0), second = panel_.sync->Button(1);
  ASSERT_LT(second.top, first.bottom) << "the buttons overlap";
  const int x = (first.left + first.right) / 2;
  struct Case {
    int y;
    double value;
  } cases[] = {{second.bottom - 2, 1.0},             // the second one alone
               {(second.top + first.bottom) / 2, 0.0},  // both: the first one
               {second.bottom - 2, 1.0},
               {first.top + 1, 0.0}};
  int informed = 0;
  for (const Case& k : cases) {
    host_.Click(w, x, k.y);
    ++informed;
    ASSERT_TRUE(WaitUntil([&] { return panel_.fx.Count('E') == informed; })) << k.y;
    EXPECT_EQ(panel_.fx.Count('I'), informed);
    {
      IEffectCore::Hold hold(panel_.fx);
      EXPECT_EQ(panel_.fx.GetParameter(P::kSync)->Value(), k.value) << k.y;
    }
    // Tempo sync shows the note knob instead of the rate knob.
    EXPECT_EQ(Mismatch(w), 0) << k.y;
  }
}

TEST_F(IGraphicsX11Test, TypedValuesCommitOnReturnAndFocusLossOnly) {
  panel_.mix->SetValueEntryDisabled(false);
  const Window w = Open();
  const IRect c = Centre(panel_.mix);
  auto focused = [&] {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(host_.Get(), &focus, &revert);
    return focus == w;
  };
  // Opens the box and waits for it to hold the keyboard.
  auto openBox = [&] {
    host_.Click(w, c.left, c.top, 3);
    return WaitUntil([&] { return panel_.X11()->TextEntryOpen() && focused(); });
  };
  auto boxGone = [&] { return WaitUntil([&] { return !panel_.X11()->TextEntryOpen(); }); };
  auto mix = [&] {
    IEffectCore::Hold hold(panel_.fx);
    return panel_.fx.GetParameter(P::kMix)->Value();
  };

  ASSERT_TRUE(openBox());
  EXPECT_EQ(panel_.X11()->TextEntryText(), "0.50");
  // The box shows over the knob: white inside a dark frame.
  EXPECT_TRUE(WaitUntil([&] {
    return host_.Pixels(w, c.left - 19, c.top - 7, 1, 1) == std::vector<Pixel>{0xFFFFFF};
  }));
  // Letters are not taken, digits and the point are; Return commits.
  for (const char* k : {"a", "0", "period", "2", "x", "5"}) host_.TypeKey(k);
  EXPECT_TRUE(WaitUntil([&] { return panel_.X11()->TextEntryText() == "0.25"; }))
      << panel_.X11()->TextEntryText();
  // Keys went to the box, not to the host.
  EXPECT_TRUE(host_.KeysReceived(parent_).empty());
  host_.TypeKey("Return");
  ASSERT_TRUE(boxGone());
  EXPECT_DOUBLE_EQ(mix(), 0.25);
  // The typed value is a gesture of its own.
  const auto& events = panel_.Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[events.size() - 3], (P::Event{'B', P::kMix, 0.0}));
  EXPECT_EQ(events[events.size() - 2], (P::Event{'I', P::kMix, 0.25}));
  EXPECT_EQ(events.back(), (P::Event{'E', P::kMix, 0.0}));
  EXPECT_EQ(Mismatch(w), 0) << "the box leaves no trace";

  // Escape, a click beside the box and the wheel cancel.
  const std::function<void()> cancels[] = {
      [&] { host_.TypeKey("Escape"); },
      [&] { host_.Click(w, 300, 40); },
      [&] {
        host_.Button(4, true);
        host_.Button(4, false);
      }};
  for (const auto& cancel : cancels) {
    ASSERT_TRUE(openBox());
    host_.TypeKey("9");
    EXPECT_TRUE(WaitUntil([&] { return panel_.X11()->TextEntryText() == "9"; }));
    cancel();
    ASSERT_TRUE(boxGone());
    EXPECT_DOUBLE_EQ(mix(), 0.25);
  }
  EXPECT_EQ(panel_.fx.Count('I'), 1);

  // The keyboard focus leaving commits.
  ASSERT_TRUE(openBox());
  host_.TypeKey("BackSpace");
  host_.TypeKey("1");
  EXPECT_TRUE(WaitUntil([&] { return panel_.X11()->TextEntryText() == "1"; }));
  XSetInputFocus(host_.Get(), parent_, RevertToParent, CurrentTime);
  host_.Sync();
  ASSERT_TRUE(boxGone());
  EXPECT_DOUBLE_EQ(mix(), 1.0);
  EXPECT_EQ(Mismatch(w), 0);
  EXPECT_FALSE(focused()) << "the focus stays where the host put it";

  // Closing the window with a box open applies nothing.
  ASSERT_TRUE(openBox());
  host_.TypeKey("0");
  EXPECT_TRUE(WaitUntil([&] { return panel_.X11()->TextEntryText() == "0"; }));
  panel_.g->CloseWindow();
  EXPECT_FALSE(panel_.X11()->TextEntryOpen());
  EXPECT_DOUBLE_EQ(mix(), 1.0);
}

// Takes the arrow keys only.
class ArrowCatcher : public IControl {
 public:
  ArrowCatcher() : IControl(nullptr, {}) {}
  bool Draw(IGraphics&) override { return true; }
  bool KeyDown(int, int, int code) override {
    codes.push_back(code);
    ++count;
    return code >= kKeyUp && code <= kKeyRight;
  }
  std::vector<int> codes;  // read once the window is closed
  std::atomic<int> count{0};
};

TEST_F(IGraphicsX11Test, AKeyCatcherTakesItsKeysAndTheHostGetsTheRest) {
  auto* catcher = new ArrowCatcher;
  panel_.g->SetKeyCatcher(catcher);
  const Window w = Open();
  host_.MovePointer(w, 300, 40);  // over the background: the catcher's
  for (const char* k : {"Up", "a", "F1", "Left"}) host_.TypeKey(k);
  std::vector<unsigned long> passed;
  ASSERT_TRUE(WaitUntil([&] {
    for (unsigned long k : host_.KeysReceived(parent_)) passed.push_back(k);
    return passed.size() >= 2;
  }));
  EXPECT_EQ(passed, (std::vector<unsigned long>{XK_a, XK_F1}));
  EXPECT_TRUE(WaitUntil([&] { return catcher->count == 3; }));
  panel_.g->CloseWindow();
  EXPECT_EQ(catcher->codes, (std::vector<int>{kKeyUp, kKeyLetterA, kKeyLeft}));
}

TEST_F(IGraphicsX11Test, ClosingDuringADragEndsTheGesture) {
  const Window w = Open();
  const IRect c = Centre(panel_.mix);
  host_.MovePointer(w, c.left, c.top);
  host_.Button(1, true);
  host_.MovePointer(w, c.left, c.top - 10);
  ASSERT_TRUE(WaitUntil([&] { return panel_.fx.Count('I') == 1; }));
  {
    // As a host does: the dispatcher holds the plug-in's lock.
    IEffectCore::Hold hold(panel_.fx);
    panel_.g->CloseWindow();
  }
  host_.Button(1, false);
  EXPECT_EQ(panel_.fx.Count('B'), 1);
  EXPECT_EQ(panel_.fx.Count('E'), 1);
  EXPECT_EQ(panel_.Events().back().kind, 'E');
  EXPECT_EQ(panel_.g->GetWindow(), nullptr);
}

TEST_F(IGraphicsX11Test, ClosingWhileEventsWaitForTheLockDoesNotDeadlock) {
  const Window w = Open();
  const IRect c = Centre(panel_.mix);
  host_.MovePointer(w, c.left, c.top);
  host_.Button(1, true);
  std::atomic<bool> moving{true};
  // Another connection drags on while the closer holds the lock.
  int rootX = 0, rootY = 0;
  host_.RootPosition(w, rootX, rootY);
  std::thread mover([&] {
    HostDisplay other;
    for (int i = 0; moving; ++i) {
      other.MovePointerTo(rootX + c.left, rootY + c.top - (i % 50));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  ASSERT_TRUE(WaitUntil([&] { return panel_.fx.Count('I') > 3; }));
  auto closed = std::async(std::launch::async, [&] {
    IEffectCore::Hold hold(panel_.fx);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // events pile up
    panel_.g->CloseWindow();
  });
  const bool done = closed.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  moving = false;
  mover.join();
  host_.Button(1, false);
  ASSERT_TRUE(done) << "close blocked";
  EXPECT_EQ(panel_.fx.Count('E'), 1);
}

TEST_F(IGraphicsX11Test, TwoEditorsAtOnceEachMoveTheirOwnPlugin) {
  const Window w = Open();
  Panel second(true);
  const Window otherParent = host_.MakeParent(kW, kH, 30, 420);
  void* handle = second.g->OpenWindow(reinterpret_cast<void*>(otherParent));
  ASSERT_NE(handle, nullptr);
  const Window w2 = Window(reinterpret_cast<uintptr_t>(handle));
  ASSERT_TRUE(WaitUntil([&] { return host_.Viewable(w2); }));
  const IRect c = Centre(panel_.mix);
  host_.MovePointer(w2, c.left, c.top);
  host_.Button(5, true);
  host_.Button(5, false);
  ASSERT_TRUE(WaitUntil([&] { return second.fx.Count('I') == 1; }));
  EXPECT_NEAR(second.mix->Value(), 0.49, 1e-9);
  EXPECT_EQ(panel_.fx.Count('I'), 0);
  EXPECT_DOUBLE_EQ(panel_.mix->Value(), 0.5);
  EXPECT_EQ(Mismatch(w), 0);
  second.g->CloseWindow();
  EXPECT_EQ(X11Connection::OpenCount(), 1);
  XDestroyWindow(host_.Get(), otherParent);
}

TEST_F(IGraphicsX11Test, HundredOpenCloseCyclesWhileTheHostAutomates) {
  Open();
  panel_.g->CloseWindow();
  const ProcessResources before = ProcessResources::Now();
  std::atomic<bool> running{true};
  std::thread automation([&] {
    for (int i = 0; running; ++i) {
      panel_.fx.HostSets(P::kMix, (i % 100) / 100.0);
      panel_.fx.HostSets(P::kSync, (i / 50) % 2);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  // Most cycles close while the first drawing is under way; every third
  // waits for it, every sixth also for a later tick's redraw of the
  // automated knob, so that the close meets the ticks at every point.
  const IRect c = Centre(panel_.mix);
  for (int i = 0; i < 100; ++i) {
    void* handle = panel_.g->OpenWindow(reinterpret_cast<void*>(parent_));
    ASSERT_NE(handle, nullptr) << i;
    const Window w = Window(reinterpret_cast<uintptr_t>(handle));
    if (i % 3 == 0) {
      auto knob = [&] { return host_.Pixels(w, c.left - 30, c.top - 30, 60, 60); };
      std::vector<Pixel> first;
      ASSERT_TRUE(WaitUntil([&] {
        if (!host_.Viewable(w)) return false;
        const auto corner = host_.Pixels(w, 0, 0, 1, 1);
        first = knob();
        return corner.size() == 1 && corner[0] != 0 &&
               corner[0] != HostDisplay::kParentBackground;
      })) << i;
      if (i % 6 == 0) {
        EXPECT_TRUE(WaitUntil([&] { return knob() != first; })) << i;
      }
    }
    IEffectCore::Hold hold(panel_.fx);
    panel_.g->CloseWindow();
  }
  running = false;
  automation.join();
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(after.shmSegments, 0);
  EXPECT_TRUE(after.MemoryWithin(before, 4096));
  EXPECT_EQ(X11Connection::OpenCount(), 0);
  EXPECT_TRUE(host_.Children(parent_).empty());
}

TEST_F(IGraphicsX11Test, NoWindowWithoutAUsableParent) {
  EXPECT_EQ(panel_.g->OpenWindow(nullptr), nullptr);
  EXPECT_EQ(panel_.g->OpenWindow(reinterpret_cast<void*>(0x3fffffful)), nullptr);
  EXPECT_EQ(panel_.g->GetWindow(), nullptr);
  EXPECT_FALSE(panel_.g->IsWindowOpen());
  errorsBefore_ = X11Connection::ProcessErrorCount();  // the bad parent's error was expected
}

TEST_F(IGraphicsX11Test, HidingThePointerTwiceAndShowingItOnce) {
  const Window w = Open();
  auto pointer = [&] {
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(host_.Get(), w, &root, &child, &x, &y, &wx, &wy, &mask);
    return std::pair<int, int>{wx, wy};
  };
  host_.MovePointer(w, 100, 120);
  panel_.g->HidePointer();
  host_.MovePointer(w, 300, 30);
  panel_.g->HidePointer();  // already hidden: the first place stays
  host_.MovePointer(w, 500, 200);
  EXPECT_EQ(pointer(), (std::pair<int, int>{500, 200}));
  panel_.g->ShowPointer();
  EXPECT_EQ(pointer(), (std::pair<int, int>{100, 120}));
  host_.MovePointer(w, 400, 100);
  panel_.g->ShowPointer();  // not hidden: nothing moves
  EXPECT_EQ(pointer(), (std::pair<int, int>{400, 100}));
}

TEST_F(IGraphicsX11Test, DialogsMenusAndMessagesReportNothingChosen) {
  Open();
  IPopupMenu menu;
  menu.AddItem("a");
  EXPECT_EQ(panel_.g->ShowPopupMenu(menu, {0, 0, 10, 10}), nullptr);
  EXPECT_EQ(menu.ChosenIndex(), -1);
  EXPECT_EQ(panel_.g->ShowMessage("text", "caption", 0), 0);
  std::string file = "x.wav", folder = "/tmp";
  panel_.g->AskForFile(file, 1, folder, "wav");
  EXPECT_EQ(file, "");
  EXPECT_EQ(folder, "/tmp");
  IColorARGB colour{255, 1, 2, 3};
  EXPECT_FALSE(panel_.g->AskForColor(colour, "prompt"));
  EXPECT_EQ(colour.r, 1);
}

// A fresh folder under the build tree's temporary space.
fs::path TempDir(const char* name) {
  const fs::path dir = fs::temp_directory_path() / (std::string("qw-x11-") + name + "-" +
                                                     std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Sets environment variables for one scope.
class ScopedEnv {
 public:
  void Set(const char* name, const std::string& value) {
    Save(name);
    setenv(name, value.c_str(), 1);
  }
  void Unset(const char* name) {
    Save(name);
    unsetenv(name);
  }
  ~ScopedEnv() {
    for (auto& [name, value] : saved_) {
      if (value.second)
        setenv(name.c_str(), value.first.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
  }

 private:
  void Save(const char* name) {
    if (saved_.count(name)) return;
    const char* v = getenv(name);
    saved_[name] = {v ? v : "", v != nullptr};
  }
  std::map<std::string, std::pair<std::string, bool>> saved_;
};

TEST_F(IGraphicsX11Test, FoldersFollowTheXdgSettings) {
  const fs::path dir = TempDir("folders");
  fs::create_directories(dir / "config");
  std::ofstream(dir / "config" / "user-dirs.dirs")
      << "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n"
      << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch/\"\n";
  ScopedEnv env;
  env.Set("HOME", "/home/someone");
  std::string out;
  env.Unset("XDG_CONFIG_HOME");
  panel_.g->DesktopFolder(out);
  EXPECT_EQ(out, "/home/someone/Desktop");
  env.Set("XDG_CONFIG_HOME", (dir / "config").string());
  panel_.g->DesktopFolder(out);
  EXPECT_EQ(out, "/home/someone/Schreibtisch");

  env.Unset("XDG_DATA_HOME");
  panel_.g->UserAppDataFolder(out);
  EXPECT_EQ(out, "/home/someone/.local/share");
  env.Set("XDG_DATA_HOME", "/data/mine");
  panel_.g->AppDataFolder(out, false);
  EXPECT_EQ(out, "/data/mine");
  env.Set("XDG_DATA_DIRS", "/opt/shared:/usr/share");
  panel_.g->AppDataFolder(out, true);
  EXPECT_EQ(out, "/opt/shared");
  env.Unset("XDG_DATA_DIRS");
  panel_.g->AppDataFolder(out, true);
  EXPECT_EQ(out, "/usr/local/share");

  // This program holds the code, so both folders are its own.
  const std::string self = fs::canonical("/proc/self/exe").parent_path().string() + "/";
  panel_.g->HostFolder(out);
  EXPECT_EQ(out, self);
  panel_.g->PluginFolder(out);
  EXPECT_EQ(out, self);
  fs::remove_all(dir);
}

TEST_F(IGraphicsX11Test, WebAddressesGoToXdgOpen) {
  const fs::path dir = TempDir("open");
  const fs::path log = dir / "opened";
  {
    std::ofstream script(dir / "xdg-open");
    script << "#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" << log.string() << "'\n";
  }
  fs::permissions(dir / "xdg-open", fs::perms::owner_all);
  ScopedEnv env;
  env.Set("PATH", dir.string() + ":/usr/bin:/bin");
  const char* address = "https://example.org/a b?c=\"d\"&e=$HOME";
  EXPECT_TRUE(panel_.g->OpenWebAddress(address, "title", nullptr, nullptr));
  std::string opened;
  EXPECT_TRUE(WaitUntil([&] {
    std::ifstream in(log);
    std::getline(in, opened);
    return !opened.empty();
  }));
  EXPECT_EQ(opened, address) << "one argument, as it was";
  // Nothing opens without a way to confirm, for an option, or without the
  // opener.
  fs::remove(log);
  EXPECT_FALSE(panel_.g->OpenWebAddress("https://example.org", "t", "Open it?", "failed"));
  EXPECT_FALSE(panel_.g->OpenWebAddress("--help", nullptr, nullptr, nullptr));
  EXPECT_FALSE(panel_.g->OpenWebAddress("", nullptr, nullptr, nullptr));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(fs::exists(log));
  env.Set("PATH", (dir / "none").string());
  EXPECT_FALSE(panel_.g->OpenWebAddress("https://example.org", nullptr, nullptr, nullptr));
  fs::remove_all(dir);
}

// Owns the clipboard on a connection of its own and answers requests for
// its text from a thread.
class ClipboardOwner {
 public:
  explicit ClipboardOwner(std::string text) : text_(std::move(text)) {
    d_ = XOpenDisplay(nullptr);
    w_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1, 1, 0, 0, 0);
    clipboard_ = XInternAtom(d_, "CLIPBOARD", False);
    utf8_ = XInternAtom(d_, "UTF8_STRING", False);
    XSetSelectionOwner(d_, clipboard_, w_, CurrentTime);
    XSync(d_, False);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ClipboardOwner() {
    stop_ = true;
    thread_.join();
    XDestroyWindow(d_, w_);
    XCloseDisplay(d_);
  }
  std::atomic<int> answered{0};

 private:
  void Serve() {
    while (!stop_) {
      while (XPending(d_)) {
        XEvent ev;
        XNextEvent(d_, &ev);
        if (ev.type != SelectionRequest) continue;
        XSelectionRequestEvent& r = ev.xselectionrequest;
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = r.requestor;
        reply.xselection.selection = r.selection;
        reply.xselection.target = r.target;
        reply.xselection.time = r.time;
        reply.xselection.property = None;
        if (r.target == utf8_) {
          XChangeProperty(d_, r.requestor, r.property, utf8_, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(text_.data()), int(text_.size()));
          reply.xselection.property = r.property;
        }
        XSendEvent(d_, r.requestor, False, 0, &reply);
        XFlush(d_);
        ++answered;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  Display* d_;
  Window w_;
  Atom clipboard_, utf8_;
  std::string text_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(IGraphicsX11Test, ClipboardTextComesFromTheSelectionOwner) {
  std::string out = "stale";
  // Nobody owns the clipboard yet.
  EXPECT_FALSE(panel_.g->ClipboardText(out));
  EXPECT_EQ(out, "");
  {
    ClipboardOwner owner("0.75 Grüße");
    EXPECT_TRUE(panel_.g->ClipboardText(out));
    EXPECT_EQ(out, "0.75 Grüße");
    EXPECT_TRUE(WaitUntil([&] { return owner.answered == 1; }));
  }
  // The owner went: the clipboard is empty again.
  EXPECT_FALSE(panel_.g->ClipboardText(out));
  EXPECT_EQ(X11Connection::OpenCount(), 0);
}

}  // namespace
}  // namespace qwtest
