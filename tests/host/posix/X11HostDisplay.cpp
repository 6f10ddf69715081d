#include "X11HostDisplay.h"

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

// Named as the editor's Xlib headers name it.
#define KeyCode XKeyCode
#include <X11/extensions/XTest.h>
#undef KeyCode

namespace qwtest {

namespace {
std::atomic<int> gHostErrors{0};
int CountError(Display*, XErrorEvent*) {
  ++gHostErrors;
  return 0;
}

int CountEntries(const char* dir) {
  int n = 0;
  if (DIR* d = opendir(dir)) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.') ++n;
    closedir(d);
  }
  return n;
}
}  // namespace

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

HostDisplay::HostDisplay() {
  display_ = XOpenDisplay(nullptr);
  // Only this test program's host connection uses the process-wide handler;
  // the editor's connection keeps its errors to itself.
  XSetErrorHandler(&CountError);
  errorsAtStart_ = gHostErrors.load();
}

HostDisplay::~HostDisplay() {
  if (display_) XCloseDisplay(display_);
}

int HostDisplay::Errors() const { return gHostErrors.load() - errorsAtStart_; }

Window HostDisplay::MakeParent(int width, int height, int x, int y) {
  const int screen = DefaultScreen(display_);
  Window w = XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y, unsigned(width),
                                 unsigned(height), 0, BlackPixel(display_, screen),
                                 kParentBackground);
  XSelectInput(display_, w, KeyPressMask | ExposureMask);
  XMapWindow(display_, w);
  XSync(display_, False);
  WaitUntil([&] { return Viewable(w); }, 2000);
  return w;
}

std::vector<Window> HostDisplay::Children(Window w) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  std::vector<Window> out;
  if (XQueryTree(display_, w, &root, &parent, &children, &n)) {
    out.assign(children, children + n);
    if (children) XFree(children);
  }
  return out;
}

bool HostDisplay::Viewable(Window w) {
  XWindowAttributes a{};
  return XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable;
}

void HostDisplay::RootPosition(Window w, int& x, int& y) {
  Window child = 0;
  XTranslateCoordinates(display_, w, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
}

void HostDisplay::MovePointer(Window w, int x, int y) {
  int rx = 0, ry = 0;
  RootPosition(w, rx, ry);
  MovePointerTo(rx + x, ry + y);
}

void HostDisplay::MovePointerTo(int rootX, int rootY) {
  XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, 0);
  XSync(display_, False);
}

void HostDisplay::Button(unsigned button, bool press, unsigned long delayMs) {
  XTestFakeButtonEvent(display_, button, press ? True : False, delayMs);
  XSync(display_, False);
}

void HostDisplay::Click(Window w, int x, int y, unsigned button) {
  MovePointer(w, x, y);
  Button(button, true);
  Button(button, false);
}

void HostDisplay::Key(const char* keysymName, bool press) {
  const XKeyCode code = XKeysymToKeycode(display_, XStringToKeysym(keysymName));
  XTestFakeKeyEvent(display_, code, press ? True : False, 0);
  XSync(display_, False);
}

void HostDisplay::TypeKey(const char* keysymName) {
  Key(keysymName, true);
  Key(keysymName, false);
}

void HostDisplay::Sync() { XSync(display_, False); }

std::vector<std::uint32_t> HostDisplay::Pixels(Window w, int x, int y, int width, int height) {
  std::vector<std::uint32_t> out;
  XImage* image = XGetImage(display_, w, x, y, unsigned(width), unsigned(height), AllPlanes,
                            ZPixmap);
  if (!image) return out;
  out.reserve(size_t(width) * size_t(height));
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) out.push_back(std::uint32_t(XGetPixel(image, i, j)) & 0xFFFFFF);
  XDestroyImage(image);
  return out;
}

std::vector<unsigned long> HostDisplay::KeysReceived(Window w) {
  std::vector<unsigned long> keys;
  XSync(display_, False);
  XEvent ev;
  while (XCheckTypedWindowEvent(display_, w, KeyPress, &ev))
    keys.push_back(XLookupKeysym(&ev.xkey, 0));
  return keys;
}

bool ProcessResources::MemoryWithin(const ProcessResources& before, long kb) const {
#if defined(__SANITIZE_ADDRESS__)
  (void)before;
  (void)kb;
  return true;
#else
  return rssKb - before.rssKb < kb;
#endif
}

ProcessResources ProcessResources::Now() {
  ProcessResources r;
  r.fds = CountEntries("/proc/self/fd");
  r.threads = CountEntries("/proc/self/task");
  std::ifstream shm("/proc/sysvipc/shm");
  std::string line;
  std::getline(shm, line);  // header
  const std::string me = std::to_string(getpid());
  while (std::getline(shm, line)) {
    // key shmid perms size cpid lpid ...
    std::istringstream in(line);
    std::string key, id, perms, size, cpid;
    in >> key >> id >> perms >> size >> cpid;
    if (cpid == me) ++r.shmSegments;
  }
  std::ifstream status("/proc/self/status");
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) r.rssKb = std::atol(line.c_str() + 6);
  return r;
}

}  // namespace qwtest
