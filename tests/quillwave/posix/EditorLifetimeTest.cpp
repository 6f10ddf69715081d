// Quillwave.so's editor under hosts that do unusual but legal things, on a
// private Xvfb server, through the exported entry: closing the plug-in or
// its editor from inside the editor's own edit callbacks, taking locks of
// their own in those callbacks and around their dispatcher calls, handing
// callbacks to their GUI thread, exiting with the editor open, losing the
// editor's X client, and destroying the editor's parent window.
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <dirent.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "EditorHostSupport.h"
#include "HostTestSupport.h"
#include "TestHost.h"
#include "X11HostDisplay.h"
#include "XvfbTestSuite.h"
#include "quillwave/Quillwave.h"

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

constexpr int kW = kEditorWidth, kH = kEditorHeight;
constexpr int kMixX = 593, kMixY = 292;

// The threads of this process with the given name, as task ids.
std::vector<std::string> ThreadsNamed(const std::string& name) {
  std::vector<std::string> found;
  DIR* dir = opendir("/proc/self/task");
  if (!dir) return found;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
    std::string n;
    std::getline(comm, n);
    if (n == name) found.push_back(e->d_name);
  }
  closedir(dir);
  return found;
}

// Voluntary context switches of a thread: each wait it starts counts one.
long Wakeups(const std::string& task) {
  std::ifstream status("/proc/self/task/" + task + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
  return -1;
}

// A host's GUI thread: runs `each` every few milliseconds, and work other
// threads hand it, until stopped.
class GuiThread {
 public:
  explicit GuiThread(std::function<void()> each) : each_(std::move(each)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~GuiThread() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::thread::id Id() const { return thread_.get_id(); }
  // Runs work on the GUI thread and waits for it, as a host that answers
  // every callback there does.
  void RunAndWait(std::function<void()> work) {
    std::unique_lock<std::mutex> hold(lock_);
    bool done = false;
    tasks_.push_back([&] {
      work();
      std::lock_guard<std::mutex> signal(lock_);
      done = true;
      cv_.notify_all();
    });
    cv_.wait(hold, [&] { return done; });
  }

 private:
  void Run() {
    while (!stop_) {
      std::deque<std::function<void()>> tasks;
      {
        std::lock_guard<std::mutex> hold(lock_);
        tasks.swap(tasks_);
      }
      for (auto& t : tasks) t();
      if (each_) each_();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  std::function<void()> each_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> tasks_;
  std::thread thread_;
};

class EditorLifetime : public XvfbTestSuite {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Loaded()) << host_.Error();
    ASSERT_TRUE(x_.Ok());
    parent_ = x_.MakeParent(kW, kH, 20, 20);
  }
  void TearDown() override {
    host_.SetEditHook(nullptr);
    if (parent_) XDestroyWindow(x_.Get(), parent_);
    x_.Sync();
  }

  // The editor's window inside parent once it is viewable; 0 when none.
  Window Open(vst::AEffect* e, Window parent) {
    if (e->dispatcher(e, vst::effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f) != 1)
      return 0;
    Window w = 0;
    WaitUntil([&] {
      const auto children = x_.Children(parent);
      w = children.size() == 1 ? children.front() : 0;
      return w && x_.Viewable(w);
    });
    return w;
  }
  // A left-button drag up the Mix knob in steps.
  void DragMix(Window editor, int steps) {
    x_.MovePointer(editor, kMixX, kMixY);
    x_.Button(1, true);
    for (int i = 1; i <= steps; ++i) x_.MovePointer(editor, kMixX, kMixY - 3 * i);
    x_.Button(1, false);
    x_.Sync();
  }
  // The host's edit calls for Mix on record e, as letters.
  std::string MixEdits(const vst::AEffect* e) {
    std::string s;
    for (const HostCall& c : host_.Calls()) {
      if (c.effect != e || c.index != Quillwave::kMix) continue;
      if (c.opcode == vst::audioMasterBeginEdit) s += 'B';
      if (c.opcode == vst::audioMasterAutomate) s += 'A';
      if (c.opcode == vst::audioMasterEndEdit) s += 'E';
    }
    return s;
  }

  TestHost host_;  // Quillwave.so
  HostDisplay x_;
  Window parent_ = 0;
};

const vst::VstInt32 kEditCalls[] = {vst::audioMasterBeginEdit, vst::audioMasterAutomate,
                                    vst::audioMasterEndEdit};

// The host closes the plug-in from inside each of the editor's edit calls,
// whether those come on its own thread at idle or, for a host that never
// calls idle, on the editor's thread: the close completes once the call
// returns, with the window and the editor's thread gone, and the gesture
// the close cut short ended.
TEST_F(EditorLifetime, ThePlugInClosedFromInsideAnEditCallback) {
  for (bool idle : {true, false}) {
    for (vst::VstInt32 opcode : kEditCalls) {
      SCOPED_TRACE(testing::Message() << (idle ? "host calls idle" : "host never calls idle")
                                      << ", closed in opcode " << opcode);
      const ProcessResources before = ProcessResources::Now();
      Instance fx(host_);
      fx.Start();
      vst::AEffect* e = fx.Effect();
      const Window editor = Open(e, parent_);
      ASSERT_NE(editor, 0u);
      host_.ClearCalls();
      std::atomic<bool> closed{false};
      host_.SetEditHook([&](vst::AEffect* effect, vst::VstInt32 op) {
        if (op != opcode || closed) return;
        effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
        closed = true;
      });
      GuiThread gui([&] {
        if (idle && !closed) e->dispatcher(e, vst::effEditIdle, 0, 0, nullptr, 0.0f);
      });
      DragMix(editor, 4);
      ASSERT_TRUE(WaitUntil([&] { return closed.load(); }));
      fx.Forget();
      gui.Stop();
      host_.SetEditHook(nullptr);
      EXPECT_TRUE(WaitUntil([&] { return x_.Children(parent_).empty(); }));
      EXPECT_TRUE(WaitUntil([&] { return ProcessResources::Now().threads == before.threads; }));
      EXPECT_TRUE(ThreadsNamed("quillwave-ui").empty());
      const std::string edits = MixEdits(e);
      ASSERT_FALSE(edits.empty());
      EXPECT_EQ(edits.front(), 'B');
      EXPECT_EQ(edits.back(), 'E') << edits;
      EXPECT_EQ(std::count(edits.begin(), edits.end(), 'E'), 1) << edits;
    }
  }
}

// The host closes the editor from inside an edit call: the window is gone
// when effEditClose returns, the editor's thread and connection go with it,
// the gesture ends, and the editor opens again as usual.
TEST_F(EditorLifetime, TheEditorClosedFromInsideAnEditCallback) {
  for (bool idle : {true, false}) {
    SCOPED_TRACE(idle ? "host calls idle" : "host never calls idle");
    Instance fx(host_);
    fx.Start();
    vst::AEffect* e = fx.Effect();
    HostDisplay probe;  // the hook's own connection: Xlib connections are not shared
    ASSERT_TRUE(probe.Ok());
    const ProcessResources before = ProcessResources::Now();
    const Window editor = Open(e, parent_);
    ASSERT_NE(editor, 0u);
    host_.ClearCalls();
    std::atomic<int> closes{0};
    std::atomic<bool> asked{false}, goneAtReturn{false};
    host_.SetEditHook([&](vst::AEffect* effect, vst::VstInt32 op) {
      // Once: the close delivers the rest of the gesture, which comes back
      // here from inside the close.
      if (op != vst::audioMasterAutomate || asked.exchange(true)) return;
      EXPECT_EQ(effect->dispatcher(effect, vst::effEditClose, 0, 0, nullptr, 0.0f), 1);
      goneAtReturn = probe.Children(parent_).empty();
      ++closes;
    });
    GuiThread gui([&] {
      if (idle) e->dispatcher(e, vst::effEditIdle, 0, 0, nullptr, 0.0f);
    });
    DragMix(editor, 4);
    ASSERT_TRUE(WaitUntil([&] { return closes == 1; }));
    EXPECT_TRUE(goneAtReturn);
    // What the drag had queued before the close still arrives, then the
    // gesture's end.
    EXPECT_TRUE(WaitUntil([&] {
      const std::string m = MixEdits(e);
      return m.size() >= 3 && m.rfind("BA", 0) == 0 && m.back() == 'E' &&
             std::count(m.begin(), m.end(), 'E') == 1;
    })) << MixEdits(e);
    EXPECT_TRUE(WaitUntil([&] {
      const ProcessResources now = ProcessResources::Now();
      return now.threads == before.threads + 1 && now.fds == before.fds &&
             now.shmSegments == before.shmSegments;  // the GUI thread is ours
    }));
    gui.Stop();
    host_.SetEditHook(nullptr);
    const Window again = Open(e, parent_);
    ASSERT_NE(again, 0u);
    // One editor thread: the one let go inside the callback has ended.
    EXPECT_TRUE(WaitUntil([] { return ThreadsNamed("quillwave-ui").size() == 1; }));
    EXPECT_EQ(e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f), 1);
  }
}

// A host with one lock of its own, taken in every callback and around every
// dispatcher call its GUI thread makes. With idle calls the edits arrive on
// that thread; without, on the editor's thread, which then holds none of
// the plug-in's locks. Either way nothing waits for ever.
TEST_F(EditorLifetime, HostsThatLockAroundCallbacksAndDispatcherCalls) {
  for (bool idle : {true, false}) {
    SCOPED_TRACE(idle ? "host calls idle" : "host never calls idle");
    Instance fx(host_);
    fx.Start();
    vst::AEffect* e = fx.Effect();
    const Window editor = Open(e, parent_);
    ASSERT_NE(editor, 0u);
    host_.ClearCalls();
    std::recursive_mutex hostLock;
    std::mutex threadsLock;
    std::vector<std::thread::id> callers;
    host_.SetEditHook([&](vst::AEffect*, vst::VstInt32) {
      std::lock_guard<std::recursive_mutex> hold(hostLock);
      std::lock_guard<std::mutex> note(threadsLock);
      callers.push_back(std::this_thread::get_id());
    });
    GuiThread gui([&] {
      std::lock_guard<std::recursive_mutex> hold(hostLock);
      vst::ERect* rect = nullptr;
      e->dispatcher(e, vst::effEditGetRect, 0, 0, &rect, 0.0f);
      e->getParameter(e, Quillwave::kMix);
      if (idle) e->dispatcher(e, vst::effEditIdle, 0, 0, nullptr, 0.0f);
    });
    DragMix(editor, 6);
    EXPECT_TRUE(WaitUntil([&] { return MixEdits(e) == "BAAAAAAE"; }, 10000)) << MixEdits(e);
    const std::thread::id guiThread = gui.Id();
    gui.Stop();
    host_.SetEditHook(nullptr);
    {
      std::lock_guard<std::mutex> note(threadsLock);
      ASSERT_FALSE(callers.empty());
      for (std::thread::id t : callers) EXPECT_EQ(t == guiThread, idle);
    }
    EXPECT_EQ(e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f), 1);
  }
}

// A host that answers every callback on its GUI thread and waits for it
// there, while that thread keeps asking the plug-in things.
TEST_F(EditorLifetime, AHostThatHandsCallbacksToItsGuiThreadAndWaits) {
  Instance fx(host_);
  fx.Start();
  vst::AEffect* e = fx.Effect();
  const Window editor = Open(e, parent_);
  ASSERT_NE(editor, 0u);
  host_.ClearCalls();
  GuiThread gui([&] {
    vst::ERect* rect = nullptr;
    e->dispatcher(e, vst::effEditGetRect, 0, 0, &rect, 0.0f);
    e->getParameter(e, Quillwave::kMix);
  });
  std::atomic<int> marshalled{0};
  host_.SetEditHook([&](vst::AEffect*, vst::VstInt32) {
    if (std::this_thread::get_id() != gui.Id()) gui.RunAndWait([&] { ++marshalled; });
  });
  DragMix(editor, 5);
  EXPECT_TRUE(WaitUntil([&] { return MixEdits(e) == "BAAAAAE"; }, 10000)) << MixEdits(e);
  EXPECT_TRUE(WaitUntil([&] { return marshalled == 7; })) << marshalled;
  host_.SetEditHook(nullptr);
  gui.Stop();
  EXPECT_EQ(e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f), 1);
}

// A host that calls exit() while the editor is open and drawing: the
// process ends normally every time (the editor's thread never draws from
// caches that exit already destroyed).
TEST_F(EditorLifetime, ExitWithTheEditorOpen) {
  int failures = 0;
  for (int run = 0; run < 100; ++run) {
    ChildProcess child({QW_EXIT_HOST, PluginPath(), std::to_string(run % 9 * 10)}, {},
                       "exit-host.log");
    ASSERT_TRUE(child.Started());
    int status = 0;
    ASSERT_TRUE(child.Wait(20000, status)) << "run " << run;
    const bool clean = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!clean) ++failures;
    EXPECT_TRUE(clean) << "run " << run << ": status " << status;
    if (failures > 3) break;
  }
}

// The server drops the editor's client: only the editor stops. The host
// goes on, closes the editor cleanly and opens it again.
TEST_F(EditorLifetime, TheEditorsXClientKilled) {
  Instance fx(host_);
  fx.Start();
  vst::AEffect* e = fx.Effect();
  Window editor = 0;
  {
    [[maybe_unused]] LeftBehindWhenLost allowed;
    editor = Open(e, parent_);
  }
  ASSERT_NE(editor, 0u);
  XKillClient(x_.Get(), editor);
  x_.Sync();
  EXPECT_TRUE(WaitUntil([&] { return x_.Children(parent_).empty(); }));
  for (int i = 0; i < 20; ++i) fx.SetParameter(Quillwave::kMix, float(i) / 20.0f);
  EXPECT_EQ(e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_TRUE(ThreadsNamed("quillwave-ui").empty());
  ASSERT_NE(Open(e, parent_), 0u);
  EXPECT_EQ(e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f), 1);
}

// The host destroys the editor's parent window and only later closes the
// editor: meanwhile the editor's thread stops ticking (it wakes no more,
// even under automation), and the editor then opens on a new window.
TEST_F(EditorLifetime, AParentDestroyedBeforeTheEditorIsClosed) {
  Instance fx(host_);
  fx.Start();
  vst::AEffect* e = fx.Effect();
  ASSERT_NE(Open(e, parent_), 0u);
  std::vector<std::string> ui;
  ASSERT_TRUE(WaitUntil([&] {
    ui = ThreadsNamed("quillwave-ui");
    return ui.size() == 1;
  })) << "the editor's thread carries its name";
  const auto automate = [&](int ms) {
    for (int i = 0; i < ms / 5; ++i) {
      fx.SetParameter(Quillwave::kMix, float(i % 20) / 20.0f);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  long w0 = Wakeups(ui[0]);
  automate(400);
  const long whileOpen = Wakeups(ui[0]) - w0;
  EXPECT_GE(whileOpen, 5) << "ticks every 40 ms";
  XDestroyWindow(x_.Get(), parent_);
  x_.Sync();
  automate(200);  // it notices
  w0 = Wakeups(ui[0]);
  automate(400);
  EXPECT_LE(Wakeups(ui[0]) - w0, 1) << "still waking after the window went";

  parent_ = x_.MakeParent(kW, kH, 40, 40);
  const Window again = Open(e, parent_);
  ASSERT_NE(again, 0u);
  XWindowAttributes a{};
  ASSERT_TRUE(XGetWindowAttributes(x_.Get(), again, &a));
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.y, 0);
  EXPECT_EQ(a.width, kW);
  EXPECT_EQ(a.height, kH);
  EXPECT_EQ(e->dispatcher(e, vst::effEditClose, 0, 0, nullptr, 0.0f), 1);
}

}  // namespace
}  // namespace qwtest
