#include "editor/x11/IGraphicsX11.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "core/IEffectCore.h"
#include "raster/ImageResource.h"
#include "raster/MemBitmap.h"
#include "raster/SysBitmap.h"
#include "editor/x11/X11Services.h"

IGraphicsX11::IGraphicsX11(IEffectCore* plugin, int width, int height, int frameRate)
    : IGraphics(plugin, width, height, frameRate) {}

// Only the window: the plug-in is going too, so no gesture is ended here.
IGraphicsX11::~IGraphicsX11() { window_.Close(); }

// ------------------------------------------------------------------ window

void* IGraphicsX11::OpenWindow(void* parent) {
  if (window_.OnEventThread()) return nullptr;
  window_.Stop();
  WindowStopped();
  for (int i = 0, n = ControlCount(); i < n; ++i) GetControl(i)->MarkDirty(false);
  const int period = frameRate_ > 0 ? 1000 / frameRate_ : 40;
  // Keys are taken only where something can use them: a key catcher.
  if (!window_.Open(reinterpret_cast<unsigned long>(parent), width_, height_, period,
                    keyCatcher_ != nullptr))
    return nullptr;
  return GetWindow();
}

void* IGraphicsX11::OpenWindowOnLoop(void* parent, IEditorLoop& loop) {
  if (window_.OnEventThread()) return nullptr;
  window_.Close();
  WindowStopped();
  for (int i = 0, n = ControlCount(); i < n; ++i) GetControl(i)->MarkDirty(false);
  const int period = frameRate_ > 0 ? 1000 / frameRate_ : 40;
  if (!window_.OpenOnLoop(reinterpret_cast<unsigned long>(parent), width_, height_, period,
                          keyCatcher_ != nullptr, loop))
    return nullptr;
  return GetWindow();
}

void IGraphicsX11::LoopEvents() { window_.LoopEvents(); }

void IGraphicsX11::LoopTick() { window_.LoopTick(); }

void IGraphicsX11::CloseWindow() {
  window_.Close();
  WindowStopped();
}

void IGraphicsX11::WindowStopped() {
  // A press whose release the window will never see ends its gesture now.
  WindowGone();
  tracking_ = false;
  cursorHidden_ = false;  // the blank pointer went with the window
  std::lock_guard<std::mutex> hold(entryLock_);
  entry_.Close();  // never applied: its window is gone
  entryDrawn_ = false;
}

void* IGraphicsX11::GetWindow() const {
  return window_.IsOpen() ? reinterpret_cast<void*>(window_.Handle()) : nullptr;
}

bool IGraphicsX11::PresentArea(const IRect& rect) {
  const raster::SysBitmap* surface = Surface();
  if (!surface || !window_.IsOpen()) return false;
  if (window_.OnEventThread()) {
    // The box lies over whatever the core drew there.
    std::lock_guard<std::mutex> hold(entryLock_);
    if (entry_.IsOpen() && !rect.Empty() && rect.Overlaps(entry_.Box())) {
      entry_.Draw(*this);
      if (rect.Intersect(entry_.Box()) == entry_.Box()) entryDrawn_ = true;
    }
  }
  return window_.Present(surface->GetBits(), surface->GetRowSpan(), rect);
}

bool IGraphicsX11::HoldPlugin(std::unique_lock<std::recursive_mutex>& hold) {
  if (!plugin_) return !window_.StopRequested();
  std::recursive_mutex& lock = plugin_->Mutex();
  // Never a blocking wait: whoever closes the window holds this lock while
  // waiting for this thread.
  for (int attempt = 0; !window_.StopRequested(); ++attempt) {
    if (lock.try_lock()) {
      hold = std::unique_lock<std::recursive_mutex>(lock, std::adopt_lock);
      return true;
    }
    if (attempt < 50)
      std::this_thread::yield();
    else
      std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return false;
}

// ------------------------------------------------------------------ events

void IGraphicsX11::OnGone() {
  std::unique_lock<std::recursive_mutex> hold;
  if (!HoldPlugin(hold)) return;
  WindowGone();
}

bool IGraphicsX11::Deliver() {
  return !plugin_ || !plugin_->HostEditsPending() || plugin_->DeliverHostEditsFromEditor();
}

void IGraphicsX11::OnExpose(const IRect& area) {
  IRect dirty, repaint = area;
  if (CollectDirtyArea(dirty) && !dirty.Empty()) repaint = repaint.Union(dirty);
  Redraw(repaint);
}

void IGraphicsX11::OnTick() {
  IRect entryBox;
  bool finish = false, drawEntry = false;
  {
    std::lock_guard<std::mutex> hold(entryLock_);
    switch (entry_.GetState()) {
      case X11TextEntry::State::kClosed: break;
      case X11TextEntry::State::kCommit:
      case X11TextEntry::State::kCancel: finish = true; break;
      case X11TextEntry::State::kOpening:
        window_.SetKeyInput(X11EditorWindow::KeyInput::kFocus);
        [[fallthrough]];
      case X11TextEntry::State::kEditing:
        drawEntry = !entryDrawn_;
        entryBox = entry_.Box();
        break;
    }
  }
  if (finish) {
    FinishTextEntry();
    return;
  }
  AdvanceTick();
  IRect area;
  const bool dirty = CollectDirtyArea(area);
  if (drawEntry) area = dirty && !area.Empty() ? area.Union(entryBox) : entryBox;
  if (dirty || drawEntry) Redraw(area);
}

void IGraphicsX11::FinishTextEntry() {
  IControl* control = nullptr;
  IParameter* parameter = nullptr;
  char text[X11TextEntry::kMaxLength + 1];
  IRect box;
  bool commit = false;
  {
    std::lock_guard<std::mutex> hold(entryLock_);
    commit = entry_.GetState() == X11TextEntry::State::kCommit;
    control = entry_.Control();
    parameter = entry_.Parameter();
    std::memcpy(text, entry_.Text(), sizeof text);
    box = entry_.Box();
  }
  window_.SetKeyInput(keyCatcher_ ? X11EditorWindow::KeyInput::kKeys
                                  : X11EditorWindow::KeyInput::kNone);
  if (commit) {
    std::unique_lock<std::recursive_mutex> hold;
    if (!HoldPlugin(hold)) return;  // closing: the box goes with the window
    ApplyEnteredValue(control, parameter, text);
  }
  {
    // Closed once applied: whoever sees it closed sees the value.
    std::lock_guard<std::mutex> hold(entryLock_);
    entry_.Close();
    entryDrawn_ = false;
  }
  // What the box covered is drawn again at the next tick.
  for (int i = 0, n = ControlCount(); i < n; ++i)
    if (GetControl(i)->DrawArea().Overlaps(box)) GetControl(i)->MarkDirty(false);
}

bool IGraphicsX11::EntryInput(const X11InputEvent& e) {
  std::lock_guard<std::mutex> hold(entryLock_);
  if (!entry_.IsOpen()) return false;
  bool changed = false;
  switch (e.kind) {
    case X11InputEvent::kKey: changed = entry_.Key(e.keysym, e.text); break;
    case X11InputEvent::kDown:
    case X11InputEvent::kDoubleClick: changed = entry_.Press(e.x, e.y); break;
    case X11InputEvent::kWheel: entry_.Request(X11TextEntry::State::kCancel); break;
    case X11InputEvent::kFocusIn:
      entry_.FocusGained();
      changed = true;  // the caret shows
      break;
    case X11InputEvent::kFocusOut: entry_.FocusLost(); break;
    case X11InputEvent::kUp: return false;  // the core still ends its gesture
    default: break;
  }
  if (changed) entryDrawn_ = false;
  return true;
}

bool IGraphicsX11::OnInput(const X11InputEvent& e) {
  if (EntryInput(e)) return true;
  std::unique_lock<std::recursive_mutex> hold;
  if (!HoldPlugin(hold)) return true;
  switch (e.kind) {
    case X11InputEvent::kDown: HandleMouseDown(e.x, e.y, e.mods); break;
    case X11InputEvent::kUp: HandleMouseUp(e.x, e.y, e.mods); break;
    case X11InputEvent::kDrag: HandleMouseDrag(e.x, e.y, e.mods); break;
    case X11InputEvent::kMove:
      if (HandleMouseOver(e.x, e.y, e.mods)) tracking_ = true;
      break;
    case X11InputEvent::kLeave:
      if (tracking_) HandleMouseLeave();
      tracking_ = false;
      break;
    case X11InputEvent::kDoubleClick: HandleDoubleClick(e.x, e.y, e.mods); break;
    case X11InputEvent::kWheel: HandleMouseWheel(e.x, e.y, e.mods, e.notches); break;
    case X11InputEvent::kKey: return HandleKeyDown(e.x, e.y, e.code);
    default: break;
  }
  return true;
}

// -------------------------------------------------------------- text entry

void IGraphicsX11::OpenTextEntry(IControl* control, const ITextStyle& style, const IRect& rect,
                                 const char* text, IParameter* parameter) {
  if (!control || !window_.IsOpen()) return;
  std::lock_guard<std::mutex> hold(entryLock_);
  if (entry_.IsOpen()) return;
  entry_.Open(control, parameter, style, rect, text, control->TextEntryLength());
  entryDrawn_ = false;
  // Opened by a click, the box takes the keyboard at once (else at the
  // next tick) so that no typed key goes past it.
  if (window_.OnEventThread()) window_.SetKeyInput(X11EditorWindow::KeyInput::kFocus);
}

void IGraphicsX11::CancelTextEntry() {
  std::lock_guard<std::mutex> hold(entryLock_);
  entry_.Request(X11TextEntry::State::kCancel);
}

bool IGraphicsX11::TextEntryOpen() const {
  std::lock_guard<std::mutex> hold(entryLock_);
  return entry_.IsOpen();
}

std::string IGraphicsX11::TextEntryText() const {
  std::lock_guard<std::mutex> hold(entryLock_);
  return entry_.Text();
}

// ---------------------------------------------------------------- services

int IGraphicsX11::ShowMessage(const char*, const char*, int) { return 0; }

IPopupMenu* IGraphicsX11::ShowPopupMenu(IPopupMenu&, const IRect&) {
  ReleaseCapture();
  return nullptr;
}

void IGraphicsX11::AskForFile(std::string& fileName, int, std::string&, const char*) {
  fileName.clear();
}

bool IGraphicsX11::AskForColor(IColorARGB&, const char*) { return false; }

void IGraphicsX11::HostFolder(std::string& out) { out = x11services::HostFolder(); }
void IGraphicsX11::PluginFolder(std::string& out) { out = x11services::LibraryFolder(); }
void IGraphicsX11::DesktopFolder(std::string& out) { out = x11services::DesktopFolder(); }
void IGraphicsX11::AppDataFolder(std::string& out, bool system) {
  out = x11services::AppDataFolder(system);
}

bool IGraphicsX11::OpenWebAddress(const char* address, const char*, const char* confirmText,
                                  const char*) {
  if (confirmText && confirmText[0]) return false;
  return x11services::OpenWebAddress(address);
}

bool IGraphicsX11::ClipboardText(std::string& out) { return x11services::ClipboardText(out); }

void IGraphicsX11::HidePointer() {
  if (cursorHidden_) return;
  int x = 0, y = 0;
  if (!window_.PointerPosition(x, y)) return;
  cursorX_ = x, cursorY_ = y;
  window_.SetPointerHidden(true);
  cursorHidden_ = true;
}

void IGraphicsX11::ShowPointer() {
  if (!cursorHidden_) return;
  window_.WarpPointer(cursorX_, cursorY_);
  window_.SetPointerHidden(false);
  cursorHidden_ = false;
}

std::unique_ptr<raster::MemBitmap> IGraphicsX11::LoadImageResource(int id, const char* fileName) {
  return raster::LoadImageResource(id, fileName);
}
