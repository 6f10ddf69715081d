#include "editor/x11/X11EditorWindow.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "editor/ProcessWide.h"
#include "editor/x11/X11Connection.h"
#include "editor/x11/X11Presenter.h"

namespace {

// The surface's words go to the screen as they are: 8-bit red, green and
// blue in the low three bytes.
bool FitsSurface(const Visual* v, int depth) {
  return v && v->c_class == TrueColor && depth == 24 && v->red_mask == 0xFF0000 &&
         v->green_mask == 0xFF00 && v->blue_mask == 0xFF;
}

}  // namespace

X11EditorWindow::X11EditorWindow(X11WindowClient& client) : client_(client) {}

X11EditorWindow::~X11EditorWindow() { Close(); }

long X11EditorWindow::EventMask() const {
  long mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
              LeaveWindowMask | StructureNotifyMask;
  if (keyInput_ != KeyInput::kNone) mask |= KeyPressMask;
  if (keyInput_ == KeyInput::kFocus) mask |= FocusChangeMask;
  return mask;
}

bool X11EditorWindow::Open(unsigned long parent, int width, int height, int periodMs, bool keys) {
  if (OnEventThread()) return false;
  int x = 0, y = 0;
  if (IsOpen()) {
    Stop();
    ::Window root = 0;
    int gx = 0, gy = 0;
    unsigned gw = 0, gh = 0, border = 0, depth = 0;
    if (!windowGone_ && XGetGeometry(connection_->Display(), window_, &root, &gx, &gy, &gw, &gh,
                                     &border, &depth)) {
      x = gx, y = gy, width = int(gw), height = int(gh);
    }
    Release();
  }
  if (parent == 0 || width < 1 || height < 1 || periodMs < 1) return false;
  periodMs_ = periodMs;
  if (!Create(parent, x, y, width, height, keys)) {
    Release();
    return false;
  }
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
    wake_[0] = wake_[1] = -1;
    Release();
    return false;
  }
  try {
    stop_ = std::make_shared<std::atomic<bool>>(false);
    std::unique_lock<std::mutex> gate(startLock_);
    // Counted from before it starts to after it last touches anything
    // process-wide.
    EditorThreads::Started();
    try {
      thread_ = std::thread([this, stop = stop_] {
        pthread_setname_np(pthread_self(), "quillwave-ui");
        { std::lock_guard<std::mutex> wait(startLock_); }
        Run(stop);
        EditorThreads::Ended();
      });
    } catch (...) {
      EditorThreads::Ended();  // it never ran
      throw;
    }
    threadId_ = thread_.get_id();
  } catch (...) {
    Release();
    return false;
  }
  return true;
}

bool X11EditorWindow::OpenOnLoop(unsigned long parent, int width, int height, int periodMs,
                                 bool keys, IEditorLoop& loop) {
  if (IsOpen()) Close();
  if (parent == 0 || width < 1 || height < 1 || periodMs < 1) return false;
  periodMs_ = periodMs;
  if (!Create(parent, 0, 0, width, height, keys)) {
    Release();
    return false;
  }
  stop_ = std::make_shared<std::atomic<bool>>(false);
  threadId_ = std::this_thread::get_id();
  if (!loop.Watch(connection_->Fd(), periodMs)) {
    threadId_ = {};
    Release();
    return false;
  }
  loop_ = &loop;
  return true;
}

void X11EditorWindow::LoopEvents() {
  if (!loop_ || StopRequested()) return;
  DrainEvents();
  client_.Deliver();
}

void X11EditorWindow::LoopTick() {
  if (!loop_ || StopRequested()) return;
  if (DrainEvents()) client_.OnTick();
  client_.Deliver();
}

bool X11EditorWindow::DrainEvents() {
  ::Display* d = connection_->Display();
  while (!StopRequested() && !connection_->Lost() && XPending(d) > 0) {
    XEvent ev;
    XNextEvent(d, &ev);
    Dispatch(ev);
  }
  if (connection_->Lost()) windowGone_ = true;
  if (!windowGone_) return true;
  if (!goneReported_) {
    goneReported_ = true;
    client_.OnGone();
  }
  return false;
}

bool X11EditorWindow::Create(unsigned long parent, int x, int y, int width, int height,
                             bool keys) {
  connection_ = std::make_unique<X11Connection>();
  keyInput_ = keys ? KeyInput::kKeys : KeyInput::kNone;
  ::Display* d = connection_->Display();
  if (!d) return false;
  XWindowAttributes parentAttributes{};
  if (!XGetWindowAttributes(d, parent, &parentAttributes) || !connection_->SyncClean() ||
      parentAttributes.c_class != InputOutput)
    return false;

  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // nothing is cleared before we paint
  attributes.border_pixel = 0;
  attributes.bit_gravity = NorthWestGravity;
  attributes.event_mask = EventMask();
  unsigned long mask = CWBackPixmap | CWBorderPixel | CWBitGravity | CWEventMask;
  Visual* visual = parentAttributes.visual;
  int depth = parentAttributes.depth;
  if (!FitsSurface(visual, depth)) {
    // Another visual needs a colormap of its own.
    XVisualInfo info{};
    if (!XMatchVisualInfo(d, XScreenNumberOfScreen(parentAttributes.screen), 24, TrueColor,
                          &info) ||
        !FitsSurface(info.visual, info.depth))
      return false;
    visual = info.visual;
    depth = info.depth;
    colormap_ = XCreateColormap(d, parentAttributes.root, visual, AllocNone);
    attributes.colormap = colormap_;
    mask |= CWColormap;
  }
  parent_ = parent;
  width_ = width, height_ = height;
  window_ = XCreateWindow(d, parent, x, y, unsigned(width), unsigned(height), 0, depth,
                          InputOutput, visual, mask, &attributes);
  if (!connection_->SyncClean()) {
    window_ = 0;  // the server made none
    return false;
  }
  XStoreName(d, window_, "Quillwave");
  presenter_ = std::make_unique<X11Presenter>(*connection_, window_, visual, depth, width, height);
  if (!presenter_->Ok()) return false;
  XMapWindow(d, window_);
  return connection_->SyncClean();
}

void X11EditorWindow::Close() {
  if (loop_) {
    // The host's loop lets go first; nothing of the window runs after.
    stop_->store(true, std::memory_order_release);
    loop_->Unwatch();
    loop_ = nullptr;
    threadId_ = {};
    Release();
    return;
  }
  if (OnEventThread()) {
    // The thread is inside a callback and cannot be joined from here: it
    // is let go, sees its flag once the callback returns and leaves
    // without touching this window again.
    stop_->store(true, std::memory_order_release);
    thread_.detach();
    threadId_ = {};
    Release();
    return;
  }
  Stop();
  Release();
}

void X11EditorWindow::Stop() {
  if (loop_ || !thread_.joinable() || OnEventThread()) return;
  stop_->store(true, std::memory_order_release);
  const char byte = 1;
  (void)!write(wake_[1], &byte, 1);
  thread_.join();
  threadId_ = {};
}

void X11EditorWindow::Release() {
  {
    std::lock_guard<std::mutex> hold(presentLock_);
    presenter_.reset();
  }
  if (connection_ && connection_->Display() && !connection_->Lost()) {
    ::Display* d = connection_->Display();
    if (window_ && !windowGone_) {
      SetKeyInput(KeyInput::kNone);
      XDestroyWindow(d, window_);
    }
    if (blankCursor_) XFreeCursor(d, blankCursor_);
    if (colormap_) XFreeColormap(d, colormap_);
    connection_->SyncClean();
  }
  connection_.reset();
  for (int& fd : wake_) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
  window_ = 0;
  parent_ = 0;
  colormap_ = 0;
  blankCursor_ = 0;
  keyInput_ = KeyInput::kNone;
  focusBefore_ = 0;
  windowGone_ = false;
  goneReported_ = false;
  stop_.reset();
  translator_ = {};
  exposed_ = {};
  anyExposed_ = false;
}

bool X11EditorWindow::UsesShm() const { return presenter_ && presenter_->UsesShm(); }

std::uint64_t X11EditorWindow::ErrorCount() const {
  return connection_ ? connection_->ErrorCount() : 0;
}

bool X11EditorWindow::Present(const Pixel* bits, int rowSpan, const IRect& area) {
  std::lock_guard<std::mutex> hold(presentLock_);
  if (!presenter_ || windowGone_ || connection_->Lost()) return false;
  return presenter_->Present(bits, rowSpan, area);
}

void X11EditorWindow::SetKeyInput(KeyInput mode) {
  if (!window_ || windowGone_ || mode == keyInput_) return;
  ::Display* d = connection_->Display();
  const bool hadFocus = keyInput_ == KeyInput::kFocus;
  keyInput_ = mode;
  XSelectInput(d, window_, EventMask());
  if (mode == KeyInput::kFocus) {
    int revert = 0;
    XGetInputFocus(d, &focusBefore_, &revert);
    XSetInputFocus(d, window_, RevertToParent, CurrentTime);
  } else if (hadFocus) {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    // Only a focus we still hold is handed back.
    if (focus == window_)
      XSetInputFocus(d, focusBefore_ ? focusBefore_ : PointerRoot, RevertToParent, CurrentTime);
    focusBefore_ = 0;
  }
  XSync(d, False);  // in force when this returns
}

bool X11EditorWindow::PointerPosition(int& x, int& y) {
  if (!window_ || windowGone_) return false;
  ::Window root = 0, child = 0;
  int wx = 0, wy = 0;
  unsigned mask = 0;
  return XQueryPointer(connection_->Display(), window_, &root, &child, &x, &y, &wx, &wy, &mask);
}

void X11EditorWindow::WarpPointer(int x, int y) {
  if (!window_ || windowGone_) return;
  ::Display* d = connection_->Display();
  XWindowAttributes a{};
  if (!XGetWindowAttributes(d, window_, &a)) return;
  XWarpPointer(d, None, a.root, 0, 0, 0, 0, x, y);
  XSync(d, False);
}

void X11EditorWindow::SetPointerHidden(bool hidden) {
  if (!window_ || windowGone_) return;
  ::Display* d = connection_->Display();
  if (hidden) {
    if (!blankCursor_) {
      const char empty = 0;
      Pixmap none = XCreateBitmapFromData(d, window_, &empty, 1, 1);
      XColor black{};
      blankCursor_ = XCreatePixmapCursor(d, none, none, &black, &black, 0, 0);
      XFreePixmap(d, none);
    }
    XDefineCursor(d, window_, blankCursor_);
  } else {
    XUndefineCursor(d, window_);
  }
  XFlush(d);
}

void X11EditorWindow::Run(std::shared_ptr<std::atomic<bool>> stop) {
  using Clock = std::chrono::steady_clock;
  const auto stopped = [&stop] { return stop->load(std::memory_order_acquire); };
  ::Display* d = connection_->Display();
  const auto period = std::chrono::milliseconds(periodMs_);
  auto next = Clock::now();  // the first tick draws the window at once
  pollfd fds[2] = {{connection_->Fd(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
  bool goneReported = false;
  while (!stopped()) {
    while (!stopped() && !connection_->Lost() && XPending(d) > 0) {
      XEvent ev;
      XNextEvent(d, &ev);
      Dispatch(ev);
    }
    if (stopped()) return;
    if (connection_->Lost()) windowGone_ = true;
    // Nothing is left to draw into once the window is gone: no ticks, only
    // what ends the thread.
    const bool ticking = !windowGone_;
    if (!ticking && !goneReported) {
      goneReported = true;
      client_.OnGone();
    }
    const auto now = Clock::now();
    if (ticking && now >= next) {
      client_.OnTick();
      next += period;
      if (next <= now) next = now + period;  // fell behind: no burst of ticks
    }
    if (!client_.Deliver() || stopped()) return;
    if (ticking && Clock::now() >= next) continue;  // events that came meanwhile first
    int wait = -1;  // without ticks: until woken
    if (ticking)
      wait = std::max(
          0, int(std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count()));
    fds[0].fd = connection_->Lost() ? -1 : connection_->Fd();
    fds[0].revents = fds[1].revents = 0;
    poll(fds, 2, wait);
    if (fds[1].revents) {
      char drain[16];
      while (read(wake_[0], drain, sizeof drain) > 0) {
      }
    }
  }
}

void X11EditorWindow::Dispatch(XEvent& ev) {
  switch (ev.type) {
    case Expose: {
      const XExposeEvent& e = ev.xexpose;
      const IRect r{e.x, e.y, e.x + e.width, e.y + e.height};
      exposed_ = anyExposed_ ? exposed_.Union(r) : r;
      anyExposed_ = true;
      if (e.count == 0) {
        anyExposed_ = false;
        client_.OnExpose(exposed_);
      }
      return;
    }
    case DestroyNotify:
      if (ev.xdestroywindow.window == window_) windowGone_ = true;
      return;
    case MappingNotify:
      XRefreshKeyboardMapping(&ev.xmapping);
      return;
    default: {
      const X11InputEvent input = translator_.Translate(ev);
      if (input.kind == X11InputEvent::kNone || client_.OnInput(input)) return;
      if (ev.type == KeyPress && parent_) {
        // On up the host's windows, as if the editor had not selected it.
        XEvent copy = ev;
        copy.xkey.window = parent_;
        XSendEvent(connection_->Display(), parent_, True, KeyPressMask, &copy);
      }
      return;
    }
  }
}
