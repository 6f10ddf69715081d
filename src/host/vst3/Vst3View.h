#pragma once

#include <atomic>

#include "core/IEditorLoop.h"
#include "host/vst3/Vst3Abi.h"

class Vst3Plugin;

// The effect's editor as a VST 3 view: its window inside the host's (an X11
// window id or an HWND), at the editor's fixed size. Where the host's frame
// offers a run loop (Linux), the window's events and ticks run on it, and a
// timer on it brings the editor's edits to the component handler, all on
// the host's UI thread.
class Vst3View final : public vst3::IPlugView, private IEditorLoop {
 public:
  // Holds a reference to the plug-in for as long as it lives.
  explicit Vst3View(Vst3Plugin& plugin);

  vst3::tresult queryInterface(const char* iid, void** obj) override;
  uint32_t addRef() override;
  uint32_t release() override;

  vst3::tresult isPlatformTypeSupported(const char* type) override;
  vst3::tresult attached(void* parent, const char* type) override;
  vst3::tresult removed() override;
  vst3::tresult onWheel(float) override { return vst3::kResultFalse; }
  vst3::tresult onKeyDown(char16_t, int16_t, int16_t) override { return vst3::kResultFalse; }
  vst3::tresult onKeyUp(char16_t, int16_t, int16_t) override { return vst3::kResultFalse; }
  vst3::tresult getSize(vst3::ViewRect* size) override;
  vst3::tresult onSize(vst3::ViewRect* newSize) override;
  vst3::tresult onFocus(vst3::TBool) override { return vst3::kResultOk; }
  vst3::tresult setFrame(vst3::IPlugFrame* frame) override;
  vst3::tresult canResize() override { return vst3::kResultFalse; }
  vst3::tresult checkSizeConstraint(vst3::ViewRect* rect) override;

  // The editor's size changed: the host's frame follows.
  void EditorResized();

 private:
  class Timer;
  class Events;
  ~Vst3View();
  // IEditorLoop: the window's descriptor and ticks on the host's run loop.
  bool Watch(int fd, int periodMs) override;
  void Unwatch() override;
  // What Watch asked for, registered with the host's loop.
  bool RegisterWatch();
  void StartTimer(int periodMs);
  void StopTimer();

  std::atomic<uint32_t> references_{1};
  Vst3Plugin& plugin_;
  vst3::IPlugFrame* frame_ = nullptr;
  vst3::IRunLoop* runLoop_ = nullptr;
  Timer* timer_ = nullptr;
  Events* events_ = nullptr;
  int watchFd_ = -1, watchPeriod_ = 40;
  bool open_ = false;
};
