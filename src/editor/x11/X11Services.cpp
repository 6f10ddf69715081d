#include "editor/x11/X11Services.h"

#include <dlfcn.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "editor/x11/X11Connection.h"
#include "editor/x11/XlibHeaders.h"

extern char** environ;

namespace x11services {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string Home() { return Env("HOME"); }

}  // namespace

std::string HostFolder() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  path[n] = '\0';
  return FolderOf(path);
}

std::string LibraryFolder() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&LibraryFolder), &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return FolderOf(info.dli_fname);
  return FolderOf(resolved);
}

std::string DesktopFolder() {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) config = Home() + "/.config";
  // Lines such as XDG_DESKTOP_DIR="$HOME/Desktop".
  std::ifstream dirs(config + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DESKTOP_DIR=\"";
  while (std::getline(dirs, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    const size_t end = value.find('"');
    if (end == std::string::npos) break;
    value.resize(end);
    if (value.rfind("$HOME", 0) == 0) value = Home() + value.substr(5);
    if (!value.empty() && value[0] == '/') {
      while (value.size() > 1 && value.back() == '/') value.pop_back();
      return value;
    }
  }
  return Home() + "/Desktop";
}

std::string AppDataFolder(bool system) {
  if (system) {
    std::string dirs = Env("XDG_DATA_DIRS");
    const std::string first = dirs.substr(0, dirs.find(':'));
    return first.empty() || first[0] != '/' ? "/usr/local/share" : first;
  }
  const std::string data = Env("XDG_DATA_HOME");
  return !data.empty() && data[0] == '/' ? data : Home() + "/.local/share";
}

bool ClipboardText(std::string& out, int timeoutMs) {
  out.clear();
  X11Connection connection;
  Display* d = connection.Display();
  if (!d) return false;
  const Atom clipboard = XInternAtom(d, "CLIPBOARD", False);
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  const Atom property = XInternAtom(d, "QUILLWAVE_CLIPBOARD", False);
  const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  bool got = false;
  if (XGetSelectionOwner(d, clipboard) != None) {
    XConvertSelection(d, clipboard, utf8, property, w, CurrentTime);
    XFlush(d);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    XEvent ev;
    bool answered = false;
    while (!answered) {
      while (!answered && XPending(d) > 0) {
        XNextEvent(d, &ev);
        answered = ev.type == SelectionNotify && ev.xselection.requestor == w;
      }
      if (answered) break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          end - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{ConnectionNumber(d), POLLIN, 0};
      poll(&p, 1, int(left.count()));
    }
    if (answered && ev.xselection.property != None) {
      Atom type = None;
      int format = 0;
      unsigned long items = 0, remaining = 0;
      unsigned char* data = nullptr;
      // Text handed over in one piece only (the incremental protocol of
      // very large selections is not followed).
      if (XGetWindowProperty(d, w, property, 0, LONG_MAX / 4, True, AnyPropertyType, &type,
                             &format, &items, &remaining, &data) == Success &&
          format == 8 && (type == utf8 || type == XA_STRING)) {
        if (type == utf8) {
          out.assign(reinterpret_cast<const char*>(data), items);
        } else {
          for (unsigned long i = 0; i < items; ++i) {  // Latin-1
            const unsigned char c = data[i];
            if (c < 0x80) {
              out += char(c);
            } else {
              out += char(0xC0 | (c >> 6));
              out += char(0x80 | (c & 0x3F));
            }
          }
        }
        got = true;
      }
      if (data) XFree(data);
    }
  }
  XDestroyWindow(d, w);
  return got;
}

bool OpenWebAddress(const char* address) {
  if (!address || !address[0] || address[0] == '-') return false;
  // The shell starts the opener in the background and returns at once; the
  // address is an argument, never part of the command.
  static const char kScript[] =
      "command -v xdg-open >/dev/null 2>&1 || exit 127\n"
      "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &\n";
  char shell[] = "/bin/sh", dashC[] = "-c", name[] = "sh";
  char* const argv[] = {shell, dashC, const_cast<char*>(kScript), name,
                        const_cast<char*>(address), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace x11services
