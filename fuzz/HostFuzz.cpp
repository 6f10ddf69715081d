// A host's requests against one instance, decoded from the fuzzer's bytes:
// dispatcher opcodes with any index, value and option and a pointer to a
// buffer of exactly the size the opcode expects (or null), parameter set and
// get, process calls on all three paths with any frame count, the host's
// transport record filled with anything, a request made from inside the
// next time query, chunk round trips, and the editor: opened with a null or
// bogus parent (no window system here, so it must fail cleanly), its redraw
// tick run directly, mouse presses, drags, double clicks and wheel steps.
// Every output sample must be finite and of plausible size.
//
// A redraw is the dearest request: the first one of an instance paints the
// whole panel, which takes longer than making the instance. So only a tick
// whose operation byte is exactly 6 redraws; the other bytes that select a
// tick (18, 30, ...) are ticks the host let pass, and the dirty area grows
// until a drawing one. Most mutated inputs then run without drawing, and the
// fuzzer still reaches the drawing code whenever it picks that byte.
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "editor/IGraphics.h"
#include "quillwave/Quillwave.h"

namespace {

constexpr int kMaxSteps = 48;
constexpr vst::VstInt32 kLastOpcode = vst::effGetNumMidiOutputChannels + 2;
constexpr int kTickOperation = 6;

// QW_FUZZ_TRACE=1 prints every request, to read what a failing input does.
bool Tracing() {
  static const bool trace = std::getenv("QW_FUZZ_TRACE") != nullptr;
  return trace;
}

[[gnu::format(printf, 1, 2)]] void Trace(const char* format, ...) {
  if (!Tracing()) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

// A zeroed block of exactly n bytes, so any access past it is caught.
struct Buffer {
  std::vector<char> bytes;
  explicit Buffer(size_t n) : bytes(n, 0) {}
  void* Data() { return bytes.data(); }
};

double AnyDouble(fuzz::Bytes& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.ConsumeFloatingPoint<double>();
    case 1: return in.ConsumeFloatingPointInRange<double>(-1.0, 1000.0);
    case 2: {
      static constexpr double kOdd[] = {0.0, -0.0, -1.0, 1e-300, 1e300, -1e300, 0.25,
                                        std::numeric_limits<double>::infinity(),
                                        std::numeric_limits<double>::quiet_NaN()};
      return in.PickValueInArray(kOdd);
    }
    default: return double(in.ConsumeIntegralInRange<int>(-4, 400));
  }
}

float AnyFloat(fuzz::Bytes& in) {
  return in.ConsumeBool() ? in.ConsumeProbability<float>() * 1.5f - 0.25f : float(AnyDouble(in));
}

class Session {
 public:
  explicit Session(fuzz::Bytes& in) : in_(in) {}

  void Run() {
    for (int step = 0; step < kMaxSteps && in_.remaining_bytes() > 0 && plug_.Effect(); ++step) {
      const size_t at = in_.Position();
      const bool drawingTick = in_.PeekByte() == kTickOperation;
      const int op = in_.ConsumeIntegralInRange<int>(0, 11);
      Trace("step %d at byte %zu: operation %d\n", step, at, op);
      switch (op) {
        case 0:
        case 1: Dispatch(); break;
        case 2: SetParameter(); break;
        case 3: GetParameter(); break;
        case 4:
        case 5: Process(); break;
        case kTickOperation: Tick(drawingTick); break;
        case 7: Mouse(); break;
        case 8: Transport(); break;
        case 9: Reenter(); break;
        case 10: Editor(); break;
        default: ChunkRoundTrip(); break;
      }
    }
  }

 private:
  vst::VstIntPtr Call(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value, void* ptr,
                      float opt) {
    Trace("dispatch %d index %d value %lld ptr %s opt %g\n", opcode, index, (long long)value,
          ptr ? "set" : "null", double(opt));
    return plug_.Dispatch(opcode, index, value, ptr, opt);
  }

  vst::VstInt32 AnyIndex() {
    return in_.ConsumeBool() ? in_.ConsumeIntegralInRange<vst::VstInt32>(-2, 20)
                             : in_.ConsumeIntegral<vst::VstInt32>();
  }

  vst::VstIntPtr AnyValue() {
    switch (in_.ConsumeIntegralInRange<int>(0, 2)) {
      case 0: return in_.ConsumeIntegralInRange<vst::VstIntPtr>(-2, 8);
      case 1: return in_.ConsumeIntegralInRange<vst::VstIntPtr>(-1, 70000);
      default: return in_.ConsumeIntegral<int32_t>();
    }
  }

  // A zero-terminated text of at most max bytes with the terminator.
  Buffer Text(size_t max) {
    const std::string s = in_.ConsumeRandomLengthString(max - 1);
    Buffer b(s.size() + 1);
    std::memcpy(b.Data(), s.data(), s.size());
    return b;
  }

  void Dispatch() {
    const auto opcode = in_.ConsumeIntegralInRange<vst::VstInt32>(0, kLastOpcode);
    const vst::VstInt32 index = AnyIndex();
    vst::VstIntPtr value = AnyValue();
    const float opt = AnyFloat(in_);
    bool null = in_.ConsumeIntegralInRange<int>(0, 7) == 0;
    switch (opcode) {
      case vst::effClose:
        // Ends the session: the host makes no further call.
        if (in_.ConsumeIntegralInRange<int>(0, 15) == 0) {
          Call(opcode, 0, 0, nullptr, 0.0f);
          plug_.Forget();
        }
        return;
      case vst::effSetBlockSize:
        // A host's block, not a request for gigabytes.
        Call(opcode, index, in_.ConsumeIntegralInRange<vst::VstIntPtr>(-4, 20000), nullptr, opt);
        return;
      case vst::effSetBlockSizeAndSampleRate:
        Call(opcode, index, in_.ConsumeIntegralInRange<vst::VstIntPtr>(-4, 20000), nullptr, opt);
        return;
      case vst::effSetProgramName:
      case vst::effString2Parameter:
      case vst::effCanDo: {
        Buffer text = Text(opcode == vst::effSetProgramName ? 300 : 64);
        Call(opcode, index, value, null ? nullptr : text.Data(), opt);
        return;
      }
      case vst::effSetChunk: {
        const std::string bytes = in_.ConsumeRandomLengthString(1200);
        Buffer chunk(bytes.size());
        if (!bytes.empty()) std::memcpy(chunk.Data(), bytes.data(), bytes.size());
        Call(opcode, index, vst::VstIntPtr(bytes.size()), null ? nullptr : chunk.Data(), opt);
        return;
      }
      case vst::effProcessEvents: {
        Events(index, value, opt, null);
        return;
      }
      case vst::effSetSpeakerArrangement: {
        vst::VstSpeakerArrangement in{}, out{};
        in.numChannels = in_.ConsumeIntegralInRange<vst::VstInt32>(-2, 8);
        out.numChannels = in_.ConsumeIntegralInRange<vst::VstInt32>(-2, 8);
        const bool noIn = in_.ConsumeIntegralInRange<int>(0, 5) == 0;
        Call(opcode, index, noIn ? 0 : reinterpret_cast<vst::VstIntPtr>(&in), null ? nullptr : &out,
             opt);
        return;
      }
      case vst::effGetSpeakerArrangement: {
        vst::VstSpeakerArrangement* in = nullptr;
        vst::VstSpeakerArrangement* out = nullptr;
        Call(opcode, index, in_.ConsumeBool() ? reinterpret_cast<vst::VstIntPtr>(&in) : 0,
             null ? nullptr : &out, opt);
        return;
      }
      case vst::effGetChunk:
      case vst::effEditGetRect: {
        void* slot = nullptr;
        Call(opcode, index, value, null ? nullptr : &slot, opt);
        return;
      }
      case vst::effEditOpen:
        Call(opcode, index, value, null ? nullptr : reinterpret_cast<void*>(0x1234), opt);
        return;
      default:
        break;
    }
    Buffer buffer(ResultBytes(opcode));
    if (buffer.bytes.empty() && in_.ConsumeIntegralInRange<int>(0, 3) != 0) null = true;
    Call(opcode, index, value, null || buffer.bytes.empty() ? nullptr : buffer.Data(), opt);
  }

  // The size of the buffer a host hands over for the opcode's answer.
  static size_t ResultBytes(vst::VstInt32 opcode) {
    switch (opcode) {
      case vst::effGetProgramName:
      case vst::effGetProgramNameIndexed: return vst::kVstMaxProgNameLen;
      case vst::effGetParamLabel:
      case vst::effGetParamDisplay:
      case vst::effVendorSpecific: return vst::kVstMaxParamStrLen;
      case vst::effGetParamName: return 16;  // hosts give their lanes this much
      case vst::effGetEffectName: return vst::kVstMaxEffectNameLen;
      case vst::effGetVendorString: return vst::kVstMaxVendorStrLen;
      case vst::effGetProductString: return vst::kVstMaxProductStrLen;
      case vst::effGetInputProperties:
      case vst::effGetOutputProperties: return sizeof(vst::VstPinProperties);
      case vst::effGetMidiKeyName: return sizeof(vst::MidiKeyName);
      default: return 0;
    }
  }

  void Events(vst::VstInt32 index, vst::VstIntPtr value, float opt, bool null) {
    const int count = in_.ConsumeIntegralInRange<int>(0, 4);
    std::vector<Buffer> events;
    Buffer list(sizeof(vst::VstEvents) + sizeof(vst::VstEvent*) * size_t(count));
    auto* ev = static_cast<vst::VstEvents*>(list.Data());
    ev->numEvents = count;
    // The list runs on past the two entries the record declares.
    vst::VstEvent** slots = ev->events;
    for (int i = 0; i < count; ++i) {
      const bool sysex = in_.ConsumeBool();
      const size_t full = sysex ? sizeof(vst::VstMidiSysexEvent) : sizeof(vst::VstMidiEvent);
      // The record as large as its stated size, which may be short.
      const auto stated = in_.ConsumeIntegralInRange<vst::VstInt32>(-1, vst::VstInt32(full));
      events.emplace_back(stated > 8 ? size_t(stated) : 8);
      auto* e = static_cast<vst::VstEvent*>(events.back().Data());
      e->type = sysex ? vst::kVstSysExType : vst::kVstMidiType;
      e->byteSize = stated;
      auto* bytes = static_cast<char*>(events.back().Data());
      for (size_t b = 8; b < events.back().bytes.size(); ++b)
        bytes[b] = char(in_.ConsumeIntegral<uint8_t>());
      constexpr size_t kDumpEnd = offsetof(vst::VstMidiSysexEvent, sysexDump) + sizeof(char*);
      if (sysex && events.back().bytes.size() >= kDumpEnd) {
        auto* s = static_cast<vst::VstMidiSysexEvent*>(events.back().Data());
        s->dumpBytes = 0;
        s->sysexDump = nullptr;
      }
      slots[i] = e;
    }
    Call(vst::effProcessEvents, index, value, null ? nullptr : list.Data(), opt);
  }

  void SetParameter() {
    const int index = in_.ConsumeIntegralInRange<int>(-1, 15);
    const float value = AnyFloat(in_);
    Trace("setParameter %d %.9g\n", index, double(value));
    plug_.Effect()->setParameter(plug_.Effect(), index, value);
  }

  void GetParameter() {
    const int index = in_.ConsumeIntegral<int8_t>();
    const float value = plug_.Effect()->getParameter(plug_.Effect(), index);
    Trace("getParameter %d: %.9g\n", index, double(value));
  }

  void Process() {
    const int path = in_.ConsumeIntegralInRange<int>(0, 2);
    int frames = in_.ConsumeIntegralInRange<int>(-2, 600);
    if (in_.ConsumeIntegralInRange<int>(0, 15) == 0) frames = in_.ConsumeIntegralInRange<int>(0, 5000);
    const size_t n = frames > 0 ? size_t(frames) : 0;
    // Stereo input near full scale, sometimes silence or tiny values.
    const int kind = in_.ConsumeIntegralInRange<int>(0, 3);
    const float level = kind == 0 ? 0.0f : kind == 1 ? 1e-30f : 1.0f;
    static constexpr const char* kPaths[] = {"processReplacing", "process",
                                             "processDoubleReplacing"};
    Trace("%s %d frames, input level %g, input phase %zu\n", kPaths[path], frames, double(level),
          phase_);
    vst::AEffect* e = plug_.Effect();
    if (path == 2) {
      std::vector<double> in[2], out[2];
      double* ins[2];
      double* outs[2];
      for (int c = 0; c < 2; ++c) {
        in[c].resize(n);
        out[c].assign(n, 0.0);
        for (size_t f = 0; f < n; ++f) in[c][f] = level * std::sin(0.03 * double(f + phase_) + c);
        ins[c] = in[c].data();
        outs[c] = out[c].data();
      }
      e->processDoubleReplacing(e, ins, outs, frames);
      for (int c = 0; c < 2; ++c) Check(c, out[c].data(), n);
    } else {
      std::vector<float> in[2], out[2];
      float* ins[2];
      float* outs[2];
      for (int c = 0; c < 2; ++c) {
        in[c].resize(n);
        out[c].assign(n, 0.0f);
        for (size_t f = 0; f < n; ++f)
          in[c][f] = level * std::sin(0.03f * float(f + phase_) + float(c));
        ins[c] = in[c].data();
        outs[c] = out[c].data();
      }
      if (path == 0)
        e->processReplacing(e, ins, outs, frames);
      else
        e->process(e, ins, outs, frames);
      for (int c = 0; c < 2; ++c) Check(c, out[c].data(), n);
    }
    phase_ += n;
  }

  template <class Sample>
  static void Check(int channel, const Sample* out, size_t n) {
    for (size_t f = 0; f < n; ++f)
      if (!std::isfinite(out[f]) || std::fabs(out[f]) > fuzz::Instance::kOutputBound) {
        std::fprintf(stderr, "channel %d frame %zu of %zu: %g\n", channel, f, n, double(out[f]));
        fuzz::Fail("output not finite or too loud");
      }
  }

  Quillwave& Effect() { return static_cast<Quillwave&>(plug_.Adapter().Core()); }
  IGraphics* Graphics() { return Effect().Graphics(); }

  // A skipped tick leaves the dirty area to the next drawing one. A drawing
  // tick shows what an open window would: the plots drawn for the current
  // values (with no window open the effect draws them only when asked).
  void Tick(bool draw) {
    IGraphics* g = Graphics();
    if (!g) return;
    if (draw) Effect().UpdatePlots();
    IRect area;
    const bool dirty = g->CollectDirtyArea(area);
    Trace("tick: %s %d,%d-%d,%d%s\n", dirty ? "dirty" : "clean", area.left, area.top, area.right,
          area.bottom, draw ? ", drawn" : ", skipped");
    if (dirty && draw) g->Redraw(area);
  }

  void Mouse() {
    IGraphics* g = Graphics();
    if (!g) return;
    const int x = in_.ConsumeIntegralInRange<int>(-10, 700);
    const int y = in_.ConsumeIntegralInRange<int>(-10, 380);
    IMouseMods mods;
    const auto bits = in_.ConsumeIntegral<uint8_t>();
    mods.left = bits & 1, mods.right = bits & 2, mods.shift = bits & 4, mods.control = bits & 8,
    mods.alt = bits & 16;
    const int gesture = in_.ConsumeIntegralInRange<int>(0, 5);
    static constexpr const char* kGestures[] = {"down", "up", "drag", "double click", "wheel",
                                                "over"};
    Trace("mouse %s at %d,%d buttons and keys 0x%02x\n", kGestures[gesture], x, y, bits & 31);
    switch (gesture) {
      case 0: g->HandleMouseDown(x, y, mods); break;
      case 1: g->HandleMouseUp(x, y, mods); break;
      case 2: {
        g->HandleMouseDown(x, y, mods);
        const int dx = in_.ConsumeIntegralInRange<int>(-300, 300);
        const int dy = in_.ConsumeIntegralInRange<int>(-300, 300);
        for (int i = 1; i <= 8; ++i) g->HandleMouseDrag(x + dx * i / 8, y + dy * i / 8, mods);
        const bool release = in_.ConsumeBool();
        Trace("  by %d,%d%s\n", dx, dy, release ? ", released" : "");
        if (release) g->HandleMouseUp(x + dx, y + dy, mods);
        break;
      }
      case 3: g->HandleDoubleClick(x, y, mods); break;
      case 4: {
        const int notches = in_.ConsumeIntegralInRange<int>(-5, 5);
        Trace("  %d notches\n", notches);
        g->HandleMouseWheel(x, y, mods, notches);
        break;
      }
      default:
        g->HandleMouseOver(x, y, mods);
        if (in_.ConsumeBool()) {
          Trace("  and leave\n");
          g->HandleMouseLeave();
        }
        break;
    }
  }

  void Transport() {
    vst::VstTimeInfo& t = plug_.HostSide().time;
    plug_.HostSide().answerTime = in_.ConsumeIntegralInRange<int>(0, 7) != 0;
    t.flags = in_.ConsumeIntegral<vst::VstInt32>();
    t.tempo = AnyDouble(in_);
    t.ppqPos = AnyDouble(in_);
    t.samplePos = AnyDouble(in_);
    t.barStartPos = AnyDouble(in_);
    t.cycleStartPos = AnyDouble(in_);
    t.cycleEndPos = AnyDouble(in_);
    t.timeSigNumerator = in_.ConsumeIntegralInRange<vst::VstInt32>(-2, 40);
    t.timeSigDenominator = in_.ConsumeIntegralInRange<vst::VstInt32>(-2, 40);
    Trace("transport %s flags 0x%x tempo %.17g ppq %.17g sample %.17g bar %.17g "
          "cycle %.17g..%.17g signature %d/%d\n",
          plug_.HostSide().answerTime ? "answered" : "unanswered", unsigned(t.flags), t.tempo,
          t.ppqPos, t.samplePos, t.barStartPos, t.cycleStartPos, t.cycleEndPos,
          t.timeSigNumerator, t.timeSigDenominator);
  }

  // What a host's audio callback may ask in the middle of a block.
  void Reenter() {
    static constexpr vst::VstInt32 kOpcodes[] = {
        vst::effSetProgram,  vst::effSetSampleRate,         vst::effSetBlockSize,
        vst::effMainsChanged, vst::effSetSpeakerArrangement, vst::effOpen,
        vst::effSetChunk,    vst::effGetProgram,            vst::effClose};
    fuzz::Host::Reentry& r = plug_.HostSide().reentry;
    r.pending = true;
    r.opcode = in_.PickValueInArray(kOpcodes);
    r.value = r.opcode == vst::effSetBlockSize ? in_.ConsumeIntegralInRange<vst::VstIntPtr>(-1, 9000)
                                               : in_.ConsumeIntegralInRange<vst::VstIntPtr>(-1, 6);
    if (r.opcode == vst::effSetSpeakerArrangement) r.value = 0;  // no records to point at
    if (r.opcode == vst::effClose && in_.ConsumeIntegralInRange<int>(0, 7) != 0) r.pending = false;
    r.opt = AnyFloat(in_);
    if (r.pending)
      Trace("at the next time query: dispatch %d value %lld opt %g\n", r.opcode,
            (long long)r.value, double(r.opt));
  }

  void Editor() {
    switch (in_.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        if (Call(vst::effEditOpen, 0, 0, in_.ConsumeBool() ? nullptr : reinterpret_cast<void*>(0x40),
                 0.0f) != 0)
          fuzz::Fail("an editor opened without a window system");
        break;
      case 1: Call(vst::effEditClose, 0, 0, nullptr, 0.0f); break;
      case 2: Call(vst::effEditIdle, 0, 0, nullptr, 0.0f); break;
      default: {
        vst::ERect* rect = nullptr;
        if (Call(vst::effEditGetRect, 0, 0, &rect, 0.0f) == 1 &&
            (!rect || rect->right - rect->left != 689 || rect->bottom - rect->top != 369))
          fuzz::Fail("editor rectangle wrong");
        break;
      }
    }
  }

  void ChunkRoundTrip() {
    const bool bank = in_.ConsumeBool();
    Trace("%s chunk round trip\n", bank ? "bank" : "program");
    const std::vector<uint8_t> chunk = plug_.GetChunk(bank);
    if (!plug_.SetChunk(bank, chunk.data(), chunk.size())) fuzz::Fail("own chunk refused");
    const std::vector<uint8_t> again = plug_.GetChunk(bank);
    if (again != chunk) {
      for (size_t i = 0; i < std::min(again.size(), chunk.size()); ++i)
        if (again[i] != chunk[i]) {
          std::fprintf(stderr, "%s chunk of %zu bytes first differs at byte %zu\n",
                       bank ? "bank" : "program", chunk.size(), i);
          break;
        }
      fuzz::Fail("chunk changed in a round trip");
    }
  }

  fuzz::Bytes& in_;
  fuzz::Instance plug_;
  size_t phase_ = 0;
};

}  // namespace

// No window system, whatever the environment offers: an editor must then
// refuse to open, null or bogus parent alike.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  unsetenv("DISPLAY");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes in(data, size);
  Session session(in);
  session.Run();
  return 0;
}
