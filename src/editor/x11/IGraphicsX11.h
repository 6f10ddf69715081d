#pragma once
// The editor on X11: its window inside the host's window (X11EditorWindow,
// with an event thread of its own), the core's events made from that
// window's events, the editor's own text box for typed values, and the
// desktop services that exist on Linux.

#include <mutex>

#include "editor/IGraphics.h"
#include "editor/x11/X11EditorWindow.h"
#include "editor/x11/X11TextEntry.h"

class IGraphicsX11 : public IGraphics, private X11WindowClient {
 public:
  IGraphicsX11(IEffectCore* plugin, int width, int height, int frameRate);
  // Closes the window (joining its thread) before the controls go.
  ~IGraphicsX11() override;

  bool PresentArea(const IRect& rect) override;
  // The box closes at the next tick without applying anything.
  void CancelTextEntry() override;
  const char* DrawingApiName() const override { return "Xlib"; }
  // No message box, menu, file or colour dialog is shown on this platform:
  // each reports that nothing was chosen (a message box that could not be
  // shown answers 0).
  int ShowMessage(const char* text, const char* caption, int type) override;
  IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRect& rect) override;
  void AskForFile(std::string& fileName, int action, std::string& folder,
                  const char* extensions) override;
  bool AskForColor(IColorARGB& color, const char* prompt) override;
  // The editor's own text box over rect, while the window is open.
  void OpenTextEntry(IControl* control, const ITextStyle& style, const IRect& rect,
                     const char* text, IParameter* parameter) override;
  void HostFolder(std::string& out) override;
  void PluginFolder(std::string& out) override;
  void DesktopFolder(std::string& out) override;
  void AppDataFolder(std::string& out, bool system) override;
  // Without a confirmation box, an address that needs confirming is not
  // opened; an error text cannot be shown either.
  bool OpenWebAddress(const char* address, const char* title, const char* confirmText,
                      const char* errorText) override;
  // parent is the host's X window id. Returns the editor's window id, or
  // null when no window could be made.
  void* OpenWindow(void* parent) override;
  // The window's events and ticks on the host's loop, on its thread.
  void* OpenWindowOnLoop(void* parent, IEditorLoop& loop) override;
  void LoopEvents() override;
  void LoopTick() override;
  void CloseWindow() override;
  void* GetWindow() const override;
  bool ClipboardText(std::string& out) override;
  // Over the editor's window, while it is open.
  void HidePointer() override;
  void ShowPointer() override;
  std::unique_ptr<raster::MemBitmap> LoadImageResource(int id, const char* fileName) override;

  // ---- state, for tests ----
  bool UsesShm() const { return window_.UsesShm(); }
  bool TextEntryOpen() const;
  std::string TextEntryText() const;

 private:
  // X11WindowClient, on the event thread.
  void OnExpose(const IRect& area) override;
  void OnTick() override;
  bool OnInput(const X11InputEvent& event) override;
  bool Deliver() override;
  void OnGone() override;

  // Takes the plug-in's lock without blocking a Close that holds it: gives
  // up (false) once the window is closing.
  bool HoldPlugin(std::unique_lock<std::recursive_mutex>& hold);
  // What happens when the event thread is gone: a gesture in progress ends
  // (the core's WindowGone) and an open text box goes without applying
  // anything.
  void WindowStopped();
  // The event, when a text box is open and takes it.
  bool EntryInput(const X11InputEvent& event);
  // Ends the box on a commit or cancel request: a commit applies its text;
  // what it covered is repainted.
  void FinishTextEntry();

  X11EditorWindow window_{*this};
  bool tracking_ = false;  // hover reported: a leave is reported too

  mutable std::mutex entryLock_;  // the box against requests from other threads
  X11TextEntry entry_;
  bool entryDrawn_ = false;  // the box's current look is on the surface
};
