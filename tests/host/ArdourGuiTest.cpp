// Quillwave's editor in Ardour's own window. Ardour 7 runs with its dummy
// audio engine under a private X server; its saved session asks for the
// plug-in's window, so the editor opens as the session loads. The test
// compares what the window shows with the same editor opened by our own
// test host on the same server, moves the Mix knob with xdotool, saves,
// quits Ardour with its own shortcut and reads the new value from the saved
// session. The library is the built Quillwave (QW_PLUGIN_PATH in the
// environment names another one that calls itself Quillwave, with Mix as
// its first parameter at the same place).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ArdourSession.h"
#include "ChildProcess.h"
#include "TestHost.h"
#include "snapshot/PanelSnapshot.h"
#include "raster/IBitmap.h"
#include "X11HostDisplay.h"
#include "XvfbServer.h"

namespace fs = std::filesystem;

namespace qwtest {
namespace {

using namespace ardour;

constexpr int kW = 689, kH = 369;
// The Mix knob's centre on the panel, and how far the test drags it up.
constexpr int kMixX = 593, kMixY = 292;
constexpr int kDragSteps = 4, kDragStep = 10;
// Ardour runs its plug-ins while stopped, so the sweep's markers show: a
// dot of at most 7 x 7 pixels on the oscillator plot and a line one pixel
// wide across the response plot.
struct MarkerPlot {
  int left, top, right, bottom;  // the plot's rectangle
  int width, height;             // the largest marker inside it
};
constexpr MarkerPlot kMarkerPlots[] = {{520, 25, 665, 114, 7, 7}, {520, 155, 666, 216, 1, 61}};

// Pixels of a and b (kW x kH, RGB compared) that differ, leaving out one
// marker's worth inside each plot: when every difference inside a plot fits
// in a box the size of its marker, those are not counted.
int DifferingBesidesMarker(const std::vector<std::uint32_t>& a,
                           const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size() || a.size() != size_t(kW) * kH) return kW * kH;
  struct Box {
    int count = 0, left = kW, top = kH, right = -1, bottom = -1;
  } boxes[2];
  int outside = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const size_t i = size_t(y) * kW + size_t(x);
      if ((a[i] & 0xFFFFFF) == (b[i] & 0xFFFFFF)) continue;
      int in = -1;
      for (int p = 0; p < 2; ++p) {
        const MarkerPlot& m = kMarkerPlots[p];
        if (x >= m.left && x < m.right && y >= m.top && y < m.bottom) in = p;
      }
      if (in < 0) {
        ++outside;
        continue;
      }
      Box& box = boxes[in];
      ++box.count;
      box.left = std::min(box.left, x), box.right = std::max(box.right, x);
      box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
    }
  int counted = outside;
  for (int p = 0; p < 2; ++p) {
    const Box& box = boxes[p];
    const bool oneMarker = box.right - box.left < kMarkerPlots[p].width &&
                           box.bottom - box.top < kMarkerPlots[p].height;
    if (!oneMarker) counted += box.count;
  }
  return counted;
}

// Parameter 0 as the saved session holds it, or a negative number.
double SavedMix(const fs::path& session) {
  const std::string v = Attribute(Tag(ReadFile(session), "<parameters ", "", 0), "param-0");
  return v.empty() ? -1.0 : std::atof(v.c_str());
}

// A window's id from xdotool, 0 when none is visible.
unsigned long FindWindow(const std::string& env, const std::string& args) {
  const std::string out = Capture(env + "xdotool search " + args + " 2>/dev/null");
  return std::strtoul(out.c_str(), nullptr, 10);
}

class ArdourGui : public ::testing::Test {
 protected:
  void TearDown() override {
    if (ardour_) ardour_->Stop();
  }
  // Ardour's programs for this test: a private home and plug-in folder.
  int RunTool(const std::string& command, const std::string& log) {
    const std::string line = env_ + "timeout 300 " + command + " > " + Quote(work_ / log) + " 2>&1";
    return std::system(line.c_str());
  }
  std::string Log(const std::string& name) { return ReadFile(work_ / name); }

  fs::path work_ = QW_ARDOUR_GUI_WORK_DIR;
  const char* chosen = nullptr;  // another library than the built Quillwave
  std::string env_;
  std::unique_ptr<ChildProcess> ardour_;
};

// What our own test host shows of the editor on this server, and the Mix
// value the same drag gives there.
struct Reference {
  std::vector<std::uint32_t> pixels;
  float mixAfterDrag = -1.0f;
  std::string failure;
};

Reference OurHostsPicture(const fs::path& plugin) {
  Reference ref;
  TestHost host(plugin.string());
  Instance fx(host);
  if (!fx) {
    ref.failure = "our host could not load the plug-in: " + host.Error();
    return ref;
  }
  fx.Start(48000.0f, 1024);
  HostDisplay display;
  const Window parent = display.MakeParent(kW, kH, 700, 500);
  if (!fx.OpenEditor(reinterpret_cast<void*>(parent))) {
    ref.failure = "our host could not open the editor";
    return ref;
  }
  Window editor = 0;
  WaitUntil([&] {
    const auto children = display.Children(parent);
    editor = children.empty() ? 0 : children.front();
    return editor && display.Viewable(editor);
  });
  // Drawn when two looks a moment apart agree.
  std::vector<std::uint32_t> previous;
  WaitUntil([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ref.pixels = display.Pixels(editor, 0, 0, kW, kH);
    const bool same = !ref.pixels.empty() && ref.pixels == previous;
    previous = ref.pixels;
    return same;
  });
  display.MovePointer(editor, kMixX, kMixY);
  display.Button(1, true);
  for (int i = 1; i <= kDragSteps; ++i) display.MovePointer(editor, kMixX, kMixY - i * kDragStep);
  display.Button(1, false);
  WaitUntil([&] { return !host.CallsOf(vst::audioMasterEndEdit).empty(); });
  ref.mixAfterDrag = fx.GetParameter(0);
  fx.CloseEditor();
  XDestroyWindow(display.Get(), parent);
  display.Sync();
  return ref;
}

TEST_F(ArdourGui, EditorOpensInArdoursWindowAndItsKnobIsSavedWithTheSession) {
  fs::remove_all(work_);
  const fs::path home = work_ / "home", plugins = work_ / "plugins";
  // No first-run wizard; the dummy engine starts by itself.
  WriteGuiConfig(home);
  fs::create_directories(plugins);
  chosen = std::getenv("QW_PLUGIN_PATH");
  const fs::path library = chosen && *chosen ? chosen : QW_ARDOUR_GUI_PLUGIN_PATH;
  const fs::path plugin = plugins / library.filename();
  fs::copy_file(library, plugin);
  // The scan cache keeps whole seconds: a library as new as its cache
  // entry counts as not scanned.
  fs::last_write_time(plugin, fs::last_write_time(plugin) - std::chrono::minutes(1));
  env_ = "HOME=" + Quote(home) + " LXVST_PATH=" + Quote(plugins) + " ";

  ASSERT_EQ(RunTool("env LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f " +
                        Quote(plugin),
                    "scan.log"),
            0)
      << Log("scan.log");
  const fs::path sessionDir = work_ / "gui";
  WriteFile(work_ / "create.lua",
            "create_session(\"" + sessionDir.string() +
                "\", \"gui\", 48000)\n"
                "local track = Session:new_audio_track(2, 2, nil, 1, \"qw\", "
                "ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false):front()\n"
                "local proc = ARDOUR.LuaAPI.new_plugin(Session, \"Quillwave\", "
                "ARDOUR.PluginType.LXVST, \"\")\n"
                "assert(not proc:isnil(), \"plug-in not found\")\n"
                "assert(track:add_processor_by_index(proc, 0, nil, true) == 0)\n"
                "Session:save_state(\"\", false, false, false, false, false)\n"
                "print(\"QW created\")\n"
                "close_session()\n");
  ASSERT_EQ(RunTool("ardour7-lua " + Quote(work_ / "create.lua"), "create.log"), 0)
      << Log("create.log");
  const fs::path session = sessionDir / "gui.ardour";
  std::string xml = ReadFile(session);
  ASSERT_DOUBLE_EQ(SavedMix(session), 0.5) << "the session starts at the default";

  // The plug-in's window opens with the session: an entry under
  // Extra/UI named after the track's route and the plug-in's processor.
  const std::string entry = OpenPluginWindowOnLoad(xml, "qw", "lxvst");
  ASSERT_TRUE(entry.empty()) << entry;
  WriteFile(session, xml);

  XvfbServer server("1600x1000x24");
  ASSERT_TRUE(server.Ok()) << server.Error();
  server.Export();
  const Reference ref = OurHostsPicture(plugin);
  ASSERT_TRUE(ref.failure.empty()) << ref.failure;
  ASSERT_GT(ref.mixAfterDrag, 0.5f);

  const std::string display = "DISPLAY=" + server.Display() + " ";
  ardour_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"ardour", "-n", "-a", session.string()},
      std::vector<std::string>{"HOME=" + home.string(), "LXVST_PATH=" + plugins.string(),
                               "DISPLAY=" + server.Display()},
      (work_ / "ardour.log").string());
  ASSERT_TRUE(ardour_->Started());
  unsigned long pluginWindow = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        pluginWindow = FindWindow(display, "--onlyvisible --name '\\[VST\\]$'");
        return pluginWindow != 0 || !ardour_->Running();
      },
      90000) &&
              pluginWindow)
      << "no plug-in window\n"
      << Log("ardour.log");

  // Our window inside Ardour's: where it is on the screen, and what it shows.
  HostDisplay x;
  ASSERT_TRUE(x.Ok());
  unsigned long editor = 0;
  ASSERT_TRUE(WaitUntil([&] {
    editor = FindWindow(display, "--onlyvisible --name '^Quillwave$'");
    return editor != 0;
  }));
  int ex = 0, ey = 0, px = 0, py = 0;
  x.RootPosition(editor, ex, ey);
  x.RootPosition(pluginWindow, px, py);
  XWindowAttributes frame{};
  ASSERT_TRUE(XGetWindowAttributes(x.Get(), pluginWindow, &frame));
  EXPECT_EQ(ex, px) << "the panel starts at the window's left edge";
  EXPECT_GT(ey, py) << "below Ardour's toolbar";
  EXPECT_LE(ey + kH, py + frame.height);
  std::printf("Ardour's plug-in window %dx%d at %d,%d; the panel at %d,%d inside it\n",
              frame.width, frame.height, px, py, ex - px, ey - py);
  const Window root = DefaultRootWindow(x.Get());
  std::vector<std::uint32_t> shown;
  EXPECT_TRUE(WaitUntil(
      [&] {
        shown = x.Pixels(root, ex, ey, kW, kH);
        return DifferingBesidesMarker(shown, ref.pixels) == 0;
      },
      15000));
  EXPECT_EQ(DifferingBesidesMarker(shown, ref.pixels), 0)
      << "pixels that differ from our host's editor";
  // And what the panel snapshot draws off-screen at the same settings.
  if (!chosen || !*chosen) {
    PanelSnapshot snapshot;
    ASSERT_TRUE(snapshot.Valid());
    snapshot.Effect()->dispatcher(snapshot.Effect(), vst::effSetSampleRate, 0, 0, nullptr,
                                  48000.0f);
    const raster::IBitmap& panel = snapshot.Render();
    std::vector<std::uint32_t> drawn;
    for (int j = 0; j < kH; ++j)
      for (int i = 0; i < kW; ++i) drawn.push_back(panel.GetBits()[j * panel.GetRowSpan() + i]);
    EXPECT_EQ(DifferingBesidesMarker(drawn, shown), 0)
        << "pixels that differ from the panel snapshot";
  }
  std::system(("import -window root " + Quote(work_ / "ardour-screen.png")).c_str());
  std::system(("import -window " + std::to_string(pluginWindow) + " " +
               Quote(work_ / "ardour-plugin-window.png"))
                  .c_str());

  // The Mix knob, dragged up as in our host.
  const int kx = ex + kMixX, ky = ey + kMixY;
  std::string drag = display + "xdotool mousemove " + std::to_string(kx) + " " +
                     std::to_string(ky) + " mousedown 1";
  for (int i = 1; i <= kDragSteps; ++i)
    drag += " sleep 0.05 mousemove " + std::to_string(kx) + " " + std::to_string(ky - i * kDragStep);
  drag += " sleep 0.05 mouseup 1";
  ASSERT_EQ(std::system(drag.c_str()), 0);
  EXPECT_TRUE(WaitUntil(
      [&] { return DifferingBesidesMarker(x.Pixels(root, ex, ey, kW, kH), ref.pixels) > 0; }))
      << "the knob did not move on the screen";

  // Saved and quit with Ardour's shortcuts, aimed at its main window.
  const unsigned long main = FindWindow(display, "--onlyvisible --name ' - Ardour$'");
  ASSERT_NE(main, 0u);
  const std::string focus =
      display + "xdotool mousemove 1599 999 windowfocus --sync " + std::to_string(main) + " ";
  ASSERT_EQ(std::system((focus + "key ctrl+s").c_str()), 0);
  EXPECT_TRUE(WaitUntil([&] { return SavedMix(session) != 0.5; }, 15000)) << "not saved";
  ASSERT_EQ(std::system((focus + "key ctrl+q").c_str()), 0);
  int status = 0;
  ASSERT_TRUE(ardour_->Wait(60000, status)) << "Ardour did not quit\n" << Log("ardour.log");
  EXPECT_TRUE(WIFEXITED(status)) << "Ardour ended by signal " << WTERMSIG(status) << "\n"
                                 << Log("ardour.log");
  EXPECT_EQ(WEXITSTATUS(status), 0) << Log("ardour.log");
  EXPECT_NEAR(SavedMix(session), ref.mixAfterDrag, 1e-6);
}

}  // namespace
}  // namespace qwtest
