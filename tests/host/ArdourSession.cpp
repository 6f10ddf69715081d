#include "ArdourSession.h"

#include <sys/wait.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace qwtest::ardour {

namespace {

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

}  // namespace

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

void WriteMonoFloatWav(const fs::path& p, const std::vector<float>& samples, int rate) {
  std::string s = "RIFF";
  const uint32_t bytes = uint32_t(samples.size() * 4);
  Put32(s, 36 + bytes);
  s += "WAVEfmt ";
  Put32(s, 16);
  Put16(s, 3);  // IEEE float
  Put16(s, 1);
  Put32(s, uint32_t(rate));
  Put32(s, uint32_t(rate) * 4);
  Put16(s, 4);
  Put16(s, 32);
  s += "data";
  Put32(s, bytes);
  s.append(reinterpret_cast<const char*>(samples.data()), bytes);
  WriteFile(p, s);
}

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

std::string Tag(const std::string& xml, const std::string& head, const std::string& text,
                size_t from, size_t* at) {
  for (size_t p = xml.find(head, from); p != std::string::npos; p = xml.find(head, p + 1)) {
    const std::string tag = xml.substr(p, xml.find('>', p) - p);
    if (tag.find(text) == std::string::npos) continue;
    if (at) *at = p;
    return tag;
  }
  return {};
}

std::string Attribute(const std::string& tag, const std::string& name) {
  const std::string key = " " + name + "=\"";
  const size_t v = tag.find(key);
  if (v == std::string::npos) return {};
  const size_t start = v + key.size();
  return tag.substr(start, tag.find('"', start) - start);
}

Stereo MakeSignal(int frames, int rate) {
  Stereo s{std::vector<float>(size_t(frames)), std::vector<float>(size_t(frames))};
  uint32_t seed = 0x51A7u;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return double(int32_t(seed)) / 2147483648.0;
  };
  for (int i = 0; i < frames; ++i) {
    s.left[size_t(i)] = float(0.3 * std::sin(2 * M_PI * 440.0 * i / rate) + 0.05 * noise());
    s.right[size_t(i)] =
        float(0.2 * std::sin(2 * M_PI * 97.0 * i / rate + 1.0) + 0.01 + 0.05 * noise());
  }
  return s;
}

std::string PutAudioOnTracks(const fs::path& sessionDir, const std::string& name,
                             const Stereo& signal, const std::vector<Placement>& placements,
                             long sessionFrames, int rate) {
  const fs::path audio = sessionDir / "interchange" / name / "audiofiles";
  if (!fs::is_directory(audio)) return "no audio folder in the session";
  WriteMonoFloatWav(audio / "sig-L.wav", signal.left, rate);
  WriteMonoFloatWav(audio / "sig-R.wav", signal.right, rate);

  const fs::path sessionFile = sessionDir / (name + ".ardour");
  const std::string xml = ReadFile(sessionFile);
  const std::string tempoKey = "superclocks-per-second=\"";
  const size_t tempoAt = xml.find(tempoKey);
  if (tempoAt == std::string::npos) return "no tempo map in the session file";
  const long long perFrame = std::atoll(xml.c_str() + tempoAt + tempoKey.size()) / rate;
  if (perFrame <= 0) return "no superclock rate in the session file";
  auto clock = [&](long frames) {
    std::string text(1, 'a');
    text += std::to_string(perFrame * frames);
    return text;
  };
  const std::string length = clock(long(signal.left.size()));
  auto region = [&](int id, int wholeFile, long position) {
    const std::string at = clock(position);
    return "<Region name=\"sig\" muted=\"0\" opaque=\"1\" locked=\"0\" video-locked=\"0\" "
           "automatic=\"0\" whole-file=\"" +
           std::to_string(wholeFile) +
           "\" import=\"0\" external=\"0\" sync-marked=\"0\" left-of-split=\"0\" "
           "right-of-split=\"0\" hidden=\"0\" position-locked=\"0\" valid-transients=\"0\" "
           "start=\"a0\" length=\"" +
           length + "@" + at + "\" position=\"" + at +
           "\" sync-position=\"a0\" ancestral-start=\"a0\" ancestral-length=\"" + length + "@" +
           at +
           "\" stretch=\"1\" shift=\"1\" layering-index=\"0\" tags=\"\" envelope-active=\"0\" "
           "default-fade-in=\"0\" default-fade-out=\"0\" fade-in-active=\"0\" "
           "fade-out-active=\"0\" scale-amplitude=\"1\" id=\"" +
           std::to_string(id) +
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
  edited = ReplaceOnce(edited, "<Regions/>", "<Regions>\n" + region(900003, 1, 0) + "\n</Regions>");
  edited = ReplaceOnce(edited, "<Locations/>",
                       "<Locations>\n<Location id=\"900005\" name=\"session\" start=\"a0\" end=\"" +
                           clock(sessionFrames) +
                           "\" flags=\"IsSessionRange\" locked=\"0\" timestamp=\"0\" cue=\"0\"/>\n"
                           "</Locations>");
  int regionId = 900010;
  for (const Placement& p : placements) {
    size_t at = edited.find("<Playlist ");
    while (at != std::string::npos &&
           edited.substr(at, edited.find('>', at) - at).find(" name=\"" + p.track + "\"") ==
               std::string::npos)
      at = edited.find("<Playlist ", at + 1);
    if (at == std::string::npos) return "no playlist for track " + p.track;
    const size_t close = edited.find("/>", at);
    if (close == std::string::npos || close > edited.find('>', at))
      return "playlist of track " + p.track + " is not empty";
    edited.replace(close, 2, ">\n" + region(regionId++, 0, p.frame) + "\n</Playlist>");
  }
  if (edited == xml) return "session file unchanged";
  WriteFile(sessionFile, edited);
  return {};
}

int Tools::Run(const std::string& command, const std::string& log) const {
  const std::string line = env_ + "timeout 300 " + command + " > " + Quote(work_ / log) + " 2>&1";
  return std::system(line.c_str());
}

std::string Tools::Export(const fs::path& sessionDir, const std::string& name,
                          const fs::path& out) const {
  // Ardour 7.3's export tool now and then dies of its own heap corruption
  // (glibc's "double free or corruption", "munmap_chunk(): invalid pointer",
  // "free(): invalid next size", or a segmentation fault), before, during or
  // after the export, at the same rate with no plug-in in the session at all
  // (1 run in 15 both ways, measured). Only such a death is retried.
  for (int attempt = 1;; ++attempt) {
    fs::remove(out);
    const int rc = Run("ardour7-export -b float -o " + Quote(out) + " " + Quote(sessionDir) + " " +
                           name,
                       "export.log");
    if (rc == 0) return {};
    const bool crashed =
        WIFEXITED(rc) && (WEXITSTATUS(rc) == 128 + SIGABRT || WEXITSTATUS(rc) == 128 + SIGSEGV);
    if (attempt == 4 || !crashed)
      return "export failed (attempt " + std::to_string(attempt) + ", status " +
             std::to_string(rc) + ")\n" + Log("export.log");
  }
}

void WriteGuiConfig(const fs::path& home) {
  const fs::path config = home / ".config" / "ardour7";
  fs::create_directories(config);
  fs::create_directories(home / ".local" / "share");
  WriteFile(config / ".a7", "");
  WriteFile(config / "config",
            "<Ardour><Config><Option name=\"hide-dummy-backend\" value=\"0\"/>"
            "<Option name=\"try-autostart-engine\" value=\"1\"/></Config><Extra>"
            "<AudioMIDISetup><EngineStates><State backend=\"None (Dummy)\" driver=\"Normal "
            "Speed\" device=\"Silence\" input-device=\"\" output-device=\"\" "
            "sample-rate=\"48000\" buffer-size=\"1024\" n-periods=\"0\" input-latency=\"0\" "
            "output-latency=\"0\" lm-input=\"\" lm-output=\"\" active=\"1\" "
            "use-buffered-io=\"0\" midi-option=\"1 in, 1 out, Silence\" lru=\"1\"><MIDIDevices/>"
            "</State></EngineStates></AudioMIDISetup></Extra></Ardour>\n");
}

std::string OpenPluginWindowOnLoad(std::string& xml, const std::string& route,
                                   const std::string& processorType) {
  size_t routeAt = 0;
  const std::string routeId =
      Attribute(Tag(xml, "<Route ", " name=\"" + route + "\"", 0, &routeAt), "id");
  if (routeId.empty()) return "no route " + route;
  const std::string processorId =
      Attribute(Tag(xml, "<Processor ", " type=\"" + processorType + "\"", routeAt), "id");
  if (processorId.empty()) return "no " + processorType + " processor after route " + route;
  if (xml.find("<Extra>") != std::string::npos) return "the session has an Extra section already";
  const size_t end = xml.rfind("</Session>");
  if (end == std::string::npos) return "no end of the session";
  xml.insert(end, "<Extra><UI><Window name=\"P-" + routeId + "-" + processorId +
                      "\" visible=\"1\" x-off=\"40\" y-off=\"40\" x-size=\"-1\" y-size=\"-1\" "
                      "custom-ui=\"1\"/></UI></Extra>\n");
  return {};
}

}  // namespace qwtest::ardour
