// The built plug-in inside a real third-party host: Ardour 7 without a
// display or audio server. One process creates a session with Quillwave on a
// stereo track, sets parameters and saves; a generated signal goes onto the
// track through the session file; a second process exports the session and
// a third one loads it and asks the plug-in for its parameter values
// (Ardour's Lua get_processor_param reads them from the plug-in itself).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRate = 48000;
constexpr int kFrames = kRate;  // one second
constexpr const char* kSession = "qwsession";
constexpr const char* kTrack = "sig";

std::string Quote(const fs::path& p) {
  std::string q(1, '\'');
  q += p.string();
  q += '\'';
  return q;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& s, uint16_t v) {
  s.push_back(char(v & 0xFF));
  s.push_back(char(v >> 8));
}
uint32_t Get32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 |
         uint32_t(uint8_t(s[at + 2])) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}

// Mono 32-bit float WAV, the form Ardour keeps its audio sources in.
void WriteMonoFloatWav(const fs::path& p, const std::vector<float>& samples) {
  std::string s = "RIFF";
  const uint32_t bytes = uint32_t(samples.size() * 4);
  Put32(s, 36 + bytes);
  s += "WAVEfmt ";
  Put32(s, 16);
  Put16(s, 3);  // IEEE float
  Put16(s, 1);
  Put32(s, kRate);
  Put32(s, kRate * 4);
  Put16(s, 4);
  Put16(s, 32);
  s += "data";
  Put32(s, bytes);
  s.append(reinterpret_cast<const char*>(samples.data()), bytes);
  WriteFile(p, s);
}

struct Wav {
  int format = 0, channels = 0, rate = 0, bits = 0;
  std::vector<float> samples;  // interleaved
};

bool ReadFloatWav(const fs::path& p, Wav& wav) {
  const std::string d = ReadFile(p);
  if (d.size() < 12 || d.compare(0, 4, "RIFF") != 0 || d.compare(8, 4, "WAVE") != 0) return false;
  for (size_t i = 12; i + 8 <= d.size();) {
    const std::string id = d.substr(i, 4);
    const uint32_t size = Get32(d, i + 4);
    if (i + 8 + size > d.size()) return false;
    if (id == "fmt ") {
      wav.format = uint8_t(d[i + 8]) | uint8_t(d[i + 9]) << 8;
      wav.channels = uint8_t(d[i + 10]) | uint8_t(d[i + 11]) << 8;
      wav.rate = int(Get32(d, i + 12));
      wav.bits = uint8_t(d[i + 22]) | uint8_t(d[i + 23]) << 8;
    } else if (id == "data") {
      wav.samples.resize(size / 4);
      std::memcpy(wav.samples.data(), d.data() + i + 8, wav.samples.size() * 4);
      return true;
    }
    i += 8 + size + (size & 1);
  }
  return false;
}

std::string ReplaceOnce(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at == std::string::npos) return text;
  return text.replace(at, from.size(), to);
}

class ArdourRoundTrip : public ::testing::Test {
protected:
  void SetUp() override {
    work = fs::path(QW_ARDOUR_WORK_DIR);
    fs::remove_all(work);
    fs::create_directories(work / "home");
    fs::create_directories(work / "plugins");
    const fs::path copy = work / "plugins" / fs::path(QW_PLUGIN_PATH).filename();
    fs::copy_file(QW_PLUGIN_PATH, copy);
    // The scan cache keeps whole seconds; a library newer than its cache
    // entry counts as not scanned, so date the copy back.
    fs::last_write_time(copy, fs::last_write_time(copy) - std::chrono::minutes(1));
    env = "HOME=" + Quote(work / "home") + " LXVST_PATH=" + Quote(work / "plugins") + " ";
  }

  // Runs a command with the private home and plug-in folder; output to log.
  int Run(const std::string& command, const std::string& log) {
    const std::string line = env + "timeout 300 " + command + " > " + Quote(work / log) + " 2>&1";
    const int rc = std::system(line.c_str());
    return rc;
  }

  std::string Log(const std::string& log) { return ReadFile(work / log); }

  fs::path work;
  std::string env;
};

}  // namespace

TEST_F(ArdourRoundTrip, BypassedExportEqualsInputAndStateSurvivesAReload) {
  const fs::path plugin = work / "plugins" / fs::path(QW_PLUGIN_PATH).filename();
  ASSERT_EQ(Run("env LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f " +
                    Quote(plugin),
                "scan.log"),
            0)
      << Log("scan.log");
  ASSERT_NE(Log("scan.log").find("Quillwave"), std::string::npos) << Log("scan.log");

  // Session with the plug-in on a stereo track; Bypass ("OnOff", 8) on so
  // the export must equal the input whatever the effect does otherwise, and
  // Mix (0) at 0.3 to check after a reload.
  const fs::path sessionDir = work / kSession;
  WriteFile(work / "create.lua",
            "create_session(\"" + sessionDir.string() + "\", \"" + kSession + "\", " +
                std::to_string(kRate) + ")\n"
                "local tl = Session:new_audio_track(2, 2, nil, 1, \"" + kTrack +
                "\", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)\n"
                "local track = tl:front()\n"
                "local proc = ARDOUR.LuaAPI.new_plugin(Session, \"Quillwave\", ARDOUR.PluginType.LXVST, \"\")\n"
                "assert(not proc:isnil(), \"plug-in not found\")\n"
                "assert(track:add_processor_by_index(proc, 0, nil, true) == 0)\n"
                "assert(ARDOUR.LuaAPI.set_processor_param(proc, 8, 1.0))\n"
                "assert(ARDOUR.LuaAPI.set_processor_param(proc, 0, 0.3))\n"
                "assert(ARDOUR.LuaAPI.set_processor_param(proc, 13, 0.4))\n"
                "Session:save_state(\"\", false, false, false, false, false)\n"
                "print(\"QW created\")\n"
                "close_session()\n");
  ASSERT_EQ(Run("ardour7-lua " + Quote(work / "create.lua"), "create.log"), 0) << Log("create.log");
  ASSERT_NE(Log("create.log").find("QW created"), std::string::npos) << Log("create.log");

  // The signal: two different tones, one mono source per channel.
  std::vector<float> left(kFrames), right(kFrames);
  for (int i = 0; i < kFrames; ++i) {
    left[i] = float(0.5 * std::sin(2 * M_PI * 440.0 * i / kRate));
    right[i] = float(0.3 * std::sin(2 * M_PI * 97.0 * i / kRate + 1.0) + 0.01);
  }
  const fs::path audio = sessionDir / "interchange" / kSession / "audiofiles";
  ASSERT_TRUE(fs::is_directory(audio));
  WriteMonoFloatWav(audio / "sig-L.wav", left);
  WriteMonoFloatWav(audio / "sig-R.wav", right);

  // Sources, a whole-file region, the same region on the track's playlist at
  // position 0 (no fades) and the session range, in superclock units.
  const fs::path sessionFile = sessionDir / (std::string(kSession) + ".ardour");
  std::string xml = ReadFile(sessionFile);
  const std::string tempoKey = "superclocks-per-second=\"";
  const size_t tempoAt = xml.find(tempoKey);
  ASSERT_NE(tempoAt, std::string::npos);
  const long long perSecond = std::atoll(xml.c_str() + tempoAt + tempoKey.size());
  ASSERT_GT(perSecond, 0);
  const std::string length = "a" + std::to_string(perSecond / kRate * kFrames);
  auto region = [&](int id, int wholeFile) {
    return "<Region name=\"sig\" muted=\"0\" opaque=\"1\" locked=\"0\" video-locked=\"0\" "
           "automatic=\"0\" whole-file=\"" + std::to_string(wholeFile) +
           "\" import=\"0\" external=\"0\" sync-marked=\"0\" left-of-split=\"0\" "
           "right-of-split=\"0\" hidden=\"0\" position-locked=\"0\" valid-transients=\"0\" "
           "start=\"a0\" length=\"" + length + "@a0\" position=\"a0\" sync-position=\"a0\" "
           "ancestral-start=\"a0\" ancestral-length=\"" + length + "@a0\" stretch=\"1\" "
           "shift=\"1\" layering-index=\"0\" tags=\"\" envelope-active=\"0\" "
           "default-fade-in=\"0\" default-fade-out=\"0\" fade-in-active=\"0\" "
           "fade-out-active=\"0\" scale-amplitude=\"1\" id=\"" + std::to_string(id) +
           "\" type=\"audio\" source-0=\"900001\" source-1=\"900002\" "
           "master-source-0=\"900001\" master-source-1=\"900002\" channels=\"2\"/>";
  };
  std::string edited = ReplaceOnce(
      xml, "<Sources/>",
      "<Sources>\n"
      "<Source name=\"sig-L.wav\" type=\"audio\" flags=\"\" id=\"900001\" captured-for=\"sig\" "
      "channel=\"0\" origin=\"\" gain=\"1\"/>\n"
      "<Source name=\"sig-R.wav\" type=\"audio\" flags=\"\" id=\"900002\" captured-for=\"sig\" "
      "channel=\"0\" origin=\"\" gain=\"1\"/>\n"
      "</Sources>");
  edited = ReplaceOnce(edited, "<Regions/>", "<Regions>\n" + region(900003, 1) + "\n</Regions>");
  edited = ReplaceOnce(edited, "<Locations/>",
                       "<Locations>\n<Location id=\"900005\" name=\"session\" start=\"a0\" end=\"" +
                           length +
                           "\" flags=\"IsSessionRange\" locked=\"0\" timestamp=\"0\" cue=\"0\"/>\n"
                           "</Locations>");
  const size_t playlist = edited.find("<Playlist id=");
  ASSERT_NE(playlist, std::string::npos);
  const size_t close = edited.find("/>", playlist);
  ASSERT_NE(close, std::string::npos);
  edited.replace(close, 2, ">\n" + region(900004, 0) + "\n</Playlist>");
  ASSERT_NE(edited, xml);
  WriteFile(sessionFile, edited);

  // Export in a new process: the plug-in's state comes from the saved session.
  const fs::path exported = work / "export.wav";
  ASSERT_EQ(Run("ardour7-export -b float -o " + Quote(exported) + " " + Quote(sessionDir) + " " +
                    kSession,
                "export.log"),
            0)
      << Log("export.log");
  Wav wav;
  ASSERT_TRUE(ReadFloatWav(exported, wav)) << Log("export.log");
  EXPECT_EQ(wav.format, 3);
  EXPECT_EQ(wav.bits, 32);
  EXPECT_EQ(wav.rate, kRate);
  ASSERT_EQ(wav.channels, 2);
  ASSERT_EQ(wav.samples.size(), size_t(2 * kFrames));
  int mismatches = 0, first = -1;
  for (int i = 0; i < kFrames; ++i) {
    if (wav.samples[2 * i] != left[i] || wav.samples[2 * i + 1] != right[i]) {
      if (first < 0) first = i;
      ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0) << "first differing frame " << first;

  // A third process loads the session and asks the plug-in for its values.
  WriteFile(work / "read.lua",
            "load_session(\"" + sessionDir.string() + "\", \"" + kSession + "\")\n"
            "local proc = Session:route_by_name(\"" + kTrack + "\"):nth_plugin(0)\n"
            "assert(not proc:isnil(), \"no plug-in on the track\")\n"
            "print(\"QW name \" .. proc:name())\n"
            "for _, i in ipairs({0, 8, 1, 13}) do\n"
            "  local v = ARDOUR.LuaAPI.get_processor_param(proc, i, true)\n"
            "  print(string.format(\"QW param %d %.6f\", i, v))\n"
            "end\n"
            "close_session()\n");
  ASSERT_EQ(Run("ardour7-lua " + Quote(work / "read.lua"), "read.log"), 0) << Log("read.log");
  const std::string read = Log("read.log");
  EXPECT_NE(read.find("QW name Quillwave"), std::string::npos) << read;
  EXPECT_NE(read.find("QW param 0 0.300000"), std::string::npos) << read;
  EXPECT_NE(read.find("QW param 8 1.000000"), std::string::npos) << read;
  EXPECT_NE(read.find("QW param 1 0.184953"), std::string::npos) << read;  // LfoFrequency default
  // FilterMode was given 0.4; the plug-in itself rounds it to its step.
  EXPECT_NE(read.find("QW param 13 0.500000"), std::string::npos) << read;
}
