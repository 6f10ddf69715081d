// Quillwave.vst3's editor in Ardour's own plug-in window. Ardour 7 runs
// with its dummy audio engine under a private X server and loads the bundle
// from a private folder (VST3_PATH) after its own scanner has accepted it;
// its saved session asks for the plug-in's window with the plug-in's own
// editor, so the view opens as the session loads. The test compares what
// the window shows with the panel drawn off-screen at the same parameter
// values, drags the Mix knob with xdotool, saves with Ardour's shortcut and
// reads the new value from the saved session, then quits Ardour with its
// own shortcut.
//
// What Ardour 7.3 does with the view (recorded with breakpoints on the
// library's entry points): it creates and releases three views first, each
// asked only whether it supports X11EmbedWindowID; for the one it shows,
// createView, setFrame with a frame that offers a run loop, getSize,
// canResize, then attached with an X window 689 x 369 at (0, 34) inside
// its plug-in window (our window needs no XEmbed property to show). The
// timer it is given runs on Ardour's GUI thread, about every 43 ms,
// and the edits reach Ardour there. On quitting: removed, setFrame(null),
// then setProcessing(0), setActive(0) and terminate on the same thread.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ArdourSession.h"
#include "ChildProcess.h"
#include "X11HostDisplay.h"
#include "XvfbServer.h"
#include "quillwave/Quillwave.h"
#include "raster/IBitmap.h"
#include "snapshot/PanelSnapshot.h"

namespace fs = std::filesystem;

namespace qwtest {
namespace {

using namespace ardour;

constexpr int kW = 689, kH = 369;
// The Mix knob's centre on the panel, and how far the test drags it up.
constexpr int kMixX = 593, kMixY = 292;
constexpr int kDragSteps = 4, kDragStep = 10;

// Values the session gives the parameters before Ardour opens the editor
// (in their own units), so the panel shows values that came from the host
// rather than its defaults: a faster oscillator, half-way to square, a higher
// second cutoff, less resonance, the wah voice, a quarter wet.
struct PortSetting {
  int id;
  const char* name;  // the parameter's name, for the off-screen panel
  float value;
};
constexpr PortSetting kSettings[] = {{1, "LfoFrequency", 12.5f}, {5, "Shape", 0.5f},
                                     {11, "Cutoff2", 0.75f},     {12, "Resonance", 2.5f},
                                     {13, "FilterMode", 2.0f},   {0, "Mix", 0.25f}};

// Ardour runs its plug-ins while stopped, and the editor shares the
// running effect, so the sweep's markers show (the off-screen panel, never
// run, has none): a dot of at most 7 x 7 pixels on the oscillator plot and a line one pixel
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

// Pixels (kW x kH) whose RGB differs.
int Differing(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size() || a.size() != size_t(kW) * kH) return kW * kH;
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
  return n;
}

// Mix (parameter id 0) as a saved session holds it in its own units, or a
// negative number.
double SavedMix(const fs::path& session) {
  const std::string xml = ReadFile(session);
  size_t vst3 = 0;
  if (Tag(xml, "<Processor ", " type=\"vst3\"", 0, &vst3).empty()) return -1.0;
  const std::string v = Attribute(Tag(xml, "<Port ", " id=\"0\"", vst3), "value");
  return v.empty() ? -1.0 : std::atof(v.c_str());
}

// A window's id from xdotool, 0 when none is visible.
unsigned long FindWindow(const std::string& env, const std::string& args) {
  const std::string out = Capture(env + "xdotool search " + args + " 2>/dev/null");
  return std::strtoul(out.c_str(), nullptr, 10);
}

// The panel drawn off-screen at the session's values: its pixels, before
// and after the same drag on the Mix knob (the pointer gone from the panel
// in both), and the Mix value that drag gives.
struct Reference {
  std::vector<std::uint32_t> before, after;
  float mixAfterDrag = -1.0f;
  std::string failure;
};

std::vector<std::uint32_t> PixelsOf(const raster::IBitmap& panel) {
  std::vector<std::uint32_t> out;
  for (int j = 0; j < kH; ++j)
    for (int i = 0; i < kW; ++i) out.push_back(panel.GetBits()[j * panel.GetRowSpan() + i]);
  return out;
}

Reference OffScreenPanel() {
  Reference ref;
  PanelSnapshot snapshot;
  if (!snapshot.Valid()) {
    ref.failure = "the off-screen panel could not be made";
    return ref;
  }
  for (const PortSetting& s : kSettings) {
    if (!snapshot.Set(s.name, s.value)) {
      ref.failure = std::string("no parameter ") + s.name;
      return ref;
    }
  }
  ref.before = PixelsOf(snapshot.Render());
  snapshot.Drag(kMixX, kMixY, 0, -kDragSteps * kDragStep);
  snapshot.Hover(-1, -1);
  ref.after = PixelsOf(snapshot.Render());
  // As Ardour saves it: the parameter's value as a float.
  ref.mixAfterDrag = float(snapshot.Plugin().GetParameter(0)->Value());
  return ref;
}

class ArdourVst3Gui : public ::testing::Test {
 protected:
  void TearDown() override {
    if (ardour_) ardour_->Stop();
  }
  fs::path work_ = QW_ARDOUR_VST3_GUI_WORK_DIR;
  std::unique_ptr<ChildProcess> ardour_;
};

TEST_F(ArdourVst3Gui, EditorOpensInArdoursWindowAndItsKnobIsSavedWithTheSession) {
  const auto start = std::chrono::steady_clock::now();
  auto seconds = [&start] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  fs::remove_all(work_);
  const fs::path home = work_ / "home", vst3 = work_ / "vst3", lv2 = work_ / "lv2",
                 vst = work_ / "vst";
  WriteGuiConfig(home);
  // No LV2 or VST folder with anything in it: Ardour finds nothing else.
  fs::create_directories(lv2);
  fs::create_directories(vst);
  // A copy of the bundle in a folder of its own, the only one named in
  // VST3_PATH (QW_VST3_BUNDLE in the environment names another bundle).
  const char* chosen = std::getenv("QW_VST3_BUNDLE");
  const fs::path bundle = chosen && *chosen ? fs::path(chosen) : fs::path(QW_VST3_BUNDLE_DIR);
  const fs::path copy = vst3 / bundle.filename();
  fs::create_directories(vst3);
  fs::copy(bundle, copy, fs::copy_options::recursive);
  // The scan cache keeps whole seconds: date the copy back.
  for (const auto& entry : fs::recursive_directory_iterator(copy))
    fs::last_write_time(entry.path(), fs::last_write_time(entry.path()) - std::chrono::minutes(1));
  const Tools tools(work_, "HOME=" + Quote(home) + " VST3_PATH=" + Quote(vst3) +
                               " LV2_PATH=" + Quote(lv2) + " LXVST_PATH=" + Quote(vst) + " ");
  ASSERT_EQ(tools.Run("env LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f " +
                          Quote(copy),
                      "scan.log"),
            0)
      << tools.Log("scan.log");

  // The session: one track with the VST 3 plug-in at the test's values.
  const fs::path sessionDir = work_ / "gui";
  std::string lua = "create_session(\"" + sessionDir.string() +
                    "\", \"gui\", 48000)\n"
                    "local track = Session:new_audio_track(2, 2, nil, 1, \"qw\", "
                    "ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false):front()\n"
                    "local proc = ARDOUR.LuaAPI.new_plugin(Session, \"Quillwave\", "
                    "ARDOUR.PluginType.VST3, \"\")\n"
                    "assert(not proc:isnil(), \"plug-in not found\")\n"
                    "assert(track:add_processor_by_index(proc, 0, nil, true) == 0)\n";
  for (const PortSetting& s : kSettings) {
    char line[160];
    std::snprintf(line, sizeof line, "assert(ARDOUR.LuaAPI.set_processor_param(proc, %d, %.9g))\n",
                  s.id, double(s.value));
    lua += line;
  }
  lua +=
      "Session:save_state(\"\", false, false, false, false, false)\n"
      "print(\"QW created\")\n"
      "close_session()\n";
  WriteFile(work_ / "create.lua", lua);
  ASSERT_EQ(tools.Run("ardour7-lua " + Quote(work_ / "create.lua"), "create.log"), 0)
      << tools.Log("create.log");
  const fs::path session = sessionDir / "gui.ardour";
  ASSERT_EQ(SavedMix(session), double(0.25f)) << "the session starts at the test's Mix";

  // The plug-in's window, with its own editor, opens with the session: an
  // entry under Extra/UI named after the track's route and the plug-in's
  // processor, as for a VST 2.4 plug-in.
  std::string xml = ReadFile(session);
  const std::string entry = OpenPluginWindowOnLoad(xml, "qw", "vst3");
  ASSERT_TRUE(entry.empty()) << entry;
  WriteFile(session, xml);

  const Reference ref = OffScreenPanel();
  ASSERT_TRUE(ref.failure.empty()) << ref.failure;
  ASSERT_GT(ref.mixAfterDrag, 0.25f);
  ASSERT_GT(Differing(ref.before, ref.after), 0);

  XvfbServer server("1600x1000x24");
  ASSERT_TRUE(server.Ok()) << server.Error();
  server.Export();
  const std::string display = "DISPLAY=" + server.Display() + " ";
  const double sessionReady = seconds();
  ardour_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"ardour", "-n", "-a", session.string()},
      std::vector<std::string>{"HOME=" + home.string(), "VST3_PATH=" + vst3.string(),
                               "LV2_PATH=" + lv2.string(), "LXVST_PATH=" + vst.string(),
                               "DISPLAY=" + server.Display()},
      (work_ / "ardour.log").string());
  ASSERT_TRUE(ardour_->Started());
  // Ardour's plug-in window for a VST 3 plug-in: its title ends in [VST3].
  unsigned long pluginWindow = 0;
  ASSERT_TRUE(WaitUntil(
      [&] {
        pluginWindow = FindWindow(display, "--onlyvisible --name '\\[VST3\\]$'");
        return pluginWindow != 0 || !ardour_->Running();
      },
      90000) &&
              pluginWindow)
      << "no plug-in window\n"
      << tools.Log("ardour.log");

  // Our window (the panel names it after the plug-in) inside Ardour's:
  // where it is on the screen, and what it shows.
  HostDisplay x;
  ASSERT_TRUE(x.Ok());
  unsigned long panel = 0;
  ASSERT_TRUE(WaitUntil([&] {
    panel = FindWindow(display, "--onlyvisible --name '^Quillwave$'");
    return panel != 0;
  })) << "no Quillwave window inside Ardour's";
  int ex = 0, ey = 0, px = 0, py = 0;
  x.RootPosition(panel, ex, ey);
  x.RootPosition(pluginWindow, px, py);
  XWindowAttributes frame{}, own{};
  ASSERT_TRUE(XGetWindowAttributes(x.Get(), pluginWindow, &frame));
  ASSERT_TRUE(XGetWindowAttributes(x.Get(), panel, &own));
  EXPECT_EQ(own.width, kW);
  EXPECT_EQ(own.height, kH);
  EXPECT_EQ(ex, px) << "the panel starts at the window's left edge";
  EXPECT_GT(ey, py) << "below Ardour's toolbar";
  EXPECT_EQ(frame.width, kW) << "Ardour sized its window to the panel";
  EXPECT_EQ(py + frame.height, ey + kH) << "the panel ends at the window's bottom";
  std::printf("Ardour's plug-in window %dx%d at %d,%d; the panel at %d,%d inside it\n",
              frame.width, frame.height, px, py, ex - px, ey - py);
  const Window root = DefaultRootWindow(x.Get());
  std::vector<std::uint32_t> shown;
  EXPECT_TRUE(WaitUntil(
      [&] {
        shown = x.Pixels(root, ex, ey, kW, kH);
        return DifferingBesidesMarker(shown, ref.before) == 0;
      },
      15000));
  EXPECT_EQ(DifferingBesidesMarker(shown, ref.before), 0)
      << "pixels that differ from the off-screen panel besides the markers";
  std::printf("%d pixels differ in all, the markers\n", Differing(shown, ref.before));
  std::printf("editor shown as drawn off-screen %.1f s after Ardour started\n",
              seconds() - sessionReady);
  std::system((display + "import -window " + std::to_string(pluginWindow) + " " +
               Quote(work_ / "ardour-vst3-plugin-window.png"))
                  .c_str());
  std::system((display + "import -window root " + Quote(work_ / "ardour-vst3-screen.png")).c_str());

  // The Mix knob, dragged up; then the pointer leaves for the bare screen.
  const int kx = ex + kMixX, ky = ey + kMixY;
  std::string drag = display + "xdotool mousemove " + std::to_string(kx) + " " +
                     std::to_string(ky) + " mousedown 1";
  for (int i = 1; i <= kDragSteps; ++i)
    drag += " sleep 0.05 mousemove " + std::to_string(kx) + " " + std::to_string(ky - i * kDragStep);
  drag += " sleep 0.05 mouseup 1 sleep 0.05 mousemove 1599 999";
  ASSERT_EQ(std::system(drag.c_str()), 0);
  EXPECT_TRUE(WaitUntil(
      [&] {
        shown = x.Pixels(root, ex, ey, kW, kH);
        return DifferingBesidesMarker(shown, ref.after) == 0;
      },
      15000))
      << DifferingBesidesMarker(shown, ref.after) << " pixels differ from the off-screen panel after the drag ("
      << Differing(shown, ref.before) << " from before it)";

  // Saved and quit with Ardour's shortcuts, aimed at its main window.
  const unsigned long main = FindWindow(display, "--onlyvisible --name ' - Ardour$'");
  ASSERT_NE(main, 0u);
  const std::string focus =
      display + "xdotool mousemove 1599 999 windowfocus --sync " + std::to_string(main) + " ";
  ASSERT_EQ(std::system((focus + "key ctrl+s").c_str()), 0);
  EXPECT_TRUE(WaitUntil([&] { return SavedMix(session) != double(0.25f); }, 15000))
      << "not saved";
  EXPECT_NEAR(SavedMix(session), ref.mixAfterDrag, 1e-6) << "the value the drag wrote";
  ASSERT_EQ(std::system((focus + "key ctrl+q").c_str()), 0);
  int status = 0;
  ASSERT_TRUE(ardour_->Wait(60000, status)) << "Ardour did not quit\n" << tools.Log("ardour.log");
  EXPECT_TRUE(WIFEXITED(status)) << "Ardour ended by signal " << WTERMSIG(status) << "\n"
                                 << tools.Log("ardour.log");
  EXPECT_EQ(WEXITSTATUS(status), 0) << tools.Log("ardour.log");
  EXPECT_NEAR(SavedMix(session), ref.mixAfterDrag, 1e-6);
  std::printf("Mix dragged from 0.25 to %.6f; Ardour quit %.1f s after it started\n",
              SavedMix(session), seconds() - sessionReady);
}

}  // namespace
}  // namespace qwtest
