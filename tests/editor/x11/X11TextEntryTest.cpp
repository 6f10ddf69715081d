// The editor's own text box: what it accepts for each kind of parameter,
// editing keys, the commit and cancel rules, and how it looks.
#include <gtest/gtest.h>

#include "core/IParameter.h"
#include "editor/IBitmapControl.h"
#include "editor/headless/IGraphicsHeadless.h"
#include "editor/x11/X11TextEntry.h"
#include "raster/SysBitmap.h"

namespace {

using S = X11TextEntry::State;
using F = X11TextEntry::Filter;

TEST(X11TextEntry, FiltersFollowTheParameterKind) {
  IParameter continuous, integer, boolean, enumeration;
  continuous.DefineContinuous("c", 0.5, 0, 1, 0.01);
  integer.DefineInteger("i", 3, 0, 6);
  boolean.DefineBoolean("b", false);
  enumeration.DefineEnumeration("e", 0, 3);
  EXPECT_EQ(X11TextEntry::FilterFor(nullptr), F::kAny);
  EXPECT_EQ(X11TextEntry::FilterFor(&continuous), F::kDecimal);
  EXPECT_EQ(X11TextEntry::FilterFor(&integer), F::kInteger);
  EXPECT_EQ(X11TextEntry::FilterFor(&boolean), F::kInteger);
  EXPECT_EQ(X11TextEntry::FilterFor(&enumeration), F::kInteger);

  struct Case {
    char c;
    bool any, integer, decimal;
  } cases[] = {{'0', true, true, true},  {'9', true, true, true},   {'+', true, true, true},
               {'-', true, true, true},  {'.', true, false, true},  {',', true, false, false},
               {'e', true, false, false}, {' ', true, false, false}, {'~', true, false, false},
               {'\t', false, false, false}, {'\x7f', false, false, false},
               {char(0xE4), false, false, false}};
  for (const Case& k : cases) {
    EXPECT_EQ(X11TextEntry::Accepts(F::kAny, k.c), k.any) << int(k.c);
    EXPECT_EQ(X11TextEntry::Accepts(F::kInteger, k.c), k.integer) << k.c;
    EXPECT_EQ(X11TextEntry::Accepts(F::kDecimal, k.c), k.decimal) << k.c;
  }
}

struct Box {
  IParameter parameter;
  X11TextEntry entry;
  Box(const char* text, int maxLength = 7) {
    parameter.DefineContinuous("Mix", 0.5, 0, 1, 0.01);
    entry.Open(nullptr, &parameter, ITextStyle{}, {100, 100, 139, 115}, text, maxLength);
  }
  void Type(const char* keys) {
    for (const char* k = keys; *k; ++k) {
      const char one[2] = {*k, 0};
      entry.Key(XK_a, one);  // the symbol of a printable key does not matter
    }
  }
};

TEST(X11TextEntry, OpensSelectedAndTypingReplacesTheSelection) {
  Box b("0.50");
  EXPECT_EQ(b.entry.GetState(), S::kOpening);
  EXPECT_TRUE(b.entry.AllSelected());
  EXPECT_EQ(b.entry.Box(), (IRect{100, 100, 140, 116})) << "corners inclusive";
  b.Type("x");
  EXPECT_STREQ(b.entry.Text(), "0.50") << "a letter changes nothing";
  EXPECT_TRUE(b.entry.AllSelected());
  b.Type("-1.2.5e3");
  EXPECT_STREQ(b.entry.Text(), "-1.2.53");
  EXPECT_FALSE(b.entry.AllSelected());
  b.Type("99");
  EXPECT_STREQ(b.entry.Text(), "-1.2.53") << "at most 7 characters";

  Box longer("0123456789012345678901234567890123456789", 99);
  EXPECT_EQ(std::string(longer.entry.Text()).size(), size_t(X11TextEntry::kMaxLength));
  Box none(nullptr);
  EXPECT_STREQ(none.entry.Text(), "");
  EXPECT_FALSE(none.entry.AllSelected());
}

TEST(X11TextEntry, EditingKeys) {
  struct Case {
    std::vector<KeySym> keys;
    const char* text;
    int caret;
  } cases[] = {
      {{XK_BackSpace}, "", 0},
      {{XK_Delete}, "", 0},
      {{XK_Left}, "0.50", 4},
      {{XK_Left, XK_Left}, "0.50", 3},
      {{XK_Left, XK_BackSpace}, "0.5", 3},
      {{XK_Home}, "0.50", 0},
      {{XK_Home, XK_Delete}, ".50", 0},
      {{XK_Home, XK_Right, XK_Right, XK_Delete}, "0.0", 2},
      {{XK_End, XK_Right, XK_Delete}, "0.50", 4},
      {{XK_Home, XK_Left, XK_BackSpace}, "0.50", 0},
  };
  for (const Case& c : cases) {
    Box b("0.50");
    for (KeySym k : c.keys) b.entry.Key(k, "");
    EXPECT_STREQ(b.entry.Text(), c.text);
    EXPECT_EQ(b.entry.Caret(), c.caret);
    EXPECT_EQ(b.entry.GetState(), S::kOpening);
  }
  Box b("0.50");
  b.entry.Key(XK_End, "");
  b.Type("7");
  EXPECT_STREQ(b.entry.Text(), "0.507");
  b.entry.Key(XK_Home, "");
  b.Type("-");
  EXPECT_STREQ(b.entry.Text(), "-0.507");
  EXPECT_EQ(b.entry.Caret(), 1);
}

TEST(X11TextEntry, CommitAndCancel) {
  struct Case {
    const char* what;
    void (*act)(X11TextEntry&);
    S state;
  } cases[] = {
      {"Return", [](X11TextEntry& e) { e.Key(XK_Return, "\r"); }, S::kCommit},
      {"keypad Enter", [](X11TextEntry& e) { e.Key(XK_KP_Enter, "\r"); }, S::kCommit},
      {"Escape", [](X11TextEntry& e) { e.Key(XK_Escape, "\x1b"); }, S::kCancel},
      {"focus arrives", [](X11TextEntry& e) { e.FocusGained(); }, S::kEditing},
      {"focus leaves while editing",
       [](X11TextEntry& e) {
         e.FocusGained();
         e.FocusLost();
       },
       S::kCommit},
      {"focus leaves before it arrived", [](X11TextEntry& e) { e.FocusLost(); }, S::kOpening},
      {"press inside", [](X11TextEntry& e) { e.Press(139, 115); }, S::kOpening},
      {"press beside", [](X11TextEntry& e) { e.Press(140, 108); }, S::kCancel},
      {"commit, then cancel",
       [](X11TextEntry& e) {
         e.Request(S::kCommit);
         e.Request(S::kCancel);
         e.Key(XK_Escape, "");
       },
       S::kCommit},
      {"cancel, then Return",
       [](X11TextEntry& e) {
         e.Request(S::kCancel);
         e.Key(XK_Return, "");
         e.FocusLost();
       },
       S::kCancel},
  };
  for (const Case& c : cases) {
    Box b("0.50");
    c.act(b.entry);
    EXPECT_EQ(b.entry.GetState(), c.state) << c.what;
  }
  // Keys after a request change nothing; a press inside drops the
  // selection.
  Box b("0.50");
  EXPECT_TRUE(b.entry.Press(120, 108));
  EXPECT_FALSE(b.entry.AllSelected());
  b.entry.Request(S::kCommit);
  EXPECT_FALSE(b.entry.Key(XK_BackSpace, ""));
  EXPECT_STREQ(b.entry.Text(), "0.50");
  b.entry.Close();
  EXPECT_FALSE(b.entry.IsOpen());
  EXPECT_EQ(b.entry.GetState(), S::kClosed);
  b.entry.Request(S::kCommit);
  EXPECT_EQ(b.entry.GetState(), S::kClosed);
}

TEST(X11TextEntry, DrawsAFramedBoxWithTheSelectionInverted) {
  IGraphicsHeadless g(nullptr, 200, 150, 25);
  g.PrepareSurface();
  ITextStyle style;
  style.fontName[0] = '\0';  // the system's default face
  style.size = 12;
  style.entryBackground = {255, 250, 250, 240};
  style.entryText = {255, 20, 30, 40};
  X11TextEntry entry;
  entry.Open(nullptr, nullptr, style, {40, 60, 119, 79}, "12345", 7);
  entry.Draw(g);
  const Pixel ink = 0xFF141E28u, paper = 0xFFFAFAF0u;
  EXPECT_EQ(g.PixelAt(40, 60), ink);
  EXPECT_EQ(g.PixelAt(119, 79), ink);
  EXPECT_EQ(g.PixelAt(41, 61), paper);
  EXPECT_EQ(g.PixelAt(118, 78), paper);
  EXPECT_EQ(g.PixelAt(120, 80), 0xFF000000u) << "nothing beyond the box";
  EXPECT_EQ(g.PixelAt(39, 60), 0xFF000000u);
  // The selected text sits on ink, centred; the margins stay paper.
  int inkInside = 0, paperInside = 0;
  for (int x = 42; x < 119; ++x) {
    inkInside += g.PixelAt(x, 70) == ink;
    paperInside += g.PixelAt(x, 70) == paper;
  }
  EXPECT_GT(inkInside, 10);
  EXPECT_GT(paperInside, 10);
  EXPECT_EQ(g.PixelAt(43, 70), paper);

  // Not selected, editing: text on paper, and the caret, a column of ink,
  // right of it.
  entry.FocusGained();
  entry.Press(60, 70);
  entry.Draw(g);
  int inkNow = 0, caret = -1;
  for (int x = 42; x < 119; ++x) {
    inkNow += g.PixelAt(x, 70) == ink;
    int run = 0;
    for (int y = 62; y < 78; ++y) run += g.PixelAt(x, y) == ink;
    if (run >= 10) caret = x;
  }
  EXPECT_LT(inkNow, inkInside);
  EXPECT_GT(caret, 80) << "after the centred text";
}

}  // namespace
