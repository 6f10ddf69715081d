#pragma once

// Something the editor advances once per redraw tick, before it collects
// what needs drawing.
class ITicking {
 public:
  virtual ~ITicking() = default;
  virtual void Tick() = 0;
  // The window went away: whatever showed only for the pointer goes now.
  virtual void WindowGone() {}
};
