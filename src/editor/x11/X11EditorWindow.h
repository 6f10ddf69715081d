#pragma once
// The editor's X window: a child of the host's window on a connection of
// its own, with an event thread that reads the window's events and ticks
// at the redraw rate. Hosts forward no events to a plug-in's window and
// call its idle request when and from where they like (or not at all), so
// the window keeps its own time. The thread exists exactly from a
// successful Open to Close, which joins it. Where the host offers a loop of
// its own, the window can run on it instead: no thread, the loop's thread
// is the event thread.

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "core/IEditorLoop.h"
#include "editor/IGraphicsTypes.h"
#include "editor/x11/X11Input.h"
#include "raster/Pixel.h"
#include "editor/x11/XlibHeaders.h"

class X11Connection;
class X11Presenter;

// What the window tells its owner; every call comes from the event thread.
class X11WindowClient {
 public:
  virtual ~X11WindowClient() = default;
  // The union of a run of exposed areas, once the run is complete.
  virtual void OnExpose(const IRect& area) = 0;
  virtual void OnTick() = 0;
  // Once, when the window went without us (its parent destroyed, the
  // connection lost): no further events or ticks come.
  virtual void OnGone() = 0;
  // False when the editor had no use for the event: a key is then passed
  // on to the host's window.
  virtual bool OnInput(const X11InputEvent& event) = 0;
  // After each round of events and ticks, with no lock held: what the
  // editor has for the host goes out. False when that closed the plug-in,
  // and with it this window and its client: the thread then touches
  // neither again.
  virtual bool Deliver() = 0;
};

class X11EditorWindow {
 public:
  explicit X11EditorWindow(X11WindowClient& client);
  ~X11EditorWindow();
  X11EditorWindow(const X11EditorWindow&) = delete;
  X11EditorWindow& operator=(const X11EditorWindow&) = delete;

  // Creates and maps a width x height window at (0, 0) inside parent and
  // starts the event thread, ticking every periodMs; with keys set it takes
  // key presses from the start. An open window is closed first and its
  // position and size are kept. False, with nothing left behind, when there
  // is no display, the parent is not a window that can hold one, or no
  // thread can be started.
  bool Open(unsigned long parent, int width, int height, int periodMs, bool keys = false);
  // The same on the host's loop, from the loop's thread, which becomes the
  // event thread: the loop watches the connection and ticks every periodMs
  // through LoopEvents and LoopTick.
  bool OpenOnLoop(unsigned long parent, int width, int height, int periodMs, bool keys,
                  IEditorLoop& loop);
  // The host's loop calling (no-ops for a window with a thread of its own).
  void LoopEvents();
  void LoopTick();
  // Stops and joins the event thread; the window stays as it is until Open
  // or Close.
  void Stop();
  // Stops the event thread, destroys the window and closes the connection.
  // From another thread it joins the event thread first; on the event
  // thread itself (a host that closes the editor from inside a callback)
  // the thread lets go of everything and ends once the callback returns.
  void Close();

  bool IsOpen() const { return window_ != 0; }
  ::Window Handle() const { return window_; }
  unsigned long Parent() const { return parent_; }
  bool UsesShm() const;
  // Errors the server reported on this window's connection.
  std::uint64_t ErrorCount() const;

  // True on the event thread, and there only.
  bool OnEventThread() const { return std::this_thread::get_id() == threadId_; }
  // True once Close has begun: work in progress should give up.
  bool StopRequested() const { return stop_ && stop_->load(std::memory_order_acquire); }
  // True once the window is gone without us: the host destroyed its
  // parent, or the connection to the server was lost.
  bool Gone() const { return windowGone_.load(); }

  // Copies area of the surface to the window. False when nothing was sent.
  bool Present(const Pixel* bits, int rowSpan, const IRect& area);
  // Whether the window takes key presses at all (kNone: they are not
  // selected and reach the host's windows), and whether it also holds the
  // keyboard focus (with focus changes reported); the focus goes back where
  // it was when that ends. In force at the server when it returns.
  enum class KeyInput { kNone, kKeys, kFocus };
  void SetKeyInput(KeyInput mode);
  // Hides the pointer over the window (and back).
  void SetPointerHidden(bool hidden);
  // The pointer's position on the screen; false without a window.
  bool PointerPosition(int& x, int& y);
  void WarpPointer(int x, int y);

 private:
  bool Create(unsigned long parent, int x, int y, int width, int height, bool keys);
  // The event loop; stop is this run's own flag, which outlives the window
  // when a callback closed it.
  void Run(std::shared_ptr<std::atomic<bool>> stop);
  // Reads and dispatches what is pending; false once the window went
  // without us (reported to the client once).
  bool DrainEvents();
  void Dispatch(XEvent& ev);
  void Release();
  long EventMask() const;

  X11WindowClient& client_;
  std::unique_ptr<X11Connection> connection_;
  std::unique_ptr<X11Presenter> presenter_;
  std::mutex presentLock_;  // presenter use against its release
  ::Window window_ = 0;
  unsigned long parent_ = 0;
  Colormap colormap_ = 0;  // own colormap when the parent's visual does not fit
  Cursor blankCursor_ = 0;
  int width_ = 0, height_ = 0;
  int periodMs_ = 40;
  KeyInput keyInput_ = KeyInput::kNone;
  ::Window focusBefore_ = 0;
  std::atomic<bool> windowGone_{false};  // destroyed by someone else (the parent went)
  std::thread thread_;
  std::mutex startLock_;  // holds the new thread until its id is stored
  std::thread::id threadId_;
  std::shared_ptr<std::atomic<bool>> stop_;  // the current run's
  int wake_[2] = {-1, -1};  // pipe: Close wakes the thread through it
  IEditorLoop* loop_ = nullptr;  // the host's, when it runs the window
  bool goneReported_ = false;
  X11InputTranslator translator_;
  IRect exposed_;  // union of the current run of exposures
  bool anyExposed_ = false;
};
