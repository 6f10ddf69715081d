// The Windows editor's services in a host window, each modal one answered by
// a timer that finds its window: pop-up menus, message boxes, file and
// colour dialogs, web addresses; and clipboard text, folders and the pointer.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "HostWindow.h"
#include "WinEditorFixture.h"
#include "editor/IPopupMenu.h"
#include "editor/win/IGraphicsWin.h"

using namespace qwtest;

namespace {

constexpr int kW = WinTestPanel::kWidth, kH = WinTestPanel::kHeight;

struct Services : ::testing::Test {
  HostWindow host{kW, kH};
  WinTestEffect fx;
  IGraphicsWin* g = new IGraphicsWin(&fx, kW, kH, 25);
  HWND window = nullptr;

  void SetUp() override {
    WinTestPanel::Build(fx, g);
    window = static_cast<HWND>(g->OpenWindow(host.Handle()));
    ASSERT_NE(window, nullptr);
    Pump(0);
  }
};

// The texts of the open menu's items, and keys sent to it to choose.
struct MenuAnswer {
  std::vector<std::string> texts;
  std::vector<UINT> states;
  std::vector<WPARAM> keys;

  std::function<bool()> Act() {
    return [this] {
      HWND menuWindow = FindThreadWindow("#32768");
      if (!menuWindow) return false;
      HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
      for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        char text[64] = {};
        GetMenuStringA(menu, UINT(i), text, sizeof text, MF_BYPOSITION);
        texts.push_back(text);
        states.push_back(GetMenuState(menu, UINT(i), MF_BYPOSITION));
      }
      for (WPARAM k : keys) PostMessageA(menuWindow, WM_KEYDOWN, k, 0);
      return true;
    };
  }
};

TEST_F(Services, MenuWithPrefixesChoosesTheThirdItem) {
  IPopupMenu menu(IPopupMenu::kTwoDigits);
  menu.AddItem("a");
  menu.AddSeparator();
  menu.AddItem("b");
  MenuAnswer answer;
  answer.keys = {VK_DOWN, VK_DOWN, VK_RETURN};
  IPopupMenu* chosen;
  {
    ModalHelper helper(answer.Act());
    chosen = g->ShowPopupMenu(menu, {10, 10, 50, 30});
    EXPECT_TRUE(helper.Done());
  }
  ASSERT_EQ(answer.texts.size(), 3u);
  EXPECT_EQ(answer.texts[0], "01: a");
  EXPECT_TRUE(answer.states[1] & MF_SEPARATOR);
  EXPECT_EQ(answer.texts[2], "03: b");
  EXPECT_EQ(chosen, &menu);
  EXPECT_EQ(menu.ChosenIndex(), 2);
}

TEST_F(Services, MenuItemFlagsAndASubmenuChoice) {
  IPopupMenu menu;
  menu.AddItem("grey", IPopupMenu::kDisabled);
  menu.AddItem("title", IPopupMenu::kTitle);
  menu.AddItem("checked", IPopupMenu::kChecked);
  auto* sub = new IPopupMenu(IPopupMenu::kOneDigit);
  sub->AddItem("x");
  sub->AddItem("y");
  menu.AddSubmenu("more", sub);
  MenuAnswer answer;
  // Up from nothing selected reaches the last item; into its submenu, then
  // its second item.
  answer.keys = {VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN};
  IPopupMenu* chosen;
  {
    ModalHelper helper(answer.Act());
    chosen = g->ShowPopupMenu(menu, {10, 10, 50, 30});
  }
  ASSERT_EQ(answer.texts.size(), 4u);
  EXPECT_TRUE(answer.states[0] & MF_GRAYED);
  EXPECT_TRUE(answer.states[1] & MF_DISABLED);
  EXPECT_FALSE(answer.states[1] & MF_GRAYED);
  EXPECT_TRUE(answer.states[2] & MF_CHECKED);
  EXPECT_TRUE(answer.states[3] & MF_POPUP);
  EXPECT_EQ(chosen, sub);
  EXPECT_EQ(sub->ChosenIndex(), 1);
  EXPECT_EQ(menu.ChosenIndex(), -1);
}

TEST_F(Services, CancelledMenuChoosesNothing) {
  IPopupMenu menu;
  menu.AddItem("a");
  MenuAnswer answer;
  answer.keys = {VK_ESCAPE};
  IPopupMenu* chosen;
  {
    ModalHelper helper(answer.Act());
    chosen = g->ShowPopupMenu(menu, {10, 10, 50, 30});
  }
  EXPECT_EQ(chosen, nullptr);
  EXPECT_EQ(menu.ChosenIndex(), -1);
  EXPECT_EQ(g->CaptureIndex(), -1);
}

// Answers the first dialog box of this thread with a button; records its
// title and owner.
struct DialogAnswer {
  explicit DialogAnswer(int b) : button(b) {}
  int button;
  std::string title;
  HWND owner = nullptr;
  std::function<bool()> Act() {
    return [this] {
      HWND box = FindThreadWindow("#32770");
      if (!box) return false;
      char text[128] = {};
      GetWindowTextA(box, text, sizeof text);
      title = text;
      owner = GetWindow(box, GW_OWNER);
      PostMessageA(box, WM_COMMAND, WPARAM(button), 0);
      return true;
    };
  }
};

TEST_F(Services, MessageBoxBelongsToTheHostsMainWindow) {
  // The editor sits two windows deep, as in a host's plug-in frame.
  HWND frame = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, kW, kH,
                               host.Handle(), nullptr, nullptr, nullptr);
  ASSERT_TRUE(g->OpenWindow(frame));
  DialogAnswer answer{IDNO};
  int result;
  {
    ModalHelper helper(answer.Act());
    result = g->ShowMessage("Replace the preset?", "Quillwave", MB_YESNO);
  }
  EXPECT_EQ(result, IDNO);
  EXPECT_EQ(answer.title, "Quillwave");
  EXPECT_EQ(answer.owner, host.Handle());
  EXPECT_EQ(g->HostMainWindow(), host.Handle());
}

TEST_F(Services, WebAddressDeclinedAtTheConfirmation) {
  DialogAnswer answer{IDNO};
  bool opened;
  {
    ModalHelper helper(answer.Act());
    opened = g->OpenWebAddress("http://127.0.0.1:9/", "Open", "Open the page?", nullptr);
  }
  EXPECT_FALSE(opened);
  EXPECT_EQ(answer.title, "Open");
  EXPECT_EQ(answer.owner, host.Handle());
}

TEST_F(Services, FileDialogCancelledLeavesTheFolder) {
  for (int action : {0, 1}) {
    std::string file = "preset.fxp", folder = "C:\\";
    DialogAnswer answer{IDCANCEL};
    {
      ModalHelper helper(answer.Act());
      g->AskForFile(file, action, folder, "fxp fxb");
      EXPECT_TRUE(helper.Done());
    }
    EXPECT_EQ(file, "");
    EXPECT_EQ(folder, "C:\\");
  }
  // Without a window nothing is asked.
  g->CloseWindow();
  std::string file = "x", folder = "C:\\";
  g->AskForFile(file, 0, folder, "fxp");
  EXPECT_EQ(file, "");
  IColorARGB c;
  EXPECT_FALSE(g->AskForColor(c, "Pick"));
}

TEST_F(Services, ColourDialogTakesThePromptAndKeepsAlpha) {
  IColorARGB color{128, 10, 200, 30};
  DialogAnswer ok{IDOK};
  bool chosen;
  {
    ModalHelper helper(ok.Act());
    chosen = g->AskForColor(color, "Plot colour");
  }
  EXPECT_TRUE(chosen);
  EXPECT_EQ(ok.title, "Plot colour");
  EXPECT_EQ(color.a, 128);
  EXPECT_EQ(color.r, 10);
  EXPECT_EQ(color.g, 200);
  EXPECT_EQ(color.b, 30);

  DialogAnswer cancel{IDCANCEL};
  {
    ModalHelper helper(cancel.Act());
    chosen = g->AskForColor(color, nullptr);
  }
  EXPECT_FALSE(chosen);
}

void PutClipboardText(HWND owner, const wchar_t* text) {
  ASSERT_TRUE(OpenClipboard(owner));
  EmptyClipboard();
  if (text) {
    const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(data), text, bytes);
    GlobalUnlock(data);
    SetClipboardData(CF_UNICODETEXT, data);
  }
  CloseClipboard();
}

TEST_F(Services, ClipboardTextAsUtf8) {
  std::string text = "stale";
  PutClipboardText(host.Handle(), L"Gr\u00FC\u00DFe 12.5 Hz");
  EXPECT_TRUE(g->ClipboardText(text));
  EXPECT_EQ(text, "Gr\xC3\xBC\xC3\x9F" "e 12.5 Hz");
  // The clipboard was closed again: someone else can open it.
  ASSERT_TRUE(OpenClipboard(host.Handle()));
  CloseClipboard();

  PutClipboardText(host.Handle(), nullptr);
  EXPECT_FALSE(g->ClipboardText(text));
  EXPECT_EQ(text, "");
}

TEST_F(Services, Folders) {
  std::string hostFolder, pluginFolder, desktop, common, user;
  g->HostFolder(hostFolder);
  g->PluginFolder(pluginFolder);
  g->DesktopFolder(desktop);
  g->AppDataFolder(common, true);
  g->UserAppDataFolder(user);
  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  ASSERT_FALSE(hostFolder.empty());
  EXPECT_EQ(hostFolder.back(), '\\');
  EXPECT_EQ(std::string(exe).rfind(hostFolder, 0), 0u);
  EXPECT_EQ(std::strchr(exe + hostFolder.size(), '\\'), nullptr);
  // Linked into this program, the editor's module is the program itself.
  EXPECT_EQ(pluginFolder, hostFolder);
  for (const std::string* f : {&desktop, &common, &user}) {
    EXPECT_FALSE(f->empty());
    EXPECT_NE(f->back(), '\\');
    EXPECT_NE(GetFileAttributesA(f->c_str()), INVALID_FILE_ATTRIBUTES) << *f;
  }
  EXPECT_NE(common, user);
}

TEST_F(Services, HidingThePointerTwiceThenShowingRestoresTheFirstPosition) {
  ASSERT_TRUE(SetCursorPos(120, 130));
  g->HidePointer();
  EXPECT_TRUE(g->PointerHidden());
  SetCursorPos(300, 310);
  g->HidePointer();  // ignored: already hidden
  SetCursorPos(400, 410);
  g->ShowPointer();
  EXPECT_FALSE(g->PointerHidden());
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 120);
  EXPECT_EQ(p.y, 130);
  g->ShowPointer();  // ignored: not hidden
  SetCursorPos(50, 60);
  g->ShowPointer();
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 50);
}

}  // namespace
