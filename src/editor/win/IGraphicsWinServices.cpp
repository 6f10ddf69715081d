// Platform services of the Windows editor: message boxes owned by the
// host's main window, well-known folders, file and colour dialogs, web
// addresses, clipboard text and hiding the pointer.
#include "editor/win/IGraphicsWin.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <cstdlib>
#include <cstring>

#include "editor/win/WinServiceText.h"

namespace {

constexpr int kPathSize = 256;

struct MainWindowSearch {
  DWORD processId;
  const std::string* className;
  HWND found;
};

BOOL CALLBACK MatchMainWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<MainWindowSearch*>(data);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->processId) return TRUE;
  char name[kPathSize] = {};
  GetClassNameA(window, name, sizeof name);
  if (*search->className != name) return TRUE;
  search->found = window;
  return FALSE;
}

UINT_PTR CALLBACK ColorDialogHook(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    const auto* choose = reinterpret_cast<const CHOOSECOLORA*>(lParam);
    if (choose && choose->lCustData)
      SetWindowTextA(dialog, reinterpret_cast<const char*>(choose->lCustData));
  }
  return 0;
}

}  // namespace

HWND IGraphicsWin::FindHostMainWindow() {
  if (hostMainWindow_ && IsWindow(hostMainWindow_)) return hostMainWindow_;
  hostMainWindow_ = nullptr;
  if (hostParent_ && IsWindow(hostParent_)) {
    HWND top = hostParent_;
    for (HWND up = GetParent(top); up; up = GetParent(top)) top = up;
    char name[kPathSize] = {};
    GetClassNameA(top, name, sizeof name);
    hostMainWindow_ = top;
    hostMainClass_ = name;
  } else if (!hostMainClass_.empty()) {
    processId_ = GetCurrentProcessId();
    MainWindowSearch search{processId_, &hostMainClass_, nullptr};
    EnumWindows(MatchMainWindow, reinterpret_cast<LPARAM>(&search));
    hostMainWindow_ = search.found;
  }
  return hostMainWindow_;
}

int IGraphicsWin::ShowMessage(const char* text, const char* caption, int type) {
  return MessageBoxA(FindHostMainWindow(), text, caption, UINT(type));
}

void IGraphicsWin::HostFolder(std::string& out) {
  char path[kPathSize] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  out = winui::FolderOfPath(path);
}

void IGraphicsWin::PluginFolder(std::string& out) {
  char path[kPathSize] = {};
  GetModuleFileNameA(static_cast<HMODULE>(module_), path, sizeof path);
  out = winui::FolderOfPath(path);
}

void IGraphicsWin::DesktopFolder(std::string& out) {
  char path[MAX_PATH] = {};
  out = SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOP, FALSE) ? path : "";
}

void IGraphicsWin::AppDataFolder(std::string& out, bool system) {
  char path[MAX_PATH] = {};
  const int folder = system ? CSIDL_COMMON_APPDATA : CSIDL_LOCAL_APPDATA;
  out = SUCCEEDED(SHGetFolderPathA(nullptr, folder, nullptr, 0, path)) ? path : "";
}

void IGraphicsWin::AskForFile(std::string& fileName, int action, std::string& folder,
                              const char* extensions) {
  if (!window_) {
    fileName.clear();
    return;
  }
  char file[kPathSize] = {};
  std::strncpy(file, fileName.c_str(), sizeof file - 1);
  std::string initialFolder = folder;
  if (initialFolder.empty()) DesktopFolder(initialFolder);
  const std::string filter = winui::FilterList(extensions);
  const std::string defaultExtension = winui::DefaultExtension(extensions);

  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = window_;
  ofn.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  ofn.lpstrFile = file;
  ofn.nMaxFile = kPathSize - 1;
  ofn.lpstrInitialDir = initialFolder.c_str();
  ofn.lpstrDefExt = defaultExtension.empty() ? nullptr : defaultExtension.c_str();
  BOOL chosen;
  if (action == 1) {
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
    chosen = GetSaveFileNameA(&ofn);
  } else {
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    chosen = GetOpenFileNameA(&ofn);
  }
  if (!chosen) {
    fileName.clear();
    return;
  }
  char drive[_MAX_DRIVE] = {}, dir[_MAX_DIR] = {};
  _splitpath(file, drive, dir, nullptr, nullptr);
  folder = std::string(drive) + dir;
  fileName = file;
}

bool IGraphicsWin::AskForColor(IColorARGB& color, const char* prompt) {
  if (!window_) return false;
  if (!customColors_) {
    customColors_ = std::make_unique<std::uint32_t[]>(16);
    for (int i = 0; i < 16; ++i) customColors_[i] = RGB(255, 255, 255);
  }
  CHOOSECOLORA choose = {};
  choose.lStructSize = sizeof choose;
  choose.hwndOwner = window_;
  choose.rgbResult = RGB(color.r, color.g, color.b);
  choose.lpCustColors = reinterpret_cast<COLORREF*>(customColors_.get());
  choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
  if (prompt) {
    choose.Flags |= CC_ENABLEHOOK;
    choose.lpfnHook = ColorDialogHook;
    choose.lCustData = reinterpret_cast<LPARAM>(prompt);
  }
  if (!ChooseColorA(&choose)) return false;
  color.r = GetRValue(choose.rgbResult);
  color.g = GetGValue(choose.rgbResult);
  color.b = GetBValue(choose.rgbResult);
  return true;
}

bool IGraphicsWin::OpenWebAddress(const char* address, const char* title, const char* confirmText,
                                  const char* errorText) {
  if (confirmText && MessageBoxA(window_, confirmText, title, MB_YESNO) != IDYES) return false;
  DWORD flags = 0;
  if (address && InternetGetConnectedState(&flags, 0) &&
      reinterpret_cast<INT_PTR>(ShellExecuteA(window_, "open", address, nullptr, nullptr,
                                              SW_SHOWNORMAL)) > 32)
    return true;
  if (errorText) MessageBoxA(window_, errorText, title, MB_OK);
  return false;
}

bool IGraphicsWin::ClipboardText(std::string& out) {
  out.clear();
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(window_)) return false;
  bool ok = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
      if (n > 0) {
        std::string text(std::size_t(n), '\0');
        if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr) == n) {
          text.resize(std::size_t(n - 1));  // the terminator stays implicit
          out = std::move(text);
          ok = true;
        }
      }
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return ok;
}

void IGraphicsWin::HidePointer() {
  if (cursorHidden_) return;
  POINT p;
  if (GetCursorPos(&p)) cursorX_ = p.x, cursorY_ = p.y;
  ShowCursor(FALSE);
  cursorHidden_ = true;
}

void IGraphicsWin::ShowPointer() {
  if (!cursorHidden_) return;
  SetCursorPos(cursorX_, cursorY_);
  ShowCursor(TRUE);
  cursorHidden_ = false;
}
