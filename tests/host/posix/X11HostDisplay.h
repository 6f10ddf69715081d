#pragma once
// The test's side of the X server: a connection of its own playing the host
// (a parent window, the pointer and keyboard through XTest, reading pixels
// back), and waiting for things the editor's thread does.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "XvfbServer.h"
#include "editor/x11/XlibHeaders.h"

namespace qwtest {

// Polls pred every few milliseconds until it holds or timeoutMs passed.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 10000);

class HostDisplay {
 public:
  HostDisplay();
  ~HostDisplay();
  HostDisplay(const HostDisplay&) = delete;
  HostDisplay& operator=(const HostDisplay&) = delete;

  ::Display* Get() const { return display_; }
  bool Ok() const { return display_ != nullptr; }
  // Errors reported to the process-wide handler (which only the host's
  // connections use) since this connection was opened.
  int Errors() const;

  // A mapped top-level window at (x, y) that listens for keys, with this
  // background colour (0xRRGGBB).
  static constexpr std::uint32_t kParentBackground = 0x404040;
  Window MakeParent(int width, int height, int x = 0, int y = 0);
  std::vector<Window> Children(Window w);
  bool Viewable(Window w);
  // Root-relative position of a window's top-left corner.
  void RootPosition(Window w, int& x, int& y);

  // XTest input; coordinates relative to window w. delayMs holds the event
  // back in the server that long (its time stamp follows).
  void MovePointer(Window w, int x, int y);
  void MovePointerTo(int rootX, int rootY);
  void Button(unsigned button, bool press, unsigned long delayMs = 0);
  void Click(Window w, int x, int y, unsigned button = 1);
  void Key(const char* keysymName, bool press);
  void TypeKey(const char* keysymName);
  void Sync();

  // 0x00RRGGBB words of an area of w, row by row; empty on failure.
  std::vector<std::uint32_t> Pixels(Window w, int x, int y, int width, int height);

  // Key presses that reached w (a window of this connection) so far.
  std::vector<unsigned long> KeysReceived(Window w);

 private:
  ::Display* display_ = nullptr;
  int errorsAtStart_ = 0;
};

// Open file descriptors, threads and System V shared-memory segments this
// process has made, to compare before and after.
struct ProcessResources {
  int fds = 0;
  int threads = 0;
  int shmSegments = 0;  // created by this process and still present
  long rssKb = 0;
  static ProcessResources Now();
  // Resident memory before and after differs by less than kb. Always true
  // under AddressSanitizer, whose quarantine keeps freed memory resident
  // (its leak checker looks after memory there).
  bool MemoryWithin(const ProcessResources& before, long kb) const;
};

}  // namespace qwtest
