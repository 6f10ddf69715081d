// The VST 3 bundle inside a real third-party host: Ardour 7 without a
// display or audio server, loading Quillwave.vst3 from a private folder
// (VST3_PATH) after its own scanner has accepted it. One process creates a
// session with stereo tracks, each with the VST 3 plug-in set up
// differently through Ardour's Lua (values in the parameters' own units),
// and saves it; a generated signal goes onto each track at its own time
// through the session file; a second process exports the session and a
// third one loads it and reads the values back. The export is compared with
// the input where the effect must not act, and with the VST 2.4 library's
// output, driven by our own test host at the same parameter values, where
// it does.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ArdourSession.h"
#include "TestHost.h"

namespace fs = std::filesystem;

namespace {

using namespace qwtest::ardour;

constexpr int kRate = 48000;
constexpr const char* kSession = "qwvst3";
// The class id Ardour keys the plug-in by, as its scanner writes it.
constexpr const char* kUid = "4B766E74516C77765653543300010000";

// Each track's region lasts one second and is followed by half a second of
// silence, so a resonant filter's ringing has died away (far below the
// smallest 32-bit float) before the next track's region starts.
constexpr int kSignalFrames = kRate;
constexpr int kTrackSpacing = kRate * 3 / 2;

// How Ardour 7.3's export tool runs a VST 3 plug-in, recorded with
// breakpoints on the library's entry points: for each instance on the main
// thread, initialize twice (once as component, once as controller: it is
// one object), the component's state handed to the controller, then
// setupProcessing (real time, 32-bit, at most 1024 frames, 48 kHz),
// setActive(1), setProcessing(1), and the saved state (setState,
// setComponentState, setControllerState); then process on the engine's
// thread in the dummy engine's 1024-frame cycles, always with a parameter
// change list and a process context, the mode real time while idle and
// offline during the export (changed per call, with no new
// setupProcessing). The export starts after some idle cycles and a
// two-second pre-roll of silence: 6 cycles in every run seen (6 of 6), so
// the plug-in has run 6 * 1024 + 96000 = 102144 frames when the first
// exported frame arrives, and the cycle holding that frame is split there
// (768 + 256), as Ardour does for an LV2 plug-in, where the number of idle
// cycles was seen to vary under load; the search below allows for that.
constexpr int kArdourCycle = 1024;
constexpr long kIdleCycles = 6;
constexpr long kArdourPreroll = kIdleCycles * kArdourCycle + 2 * kRate;

constexpr int kParamCount = 14;
// Parameter ids (the parameter indices) and the names Ardour gives their
// controls.
constexpr int kMix = 0, kLfoFrequency = 1, kPhase = 3, kSymmetry = 4, kShape = 5, kOnOff = 8,
              kMode = 9, kCutoff1 = 10, kCutoff2 = 11, kResonance = 12, kFilterMode = 13;
constexpr const char* kNames[kParamCount] = {
    "Mix",       "LfoFrequency", "Note", "Phase",   "Symmetry", "Shape",     "Prefix",
    "TempoSync", "OnOff",        "Mode", "Cutoff1", "Cutoff2",  "Resonance", "FilterMode"};

struct TrackSetup {
  std::string name;
  int offset = 0;                             // session frame where its region starts
  std::vector<std::pair<int, float>> values;  // set before saving (own units)
};

const std::vector<TrackSetup>& Tracks() {
  static const std::vector<TrackSetup> tracks = {
      // Bypassed: the input whatever the rest says; the values are read
      // back after a reload.
      {"bypass", 0, {{kOnOff, 1.0f}, {kMix, 0.3f}, {kFilterMode, 1.0f}}},
      // Mix 0: only the dry signal.
      {"dry", kTrackSpacing, {{kMix, 0.0f}}},
      // Nothing set: the default sound (low-pass, Mix 0.5).
      {"default", 2 * kTrackSpacing, {}},
      // The wah voice at Mix 0.8. Its output never quite returns to zero
      // after the region: it holds about 4e-16 on each channel (our host's
      // replay too), so the exact checks against the input come before it.
      {"wah", 3 * kTrackSpacing, {{kFilterMode, 2.0f}, {kMix, 0.8f}}},
      // Values far from 0..1 in their own units: a faster oscillator,
      // another shape, phase, symmetry and sweep range, less resonance,
      // band-pass, all wet.
      {"tweaked",
       4 * kTrackSpacing,
       {{kLfoFrequency, 12.5f},
        {kPhase, 2.0f},
        {kSymmetry, 0.25f},
        {kShape, 0.5f},
        {kCutoff1, 0.1f},
        {kCutoff2, 0.75f},
        {kResonance, 2.5f},
        {kFilterMode, 1.0f},
        {kMix, 1.0f}}},
      // Auto-pan at 3 Hz.
      {"pan", 5 * kTrackSpacing, {{kMode, 1.0f}, {kLfoFrequency, 3.0f}}},
  };
  return tracks;
}

// The two tracks on which the effect must not act come first; it acts on
// the rest.
constexpr size_t kFirstActing = 2;

constexpr int kSessionFrames = 6 * kTrackSpacing;

// The track's input at a session frame: the signal inside its region, else
// silence.
float TrackInput(const TrackSetup& t, const Stereo& s, int channel, long frame) {
  const long i = frame - t.offset;
  if (i < 0 || i >= kSignalFrames) return 0.0f;
  return channel == 0 ? s.left[size_t(i)] : s.right[size_t(i)];
}

// The text of a float that reads back as the same float.
std::string Exact(float v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", double(v));
  return text;
}

// The VST 2.4 library's parameter defaults: its program chunk is the 8-byte
// header and one little-endian double per parameter. Empty when it is not.
std::vector<double> VstDefaults(std::vector<uint8_t>& header) {
  qwtest::TestHost host(QW_PLUGIN_PATH);
  qwtest::Instance plugin(host);
  if (!plugin) return {};
  plugin.Start(float(kRate), kArdourCycle);
  const std::vector<uint8_t> chunk = plugin.GetChunk(false);
  if (chunk.size() != size_t(8 + 8 * kParamCount)) return {};
  header.assign(chunk.begin(), chunk.begin() + 8);
  std::vector<double> values(kParamCount);
  std::memcpy(values.data(), chunk.data() + 8, 8 * kParamCount);
  return values;
}

// The value each of a track's parameters was set to: what the Lua script
// gave, else the library's default.
std::vector<double> SetValues(const TrackSetup& t, const std::vector<double>& defaults) {
  std::vector<double> v = defaults;
  for (const auto& [index, value] : t.values) v[size_t(index)] = value;
  return v;
}

// Base64 as Ardour writes a plug-in's state in the session; empty when the
// text holds anything else.
std::vector<uint8_t> FromBase64(const std::string& text) {
  static const std::string digits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int held = 0;
  for (const char c : text) {
    if (c == '=' || c == '\n' || c == ' ') continue;
    const size_t d = digits.find(c);
    if (d == std::string::npos) return {};
    bits = (bits << 6) | uint32_t(d);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out.push_back(uint8_t(bits >> held));
    }
  }
  return out;
}

// The parameter values in the VST 3 state Ardour saved for the plug-in on a
// route: Ardour wraps the component's state in a container of its own (the
// four bytes "VST3", a version, the class id in 32 hex digits, then at byte
// 40 the offset of a chunk list that follows the component's state at byte
// 48); the component's state is the VST 2.4 program chunk, whose 8-byte
// header must equal the library's. Empty when the state is not that.
std::vector<double> SavedStateValues(const std::string& xml, const std::string& route,
                                     const std::vector<uint8_t>& header) {
  size_t at = 0;
  if (Tag(xml, "<Route ", " name=\"" + route + "\"", 0, &at).empty()) return {};
  if (Tag(xml, "<Processor ", " type=\"vst3\"", at, &at).empty()) return {};
  const size_t open = xml.find("<chunk>", at), close = xml.find("</chunk>", at);
  if (open == std::string::npos || close < open) return {};
  const std::vector<uint8_t> bytes = FromBase64(xml.substr(open + 7, close - open - 7));
  if (bytes.size() < 48 || std::memcmp(bytes.data(), "VST3", 4) != 0 ||
      std::string(bytes.begin() + 8, bytes.begin() + 40) != kUid)
    return {};
  uint64_t list = 0;
  std::memcpy(&list, bytes.data() + 40, 8);
  if (list != 48 + header.size() + 8 * kParamCount || list > bytes.size()) return {};
  if (!std::equal(header.begin(), header.end(), bytes.begin() + 48)) return {};
  std::vector<double> values(kParamCount);
  std::memcpy(values.data(), bytes.data() + 48 + header.size(), 8 * kParamCount);
  return values;
}

// One track's effect as the VST 2.4 library computes it in our own test
// host at the given parameter values: the usual start (open, 48 kHz,
// 1024-frame blocks, on), the values loaded exactly through the program
// chunk (the header and one double per parameter: setParameter's
// normalised floats cannot carry every value exactly), then `preroll` frames
// of silence and the session, cut into blocks at every multiple of the
// cycle and at the export start. Returns the first `frames` session frames,
// interleaved; empty when the library could not be driven.
std::vector<float> Replay(const TrackSetup& t, const std::vector<double>& values, const Stereo& s,
                          long preroll, int frames) {
  qwtest::TestHost host(QW_PLUGIN_PATH);
  qwtest::Instance plugin(host);
  if (!plugin) return {};
  plugin.Start(float(kRate), kArdourCycle);
  std::vector<uint8_t> chunk = plugin.GetChunk(false);
  if (chunk.size() != size_t(8 + 8 * kParamCount)) return {};
  for (int i = 0; i < kParamCount; ++i) {
    const double v = values[size_t(i)];
    std::memcpy(chunk.data() + 8 + 8 * i, &v, 8);
  }
  if (plugin.SetChunk(chunk, false) != 1) return {};
  // Read back: the values are in range and on their steps, so the library
  // holds them unchanged.
  if (plugin.GetChunk(false) != chunk) return {};

  std::vector<float> out(size_t(2) * size_t(frames));
  std::vector<std::vector<float>> inBuf(2, std::vector<float>(kArdourCycle));
  std::vector<std::vector<float>> outBuf(2, std::vector<float>(kArdourCycle));
  const long end = preroll + frames;
  for (long pos = 0; pos < end;) {
    long next = (pos / kArdourCycle + 1) * kArdourCycle;
    if (pos < preroll && next > preroll) next = preroll;
    if (next > end) next = end;
    const int n = int(next - pos);
    for (int c = 0; c < 2; ++c)
      for (int j = 0; j < n; ++j)
        inBuf[size_t(c)][size_t(j)] =
            pos + j < preroll ? 0.0f : TrackInput(t, s, c, pos + j - preroll);
    plugin.ProcessReplacing(inBuf, outBuf, n);
    for (int j = 0; j < n; ++j) {
      const long f = pos + j - preroll;
      if (f < 0) continue;
      out[size_t(2 * f)] = outBuf[0][size_t(j)];
      out[size_t(2 * f + 1)] = outBuf[1][size_t(j)];
    }
    pos = next;
  }
  return out;
}

// The export must equal our host's output exactly. Both run the same
// effect code on the same samples: the VST 3 adapter and the VST 2.4 float
// path both widen the 32-bit input to doubles, run the same double-precision
// process call and round each output sample once to a float; the parameters
// hold the same doubles (those of the plug-in's saved state, loaded through
// the VST 2.4 program chunk: Ardour's floats would not do, 12.5 Hz sent as
// a normalised value comes back as 12.4999999106); the blocks are cut at
// the same frames. Ardour then passes each float through unchanged: the
// track's unity gain and the stereo panner at its default leave it alone,
// the master bus adds the tracks' floats as the replays are summed here
// (where more than one is not zero, one track's signal meets tails far
// below its last bit, so the order of the additions does not matter) and
// the export writes 32-bit floats. Measured: no sample differs, in every
// run. Any difference, even of one rounding step, means something in that
// chain differs (replaying at the values set instead of the state's makes
// the tweaked and pan tracks differ by up to 4e-5), and the test reports
// the largest.
constexpr float kTolerance = 0.0f;

// Pre-rolls to try for the export, the usual one first: whole idle cycles
// from the usual number on (then fewer), the two-second pre-roll, and the
// offsets seen (0, 16 frames earlier, on the cycle's end); then every 16th
// frame within a cycle of those.
std::vector<long> PrerollCandidates() {
  std::vector<long> cycles;
  for (long k = kIdleCycles; k <= 40; ++k) cycles.push_back(k);
  for (long k = kIdleCycles - 1; k >= 0; --k) cycles.push_back(k);
  std::vector<long> out;
  for (const long k : cycles)
    for (const long d : {0L, -16L, long(kArdourCycle) - (2 * kRate) % kArdourCycle})
      out.push_back(k * kArdourCycle + 2 * kRate + d);
  for (const long k : cycles)
    for (long d = -kArdourCycle + 16; d < kArdourCycle && k <= 20; d += 16)
      if (std::find(out.begin(), out.end(), k * kArdourCycle + 2 * kRate + d) == out.end())
        out.push_back(k * kArdourCycle + 2 * kRate + d);
  return out;
}

struct Difference {
  float largest = 0.0f;
  long at = -1;  // first frame over the tolerance
  long over = 0;
};

Difference Compare(const std::vector<float>& a, const std::vector<float>& b, long from, long to) {
  Difference d;
  for (long i = 2 * from; i < 2 * to; ++i) {
    float e = std::fabs(a[size_t(i)] - b[size_t(i)]);
    if (std::isnan(e)) e = INFINITY;
    if (!(e <= kTolerance)) {
      if (d.at < 0) d.at = i / 2;
      ++d.over;
    }
    if (e > d.largest) d.largest = e;
  }
  return d;
}

// The whole round trip runs once for all checks: create, export, read back.
struct RoundTrip {
  std::string failure;  // empty once every step has worked
  Stereo signal;
  std::vector<double> defaults;  // the VST library's parameter defaults
  std::vector<uint8_t> header;   // its program chunk's header
  std::string created;           // the Lua tool's output while creating
  std::string savedXml;          // the session file as the first process saved it
  Wav exported;
  std::string notes;  // exports made again, and why
  std::string read;
  std::string reloadedXml;                // the snapshot the third process saved
  std::string scan;                       // the scanner's output
  std::vector<std::vector<double>> state;  // each track's values in the saved state
};

class ArdourVst3RoundTrip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { trip_ = new RoundTrip(Perform()); }
  static void TearDownTestSuite() {
    delete trip_;
    trip_ = nullptr;
  }

  static const RoundTrip& Trip() { return *trip_; }
  // Interleaved session frames of the export (checked to be complete).
  static const std::vector<float>& Exported() { return trip_->exported.samples; }

 private:
  static RoundTrip Perform();
  static RoundTrip* trip_;
};

RoundTrip* ArdourVst3RoundTrip::trip_ = nullptr;

RoundTrip ArdourVst3RoundTrip::Perform() {
  RoundTrip trip;
  trip.signal = MakeSignal(kSignalFrames, kRate);
  trip.defaults = VstDefaults(trip.header);
  auto fail = [&](const std::string& why) {
    trip.failure = why;
    return trip;
  };
  if (trip.defaults.empty()) return fail("the VST library's program chunk is not 14 doubles");

  const fs::path work = QW_ARDOUR_VST3_WORK_DIR;
  fs::remove_all(work);
  fs::create_directories(work / "home");
  fs::create_directories(work / "vst3");
  // A copy of the bundle in a folder of its own, the only one named in
  // VST3_PATH (QW_VST3_BUNDLE in the environment names another bundle).
  const char* chosen = std::getenv("QW_VST3_BUNDLE");
  const fs::path bundle = chosen && *chosen ? fs::path(chosen) : fs::path(QW_VST3_BUNDLE_DIR);
  const fs::path copy = work / "vst3" / bundle.filename();
  fs::copy(bundle, copy, fs::copy_options::recursive);
  // The scan cache keeps whole seconds; a library newer than its cache
  // entry counts as not scanned, so date the copy back.
  for (const auto& entry : fs::recursive_directory_iterator(copy))
    fs::last_write_time(entry.path(), fs::last_write_time(entry.path()) - std::chrono::minutes(1));
  const Tools tools(work,
                    "HOME=" + Quote(work / "home") + " VST3_PATH=" + Quote(work / "vst3") + " ");
  auto failWithLog = [&](const std::string& why, const std::string& log) {
    return fail(why + "\n" + tools.Log(log));
  };

  // Ardour's own scanner must accept the bundle: the Lua tool only reads
  // the cache it writes.
  if (tools.Run("env LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -v -f " +
                    Quote(copy),
                "scan.log") != 0)
    return failWithLog("the scanner refused the bundle", "scan.log");
  trip.scan = tools.Log("scan.log");

  // One stereo track per setup, Quillwave.vst3 first on each; values in
  // the parameters' own units (Ardour converts them with the plug-in's
  // plainParamToNormalized).
  const fs::path sessionDir = work / kSession;
  std::string lua = "create_session(\"" + sessionDir.string() + "\", \"" + kSession + "\", " +
                    std::to_string(kRate) + ")\n";
  for (const auto& t : Tracks()) {
    lua +=
        "do\n"
        "  local track = Session:new_audio_track(2, 2, nil, 1, \"" +
        t.name +
        "\", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false):front()\n"
        "  local proc = ARDOUR.LuaAPI.new_plugin(Session, \"Quillwave\", ARDOUR.PluginType.VST3, "
        "\"\")\n"
        "  assert(not proc:isnil(), \"plug-in not found\")\n"
        "  assert(track:add_processor_by_index(proc, 0, nil, true) == 0)\n"
        "  print(\"QW refused \" .. tostring(not ARDOUR.LuaAPI.set_processor_param(proc, 1, "
        "0.05)))\n";
    for (const auto& [index, value] : t.values)
      lua += "  assert(ARDOUR.LuaAPI.set_processor_param(proc, " + std::to_string(index) + ", " +
             Exact(value) + "))\n";
    lua += "end\n";
  }
  lua +=
      "Session:save_state(\"\", false, false, false, false, false)\n"
      "print(\"QW created\")\n"
      "close_session()\n";
  WriteFile(work / "create.lua", lua);
  if (tools.Run("ardour7-lua " + Quote(work / "create.lua"), "create.log") != 0 ||
      tools.Log("create.log").find("QW created") == std::string::npos)
    return failWithLog("session not created", "create.log");
  trip.created = tools.Log("create.log");
  trip.savedXml = ReadFile(sessionDir / (std::string(kSession) + ".ardour"));
  for (const auto& t : Tracks()) {
    trip.state.push_back(SavedStateValues(trip.savedXml, t.name, trip.header));
    if (trip.state.back().empty()) return fail("no VST 3 state of ours saved for " + t.name);
  }

  std::vector<Placement> placements;
  for (const auto& t : Tracks()) placements.push_back({t.name, t.offset});
  const std::string put =
      PutAudioOnTracks(sessionDir, kSession, trip.signal, placements, kSessionFrames, kRate);
  if (!put.empty()) return fail(put);

  // Export in a new process: the values come from the saved session.
  // With the LV2 bundle, about 1 export in 50 on a busy machine came out
  // with the last track's region silent where every other track was exact
  // (not seen with this bundle, in few runs). Such an export is kept
  // (export-silent-N.wav), noted and made again, at most twice; every
  // track's region here has peaks far above 1e-6.
  const fs::path exported = work / "export.wav";
  Wav& wav = trip.exported;
  for (int attempt = 1;; ++attempt) {
    const std::string exportFailure = tools.Export(sessionDir, kSession, exported);
    if (!exportFailure.empty()) return fail(exportFailure);
    wav = Wav();
    if (!ReadFloatWav(exported, wav)) return failWithLog("export unreadable", "export.log");
    if (wav.format != 3 || wav.bits != 32 || wav.rate != kRate || wav.channels != 2 ||
        wav.samples.size() != size_t(2 * kSessionFrames))
      return fail("export is not 32-bit float stereo at 48 kHz of the session's length: format " +
                  std::to_string(wav.format) + ", " + std::to_string(wav.bits) + " bits, " +
                  std::to_string(wav.rate) + " Hz, " + std::to_string(wav.channels) +
                  " channels, " + std::to_string(wav.samples.size()) + " samples");
    std::string silent;
    for (const auto& t : Tracks()) {
      float peak = 0.0f;
      for (long i = 2L * t.offset; i < 2L * (t.offset + kSignalFrames); ++i)
        peak = std::max(peak, std::fabs(wav.samples[size_t(i)]));
      if (!(peak > 1e-6f)) silent += " " + t.name;
    }
    if (silent.empty()) break;
    const fs::path kept = work / ("export-silent-" + std::to_string(attempt) + ".wav");
    fs::copy_file(exported, kept, fs::copy_options::overwrite_existing);
    trip.notes += "export " + std::to_string(attempt) + ": the region of" + silent +
                  " came out silent (kept as " + kept.filename().string() + ")\n";
    if (attempt == 3) return fail(trip.notes);
  }

  // A third process loads the session, reads every value back as Ardour
  // holds it and saves a snapshot of its own, with the state the plug-in
  // gives after the reload.
  std::string read = "load_session(\"" + sessionDir.string() + "\", \"" + kSession + "\")\n";
  for (const auto& t : Tracks()) {
    read +=
        "do\n"
        "  local proc = Session:route_by_name(\"" +
        t.name +
        "\"):nth_plugin(0)\n"
        "  assert(not proc:isnil(), \"no plug-in on " +
        t.name +
        "\")\n"
        "  print(\"QW " +
        t.name +
        " name \" .. proc:name() .. \" \" .. proc:to_insert():plugin(0):unique_id() .. "
        "\" \" .. tostring(proc:to_insert():type() == ARDOUR.PluginType.VST3))\n"
        "  for i = 0, " +
        std::to_string(kParamCount - 1) +
        " do\n"
        "    local v = ARDOUR.LuaAPI.get_processor_param(proc, i, true)\n"
        "    print(string.format(\"QW " +
        t.name +
        " value %d %.17g\", i, v))\n"
        "  end\n"
        "end\n";
  }
  read +=
      "Session:save_state(\"reloaded\", false, false, false, false, false)\n"
      "close_session()\n";
  WriteFile(work / "read.lua", read);
  if (tools.Run("ardour7-lua " + Quote(work / "read.lua"), "read.log") != 0)
    return failWithLog("reading back failed", "read.log");
  trip.read = tools.Log("read.log");
  trip.reloadedXml = ReadFile(sessionDir / "reloaded.ardour");
  return trip;
}

}  // namespace

// Bypassed and at Mix 0 the plug-in hands the input back unchanged: the
// export equals it sample for sample over those tracks' time (the silent
// tracks add exact zeros), including the silence after each region.
TEST_F(ArdourVst3RoundTrip, BypassAndMixZeroExportTheInputExactly) {
  ASSERT_TRUE(Trip().failure.empty()) << Trip().failure;
  for (size_t k = 0; k < kFirstActing; ++k) {
    const TrackSetup& t = Tracks()[k];
    SCOPED_TRACE(t.name);
    long mismatches = 0, first = -1;
    for (long f = t.offset; f < t.offset + kTrackSpacing; ++f) {
      for (int c = 0; c < 2; ++c) {
        if (Exported()[size_t(2 * f + c)] != TrackInput(t, Trip().signal, c, f)) {
          if (first < 0) first = f;
          ++mismatches;
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << "first differing session frame " << first;
  }
}

// Where the effect acts, the VST 3 plug-in in Ardour sounds as the VST 2.4
// library in our own host at the values of the plug-in's saved state under
// the same block schedule. The export's pre-roll is found first, with the
// first of them (the defaults): the first pre-roll under which our host's
// output matches the export's first 4096 frames exactly. Under it, the
// replays of every acting track, summed as the master bus sums the tracks,
// must match the whole export exactly. A wrong value anywhere matches under
// no pre-roll.
TEST_F(ArdourVst3RoundTrip, ExportEqualsTheVstLibraryAtTheSameValues) {
  ASSERT_TRUE(Trip().failure.empty()) << Trip().failure;
  if (!Trip().notes.empty()) {
    std::printf("%s", Trip().notes.c_str());
    RecordProperty("exports_made_again", Trip().notes);
  }
  const std::vector<float>& exported = Exported();
  // The effect acts on each of these tracks: the comparison is not one
  // between two copies of the input.
  for (size_t k = kFirstActing; k < Tracks().size(); ++k) {
    const TrackSetup& t = Tracks()[k];
    double signal = 0.0, change = 0.0;
    for (long f = t.offset; f < t.offset + kSignalFrames; ++f) {
      for (int c = 0; c < 2; ++c) {
        const double in = TrackInput(t, Trip().signal, c, f);
        const double out = exported[size_t(2 * f + c)];
        signal += in * in;
        change += (out - in) * (out - in);
      }
    }
    EXPECT_GT(std::sqrt(change / signal), 0.1) << t.name << ": difference RMS / input RMS";
    std::printf("%s: difference to the input %.3f of its RMS\n", t.name.c_str(),
                std::sqrt(change / signal));
  }

  // Our host's output for every acting track under a pre-roll, summed.
  auto expectedUnder = [&](long preroll) {
    std::vector<float> sum(size_t(2) * kSessionFrames, 0.0f);
    for (size_t k = kFirstActing; k < Tracks().size(); ++k) {
      const TrackSetup& t = Tracks()[k];
      const std::vector<float> r =
          Replay(t, Trip().state[k], Trip().signal, preroll, kSessionFrames);
      if (r.empty()) return r;
      for (size_t i = 0; i < r.size(); ++i) sum[i] += r[i];
    }
    return sum;
  };
  const TrackSetup& first = Tracks()[kFirstActing];
  constexpr int kWindow = 4096;
  const auto start = std::chrono::steady_clock::now();
  long found = -1, candidate = -1;
  int tried = 0;
  std::vector<float> expected;
  for (const long p : PrerollCandidates()) {
    ++tried;
    const std::vector<float> head = Replay(first, Trip().state[kFirstActing],
                                           Trip().signal, p, first.offset + kWindow);
    ASSERT_FALSE(head.empty()) << "test host could not drive " << QW_PLUGIN_PATH;
    if (Compare(head, exported, first.offset, first.offset + kWindow).over != 0) continue;
    if (candidate < 0) candidate = p;
    expected = expectedUnder(p);
    ASSERT_FALSE(expected.empty());
    if (Compare(exported, expected, first.offset, kSessionFrames).over == 0) {
      found = p;
      break;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (found >= 0) {
    std::printf("export pre-roll %ld frames (usual %ld), found after %d tries in %.2f s\n", found,
                kArdourPreroll, tried, seconds);
    RecordProperty("export_preroll", std::to_string(found));
    return;
  }
  // Nothing matched: what differs under the pre-roll that matched the
  // first frames, else under the usual one.
  const long shown = candidate >= 0 ? candidate : kArdourPreroll;
  expected = expectedUnder(shown);
  ASSERT_FALSE(expected.empty());
  for (size_t k = kFirstActing; k < Tracks().size(); ++k) {
    const TrackSetup& t = Tracks()[k];
    const Difference d = Compare(exported, expected, t.offset, t.offset + kTrackSpacing);
    ADD_FAILURE() << t.name << ": under a pre-roll of " << shown << " frames ("
                  << (candidate >= 0 ? "it matched the first frames" : "nothing matched them")
                  << ", " << tried << " tried), " << d.over << " samples differ by more than "
                  << kTolerance << ", first at session frame " << d.at << ", largest "
                  << d.largest;
  }
}

// The scanner accepts the bundle and caches the plug-in under its class id.
TEST_F(ArdourVst3RoundTrip, ScannerAcceptsTheBundle) {
  ASSERT_TRUE(Trip().failure.empty()) << Trip().failure;
  const std::string info = Tag(Trip().scan, "<VST3Info ", " uid=\"" + std::string(kUid) + "\"");
  ASSERT_FALSE(info.empty()) << Trip().scan;
  EXPECT_EQ(Attribute(info, "name"), "Quillwave");
  EXPECT_EQ(Attribute(info, "n_inputs"), "2");
  EXPECT_EQ(Attribute(info, "n_outputs"), "2");
}

// Ardour keeps each value twice: as a 32-bit float in its own units in the
// session, and inside the plug-in's state. The state holds what the
// plug-in made of the normalised value Ardour sent (within a float's
// rounding of the value set: 12.5 Hz comes back as 12.4999999...); the
// float is the value set. After a reload in a third process Ardour reports
// the same floats and the plug-in gives back the very same state.
TEST_F(ArdourVst3RoundTrip, ValuesAreSavedAndSurviveAReload) {
  ASSERT_TRUE(Trip().failure.empty()) << Trip().failure;
  // Lua's values are in the parameters' own units: 0.05 Hz is below the
  // oscillator's 0.1 and refused on every track.
  size_t refused = 0;
  for (size_t at = Trip().created.find("QW refused true\n"); at != std::string::npos;
       at = Trip().created.find("QW refused true\n", at + 1))
    ++refused;
  EXPECT_EQ(refused, Tracks().size()) << Trip().created;
  const std::string& xml = Trip().savedXml;
  const std::string& read = Trip().read;
  for (size_t k = 0; k < Tracks().size(); ++k) {
    const TrackSetup& t = Tracks()[k];
    SCOPED_TRACE(t.name);
    EXPECT_NE(read.find("QW " + t.name + " name Quillwave " + kUid + " true\n"), std::string::npos)
        << read;
    size_t route = 0;
    ASSERT_FALSE(Tag(xml, "<Route ", " name=\"" + t.name + "\"", 0, &route).empty());
    size_t vst3 = 0;
    ASSERT_FALSE(Tag(xml, "<Processor ", " type=\"vst3\"", route, &vst3).empty());
    EXPECT_EQ(Attribute(Tag(xml, "<Processor ", " type=\"vst3\"", route), "unique-id"), kUid);
    const std::vector<double> set = SetValues(t, Trip().defaults);
    const std::vector<double>& state = Trip().state[k];
    for (int i = 0; i < kParamCount; ++i) {
      const float v = float(set[size_t(i)]);
      const std::string saved =
          Attribute(Tag(xml, "<Port ", " id=\"" + std::to_string(i) + "\"", vst3), "value");
      EXPECT_EQ(std::strtof(saved.c_str(), nullptr), v) << kNames[i] << " saved as " << saved;
      EXPECT_NEAR(state[size_t(i)], set[size_t(i)], 1e-6 * std::max(1.0, std::fabs(set[size_t(i)])))
          << kNames[i] << " in the plug-in's state";
      const std::string line = "QW " + t.name + " value " + std::to_string(i) + " ";
      const size_t at = read.find(line);
      ASSERT_NE(at, std::string::npos) << line << "\n" << read;
      EXPECT_EQ(std::strtof(read.c_str() + at + line.size(), nullptr), v)
          << kNames[i] << ": " << read.substr(at, read.find('\n', at) - at);
    }
    EXPECT_EQ(SavedStateValues(Trip().reloadedXml, t.name, Trip().header), state)
        << "the state after the reload";
  }
}
