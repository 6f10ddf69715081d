// Typed values in a plug-in's editor on X11 as a host sees them: through
// the exported entry point of a library that carries the X11 tests' panel
// with typed values on its Mix knob (no control of Quillwave's own panel
// takes them), in a parent window of a private X server, driven with XTest.
// The box takes the keyboard while it is open and gives it back after;
// what it commits reaches the host as automation, and closing the editor
// with a box open applies nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestHost.h"
#include "X11HostDisplay.h"
#include "XvfbTestSuite.h"

namespace qwtest {
namespace {

constexpr int kW = 689, kH = 369;
constexpr int kMix = 0;
// The Mix knob's centre, and a point inside the box that opens over it.
constexpr int kMixX = 593, kMixY = 292;
constexpr int kBoxX = kMixX - 19, kBoxY = kMixY - 7;

// The library, loaded once and never unloaded, as hosts keep a plug-in
// loaded: the text box's font libraries come and go with it, and their
// state would be lost, not freed, at an unload.
TestHost& FixtureHost() {
  static TestHost* host = new TestHost(QW_EDITOR_PLUGIN_PATH);
  return *host;
}

class EditorX11TextEntry : public XvfbTestSuite {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Loaded()) << host_.Error();
    ASSERT_TRUE(x_.Ok());
    ASSERT_TRUE(fx_);
    fx_.Start(48000.0f, 1024);
    parent_ = x_.MakeParent(kW, kH, 30, 30);
    editor_ = Open();
  }
  void TearDown() override {
    fx_.CloseEditor();
    XDestroyWindow(x_.Get(), parent_);
    x_.Sync();
    EXPECT_EQ(x_.Errors(), 0);
  }

  // Opens the editor through the dispatcher; its window once viewable and
  // drawn. The editor's first drawing covers the whole window; until then
  // the parent's grey (or nothing) shows through.
  Window Open() {
    if (!fx_.OpenEditor(reinterpret_cast<void*>(parent_))) return 0;
    Window w = 0;
    WaitUntil([&] {
      const auto children = x_.Children(parent_);
      w = children.size() == 1 ? children.front() : 0;
      if (!w || !x_.Viewable(w)) return false;
      const auto corner = x_.Pixels(w, 0, 0, 1, 1);
      return corner.size() == 1 && corner[0] != 0 && corner[0] != HostDisplay::kParentBackground;
    });
    return w;
  }
  bool BoxShown(Window w) { return x_.Pixels(w, kBoxX, kBoxY, 1, 1) == Pixel(0xFFFFFF); }
  static std::vector<std::uint32_t> Pixel(std::uint32_t rgb) { return {rgb}; }
  bool Focused(Window w) {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(x_.Get(), &focus, &revert);
    return focus == w;
  }
  // A right click on the knob opens the box, which shows and takes the
  // keyboard.
  bool OpenBox() {
    x_.Click(editor_, kMixX, kMixY, 3);
    return WaitUntil([&] { return Focused(editor_) && BoxShown(editor_); });
  }
  TestHost& host_ = FixtureHost();
  HostDisplay x_;
  Instance fx_{host_};
  Window parent_ = 0;
  Window editor_ = 0;
};

TEST_F(EditorX11TextEntry, ATypedValueReachesTheHostAsAutomation) {
  ASSERT_NE(editor_, 0u);
  host_.ClearCalls();
  x_.KeysReceived(parent_);
  ASSERT_TRUE(OpenBox());
  // Letters are not taken, digits and the point are; no key goes past the
  // box to the host; Return commits.
  for (const char* k : {"a", "0", "period", "2", "x", "5", "Return"}) x_.TypeKey(k);
  ASSERT_TRUE(WaitUntil([&] { return !BoxShown(editor_); }));
  ASSERT_TRUE(WaitUntil([&] { return fx_.GetParameter(kMix) == 0.25f; })) << fx_.GetParameter(kMix);
  EXPECT_TRUE(x_.KeysReceived(parent_).empty());
  // The host hears of it once the editor's edits are delivered.
  ASSERT_TRUE(
      WaitUntil([&] { return !host_.CallsOf(vst::audioMasterAutomate, fx_.Effect()).empty(); }));
  const auto automated = host_.CallsOf(vst::audioMasterAutomate, fx_.Effect());
  EXPECT_EQ(automated.back().index, kMix);
  EXPECT_FLOAT_EQ(automated.back().opt, 0.25f);
  EXPECT_EQ(EditsOf(host_, fx_, kMix), "BEBAE") << "the right click's gesture, then the typed value's";

  // The keyboard goes back where it was: keys over the panel reach the
  // host again.
  EXPECT_TRUE(WaitUntil([&] { return !Focused(editor_); }));
  x_.TypeKey("m");
  EXPECT_TRUE(WaitUntil([&] { return x_.KeysReceived(parent_).size() == 1; }));

  // The box leaves no trace: the window shows what an editor opened afresh
  // at this value shows.
  const auto shown = x_.Pixels(editor_, 0, 0, kW, kH);
  fx_.CloseEditor();
  editor_ = Open();
  ASSERT_NE(editor_, 0u);
  EXPECT_TRUE(WaitUntil([&] { return x_.Pixels(editor_, 0, 0, kW, kH) == shown; }));
}

TEST_F(EditorX11TextEntry, EscapeOrClosingTheEditorAppliesNothing) {
  ASSERT_NE(editor_, 0u);
  const auto before = x_.Pixels(editor_, 0, 0, kW, kH);
  host_.ClearCalls();
  ASSERT_TRUE(OpenBox());
  x_.TypeKey("9");
  x_.TypeKey("Escape");
  ASSERT_TRUE(WaitUntil([&] { return x_.Pixels(editor_, 0, 0, kW, kH) == before; }));
  EXPECT_TRUE(WaitUntil([&] { return !Focused(editor_); }));

  ASSERT_TRUE(OpenBox());
  x_.TypeKey("9");
  fx_.CloseEditor();  // effEditClose with the box open
  EXPECT_FALSE(Focused(editor_));
  EXPECT_TRUE(x_.Children(parent_).empty());
  EXPECT_EQ(fx_.GetParameter(kMix), 0.5f);
  EXPECT_EQ(EditsOf(host_, fx_, kMix), "BEBE") << "two right clicks, nothing typed applied";

  editor_ = Open();
  ASSERT_NE(editor_, 0u);
  EXPECT_TRUE(WaitUntil([&] { return x_.Pixels(editor_, 0, 0, kW, kH) == before; }))
      << "the box is gone with the editor it was in";
}

}  // namespace
}  // namespace qwtest
