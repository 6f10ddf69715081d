// The pure translations of the Windows editor: keys, modifiers, positions,
// wheel notches, dialog filters and folders.
#include <gtest/gtest.h>

#include <windows.h>

#include "editor/win/WinInput.h"
#include "editor/win/WinServiceText.h"

namespace {

TEST(WinInput, KeyTable) {
  struct Row {
    WPARAM vk;
    int code;
  };
  const Row rows[] = {
      {VK_SPACE, 0}, {VK_UP, 1},     {VK_DOWN, 2},   {VK_LEFT, 3},       {VK_RIGHT, 4},
      {'0', 5},      {'5', 10},      {'9', 14},      {'A', 15},          {'M', 27},
      {'Z', 40},     {VK_ESCAPE, -1}, {VK_RETURN, -1}, {VK_F1, -1},      {VK_NUMPAD0, -1},
      {VK_NUMPAD9, -1}, {VK_TAB, -1}, {VK_SHIFT, -1}, {VK_PRIOR, -1},   {VK_HOME, -1},
      {'/', -1},     {':', -1},      {'@', -1},      {'[', -1},          {VK_ADD, -1},
  };
  for (const Row& r : rows) EXPECT_EQ(winui::KeyCodeForVirtualKey(r.vk), r.code) << "vk " << r.vk;
  // Every code 0..40 is reached by exactly one key.
  int hits[41] = {};
  for (WPARAM vk = 0; vk < 256; ++vk) {
    const int code = winui::KeyCodeForVirtualKey(vk);
    if (code >= 0) {
      ASSERT_LE(code, 40);
      ++hits[code];
    }
  }
  for (int c = 0; c <= 40; ++c) EXPECT_EQ(hits[c], 1) << "code " << c;
}

TEST(WinInput, ModifiersFromFlagsAndAlt) {
  struct Row {
    WPARAM flags;
    bool alt;
    bool left, right, shift, control;
  };
  const Row rows[] = {
      {0, false, false, false, false, false},
      {MK_LBUTTON, false, true, false, false, false},
      {MK_RBUTTON | MK_SHIFT, true, false, true, true, false},
      {MK_CONTROL | MK_LBUTTON, false, true, false, false, true},
      {MK_MBUTTON, false, false, false, false, false},  // no modifier of its own
      {MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON, true, true, true, true, true},
  };
  for (const Row& r : rows) {
    const IMouseMods m = winui::MouseMods(r.flags, r.alt);
    EXPECT_EQ(m.left, r.left);
    EXPECT_EQ(m.right, r.right);
    EXPECT_EQ(m.shift, r.shift);
    EXPECT_EQ(m.control, r.control);
    EXPECT_EQ(m.alt, r.alt);
  }
}

TEST(WinInput, PositionsAreSigned16Bit) {
  EXPECT_EQ(winui::PositionX(MAKELPARAM(120, 45)), 120);
  EXPECT_EQ(winui::PositionY(MAKELPARAM(120, 45)), 45);
  // A drag left of or above the window arrives as negative coordinates.
  const LPARAM outside = MAKELPARAM(WORD(-7), WORD(-300));
  EXPECT_EQ(winui::PositionX(outside), -7);
  EXPECT_EQ(winui::PositionY(outside), -300);
}

TEST(WinInput, WheelNotchesTruncateTowardZero) {
  struct Row {
    int delta, notches;
  };
  const Row rows[] = {{120, 1}, {-120, -1}, {119, 0}, {-119, 0}, {240, 2},
                      {360, 3}, {-250, -2}, {30, 0},  {0, 0}};
  for (const Row& r : rows) {
    const WPARAM w = MAKEWPARAM(MK_SHIFT, WORD(short(r.delta)));
    EXPECT_EQ(winui::WheelNotches(w), r.notches) << "delta " << r.delta;
  }
}

TEST(WinServiceText, FileFilters) {
  EXPECT_EQ(winui::FilterPattern("a b"), "*.a;*.b");
  EXPECT_EQ(winui::FilterPattern("png"), "*.png");
  EXPECT_EQ(winui::FilterPattern("  fxp   fxb "), "*.fxp;*.fxb");
  EXPECT_EQ(winui::FilterList("a b"), std::string("*.a;*.b\0*.a;*.b\0\0", 17));
  EXPECT_EQ(winui::DefaultExtension("fxp fxb"), "fxp");
  // An empty list gives no filter and no default extension.
  for (const char* empty : {"", "   ", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(winui::FilterPattern(empty), "");
    EXPECT_EQ(winui::FilterList(empty), "");
    EXPECT_EQ(winui::DefaultExtension(empty), "");
  }
  // Long lists are not cut.
  std::string many, expected;
  for (int i = 0; i < 60; ++i) {
    many += "ext" + std::to_string(i) + " ";
    expected += (i ? ";*.ext" : "*.ext") + std::to_string(i);
  }
  EXPECT_EQ(winui::FilterPattern(many.c_str()), expected);
}

TEST(WinServiceText, FolderOfPath) {
  EXPECT_EQ(winui::FolderOfPath("C:\\Program Files\\Host\\host.exe"), "C:\\Program Files\\Host\\");
  EXPECT_EQ(winui::FolderOfPath("Z:\\Quillwave.dll"), "Z:\\");
  EXPECT_EQ(winui::FolderOfPath("plain.dll"), "");
  EXPECT_EQ(winui::FolderOfPath("C:\\ends\\"), "");
  EXPECT_EQ(winui::FolderOfPath(nullptr), "");
}

}  // namespace
