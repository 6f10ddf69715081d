#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/IEditorLink.h"
#include "editor/IControl.h"
#include "editor/IGraphicsTypes.h"
#include "editor/ITicking.h"
#include "editor/IValueTexts.h"
#include "raster/MemBitmap.h"
#include "raster/SysBitmap.h"

class IEffectCore;
class IParameter;
class IPopupMenu;

// The platform-neutral editor: owns the controls and one off-screen drawing
// surface, decides what needs drawing, routes mouse and key events to the
// controls, and carries values between the plug-in and the controls. A
// window layer per platform derives from it, supplies the pure operations
// and calls the event and redraw operations from its own events and its
// periodic tick.
class IGraphics : public IEditorLink {
 public:
  IGraphics(IEffectCore* plugin, int width, int height, int frameRate);
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- virtual operations, in slot order ----
  // Copies the area of the drawing surface to the window.
  virtual bool PresentArea(const IRect& rect) = 0;                                   // 0
  virtual bool MeasureText(ITextStyle& style, const char* text, IRect& rect);        // 1
  virtual void CancelTextEntry() = 0;                                                // 2
  // Rebuilds the surface at the new size and deletes every control; the
  // caller adds them again.
  virtual void Resize(int width, int height);                                        // 3
  virtual bool IsWindowOpen() const { return GetWindow() != nullptr; }               // 4
  virtual const char* DrawingApiName() const { return ""; }                          // 5
  virtual int ShowMessage(const char* text, const char* caption, int type) = 0;      // 6
  // The menu (or submenu) whose item was chosen, or null.
  virtual IPopupMenu* ShowPopupMenu(IPopupMenu& menu, const IRect& rect) = 0;        // 7
  // Single-line text entry over rect; parameter null for free text.
  virtual void OpenTextEntry(IControl* control, const ITextStyle& style, const IRect& rect,
                             const char* text, IParameter* parameter) = 0;           // 8
  virtual void HostFolder(std::string& out) = 0;                                     // 9
  virtual void PluginFolder(std::string& out) = 0;                                   // 10
  virtual void DesktopFolder(std::string& out) = 0;                                  // 11
  virtual void AppDataFolder(std::string& out, bool system) = 0;                     // 12
  virtual void UserAppDataFolder(std::string& out) { AppDataFolder(out, false); }    // 13
  // action 1 saves, anything else opens; fileName becomes empty on cancel.
  virtual void AskForFile(std::string& fileName, int action, std::string& folder,
                          const char* extensions) = 0;                               // 14
  virtual bool AskForColor(IColorARGB& color, const char* prompt) = 0;               // 15
  virtual bool OpenWebAddress(const char* address, const char* title,
                              const char* confirmText, const char* errorText) = 0;   // 16
  virtual void* PlatformContext() { return nullptr; }                                // 17
  void* OpenWindow(void* parent) override = 0;                                       // 18
  virtual void UnusedHook1() {}                                                      // 19
  virtual void UnusedHook2() {}                                                      // 20
  void CloseWindow() override = 0;                                                   // 21
  virtual void* GetWindow() const = 0;                                               // 22
  virtual bool ClipboardText(std::string& out) = 0;                                  // 23
  ~IGraphics() override;                                                             // 24
  virtual void HidePointer() {}                                                      // 25
  virtual void ShowPointer() {}                                                      // 26
  virtual void UnusedHook3() {}                                                      // 27
  // Decodes the image resource with this id; null when missing.
  virtual std::unique_ptr<raster::MemBitmap> LoadImageResource(int id,
                                                               const char* fileName) = 0;  // 28

  // ---- building ----
  // Image from the process-wide cache (decoded on first use), frames stacked.
  IBitmapStrip LoadBitmapStrip(int id, const char* fileName, int frames = 1);
  // Inserts at index 0 (drawn first, hit last) and takes ownership.
  void SetBackground(IControl* control);
  // Appends and takes ownership.
  void AddControl(IControl* control);
  // Receives the keys no control under the pointer takes; owned.
  void SetKeyCatcher(IControl* control);
  // Strict drawing draws every control overlapping the redrawn area; without
  // it only the dirty controls and what overlaps each of them are drawn.
  void SetStrictDrawing(bool strict) { strictDrawing_ = strict; }
  // Hover tracking: whether HandleMouseOver reaches the controls.
  void SetHandleMouseOver(bool handle) { handleMouseOver_ = handle; }
  // The plug-in's own value texts for value entry and readouts; owned.
  // Without them, value entry uses the parameters' display texts.
  void SetValueTexts(std::unique_ptr<IValueTexts> texts) { valueTexts_ = std::move(texts); }
  const IValueTexts* ValueTexts() const { return valueTexts_.get(); }
  // Advanced by AdvanceTick; not owned (usually a control the editor owns).
  void AddTicking(ITicking* ticking) { ticking_.push_back(ticking); }

  // ---- the plug-in core's link ----
  int ControlCount() const override { return int(controls_.size()); }
  // Null outside the list.
  IControl* GetControl(int i) const;
  IEditorControlLink* GetControlLink(int i) const override { return GetControl(i); }
  void PushParameterToControls(int paramIndex, double value, bool isNormalized) override;
  int Width() const override { return width_; }
  int Height() const override { return height_; }

  // ---- redraw cycle ----
  // Once per redraw tick of the window layer, before CollectDirtyArea: runs
  // everything added with AddTicking, then forgets the last wheel step.
  void AdvanceTick();
  // Union of the dirty controls' draw areas; true when any was dirty.
  bool CollectDirtyArea(IRect& rect);
  // Draws the controls overlapping rect onto the surface and presents the
  // area. A control is cleaned just before it is drawn, and only when the
  // area holds all of it: a mark made meanwhile by another thread, or a
  // dirty control the area does not wholly repaint, stays dirty for the next
  // redraw.
  bool Redraw(const IRect& rect);
  // Used by the controls' Draw: a frame of strip, clipped to the area being
  // redrawn; srcX/srcY select the frame.
  bool DrawBitmap(const IBitmapStrip& strip, const IRect& dest, int srcX, int srcY,
                  const IBlendSpec* blend);
  // False when the style's font cannot be made.
  bool DrawText(ITextStyle& style, const char* text, const IRect& rect);

  // ---- events, in client coordinates ----
  // Captures the control under the pointer and begins a gesture on its
  // parameter.
  void HandleMouseDown(int x, int y, const IMouseMods& mods);
  // Goes to the captured control, else to the one under the pointer; ends
  // the gesture the press began (a release without one ends none).
  void HandleMouseUp(int x, int y, const IMouseMods& mods);
  // Moves the captured control wherever the pointer goes.
  void HandleMouseDrag(int x, int y, const IMouseMods& mods);
  // True when the window should track hover and leave.
  bool HandleMouseOver(int x, int y, const IMouseMods& mods);
  // True when the double click went to a control as a press (the window
  // then captures the mouse).
  bool HandleDoubleClick(int x, int y, const IMouseMods& mods);
  void HandleMouseWheel(int x, int y, const IMouseMods& mods, int notches);
  // key is a KeyCode or -1 for a key without one; false when no control
  // took it and it belongs to the host.
  bool HandleKeyDown(int x, int y, int key);
  // Every control's MouseOut, and no control under the pointer.
  void HandleMouseLeave();
  // The window went away (closed, or destroyed with its parent): the mouse
  // is released and a gesture in progress ends, since its release will
  // never come; no control is under the pointer any more.
  void WindowGone();
  // Value entry for control over rect: a menu of the display texts or a
  // text entry. A parameter with value texts of the plug-in's own gets a
  // free-text entry holding its value's text.
  void PromptValue(IControl* control, IParameter* parameter, const IRect& rect);
  // Applies committed entry text to control: matched against the display
  // texts or read as a number, then normalised. Free text for a control
  // whose parameter has value texts is read by them and applied as one
  // gesture; text they cannot read changes nothing.
  void ApplyEnteredValue(IControl* control, IParameter* parameter, const char* text);

  // ---- state ----
  IEffectCore* Plugin() const { return plugin_; }
  // Makes the drawing surface, cleared; the first redraw makes it when
  // nothing has, so an instance whose editor is never shown has none.
  void PrepareSurface();
  // The drawing surface; null until the first redraw or PrepareSurface.
  // The window layer presents its pixels.
  raster::SysBitmap* Surface() const { return surface_.get(); }
  int FrameRate() const { return frameRate_; }
  int CaptureIndex() const { return capture_; }
  int MouseOverIndex() const { return mouseOver_; }
  // The control the wheel turned since the last tick, or -1.
  int WheelIndex() const { return wheel_; }
  void ReleaseCapture() { capture_ = -1, lastX_ = -1, lastY_ = -1; }
  const IRect& DrawingClip() const { return clip_; }
  // Index of the topmost control that is neither hidden nor greyed and is
  // hit at (x, y), or -1.
  int ControlAt(int x, int y) const;

 protected:
  // Text through the style's font; measure only into rect with measure set.
  bool RenderText(ITextStyle& style, const char* text, IRect& rect, bool measure);
  // The parameter a gesture is open on (-1: none) and its two ends.
  void BeginGesture(int paramIndex);
  void EndGesture();
  // Strict and non-strict drawing of Redraw.
  void RedrawStrict(const IRect& rect);
  void RedrawDirtyControls();

  IEffectCore* plugin_;
  std::vector<std::unique_ptr<IControl>> controls_;
  IRect clip_;
  bool cursorHidden_ = false;
  int cursorX_ = -1, cursorY_ = -1;
  std::unique_ptr<raster::SysBitmap> surface_;
  std::unique_ptr<raster::MemBitmap> scratch_;
  int width_, height_;
  int frameRate_;
  int capture_ = -1;
  int mouseOver_ = -1;
  int lastX_ = -1, lastY_ = -1;
  bool handleMouseOver_ = false;
  bool strictDrawing_ = true;
  bool tooltips_ = false;
  std::unique_ptr<IControl> keyCatcher_;
  int gestureParam_ = -1;
  int wheel_ = -1;
  std::unique_ptr<IValueTexts> valueTexts_;
  std::vector<ITicking*> ticking_;
};
