#pragma once
// The editor's Windows window: a child of the host's window that turns
// window messages into the editor core's mouse, key and redraw calls,
// copies the core's surface to the screen, runs the text entry and offers
// the platform services (menus, message boxes, folders, dialogs, clipboard,
// pointer). Everything runs on the host's user-interface thread, where the
// window also hands the editor's edits to the host after each input or
// timer message.

#include <cstdint>
#include <memory>
#include <string>

#include "editor/IGraphics.h"

struct HWND__;
struct HFONT__;
struct HDC__;

class IGraphicsWin : public IGraphics {
 public:
  static constexpr const char* kWindowClassName = "QuillwaveWndClass";
  static constexpr const char* kWindowTitle = "Quillwave";
  static constexpr std::uintptr_t kRedrawTimerId = 2;
  static constexpr int kTextEntryId = 99;

  enum TextEntryState : std::int32_t {
    kEntryNone = 0,
    kEntryEditing = 1,  // the entry has the keyboard focus
    kEntryUpdate = 2,   // the editor was redrawn around the entry
    kEntryCancel = 3,   // close without applying
    kEntryCommit = 4,   // apply the text, then close
  };

  IGraphicsWin(IEffectCore* plugin, int width, int height, int frameRate);
  ~IGraphicsWin() override;

  bool PresentArea(const IRect& rect) override;
  void CancelTextEntry() override;
  void Resize(int width, int height) override;
  bool IsWindowOpen() const override { return window_ != nullptr; }
  const char* DrawingApiName() const override { return "Windows GDI"; }
  int ShowMessage(const char* text, const char* caption, int type) override;
  IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRect& rect) override;
  void OpenTextEntry(IControl* control, const ITextStyle& style, const IRect& rect,
                     const char* text, IParameter* parameter) override;
  void HostFolder(std::string& out) override;
  void PluginFolder(std::string& out) override;
  void DesktopFolder(std::string& out) override;
  void AppDataFolder(std::string& out, bool system) override;
  void AskForFile(std::string& fileName, int action, std::string& folder,
                  const char* extensions) override;
  bool AskForColor(IColorARGB& color, const char* prompt) override;
  bool OpenWebAddress(const char* address, const char* title, const char* confirmText,
                      const char* errorText) override;
  void* OpenWindow(void* parent) override;
  void CloseWindow() override;
  void* GetWindow() const override { return window_; }
  bool ClipboardText(std::string& out) override;
  void HidePointer() override;
  void ShowPointer() override;
  std::unique_ptr<raster::MemBitmap> LoadImageResource(int id, const char* fileName) override;

  // Message handling of the editor window and of its text entry; the
  // window procedures find the object and call these. After an input or
  // timer message EditorMessage delivers the edits it left for the host; the
  // host may close the editor or the plug-in from inside them, so this
  // object may be gone when it returns.
  std::intptr_t EditorMessage(HWND__* window, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam);
  std::intptr_t EntryMessage(HWND__* entry, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam);

  // ---- state, for the host's tests and the platform layer ----
  HWND__* TextEntryWindow() const { return entryWindow_; }
  TextEntryState EntryState() const { return entryState_; }
  HWND__* HostMainWindow() const { return hostMainWindow_; }
  bool PointerHidden() const { return cursorHidden_; }
  // Editors that hold the window class all their windows share: each from
  // opening its window until it is closed, even when its window was
  // destroyed with the host's.
  static int WindowClassUsers();

 private:
  std::intptr_t HandleMessage(HWND__* window, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam);
  // Forgets the window and lets go of what it held: the timer, the
  // tooltip, an entry (never applied), the mouse and a hidden pointer.
  void LetGoOfWindow(HWND__* window);
  // The window destroyed by this object; no gesture is ended.
  void DestroyOwnWindow();
  void OnTimer();
  void EndTextEntry(bool apply);
  void TrackHoverAndLeave();
  void HideTooltip();
  void ShowTooltip();
  bool CreateTooltip();
  void ReleaseWindowClass();
  HWND__* FindHostMainWindow();
  bool HoldWindowClass();

  void* module_;
  HWND__* window_ = nullptr;
  HWND__* entryWindow_ = nullptr;
  HWND__* tooltipWindow_ = nullptr;
  IControl* entryControl_ = nullptr;
  IParameter* entryParameter_ = nullptr;
  std::intptr_t entryPreviousProc_ = 0;
  TextEntryState entryState_ = kEntryNone;
  bool tooltipShown_ = false;
  std::int32_t tooltipControl_ = -1;
  std::unique_ptr<std::uint32_t[]> customColors_;  // 16 words, made on first use
  std::uint32_t processId_ = 0;
  HWND__* hostParent_ = nullptr;
  HWND__* hostMainWindow_ = nullptr;
  std::string hostMainClass_;
  HFONT__* entryFont_ = nullptr;  // the entry's font, deleted with the entry
  HDC__* paintDC_ = nullptr;      // the context of the paint in progress
  bool holdsClass_ = false;       // counted in the window class's users
  int messageDepth_ = 0;          // this window's messages being handled, nested
};
