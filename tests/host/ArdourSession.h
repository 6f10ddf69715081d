#pragma once
// What the tests that run Ardour 7 share: files and 32-bit float WAVs, the
// saved session file's XML, audio put on tracks by editing that file (Ardour
// 7.3's Lua has no binding to import a file), Ardour's command-line programs
// run with a private environment, and the user configuration and session
// entry that make its GUI start on the dummy engine with a plug-in's window
// open.

#include <filesystem>
#include <string>
#include <vector>

namespace qwtest::ardour {

namespace fs = std::filesystem;

// A path in single quotes for a shell command line.
std::string Quote(const fs::path& p);
std::string ReadFile(const fs::path& p);
void WriteFile(const fs::path& p, const std::string& text);

// Mono 32-bit float WAV, the form Ardour keeps its audio sources in.
void WriteMonoFloatWav(const fs::path& p, const std::vector<float>& samples, int rate);

struct Wav {
  int format = 0, channels = 0, rate = 0, bits = 0;
  std::vector<float> samples;  // interleaved
};
// A WAV of 32-bit samples (the samples are read as floats); false when the
// file is no WAV or has no data chunk.
bool ReadFloatWav(const fs::path& p, Wav& wav);

// text with the first `from` replaced by `to` (unchanged when absent).
std::string ReplaceOnce(std::string text, const std::string& from, const std::string& to);

// The first start tag beginning with head (from position `from` on) that
// contains text; its position goes to at. Empty when there is none.
std::string Tag(const std::string& xml, const std::string& head, const std::string& text,
                size_t from = 0, size_t* at = nullptr);
// An attribute's value in a start tag; empty when absent.
std::string Attribute(const std::string& tag, const std::string& name);

struct Stereo {
  std::vector<float> left, right;
};

// Two tones with a little noise on each channel (and a small offset on the
// right), so every filter mode has something to act on; peaks stay below
// 0.6, leaving room for the resonant filters.
Stereo MakeSignal(int frames, int rate);

// One region of the signal on a track's playlist (the playlist carries the
// track's name), starting at a session frame.
struct Placement {
  std::string track;
  long frame = 0;
};

// Puts signal on tracks of a saved session whose playlists are still empty:
// the two channels as mono float sources in interchange/<name>/audiofiles/,
// their Source entries, a whole-file Region, one region per placement (no
// fades) and a session range from 0 to sessionFrames, in the session's
// superclock units. Empty when it worked, else what failed.
std::string PutAudioOnTracks(const fs::path& sessionDir, const std::string& name,
                             const Stereo& signal, const std::vector<Placement>& placements,
                             long sessionFrames, int rate);

// Ardour's programs for one test: a work folder for logs and an environment
// (NAME=value words, each followed by a space) that every command gets.
class Tools {
 public:
  Tools(fs::path work, std::string env) : work_(std::move(work)), env_(std::move(env)) {}
  // command under `timeout 300`, its output in work/log; the shell's status.
  int Run(const std::string& command, const std::string& log) const;
  std::string Log(const std::string& log) const { return ReadFile(work_ / log); }
  // ardour7-export of the session's master bus to a 32-bit float WAV, in a
  // process of its own; retried only when the export tool died of its own
  // heap corruption (see the .cpp). Empty when it worked, else the failure
  // with the tool's output.
  std::string Export(const fs::path& sessionDir, const std::string& name,
                     const fs::path& out) const;
  const std::string& Env() const { return env_; }

 private:
  fs::path work_;
  std::string env_;
};

// The user configuration under home with which the GUI program `ardour`
// starts without its first-run wizard and with the dummy engine (48 kHz,
// 1024-frame cycles) running by itself.
void WriteGuiConfig(const fs::path& home);

// Adds to a session file's XML the entry under Extra/UI that opens a
// processor's window, with the plug-in's own GUI, when the GUI loads the
// session: the processor is the first of processorType (lxvst, lv2, ...) on
// the route named route. Empty when it worked, else what failed.
std::string OpenPluginWindowOnLoad(std::string& xml, const std::string& route,
                                   const std::string& processorType);

}  // namespace qwtest::ardour
