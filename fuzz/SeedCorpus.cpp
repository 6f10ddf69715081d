// Writes the seed inputs of the chunk and host-request targets:
//   qw_fuzz_seeds <corpus folder>
// Chunks: the default program and bank, every preset's program, and random
// settings. Host requests: sessions as hosts run them, written in the
// byte format the host-request target reads (see HostFuzz.cpp).
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "FuzzSupport.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<uint8_t> Tagged(uint8_t tag, const std::vector<uint8_t>& chunk) {
  std::vector<uint8_t> out{tag};
  out.insert(out.end(), chunk.begin(), chunk.end());
  return out;
}

// The first byte chooses the chunk: 0 bank, 1 program.
bool ChunkSeeds(const std::string& dir) {
  bool ok = true;
  {
    fuzz::Instance plug;
    ok &= Write(dir + "/default-bank", Tagged(0, plug.GetChunk(true)));
    ok &= Write(dir + "/default-program", Tagged(1, plug.GetChunk(false)));
    for (int p = 0; p < plug.Effect()->numPrograms; ++p) {
      plug.Dispatch(vst::effSetProgram, 0, p);
      ok &= Write(dir + "/preset-" + std::to_string(p), Tagged(1, plug.GetChunk(false)));
    }
  }
  std::mt19937 random(14);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  for (int s = 0; s < 3; ++s) {
    fuzz::Instance plug;
    for (int p = 0; p < plug.Effect()->numPrograms; ++p) {
      plug.Dispatch(vst::effSetProgram, 0, p);
      for (int i = 0; i < plug.Effect()->numParams; ++i)
        plug.Effect()->setParameter(plug.Effect(), i, unit(random));
    }
    const std::string name = "random-" + std::to_string(s);
    ok &= Write(dir + "/" + name + "-bank", Tagged(0, plug.GetChunk(true)));
    ok &= Write(dir + "/" + name + "-program", Tagged(1, plug.GetChunk(false)));
  }
  return ok;
}

// Writes values the way fuzz::Bytes reads them.
class Encoder {
 public:
  void Put(int64_t lo, int64_t hi, int64_t v) {
    const uint64_t raw = uint64_t(v) - uint64_t(lo);
    for (int i = 0; i < fuzz::Bytes::Width(uint64_t(hi) - uint64_t(lo)); ++i)
      bytes.push_back(uint8_t(raw >> (8 * i)));
  }
  void Text(size_t max, const std::string& s) {
    Put(0, int64_t(max), int64_t(s.size()));
    bytes.insert(bytes.end(), s.begin(), s.end());
  }
  // A value through the target's AnyDouble: its raw bits.
  void Double(double v) {
    Put(0, 3, 0);
    uint64_t raw;
    std::memcpy(&raw, &v, sizeof raw);
    for (int i = 0; i < 8; ++i) bytes.push_back(uint8_t(raw >> (8 * i)));
  }
  // A value through the target's AnyFloat, given as a double.
  void Float(double v) {
    Put(0, 1, 0);
    Double(v);
  }
  // A value through the target's AnyFloat: 0..1 in 65536 steps, shown
  // over -0.25..1.25.
  void Normalized(float v) {
    Put(0, 1, 1);
    Put(0, 65535, int64_t((v + 0.25f) / 1.5f * 65535.0f + 0.5f));
  }

  // ---- the target's operations ----
  // A request that hands over no buffer.
  void Dispatch(vst::VstInt32 opcode, vst::VstInt32 index = 0, vst::VstIntPtr value = 0,
                double opt = 0.0) {
    Header(opcode, index, value, opt);
    Put(0, 3, 1);
  }
  // A request answered into a buffer of the standard's size.
  void Answer(vst::VstInt32 opcode, vst::VstInt32 index = 0) { Header(opcode, index, 0, 0.0); }
  void BlockSize(int frames) {
    Header(vst::effSetBlockSize, 0, 0, 0.0);
    Put(-4, 20000, frames);
  }
  void ProgramName(const std::string& name) {
    Header(vst::effSetProgramName, 0, 0, 0.0);
    Text(299, name);
  }
  void TextRequest(vst::VstInt32 opcode, vst::VstInt32 index, const std::string& text) {
    Header(opcode, index, 0, 0.0);
    Text(63, text);
  }
  void Arrangement(int inputs, int outputs) {
    Header(vst::effSetSpeakerArrangement, 0, 0, 0.0);
    Put(-2, 8, inputs);
    Put(-2, 8, outputs);
    Put(0, 5, 1);
  }
  void Set(int index, float normalized) {
    Put(0, 11, 2);
    Put(-1, 15, index);
    Normalized(normalized);
  }
  // path 0 replacing, 1 accumulating, 2 64-bit.
  void Process(int path, int frames) {
    Put(0, 11, 4);
    Put(0, 2, path);
    Put(-2, 600, frames > 600 ? 0 : frames);
    Put(0, 15, frames > 600 ? 0 : 1);
    if (frames > 600) Put(0, 5000, frames);
    Put(0, 3, 2);
  }
  void Tick() { Put(0, 11, 6); }
  void Drag(int x, int y, int dx, int dy) {
    Put(0, 11, 7);
    Put(-10, 700, x);
    Put(-10, 380, y);
    Put(0, 255, 1);
    Put(0, 5, 2);
    Put(-300, 300, dx);
    Put(-300, 300, dy);
    Put(0, 1, 1);
  }
  void Click(int x, int y) {
    for (int kind : {0, 1}) {
      Put(0, 11, 7);
      Put(-10, 700, x);
      Put(-10, 380, y);
      Put(0, 255, 1);
      Put(0, 5, kind);
    }
  }
  void Playing(double tempo, double ppq) {
    Put(0, 11, 8);
    Put(0, 7, 1);
    Put(INT32_MIN, INT32_MAX,
        vst::kVstTransportPlaying | vst::kVstTempoValid | vst::kVstPpqPosValid |
            vst::kVstTimeSigValid | vst::kVstBarsValid);
    for (double v : {tempo, ppq, ppq * 22050.0, 0.0, 0.0, 0.0}) Double(v);
    Put(-2, 40, 4);
    Put(-2, 40, 4);
  }
  // A request from inside the next time query: opcode's position in the
  // target's list, and its value.
  void Reenter(int which, int value, bool wide) {
    Put(0, 11, 9);
    Put(0, 8, which);
    if (wide)
      Put(-1, 9000, value);
    else
      Put(-1, 6, value);
    Float(0.0);
  }
  void Editor(int what) {
    Put(0, 11, 10);
    Put(0, 3, what);
    if (what == 0) Put(0, 1, 1);
  }
  void RoundTrip(bool bank) {
    Put(0, 11, 11);
    Put(0, 1, bank ? 1 : 0);
  }

  std::vector<uint8_t> bytes;

 private:
  void Header(vst::VstInt32 opcode, vst::VstInt32 index, vst::VstIntPtr value, double opt) {
    Put(0, 11, 0);
    Put(0, vst::effGetNumMidiOutputChannels + 2, opcode);
    Put(0, 1, 1);
    Put(-2, 20, index);
    Put(0, 2, 2);
    Put(INT32_MIN, INT32_MAX, value);
    Float(opt);
    Put(0, 7, 1);
  }
};

bool HostSeeds(const std::string& dir) {
  bool ok = true;
  {
    // A host loading the plug-in, playing, automating and saving.
    Encoder e;
    e.Dispatch(vst::effSetSampleRate, 0, 0, 48000.0);
    e.BlockSize(512);
    e.Dispatch(vst::effMainsChanged, 0, 1);
    e.Editor(3);
    e.Editor(0);
    for (int b = 0; b < 4; ++b) {
      e.Process(0, 512);
      e.Set(b % 14, 0.1f * float(b + 1));
      e.Tick();
    }
    e.Drag(593, 292, 0, -40);
    e.Tick();
    e.RoundTrip(false);
    e.RoundTrip(true);
    e.Editor(1);
    e.Dispatch(vst::effMainsChanged, 0, 0);
    ok &= Write(dir + "/session-play", e.bytes);
  }
  {
    // Programs, names and parameter texts, as a host's preset browser.
    Encoder e;
    for (int p = 0; p < 5; ++p) {
      e.Dispatch(vst::effSetProgram, 0, p);
      e.Answer(vst::effGetProgramName);
    }
    e.ProgramName("Funk wah");
    e.Answer(vst::effGetProgramNameIndexed);
    for (int i = 0; i < 3; ++i) e.Answer(vst::effGetParamDisplay, i);
    e.TextRequest(vst::effString2Parameter, 0, "0.7");
    e.TextRequest(vst::effCanDo, 0, "receiveVstTimeInfo");
    e.Answer(vst::effGetParamName);
    e.Answer(vst::effGetEffectName);
    e.Process(2, 256);
    ok &= Write(dir + "/session-programs", e.bytes);
  }
  {
    // Tempo sync against a playing transport, blocks of uneven size.
    Encoder e;
    e.Set(7, 1.0f);
    e.Playing(140.0, 0.0);
    for (int frames : {1, 64, 480, 1024, 1500, 33}) {
      e.Process(frames % 3, frames);
      e.Tick();
    }
    e.Click(26, 40);
    e.Tick();
    ok &= Write(dir + "/session-tempo", e.bytes);
  }
  {
    // A mono track, then requests made from inside a block.
    Encoder e;
    e.Arrangement(1, 1);
    e.Process(0, 300);
    e.Arrangement(2, 2);
    e.Reenter(2, 256, true);
    e.Process(0, 700);
    e.Reenter(0, 3, false);
    e.Process(2, 128);
    e.Dispatch(vst::effGetProgram);
    ok &= Write(dir + "/session-reentry", e.bytes);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qw_fuzz_seeds <corpus folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  if (!ChunkSeeds(root + "/chunk") || !HostSeeds(root + "/host")) {
    std::fprintf(stderr, "qw_fuzz_seeds: could not write under %s\n", root.c_str());
    return 1;
  }
  return 0;
}
