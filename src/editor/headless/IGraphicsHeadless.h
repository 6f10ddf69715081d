#pragma once

#include <string>

#include "editor/IGraphics.h"
#include "raster/Pixel.h"

// An editor with no window system: it draws into its surface like any
// other, records what it would have copied to a screen, and is driven by
// calls that stand for the window's events (the Handle* operations) and its
// periodic tick. The pixels are read through Surface(). Services that need a
// user or a desktop (message boxes, dialogs, folders, the clipboard) report
// that nothing was chosen or found.
class IGraphicsHeadless : public IGraphics {
 public:
  IGraphicsHeadless(IEffectCore* plugin, int width, int height, int frameRate);

  // Records the area (the union of all areas presented so far) and counts
  // the call.
  bool PresentArea(const IRect& rect) override;
  void CancelTextEntry() override;
  const char* DrawingApiName() const override { return "headless"; }
  // No box can be shown: 0, as when a message box fails.
  int ShowMessage(const char* text, const char* caption, int type) override;
  // Cancelled, unless an answer was arranged with AnswerNextMenu.
  IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRect& rect) override;
  // Remembers the request; CommitTextEntry or CancelTextEntry ends it.
  void OpenTextEntry(IControl* control, const ITextStyle& style, const IRect& rect,
                     const char* text, IParameter* parameter) override;
  void HostFolder(std::string& out) override { out.clear(); }
  void PluginFolder(std::string& out) override { out.clear(); }
  void DesktopFolder(std::string& out) override { out.clear(); }
  void AppDataFolder(std::string& out, bool) override { out.clear(); }
  void AskForFile(std::string& fileName, int, std::string&, const char*) override {
    fileName.clear();
  }
  bool AskForColor(IColorARGB&, const char*) override { return false; }
  bool OpenWebAddress(const char*, const char*, const char*, const char*) override { return false; }
  void* OpenWindow(void*) override { return nullptr; }
  void CloseWindow() override {}
  void* GetWindow() const override { return nullptr; }
  bool ClipboardText(std::string& out) override;
  std::unique_ptr<raster::MemBitmap> LoadImageResource(int id, const char* fileName) override;

  // What a window's redraw timer does: redraws the dirty area, if any.
  // True when something was redrawn.
  bool Tick();

  // The union of the areas presented since the last ClearPresented.
  const IRect& PresentedArea() const { return presented_; }
  int PresentCount() const { return presentCount_; }
  void ClearPresented();
  // Pixel of the surface; 0 outside it or before the first redraw.
  Pixel PixelAt(int x, int y) const;

  // The user's answer to the next pop-up menu: the item with this command id
  // (items numbered through the whole menu tree from 0).
  void AnswerNextMenu(int commandId) { menuAnswer_ = commandId; }

  bool TextEntryOpen() const { return entryControl_ != nullptr; }
  const std::string& TextEntryText() const { return entryText_; }
  const IRect& TextEntryRect() const { return entryRect_; }
  // Applies text as the user's committed entry and closes the entry.
  void CommitTextEntry(const char* text);

 private:
  IRect presented_;
  int presentCount_ = 0;
  int menuAnswer_ = -1;
  IControl* entryControl_ = nullptr;
  IParameter* entryParameter_ = nullptr;
  IRect entryRect_;
  std::string entryText_;
};
