#include "editor/x11/X11Connection.h"

#include "editor/ProcessWide.h"

#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

// Xlibint.h declares XESetError: a per-display hook that sees every error
// on that display before the process-wide handler and can swallow it. It
// also defines min and max as macros, hence last.
#define KeyCode XKeyCode
#include <X11/Xlibint.h>
#undef KeyCode
#undef min
#undef max

namespace {

// Kept while an editor thread may still report an error, or close its
// connection, exit included.
struct Registry {
  std::mutex lock;
  std::vector<X11Connection*> connections;  // guarded by lock
};
Registry& Connections() {
  static ProcessWide<Registry> registry;
  return registry.Get();
}
std::atomic<std::uint64_t> gProcessErrors{0};

// Xlib's process-wide handler for a broken connection prints and ends the
// process before a display's own exit handler is reached. Ours lets an
// editor's connection go on to that exit handler and hands every other
// display (the host's) to whatever handler was there before.
XIOErrorHandler gHostIOErrorHandler = nullptr;

int EditorIOError(::Display* display) {
  {
    Registry& r = Connections();
    std::lock_guard<std::mutex> hold(r.lock);
    for (X11Connection* c : r.connections)
      if (c->Display() == display) return 0;
  }
  return gHostIOErrorHandler ? gHostIOErrorHandler(display) : 0;
}

}  // namespace

// Finds the connection an error belongs to and counts it there.
struct X11ErrorTrap {
  static int Trap(::Display* display, xError*, XExtCodes*, int* result) {
    gProcessErrors.fetch_add(1, std::memory_order_relaxed);
    Registry& r = Connections();
    std::lock_guard<std::mutex> hold(r.lock);
    for (X11Connection* c : r.connections) {
      if (c->display_ != display) continue;
      c->errors_.fetch_add(1, std::memory_order_relaxed);
    }
    *result = 0;
    return 1;  // handled: the process-wide handler never sees it
  }
};

X11Connection::X11Connection() {
  display_ = XOpenDisplay(nullptr);
  if (!display_) return;
  // Xlib ends the process when a connection breaks unless the display has
  // an exit handler of its own; this one only marks the connection lost,
  // and the editor on it stops. The process-wide handler is installed once
  // and passes the host's displays on.
  static std::once_flag installed;
  std::call_once(installed, [] { gHostIOErrorHandler = XSetIOErrorHandler(&EditorIOError); });
  XSetIOErrorExitHandler(
      display_,
      [](::Display*, void* self) {
        static_cast<X11Connection*>(self)->lost_.store(true, std::memory_order_release);
      },
      this);
  XExtCodes* codes = XAddExtension(display_);
  if (!codes) {
    XCloseDisplay(display_);
    display_ = nullptr;
    return;
  }
  XESetError(display_, codes->extension, &X11ErrorTrap::Trap);
  {
    Registry& r = Connections();
    std::lock_guard<std::mutex> hold(r.lock);
    r.connections.push_back(this);
  }
  hasShm_ = XShmQueryExtension(display_) == True;
}

X11Connection::~X11Connection() {
  if (!display_) return;
  {
    Registry& r = Connections();
    std::lock_guard<std::mutex> hold(r.lock);
    r.connections.erase(std::remove(r.connections.begin(), r.connections.end(), this),
                        r.connections.end());
  }
  // A lost connection takes no more requests, closing included (Xlib
  // would wait for it forever): only its socket is closed, and Xlib's
  // record of it is left behind.
  if (Lost()) {
    close(ConnectionNumber(display_));
    return;
  }
  // The display's own hook still swallows (and the process count still
  // counts) an error that arrives while closing.
  XCloseDisplay(display_);
}

int X11Connection::Fd() const { return display_ ? ConnectionNumber(display_) : -1; }

bool X11Connection::SyncClean() {
  if (!display_ || Lost()) return false;
  XSync(display_, False);
  const std::uint64_t now = ErrorCount();
  const bool clean = now == errorsAtSync_;
  errorsAtSync_ = now;
  return clean;
}

std::uint64_t X11Connection::ProcessErrorCount() {
  return gProcessErrors.load(std::memory_order_relaxed);
}

int X11Connection::OpenCount() {
  Registry& r = Connections();
  std::lock_guard<std::mutex> hold(r.lock);
  return int(r.connections.size());
}
