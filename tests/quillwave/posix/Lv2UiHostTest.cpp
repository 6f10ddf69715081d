// Quillwave.lv2's X11 UI in a host's window on a private Xvfb server, loaded
// from the bundle and driven the way an LV2 host does it: the UI library's
// descriptor, a parent window, the resize and touch features, port events
// for the values, the idle call, and XTest input on the panel. The panel
// must show what the off-screen panel shows at the same values, and a drag
// must come back as port writes in the parameter's own units between a
// touch and a release, on the thread that calls idle, which also runs the
// window.
#include <gtest/gtest.h>
#include <lv2/ui/ui.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "DynamicLibrary.h"
#include "PngFile.h"
#include "EditorHostSupport.h"
#include "X11HostDisplay.h"
#include "XvfbTestSuite.h"
#include "quillwave/Quillwave.h"
#include "snapshot/PanelSnapshot.h"

namespace qwtest {
namespace {

constexpr int kW = 689, kH = 369;
constexpr int kMixX = 593, kMixY = 292;
constexpr int kRestX = 4, kRestY = 180;

// What the UI asked of the host, in order.
struct HostLog {
  struct Call {
    enum Kind { kWrite, kTouch, kRelease } kind;
    uint32_t port;
    float value;
    std::thread::id thread;
  };
  std::vector<Call> calls;
  int width = 0, height = 0;

  static void Write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                    const void* buffer) {
    auto* log = static_cast<HostLog*>(controller);
    float v = 0.0f;
    if (protocol == 0 && size == sizeof v) std::memcpy(&v, buffer, sizeof v);
    log->calls.push_back({Call::kWrite, port, v, std::this_thread::get_id()});
  }
  static void Touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
    auto* log = static_cast<HostLog*>(handle);
    log->calls.push_back(
        {grabbed ? Call::kTouch : Call::kRelease, port, 0.0f, std::this_thread::get_id()});
  }
  static int Resize(LV2UI_Feature_Handle handle, int width, int height) {
    auto* log = static_cast<HostLog*>(handle);
    log->width = width;
    log->height = height;
    return 0;
  }
};

class Lv2UiX11 : public XvfbTestSuite {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.Loaded()) << library_.Error();
    auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(
        library_.Symbol("lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    descriptor_ = entry(0);
    ASSERT_NE(descriptor_, nullptr);
    EXPECT_EQ(entry(1), nullptr);
    EXPECT_STREQ(descriptor_->URI, "urn:korvanta:quillwave:ui");
    idle_ = static_cast<const LV2UI_Idle_Interface*>(
        descriptor_->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle_, nullptr);
    ASSERT_TRUE(x_.Ok());
    parent_ = x_.MakeParent(kW, kH, 20, 20);
  }
  void TearDown() override {
    if (ui_) descriptor_->cleanup(ui_);
    XDestroyWindow(x_.Get(), parent_);
    x_.Sync();
    EXPECT_EQ(x_.Errors(), 0);
  }

  // Instantiates the UI in parent_ with every feature a full host offers;
  // the UI's window once it is viewable.
  Window Open() {
    resize_ = {&log_, &HostLog::Resize};
    touch_ = {&log_, &HostLog::Touch};
    parentFeature_ = {LV2_UI__parent, reinterpret_cast<void*>(parent_)};
    resizeFeature_ = {LV2_UI__resize, &resize_};
    touchFeature_ = {LV2_UI__touch, &touch_};
    idleFeature_ = {LV2_UI__idleInterface, nullptr};
    const LV2_Feature* features[] = {&parentFeature_, &resizeFeature_, &touchFeature_,
                                     &idleFeature_, nullptr};
    LV2UI_Widget widget = nullptr;
    ui_ = descriptor_->instantiate(descriptor_, "urn:korvanta:quillwave", "", &HostLog::Write,
                                   &log_, &widget, features);
    if (!ui_ || !widget) return 0;
    const Window w = Window(reinterpret_cast<uintptr_t>(widget));
    WaitUntil([&] { return x_.Viewable(w); });
    return w;
  }
  void Port(uint32_t port, float value) {
    descriptor_->port_event(ui_, port, sizeof value, 0, &value);
  }
  // The host's idle calls while waiting for pred.
  bool IdleUntil(const std::function<bool()>& pred) {
    return WaitUntil([&] {
      idle_->idle(ui_);
      return pred();
    });
  }
  ::testing::AssertionResult Shows(Window w, const Pixels& want) {
    x_.MovePointer(w, kRestX, kRestY);
    Pixels shown;
    Difference d;
    WaitUntil(
        [&] {
          idle_->idle(ui_);
          shown = x_.Pixels(w, 0, 0, kW, kH);
          d = Compare(shown, want, kW);
          return d.count == 0;
        },
        5000);
    if (d.count == 0) return ::testing::AssertionSuccess();
    static int n = 0;
    const std::string name = std::to_string(n++) + ".png";
    WritePng("lv2-ui-shown-" + name, shown, kW, kH);
    WritePng("lv2-ui-wanted-" + name, want, kW, kH);
    return ::testing::AssertionFailure()
           << d.count << " pixels differ, the first at (" << d.x << ", " << d.y
           << "); see lv2-ui-shown-" << (n - 1) << ".png";
  }

  DynamicLibrary library_{QW_LV2_UI_PATH};
  const LV2UI_Descriptor* descriptor_ = nullptr;
  const LV2UI_Idle_Interface* idle_ = nullptr;
  HostDisplay x_;
  Window parent_ = 0;
  HostLog log_;
  LV2UI_Resize resize_{};
  LV2UI_Touch touch_{};
  LV2_Feature parentFeature_{}, resizeFeature_{}, touchFeature_{}, idleFeature_{};
  LV2UI_Handle ui_ = nullptr;
};

TEST_F(Lv2UiX11, WithoutAParentWindowTheUiIsRefused) {
  LV2UI_Widget widget = nullptr;
  const LV2_Feature* none[] = {nullptr};
  EXPECT_EQ(descriptor_->instantiate(descriptor_, "urn:korvanta:quillwave", "", &HostLog::Write,
                                     &log_, &widget, none),
            nullptr);
  EXPECT_EQ(widget, nullptr);
}

// The panel embeds in the host's window at its own size and shows the port
// values as the panel shows the same parameter values anywhere: the plots,
// the tempo controls instead of the rate knob, the switches.
TEST_F(Lv2UiX11, ShowsThePortValuesAsThePanelDoes) {
  const int threads = ProcessResources::Now().threads;
  const Window w = Open();
  ASSERT_NE(w, 0u);
  // The host calls idle: the window runs in those calls, with no thread of
  // its own.
  EXPECT_EQ(ProcessResources::Now().threads, threads);
  EXPECT_EQ(x_.Children(parent_), std::vector<Window>{w});
  EXPECT_EQ(log_.width, kW);
  EXPECT_EQ(log_.height, kH);

  PanelSnapshot defaults;
  EXPECT_TRUE(Shows(w, PixelsOf(defaults.Render())));

  const struct {
    int param;
    const char* name;
    float value;
  } settings[] = {{Quillwave::kFilterMode, "FilterMode", 2.0f},
                  {Quillwave::kTempoSync, "TempoSync", 1.0f},
                  {Quillwave::kNote, "Note", 4.0f},
                  {Quillwave::kPrefix, "Prefix", 2.0f},
                  {Quillwave::kMix, "Mix", 0.8f},
                  {Quillwave::kCutoff1, "Cutoff1", 0.1f},
                  {Quillwave::kCutoff2, "Cutoff2", 0.9f},
                  {Quillwave::kResonance, "Resonance", 2.5f},
                  {Quillwave::kShape, "Shape", 1.3f},
                  {Quillwave::kMode, "Mode", 1.0f}};
  PanelSnapshot want;
  for (const auto& s : settings) {
    Port(uint32_t(s.param), s.value);
    ASSERT_TRUE(want.Set(s.name, s.value));
  }
  EXPECT_TRUE(Shows(w, PixelsOf(want.Render())));
  // Port events are the host's echo, not the musician's: nothing goes back.
  EXPECT_TRUE(log_.calls.empty());

  // Values off the port's steps or range show as the nearest the port allows.
  Port(Quillwave::kFilterMode, 0.7f);
  Port(Quillwave::kMix, 7.0f);
  ASSERT_TRUE(want.Set("FilterMode", 1.0) && want.Set("Mix", 1.0));
  EXPECT_TRUE(Shows(w, PixelsOf(want.Render())));
}

// A drag on Mix reaches the host as one gesture: the touch, port writes in
// the port's own units rising with the drag, the release; all of it from
// the host's idle calls, on the host's thread.
TEST_F(Lv2UiX11, ADragWritesThePortInsideOneGesture) {
  const Window w = Open();
  ASSERT_NE(w, 0u);
  Port(Quillwave::kMix, 0.25f);
  x_.MovePointer(w, kMixX, kMixY);
  x_.Button(1, true);
  for (int i = 1; i <= 30; ++i) x_.MovePointer(w, kMixX, kMixY - i);
  x_.Button(1, false);
  ASSERT_TRUE(IdleUntil([&] {
    return !log_.calls.empty() && log_.calls.back().kind == HostLog::Call::kRelease;
  }));
  const auto& calls = log_.calls;
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front().kind, HostLog::Call::kTouch);
  EXPECT_EQ(calls.front().port, uint32_t(Quillwave::kMix));
  float last = 0.25f;
  for (size_t i = 1; i + 1 < calls.size(); ++i) {
    EXPECT_EQ(calls[i].kind, HostLog::Call::kWrite);
    EXPECT_EQ(calls[i].port, uint32_t(Quillwave::kMix));
    EXPECT_GE(calls[i].value, last);
    last = calls[i].value;
  }
  EXPECT_GT(last, 0.3f);
  EXPECT_LE(last, 1.0f);
  EXPECT_EQ(calls.back().port, uint32_t(Quillwave::kMix));
  for (const auto& c : calls) EXPECT_EQ(c.thread, std::this_thread::get_id());
}

// A switch writes a whole step of an integer port.
TEST_F(Lv2UiX11, ASwitchWritesAWholeStep) {
  const Window w = Open();
  ASSERT_NE(w, 0u);
  const Quillwave::ParamRow& row = Quillwave::ParamTable(Quillwave::kFilterMode);
  // The filter switch's third check (Wah) sits 98..116 pixels right of its
  // row's origin.
  x_.Click(w, row.x + 107, row.y + 8);
  ASSERT_TRUE(IdleUntil([&] {
    for (const auto& c : log_.calls)
      if (c.kind == HostLog::Call::kWrite) return true;
    return false;
  }));
  for (const auto& c : log_.calls) {
    if (c.kind != HostLog::Call::kWrite) continue;
    EXPECT_EQ(c.port, uint32_t(Quillwave::kFilterMode));
    EXPECT_EQ(c.value, 2.0f);
  }
}

// A UI the host closes in the middle of a drag releases the parameter.
TEST_F(Lv2UiX11, ClosingDuringADragReleasesTheParameter) {
  const Window w = Open();
  ASSERT_NE(w, 0u);
  x_.MovePointer(w, kMixX, kMixY);
  x_.Button(1, true);
  for (int i = 1; i <= 10; ++i) x_.MovePointer(w, kMixX, kMixY - i);
  ASSERT_TRUE(IdleUntil([&] { return !log_.calls.empty(); }));
  descriptor_->cleanup(ui_);
  ui_ = nullptr;
  x_.Button(1, false);
  ASSERT_FALSE(log_.calls.empty());
  EXPECT_EQ(log_.calls.front().kind, HostLog::Call::kTouch);
  EXPECT_EQ(log_.calls.back().kind, HostLog::Call::kRelease);
  EXPECT_EQ(log_.calls.back().port, uint32_t(Quillwave::kMix));
  EXPECT_TRUE(x_.Children(parent_).empty());
}

}  // namespace
}  // namespace qwtest
