#pragma once
// One editor's own connection to the X server. Errors on it are counted
// here and never reach the process-wide error handler, which a host may
// have set to abort the program.

#include <atomic>
#include <cstdint>

#include "editor/x11/XlibHeaders.h"

class X11Connection {
 public:
  // Opens the display the environment names; Display() is null when there
  // is none.
  X11Connection();
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  ::Display* Display() const { return display_; }
  int Fd() const;
  // Round trip to the server: true when no error arrived on this
  // connection since the previous call.
  bool SyncClean();
  // Errors on this connection so far.
  std::uint64_t ErrorCount() const { return errors_.load(std::memory_order_relaxed); }
  // Whether the server offers shared-memory images to this client.
  bool HasShm() const { return hasShm_; }
  // True once the connection to the server broke (the server went, or
  // killed this client). Only this connection is affected: the process
  // goes on, and nothing more is asked of the server on it.
  bool Lost() const { return lost_.load(std::memory_order_acquire); }

  // Errors on every editor connection of the process since it started.
  static std::uint64_t ProcessErrorCount();
  // Editor connections open in the process now.
  static int OpenCount();

 private:
  friend struct X11ErrorTrap;

  ::Display* display_ = nullptr;
  std::atomic<std::uint64_t> errors_{0};
  std::atomic<bool> lost_{false};
  std::uint64_t errorsAtSync_ = 0;
  bool hasShm_ = false;
};
