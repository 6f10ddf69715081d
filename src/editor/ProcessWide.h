#pragma once

#include <atomic>

// The editor threads running in the process (an X11 editor has one; the
// Windows editor runs on the host's thread and has none).
class EditorThreads {
 public:
  static void Started() { Count().fetch_add(1); }
  static void Ended() { Count().fetch_sub(1); }
  static int Live() { return Count().load(); }

 private:
  static std::atomic<int>& Count() {
    static std::atomic<int> live{0};
    return live;
  }
};

// A process-wide object that editor threads use: destroyed with the library
// or the process as usual, except while an editor thread still runs then (a
// host that exits with an editor open), which may still be using it; it is
// then left to the system.
template <class T>
class ProcessWide {
 public:
  ProcessWide() : object_(new T) {}
  ~ProcessWide() {
    if (EditorThreads::Live() == 0) delete object_;
  }
  ProcessWide(const ProcessWide&) = delete;
  ProcessWide& operator=(const ProcessWide&) = delete;
  T& Get() { return *object_; }

 private:
  T* object_;
};
