// The editor's X window on its own: inside a parent window of a private X
// server, its event thread, what it reports of the pointer and the
// keyboard, presenting, failing cleanly, and closing without leaving
// anything behind.
#include <functional>
#include <utility>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "X11HostDisplay.h"
#include "XvfbTestSuite.h"
#include "editor/x11/X11Connection.h"
#include "editor/x11/X11EditorWindow.h"
#include "editor/x11/XlibHeaders.h"

namespace qwtest {
namespace {

// Xlib's records of a connection that broke stay behind (closing it would
// wait for ever): what this thread allocates while one of these exists is
// not reported as a leak by the leak checker of sanitized builds.
#if defined(__SANITIZE_ADDRESS__)
using LeftBehindWhenLost = __lsan::ScopedDisabler;
#else
struct LeftBehindWhenLost {};
#endif

constexpr int kW = 689, kH = 369;

class RecordingClient : public X11WindowClient {
 public:
  void OnExpose(const IRect& area) override {
    std::lock_guard<std::mutex> hold(lock_);
    exposed_.push_back(area);
  }
  void OnTick() override {
    if (tickStall_) {
      inTick_ = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(tickStall_));
      inTick_ = false;
    }
    ++ticks_;
  }
  bool OnInput(const X11InputEvent& e) override {
    std::lock_guard<std::mutex> hold(lock_);
    inputs_.push_back(e);
    return takesKeys_ || e.kind != X11InputEvent::kKey;
  }
  void OnGone() override { ++gone_; }
  bool Deliver() override {
    if (std::function<void()> hook = std::exchange(onDeliver_, nullptr)) hook();
    return true;
  }

  std::vector<X11InputEvent> Inputs() {
    std::lock_guard<std::mutex> hold(lock_);
    return inputs_;
  }
  std::vector<X11InputEvent> InputsOf(X11InputEvent::Kind kind) {
    std::vector<X11InputEvent> out;
    for (const auto& e : Inputs())
      if (e.kind == kind) out.push_back(e);
    return out;
  }
  void Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    inputs_.clear();
    exposed_.clear();
  }
  std::vector<IRect> Exposed() {
    std::lock_guard<std::mutex> hold(lock_);
    return exposed_;
  }

  std::atomic<int> ticks_{0};
  std::atomic<int> gone_{0};
  std::function<void()> onDeliver_;  // run once, on the event thread, at the next delivery
  std::atomic<int> tickStall_{0};  // ms each tick takes
  std::atomic<bool> inTick_{false};
  std::atomic<bool> takesKeys_{true};

 private:
  std::mutex lock_;
  std::vector<X11InputEvent> inputs_;
  std::vector<IRect> exposed_;
};

class X11EditorWindowTest : public XvfbTestSuite {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Ok());
    parent_ = host_.MakeParent(800, 480, 20, 30);
  }
  void TearDown() override {
    window_.Close();
    XDestroyWindow(host_.Get(), parent_);
    host_.Sync();
  }

  bool OpenEditor() { return window_.Open(parent_, kW, kH, 40); }

  HostDisplay host_;
  Window parent_ = 0;
  RecordingClient client_;
  X11EditorWindow window_{client_};
};

TEST_F(X11EditorWindowTest, OpensAMappedChildOfTheParentAndTicks) {
  const ProcessResources before = ProcessResources::Now();
  ASSERT_TRUE(OpenEditor());
  const Window w = window_.Handle();
  ASSERT_NE(w, 0u);
  EXPECT_EQ(host_.Children(parent_), std::vector<Window>{w});
  EXPECT_TRUE(WaitUntil([&] { return host_.Viewable(w); }));
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(host_.Get(), w, &a));
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.width, kW);
  EXPECT_EQ(a.height, kH);
  // Nobody selects keys on it: they travel on to the host's windows.
  EXPECT_EQ(a.all_event_masks & KeyPressMask, 0);
  EXPECT_TRUE(WaitUntil([&] { return client_.ticks_ >= 3; }));
  EXPECT_EQ(ProcessResources::Now().threads, before.threads + 1);

  window_.Close();
  EXPECT_FALSE(window_.IsOpen());
  EXPECT_TRUE(host_.Children(parent_).empty());
  const int ticks = client_.ticks_;
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(client_.ticks_, ticks) << "ticks after close";
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(X11Connection::OpenCount(), 0);
}

TEST_F(X11EditorWindowTest, RefusesParentsThatCannotHoldIt) {
  const std::uint64_t errorsBefore = X11Connection::ProcessErrorCount();
  const ProcessResources before = ProcessResources::Now();
  Window inputOnly = XCreateWindow(host_.Get(), parent_, 0, 0, 10, 10, 0, 0, InputOnly,
                                   CopyFromParent, 0, nullptr);
  Window destroyed = XCreateSimpleWindow(host_.Get(), parent_, 0, 0, 10, 10, 0, 0, 0);
  XDestroyWindow(host_.Get(), destroyed);
  host_.Sync();
  for (unsigned long parent : {0ul, 0x1fffffful, (unsigned long)destroyed,
                               (unsigned long)inputOnly}) {
    EXPECT_FALSE(window_.Open(parent, kW, kH, 40)) << std::hex << parent;
    EXPECT_FALSE(window_.IsOpen());
  }
  // The server's complaints stayed on the editor's connection (this
  // program's process-wide handler saw none of them).
  EXPECT_GT(X11Connection::ProcessErrorCount(), errorsBefore);
  EXPECT_EQ(host_.Errors(), 0);
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(X11Connection::OpenCount(), 0);
  EXPECT_EQ(client_.ticks_, 0);
  // A parent that works still does.
  EXPECT_TRUE(OpenEditor());
}

TEST_F(X11EditorWindowTest, WithoutADisplayOpenFails) {
  const std::string display = getenv("DISPLAY");
  for (const char* none : {"", ":9999", "nowhere:0"}) {
    setenv("DISPLAY", none, 1);
    EXPECT_FALSE(OpenEditor()) << none;
  }
  setenv("DISPLAY", display.c_str(), 1);
  EXPECT_EQ(X11Connection::OpenCount(), 0);
}

TEST_F(X11EditorWindowTest, ReportsPressesDragsReleasesAndTheWheel) {
  ASSERT_TRUE(OpenEditor());
  const Window w = window_.Handle();
  ASSERT_TRUE(WaitUntil([&] { return host_.Viewable(w); }));
  host_.MovePointer(w, 100, 200);
  host_.Button(1, true);
  host_.MovePointer(w, 100, 190);
  host_.MovePointer(w, 100, 180);
  // Dragging on outside the window still reports to it.
  host_.MovePointer(w, 100, -15);
  host_.Button(1, false);
  ASSERT_TRUE(WaitUntil([&] { return !client_.InputsOf(X11InputEvent::kUp).empty(); }));
  auto downs = client_.InputsOf(X11InputEvent::kDown);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].x, 100);
  EXPECT_EQ(downs[0].y, 200);
  EXPECT_EQ(downs[0].button, 1);
  EXPECT_TRUE(downs[0].mods.left);
  EXPECT_FALSE(downs[0].mods.right);
  auto drags = client_.InputsOf(X11InputEvent::kDrag);
  ASSERT_EQ(drags.size(), 3u);
  EXPECT_EQ(drags[0].y, 190);
  EXPECT_EQ(drags[1].y, 180);
  EXPECT_EQ(drags[2].y, -15);
  for (const auto& d : drags) EXPECT_TRUE(d.mods.left);
  auto ups = client_.InputsOf(X11InputEvent::kUp);
  ASSERT_EQ(ups.size(), 1u);
  EXPECT_EQ(ups[0].y, -15);
  EXPECT_FALSE(ups[0].mods.left);

  // Moving with no button is hovering; wheel notches are buttons 4 and 5
  // with no release of their own.
  client_.Clear();
  host_.MovePointer(w, 300, 100);
  host_.Button(4, true);
  host_.Button(4, false);
  host_.Button(5, true);
  host_.Button(5, false);
  ASSERT_TRUE(WaitUntil([&] { return client_.InputsOf(X11InputEvent::kWheel).size() == 2; }));
  auto moves = client_.InputsOf(X11InputEvent::kMove);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back().x, 300);
  auto wheel = client_.InputsOf(X11InputEvent::kWheel);
  EXPECT_EQ(wheel[0].notches, 1);
  EXPECT_EQ(wheel[1].notches, -1);
  EXPECT_EQ(wheel[0].x, 300);
  EXPECT_TRUE(client_.InputsOf(X11InputEvent::kDown).empty());
  EXPECT_TRUE(client_.InputsOf(X11InputEvent::kUp).empty());

  // The right button, with shift and control held.
  client_.Clear();
  host_.Key("Shift_L", true);
  host_.Key("Control_L", true);
  host_.Button(3, true);
  host_.Button(3, false);
  host_.Key("Control_L", false);
  host_.Key("Shift_L", false);
  ASSERT_TRUE(WaitUntil([&] { return !client_.InputsOf(X11InputEvent::kUp).empty(); }));
  downs = client_.InputsOf(X11InputEvent::kDown);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].button, 3);
  EXPECT_TRUE(downs[0].mods.right);
  EXPECT_FALSE(downs[0].mods.left);
  EXPECT_TRUE(downs[0].mods.shift);
  EXPECT_TRUE(downs[0].mods.control);
  EXPECT_FALSE(downs[0].mods.alt);
}

TEST_F(X11EditorWindowTest, TwoQuickPressesInOnePlaceMakeADoubleClick) {
  ASSERT_TRUE(OpenEditor());
  const Window w = window_.Handle();
  ASSERT_TRUE(WaitUntil([&] { return host_.Viewable(w); }));
  auto kinds = [&] {
    std::vector<X11InputEvent::Kind> k;
    for (const auto& e : client_.Inputs())
      if (e.kind != X11InputEvent::kMove) k.push_back(e.kind);
    return k;
  };
  using K = X11InputEvent;
  // Three quick clicks: press, double click, then a plain press again.
  host_.Click(w, 50, 60);
  host_.Click(w, 51, 61);
  host_.Click(w, 51, 61);
  ASSERT_TRUE(WaitUntil([&] { return client_.InputsOf(K::kUp).size() == 3; }));
  EXPECT_EQ(kinds(), (std::vector<K::Kind>{K::kDown, K::kUp, K::kDoubleClick, K::kUp, K::kDown,
                                           K::kUp}));
  EXPECT_TRUE(client_.InputsOf(K::kDoubleClick)[0].mods.left);

  // Too far apart, too slow, or with the right button: two presses.
  struct Case {
    int dx;
    unsigned long delayMs;
    unsigned button;
  };
  for (const Case c : {Case{5, 0, 1}, Case{0, 700, 1}, Case{0, 0, 3}}) {
    client_.Clear();
    host_.MovePointer(w, 200, 100);
    host_.Button(c.button, true);
    host_.Button(c.button, false);
    host_.MovePointer(w, 200 + c.dx, 100);
    host_.Button(c.button, true, c.delayMs);
    host_.Button(c.button, false);
    ASSERT_TRUE(WaitUntil([&] { return client_.InputsOf(K::kUp).size() == 2; }));
    EXPECT_EQ(client_.InputsOf(K::kDown).size(), 2u) << c.dx << " " << c.delayMs;
    EXPECT_TRUE(client_.InputsOf(K::kDoubleClick).empty());
  }
}

TEST_F(X11EditorWindowTest, KeysGoToTheHostUnlessTheEditorAsksForThem) {
  ASSERT_TRUE(OpenEditor());
  const Window w = window_.Handle();
  ASSERT_TRUE(WaitUntil([&] { return host_.Viewable(w); }));
  host_.MovePointer(w, 10, 10);
  host_.TypeKey("a");
  host_.TypeKey("Escape");
  EXPECT_TRUE(WaitUntil([&] { return host_.KeysReceived(parent_).size() == 2; }));
  EXPECT_TRUE(client_.InputsOf(X11InputEvent::kKey).empty());

  window_.SetKeyInput(X11EditorWindow::KeyInput::kFocus);
  host_.Sync();
  host_.TypeKey("q");
  host_.Key("Shift_L", true);
  host_.TypeKey("q");
  host_.Key("Shift_L", false);
  host_.TypeKey("KP_1");
  host_.TypeKey("Up");
  ASSERT_TRUE(WaitUntil([&] { return client_.InputsOf(X11InputEvent::kKey).size() >= 5; }));
  std::vector<X11InputEvent> keys;
  for (const auto& e : client_.InputsOf(X11InputEvent::kKey))
    if (e.keysym != XK_Shift_L) keys.push_back(e);
  ASSERT_EQ(keys.size(), 4u);
  EXPECT_EQ(keys[0].code, kKeyLetterA + ('q' - 'a'));
  EXPECT_STREQ(keys[0].text, "q");
  EXPECT_EQ(keys[1].code, kKeyLetterA + ('q' - 'a'));  // whatever the shift state
  EXPECT_STREQ(keys[1].text, "Q");
  EXPECT_EQ(keys[2].code, -1);  // keypad keys have none
  EXPECT_EQ(keys[3].code, kKeyUp);
  EXPECT_TRUE(host_.KeysReceived(parent_).empty());

  // Switched off, the focus goes back and keys reach the host again.
  window_.SetKeyInput(X11EditorWindow::KeyInput::kNone);
  host_.Sync();
  host_.TypeKey("b");
  EXPECT_TRUE(WaitUntil([&] { return host_.KeysReceived(parent_).size() == 1; }));

  // Keys selected without the focus: those the editor leaves go on to the
  // host's window.
  client_.Clear();
  client_.takesKeys_ = false;
  window_.SetKeyInput(X11EditorWindow::KeyInput::kKeys);
  host_.Sync();
  host_.TypeKey("c");
  ASSERT_TRUE(WaitUntil([&] { return client_.InputsOf(X11InputEvent::kKey).size() == 1; }));
  EXPECT_EQ(client_.InputsOf(X11InputEvent::kKey)[0].code, kKeyLetterA + 2);
  std::vector<unsigned long> passed;
  EXPECT_TRUE(WaitUntil([&] {
    for (unsigned long k : host_.KeysReceived(parent_)) passed.push_back(k);
    return !passed.empty();
  }));
  EXPECT_EQ(passed, std::vector<unsigned long>{XK_c});
}

TEST_F(X11EditorWindowTest, ReportsExposedAreas) {
  ASSERT_TRUE(OpenEditor());
  const Window w = window_.Handle();
  ASSERT_TRUE(WaitUntil([&] { return host_.Viewable(w); }));
  ASSERT_TRUE(WaitUntil([&] { return !client_.Exposed().empty(); }));
  EXPECT_EQ(client_.Exposed().front(), (IRect{0, 0, kW, kH}));
  client_.Clear();
  // Two areas of one run arrive as their union.
  XClearArea(host_.Get(), w, 10, 20, 30, 40, True);
  host_.Sync();
  ASSERT_TRUE(WaitUntil([&] { return !client_.Exposed().empty(); }));
  EXPECT_EQ(client_.Exposed().front(), (IRect{10, 20, 40, 60}));
}

// Surface words for the presenting tests: a different colour per place and
// per generation.
Pixel PatternAt(int x, int y, int generation) {
  return 0xFF000000u | Pixel((x * 7 + generation * 50) & 255) << 16 |
         Pixel((y * 3 + generation * 90) & 255) << 8 | Pixel((x + y + generation) & 255);
}

void PresentsOnlyTheGivenArea(HostDisplay& host, X11EditorWindow& window) {
  const Window w = window.Handle();
  ASSERT_TRUE(WaitUntil([&] { return host.Viewable(w); }));
  const int span = kW + 3;  // rows longer than the window, as surfaces have
  std::vector<Pixel> surface(size_t(span) * kH);
  auto fill = [&](int generation) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) surface[size_t(y) * span + x] = PatternAt(x, y, generation);
  };
  fill(1);
  ASSERT_TRUE(window.Present(surface.data(), span, {0, 0, kW, kH}));
  fill(2);
  const IRect area{100, 50, 300, 120};
  ASSERT_TRUE(window.Present(surface.data(), span, area));
  // Parts outside the window are cut off.
  EXPECT_TRUE(window.Present(surface.data(), span, {kW - 10, kH - 10, kW + 50, kH + 50}));
  EXPECT_FALSE(window.Present(surface.data(), span, {kW, 0, kW + 50, 10}));
  const auto pixels = host.Pixels(w, 0, 0, kW, kH);
  ASSERT_EQ(pixels.size(), size_t(kW) * kH);
  int wrong = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool inside = area.Contains(x, y) || (x >= kW - 10 && y >= kH - 10);
      const Pixel want = PatternAt(x, y, inside ? 2 : 1) & 0xFFFFFF;
      if (pixels[size_t(y) * kW + x] != want && ++wrong < 5)
        ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << pixels[size_t(y) * kW + x]
                      << " instead of " << want;
    }
  EXPECT_EQ(wrong, 0);
}

TEST_F(X11EditorWindowTest, PresentsThroughSharedMemory) {
  ASSERT_TRUE(OpenEditor());
  EXPECT_TRUE(window_.UsesShm());
  PresentsOnlyTheGivenArea(host_, window_);
  EXPECT_EQ(window_.ErrorCount(), 0u);
}

TEST_F(X11EditorWindowTest, ReopeningKeepsPositionAndSize) {
  ASSERT_TRUE(OpenEditor());
  XMoveResizeWindow(host_.Get(), window_.Handle(), 12, 34, 600, 300);
  host_.Sync();
  ASSERT_TRUE(OpenEditor());
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(host_.Get(), window_.Handle(), &a));
  EXPECT_EQ(a.x, 12);
  EXPECT_EQ(a.y, 34);
  EXPECT_EQ(a.width, 600);
  EXPECT_EQ(a.height, 300);
  EXPECT_EQ(host_.Children(parent_).size(), 1u);
}

TEST_F(X11EditorWindowTest, ClosingWaitsForATickInProgress) {
  client_.tickStall_ = 150;
  ASSERT_TRUE(OpenEditor());
  ASSERT_TRUE(WaitUntil([&] { return client_.inTick_.load(); }));
  window_.Close();
  EXPECT_FALSE(client_.inTick_);
  const int ticks = client_.ticks_;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(client_.ticks_, ticks);
}

TEST_F(X11EditorWindowTest, TheParentGoingFirstIsNoError) {
  ASSERT_TRUE(OpenEditor());
  ASSERT_TRUE(WaitUntil([&] { return client_.ticks_ >= 1; }));
  XDestroyWindow(host_.Get(), parent_);
  host_.Sync();
  std::vector<Pixel> surface(size_t(kW) * kH, 0xFF102030u);
  // Drawing after the window went sends nothing.
  EXPECT_TRUE(WaitUntil([&] { return !window_.Present(surface.data(), kW, {0, 0, kW, kH}); }));
  // The client hears it once, and the ticking stops: nothing is left to
  // draw into.
  EXPECT_TRUE(WaitUntil([&] { return client_.gone_ == 1; }));
  const int ticks = client_.ticks_;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LE(client_.ticks_, ticks + 1);
  EXPECT_EQ(client_.gone_, 1);
  window_.Close();
  EXPECT_EQ(X11Connection::OpenCount(), 0);
  parent_ = host_.MakeParent(100, 100);
}

// A host that closes the editor from inside a callback the editor made
// runs on the event thread: the close completes there, with the window,
// connection and thread gone once the callback returns.
TEST_F(X11EditorWindowTest, ClosingFromTheEventThreadLetsGoOfEverything) {
  const ProcessResources before = ProcessResources::Now();
  ASSERT_TRUE(OpenEditor());
  ASSERT_TRUE(WaitUntil([&] { return client_.ticks_ >= 1; }));
  std::atomic<bool> closed{false};
  client_.onDeliver_ = [&] {
    window_.Close();
    closed = true;
  };
  ASSERT_TRUE(WaitUntil([&] { return closed.load(); }));
  EXPECT_FALSE(window_.IsOpen());
  EXPECT_TRUE(host_.Children(parent_).empty());
  EXPECT_TRUE(WaitUntil([&] { return ProcessResources::Now().threads == before.threads; }));
  EXPECT_EQ(ProcessResources::Now().fds, before.fds);
  EXPECT_EQ(X11Connection::OpenCount(), 0);
  // And it opens again as usual.
  ASSERT_TRUE(OpenEditor());
  EXPECT_TRUE(WaitUntil([&] { return client_.ticks_ >= 3; }));
}

// The server killing the editor's client breaks only its connection: the
// process (the host) goes on, the editor stops, and closing it is clean.
TEST_F(X11EditorWindowTest, ALostConnectionEndsTheEditorNotTheProcess) {
  {
    [[maybe_unused]] LeftBehindWhenLost allowed;
    ASSERT_TRUE(OpenEditor());
  }
  ASSERT_TRUE(WaitUntil([&] { return client_.ticks_ >= 1; }));
  XKillClient(host_.Get(), window_.Handle());
  host_.Sync();
  EXPECT_TRUE(WaitUntil([&] { return client_.gone_ == 1; }));
  const int ticks = client_.ticks_;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LE(client_.ticks_, ticks + 1);
  window_.Close();
  EXPECT_EQ(X11Connection::OpenCount(), 0);
  ASSERT_TRUE(OpenEditor());  // a new connection works
  EXPECT_TRUE(WaitUntil([&] { return client_.ticks_ >= ticks + 3; }));
}

TEST_F(X11EditorWindowTest, HundredOpenCloseCyclesLeaveNothingBehind) {
  ASSERT_TRUE(OpenEditor());
  window_.Close();
  const ProcessResources before = ProcessResources::Now();
  const std::uint64_t errors = X11Connection::ProcessErrorCount();
  std::vector<Pixel> surface(size_t(kW) * kH, 0xFF305070u);
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(OpenEditor()) << i;
    window_.Present(surface.data(), kW, {0, 0, kW, kH});
    if (i % 10 == 0) WaitUntil([&] { return host_.Viewable(window_.Handle()); });
    window_.Close();
  }
  const ProcessResources after = ProcessResources::Now();
  EXPECT_EQ(X11Connection::ProcessErrorCount(), errors);
  EXPECT_EQ(after.threads, before.threads);
  EXPECT_EQ(after.fds, before.fds);
  EXPECT_EQ(after.shmSegments, 0);
  EXPECT_TRUE(after.MemoryWithin(before, 4096)) << "resident memory grew";
  EXPECT_TRUE(host_.Children(parent_).empty());
  EXPECT_EQ(host_.Errors(), 0);
}

// The same presenting where the server offers no shared memory.
class X11NoShmTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new XvfbServer("1280x800x24", {"-extension", "MIT-SHM"});
    ASSERT_TRUE(server_->Ok()) << server_->Error();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static XvfbServer* server_;
};
XvfbServer* X11NoShmTest::server_ = nullptr;

TEST_F(X11NoShmTest, PresentsWithPlainImages) {
  const std::string previous = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  server_->Export();
  {
    HostDisplay host;
    ASSERT_TRUE(host.Ok());
    const Window parent = host.MakeParent(800, 480);
    RecordingClient client;
    X11EditorWindow window(client);
    ASSERT_TRUE(window.Open(parent, kW, kH, 40));
    EXPECT_FALSE(window.UsesShm());
    PresentsOnlyTheGivenArea(host, window);
    EXPECT_EQ(window.ErrorCount(), 0u);
  }
  setenv("DISPLAY", previous.c_str(), 1);
}

}  // namespace
}  // namespace qwtest
