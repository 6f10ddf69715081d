#pragma once

// Helpers for running the command-line tools end to end: a scratch directory,
// running the program with captured output, and audio files in and out.

#include <string>
#include <vector>

namespace qwtools {

struct ToolRun {
  int exitCode = -1;  // 128 + signal number when killed by a signal
  std::string out;
  std::string err;
};

// Runs the built quillwave-render with these arguments.
ToolRun RunTool(const std::vector<std::string>& args);
// Runs another program with these arguments.
ToolRun RunProgram(const std::string& program, const std::vector<std::string>& args);

// A fresh directory, removed with its contents at the end of the test.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::vector<std::string> Entries() const;  // file names, sorted

 private:
  std::string dir_;
};

struct Audio {
  int channels = 0;
  int rate = 0;
  int format = 0;              // libsndfile's format word
  std::vector<float> samples;  // interleaved
  size_t Frames() const { return channels ? samples.size() / channels : 0; }
  std::vector<float> Channel(int c) const;
};

Audio ReadAudio(const std::string& path);
void WriteAudio(const std::string& path, const Audio& audio);
// A deterministic stereo or mono test input (decaying tones and noise) in
// the -0.8..0.8 range.
Audio MakeInput(int channels, int rate, int frames, int format);

}  // namespace qwtools
