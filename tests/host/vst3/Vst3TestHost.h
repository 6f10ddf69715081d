#pragma once

// A scripted VST 3 host for tests: loads a bundle's module, makes the plug-in
// through the module's factory and drives it only through the binary
// interface. Every object the host hands to the plug-in (context, component
// handler, streams, parameter changes, frame and run loop) counts the
// references taken on it and lives as long as the test keeps it, so a test
// can see that the plug-in gives back every reference it took. Parameter
// changes and the process call itself allocate nothing.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DynamicLibrary.h"
#include "host/vst3/Vst3Abi.h"

namespace qwtest {

// Path of the built bundle's module (QW_VST3_MODULE_PATH in the environment
// wins).
std::string Vst3ModulePath();

// The reference count every host object keeps; a count of 1 is the test's
// own reference. Reaching 0 frees nothing: the test owns the object.
template <class Interface>
class HostObject : public Interface {
 public:
  uint32_t addRef() override { return ++references_; }
  uint32_t release() override { return --references_; }
  uint32_t References() const { return references_; }

 protected:
  // FUnknown's and the interface's own identifier find this object.
  vst3::tresult Answer(const char* iid, void** obj, const vst3::Uid& own) {
    if (!obj) return vst3::kInvalidArgument;
    if (vst3::iid::kFUnknown.Is(iid) || own.Is(iid)) {
      *obj = static_cast<Interface*>(this);
      addRef();
      return vst3::kResultOk;
    }
    *obj = nullptr;
    return vst3::kNoInterface;
  }

 private:
  std::atomic<uint32_t> references_{1};
};

// The context handed to initialize: the host's name; it makes no objects.
class HostApplication final : public HostObject<vst3::IHostApplication> {
 public:
  static constexpr const char* kName = "Quillwave VST 3 Test Host";
  vst3::tresult queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj, vst3::iid::kHostApplication);
  }
  vst3::tresult getName(char16_t* name) override;
  vst3::tresult createInstance(char* cid, char* iid, void** obj) override;
};

// Records what the controller reports, with the reporting thread.
class ComponentHandler final : public HostObject<vst3::IComponentHandler> {
 public:
  struct Call {
    enum Kind { kBegin, kPerform, kEnd, kRestart } kind;
    vst3::ParamID id;  // 0 for restarts
    double value;      // performEdit's value; restart flags
    std::thread::id thread;
  };

  vst3::tresult queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj, vst3::iid::kComponentHandler);
  }
  vst3::tresult beginEdit(vst3::ParamID id) override;
  vst3::tresult performEdit(vst3::ParamID id, vst3::ParamValue value) override;
  vst3::tresult endEdit(vst3::ParamID id) override;
  vst3::tresult restartComponent(int32_t flags) override;

  std::vector<Call> Calls() const;
  void Clear();

 private:
  void Record(Call::Kind kind, vst3::ParamID id, double value);
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

// A stream over bytes in memory with one position for reading and writing.
class MemoryStream final : public HostObject<vst3::IBStream> {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  // At most this many bytes move per read or write call (0: any number), as
  // streams over files or pipes hand them out.
  void LimitTransfer(int32_t bytes) { limit_ = bytes; }

  vst3::tresult queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj, vst3::iid::kBStream);
  }
  vst3::tresult read(void* buffer, int32_t numBytes, int32_t* numBytesRead) override;
  vst3::tresult write(void* buffer, int32_t numBytes, int32_t* numBytesWritten) override;
  vst3::tresult seek(int64_t pos, int32_t mode, int64_t* result) override;
  vst3::tresult tell(int64_t* pos) override;

 private:
  int32_t Transfer(int32_t wanted) const;
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
  int32_t limit_ = 0;
};

// One parameter's points of a block, sorted by offset, in fixed storage.
class ParamValueQueue final : public HostObject<vst3::IParamValueQueue> {
 public:
  static constexpr int32_t kCapacity = 64;
  void Reset(vst3::ParamID id) {
    id_ = id;
    count_ = 0;
  }

  vst3::tresult queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj, vst3::iid::kParamValueQueue);
  }
  vst3::ParamID getParameterId() override { return id_; }
  int32_t getPointCount() override { return count_; }
  vst3::tresult getPoint(int32_t index, int32_t* sampleOffset, vst3::ParamValue* value) override;
  // A point at an offset already present replaces it.
  vst3::tresult addPoint(int32_t sampleOffset, vst3::ParamValue value, int32_t* index) override;

 private:
  struct Point {
    int32_t offset;
    double value;
  };
  vst3::ParamID id_ = 0;
  int32_t count_ = 0;
  Point points_[kCapacity] = {};
};

// The changes of one block, at most one queue per parameter, in fixed
// storage; the host empties it after each process call.
class ParameterChanges final : public HostObject<vst3::IParameterChanges> {
 public:
  static constexpr int32_t kCapacity = 32;
  // Adds a point to id's queue; false when no room is left.
  bool Add(vst3::ParamID id, int32_t offset, double value);
  void Clear() { count_ = 0; }

  vst3::tresult queryInterface(const char* iid, void** obj) override {
    return Answer(iid, obj, vst3::iid::kParameterChanges);
  }
  int32_t getParameterCount() override { return count_; }
  vst3::IParamValueQueue* getParameterData(int32_t index) override;
  vst3::IParamValueQueue* addParameterData(const vst3::ParamID* id, int32_t* index) override;

 private:
  ParamValueQueue queues_[kCapacity];
  int32_t count_ = 0;
};

// The host window's frame. On Linux it also offers the host's run loop:
// timers and descriptor handlers are only registered, and the test fires
// the timers on the thread it chooses. Windows hosts have no run loop to
// offer (every UI thread runs its own message loop): there the frame
// answers only for itself.
class HostFrame final : public vst3::IPlugFrame, public vst3::IRunLoop {
 public:
  vst3::tresult queryInterface(const char* iid, void** obj) override;
  uint32_t addRef() override { return ++references_; }
  uint32_t release() override { return --references_; }
  uint32_t References() const { return references_; }

  vst3::tresult resizeView(vst3::IPlugView* view, vst3::ViewRect* newSize) override;
  vst3::tresult registerEventHandler(vst3::IEventHandler* handler, int fd) override;
  vst3::tresult unregisterEventHandler(vst3::IEventHandler* handler) override;
  // No interval of 0 and no handler twice, as a host's loop has it.
  vst3::tresult registerTimer(vst3::ITimerHandler* handler, uint64_t milliseconds) override;
  vst3::tresult unregisterTimer(vst3::ITimerHandler* handler) override;

  // One round of the loop on the calling thread: every descriptor handler
  // (as if its descriptor were ready, which a handler must bear), then every
  // timer.
  void FireTimers();
  struct Timer {
    vst3::ITimerHandler* handler;
    uint64_t milliseconds;
  };
  std::vector<Timer> Timers() const { return timers_; }
  int32_t TimerRegistrations() const { return timerRegistrations_; }
  int32_t EventHandlers() const { return int32_t(handlers_.size()); }

 private:
  std::atomic<uint32_t> references_{1};
  std::vector<Timer> timers_;
  std::vector<vst3::IEventHandler*> handlers_;
  std::vector<int> fds_;  // each handler's descriptor
  int32_t timerRegistrations_ = 0;
};

// Channel-major sample buffers with the pointer array a process call takes.
template <class Sample>
struct AudioBuffers {
  AudioBuffers(int32_t channels, size_t frames)
      : data(size_t(channels), std::vector<Sample>(frames)) {
    for (auto& c : data) pointers.push_back(c.data());
  }
  Sample** Pointers() { return pointers.data(); }
  std::vector<std::vector<Sample>> data;
  std::vector<Sample*> pointers;
};

// The loaded module: the module's entry (InitDll on Windows, ModuleEntry
// elsewhere) and the factory on loading; the factory's release, the
// module's exit (ExitDll, ModuleExit) and unloading on destruction.
class Vst3Module {
 public:
  explicit Vst3Module(const std::string& path = Vst3ModulePath());
  ~Vst3Module();
  Vst3Module(const Vst3Module&) = delete;
  Vst3Module& operator=(const Vst3Module&) = delete;

  bool Loaded() const { return factory_ != nullptr; }
  const std::string& Error() const { return error_; }
  vst3::IPluginFactory* Factory() const { return factory_; }
  // The newest factory interface, null when the module has none.
  vst3::IPluginFactory3* Factory3() const { return factory3_; }
  // The id of the factory's first class.
  const char* ClassId() const { return classId_; }
  // The platform's handle of the loaded module (HMODULE on Windows).
  void* Handle() const { return library_.Handle(); }

 private:
  DynamicLibrary library_;
  bool (*exit_)() = nullptr;  // the module's exit, once its entry accepted
  std::string error_;
  vst3::IPluginFactory* factory_ = nullptr;
  vst3::IPluginFactory3* factory3_ = nullptr;
  char classId_[16] = {};
};

// One plug-in instance set up as a host does: made for IComponent,
// initialised with the host context, its processor and controller asked
// for, the handler given and the controller told the component's state.
// Destruction stops it, terminates it and releases every interface.
class Vst3Instance {
 public:
  explicit Vst3Instance(Vst3Module& module);
  ~Vst3Instance();
  Vst3Instance(const Vst3Instance&) = delete;
  Vst3Instance& operator=(const Vst3Instance&) = delete;

  bool Ok() const { return component_ && processor_ && controller_; }
  vst3::IComponent* Component() const { return component_; }
  vst3::IAudioProcessor* Processor() const { return processor_; }
  vst3::IEditController* Controller() const { return controller_; }
  HostApplication& Host() { return host_; }
  ComponentHandler& Handler() { return handler_; }

  // Buses activated, setupProcessing, setActive and setProcessing; true
  // when each was accepted.
  bool Start(double sampleRate = 44100.0, int32_t maxBlock = 4096,
             int32_t sampleSize = vst3::kSample32);
  void Stop();

  // Points delivered with the next process call, which empties them.
  ParameterChanges& Changes() { return changes_; }
  // The transport handed to process while enabled.
  vst3::ProcessContext& Context() { return context_; }
  void UseContext(bool use) { useContext_ = use; }

  // One process call on channels buffers each way (the bus arrangement's
  // channel count); the sample size follows the buffers' type.
  vst3::tresult Process(float** in, float** out, int32_t channels, int32_t frames);
  vst3::tresult Process(double** in, double** out, int32_t channels, int32_t frames);
  // A call of no frames and no buses that only delivers the changes.
  vst3::tresult Flush();

  // The component's state through getState; empty when refused.
  std::vector<uint8_t> State();
  vst3::tresult SetState(const std::vector<uint8_t>& bytes);

  // Ends the instance now (as destruction does); the count the component's
  // last release returned, 0 when the plug-in freed itself.
  uint32_t Close();

 private:
  template <class Sample>
  vst3::tresult Run(Sample** in, Sample** out, int32_t channels, int32_t frames,
                    int32_t sampleSize);

  HostApplication host_;
  ComponentHandler handler_;
  ParameterChanges changes_;
  vst3::ProcessContext context_{};
  bool useContext_ = false;
  bool started_ = false;
  vst3::IComponent* component_ = nullptr;
  vst3::IAudioProcessor* processor_ = nullptr;
  vst3::IEditController* controller_ = nullptr;
  uint32_t lastCount_ = 0;
};

// A zero-terminated UTF-16 text as UTF-8 (ASCII is all the tests need).
std::string Narrow(const char16_t* text);
// An ASCII text as UTF-16 into a 128-unit buffer.
void Widen(const char* text, char16_t* out);

}  // namespace qwtest
