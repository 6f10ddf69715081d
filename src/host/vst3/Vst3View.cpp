#include "host/vst3/Vst3View.h"

#include <cstring>

#include "host/vst3/Vst3Plugin.h"

using namespace vst3;

namespace {

#ifdef _WIN32
constexpr const char* kOwnPlatform = kPlatformTypeHWND;
#else
constexpr const char* kOwnPlatform = kPlatformTypeX11EmbedWindowID;
#endif

// The host's loop calls the editor's delivery this often.
constexpr uint64_t kTickMilliseconds = 40;

}  // namespace

// The run loop's handlers are counted objects of their own, as the host
// keeps references to them; each forgets the plug-in when the view stops
// it.
class Vst3View::Timer final : public ITimerHandler {
 public:
  Timer(Vst3Plugin* plugin, bool ticks) : plugin_(plugin), ticks_(ticks) {}
  tresult queryInterface(const char* id, void** obj) override {
    if (!obj) return kInvalidArgument;
    if (iid::kFUnknown.Is(id) || iid::kTimerHandler.Is(id)) {
      *obj = static_cast<ITimerHandler*>(this);
      addRef();
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32_t addRef() override { return ++references_; }
  uint32_t release() override {
    const uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }
  // The window's tick when the loop runs the window, then the edits.
  void onTimer() override {
    if (!plugin_) return;
    if (ticks_)
      if (IEditorLink* editor = plugin_->Core().Editor()) editor->LoopTick();
    if (plugin_) plugin_->DeliverEdits();
  }
  void Forget() { plugin_ = nullptr; }

 private:
  std::atomic<uint32_t> references_{1};
  Vst3Plugin* plugin_;
  bool ticks_;
};

class Vst3View::Events final : public IEventHandler {
 public:
  explicit Events(Vst3Plugin* plugin) : plugin_(plugin) {}
  tresult queryInterface(const char* id, void** obj) override {
    if (!obj) return kInvalidArgument;
    if (iid::kFUnknown.Is(id) || iid::kEventHandler.Is(id)) {
      *obj = static_cast<IEventHandler*>(this);
      addRef();
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32_t addRef() override { return ++references_; }
  uint32_t release() override {
    const uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }
  void onFDIsSet(int) override {
    if (!plugin_) return;
    if (IEditorLink* editor = plugin_->Core().Editor()) editor->LoopEvents();
  }
  void Forget() { plugin_ = nullptr; }

 private:
  std::atomic<uint32_t> references_{1};
  Vst3Plugin* plugin_;
};

Vst3View::Vst3View(Vst3Plugin& plugin) : plugin_(plugin) { plugin_.addRef(); }

Vst3View::~Vst3View() {
  removed();
  setFrame(nullptr);
  plugin_.ViewClosed(this);
  plugin_.release();
}

tresult Vst3View::queryInterface(const char* id, void** obj) {
  if (!obj) return kInvalidArgument;
  if (iid::kFUnknown.Is(id) || iid::kPlugView.Is(id)) {
    *obj = static_cast<IPlugView*>(this);
    addRef();
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32_t Vst3View::addRef() { return ++references_; }

uint32_t Vst3View::release() {
  const uint32_t left = --references_;
  if (left == 0) delete this;
  return left;
}

tresult Vst3View::isPlatformTypeSupported(const char* type) {
  return type && std::strcmp(type, kOwnPlatform) == 0 ? kResultTrue : kResultFalse;
}

tresult Vst3View::attached(void* parent, const char* type) {
  if (!parent || isPlatformTypeSupported(type) != kResultTrue) return kInvalidArgument;
  if (open_) return kResultFalse;
  IEffectCore& core = plugin_.Core();
  bool onLoop = false;
  {
    IEffectCore::Hold hold(core);
    IEditorLink* editor = core.Editor();
    if (!editor) return kResultFalse;
    // Edits reach the host from its own loop when it gives one; otherwise
    // the editor delivers them itself.
    if (runLoop_) core.NoteHostIdle();
    // On the host's loop where the window layer can run there; else the
    // window keeps its own thread.
    onLoop = runLoop_ && editor->OpenWindowOnLoop(parent, *this);
    if (!onLoop && !editor->OpenWindow(parent)) return kResultFalse;
    core.OnEditorOpen();
    open_ = true;
  }
  // The host's loop hears of the window only now, without the instance lock
  // held; should it refuse, the window runs on its own thread after all.
  if (onLoop && !RegisterWatch()) {
    IEffectCore::Hold hold(core);
    IEditorLink* editor = core.Editor();
    editor->CloseWindow();
    if (!editor->OpenWindow(parent)) {
      core.OnEditorClose();
      open_ = false;
      return kResultFalse;
    }
  }
  StartTimer(int(kTickMilliseconds));
  return kResultOk;
}

bool Vst3View::Watch(int fd, int periodMs) {
  if (!runLoop_ || timer_ || events_) return false;
  watchFd_ = fd;
  watchPeriod_ = periodMs;
  return true;
}

bool Vst3View::RegisterWatch() {
  if (!runLoop_ || watchFd_ < 0) return false;
  events_ = new Events(&plugin_);
  timer_ = new Timer(&plugin_, true);
  if (runLoop_->registerEventHandler(events_, watchFd_) == kResultOk &&
      runLoop_->registerTimer(timer_, uint64_t(watchPeriod_)) == kResultOk)
    return true;
  Unwatch();
  return false;
}

void Vst3View::Unwatch() {
  watchFd_ = -1;
  if (events_) {
    events_->Forget();
    if (runLoop_) runLoop_->unregisterEventHandler(events_);
    events_->release();
    events_ = nullptr;
  }
  StopTimer();
}

void Vst3View::StartTimer(int periodMs) {
  if (!open_ || !runLoop_ || timer_) return;
  timer_ = new Timer(&plugin_, false);
  if (runLoop_->registerTimer(timer_, uint64_t(periodMs)) != kResultOk) StopTimer();
}

void Vst3View::StopTimer() {
  if (!timer_) return;
  timer_->Forget();
  if (runLoop_) runLoop_->unregisterTimer(timer_);
  timer_->release();
  timer_ = nullptr;
}

tresult Vst3View::removed() {
  // The host's loop lets go first, without the instance lock held.
  Unwatch();
  if (!open_) return kResultOk;
  open_ = false;
  IEffectCore& core = plugin_.Core();
  {
    IEffectCore::Hold hold(core);
    core.OnEditorClose();
    if (IEditorLink* editor = core.Editor()) editor->CloseWindow();
  }
  // A gesture the closing cut short ends for the host now, on its thread.
  plugin_.DeliverEdits();
  return kResultOk;
}

tresult Vst3View::getSize(ViewRect* size) {
  if (!size) return kInvalidArgument;
  IEffectCore& core = plugin_.Core();
  IEffectCore::Hold hold(core);
  const IEditorLink* editor = core.Editor();
  *size = {0, 0, editor ? editor->Width() : 0, editor ? editor->Height() : 0};
  return kResultOk;
}

tresult Vst3View::onSize(ViewRect* newSize) { return newSize ? kResultOk : kInvalidArgument; }

tresult Vst3View::checkSizeConstraint(ViewRect* rect) {
  if (!rect) return kInvalidArgument;
  ViewRect fixed{};
  getSize(&fixed);
  rect->right = rect->left + fixed.right;
  rect->bottom = rect->top + fixed.bottom;
  return kResultOk;
}

tresult Vst3View::setFrame(IPlugFrame* frame) {
  if (frame == frame_) return kResultOk;
  if (frame) frame->addRef();
  if (frame_) {
    Unwatch();
    if (runLoop_) runLoop_->release();
    runLoop_ = nullptr;
    frame_->release();
  }
  frame_ = frame;
  if (frame_) {
    void* loop = nullptr;
    if (frame_->queryInterface(iid::kRunLoop.Data(), &loop) == kResultOk && loop)
      runLoop_ = static_cast<IRunLoop*>(loop);
  }
  // A host may hand its frame over after attaching the view.
  StartTimer(int(kTickMilliseconds));
  return kResultOk;
}

void Vst3View::EditorResized() {
  if (!frame_) return;
  ViewRect rect{};
  getSize(&rect);
  frame_->resizeView(this, &rect);
}
