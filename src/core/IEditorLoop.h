#pragma once

// A loop of the host's that runs an editor window's work on the host's own
// UI thread, where the plug-in format offers one: it watches the window's
// connection to the display and ticks the window.
class IEditorLoop {
 public:
  // From now on: the editor's LoopEvents whenever fd may be readable (also
  // at other times), its LoopTick every periodMs. False when the host's
  // loop refuses; nothing is watched then.
  virtual bool Watch(int fd, int periodMs) = 0;
  // No further calls once this returns.
  virtual void Unwatch() = 0;

 protected:
  ~IEditorLoop() = default;
};
