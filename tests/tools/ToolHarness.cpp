#include "ToolHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <algorithm>
#include <sndfile.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qwtools {

namespace {
std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
}  // namespace

ToolRun RunTool(const std::vector<std::string>& args) { return RunProgram(QW_RENDER_TOOL, args); }

ToolRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
  ScratchDir logs;
  const std::string outPath = logs.Path("stdout"), errPath = logs.Path("stderr");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  ToolRun run;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    ADD_FAILURE() << "cannot start " << program;
    return run;
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  return run;
}

ScratchDir::ScratchDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qw-render-test-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = buf.data();
}

ScratchDir::~ScratchDir() {
  for (const auto& e : Entries()) unlink(Path(e).c_str());
  rmdir(dir_.c_str());
}

std::vector<std::string> ScratchDir::Entries() const {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir_.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<float> Audio::Channel(int c) const {
  std::vector<float> out(Frames());
  for (size_t i = 0; i < out.size(); ++i) out[i] = samples[i * channels + c];
  return out;
}

Audio ReadAudio(const std::string& path) {
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) throw std::runtime_error("cannot read " + path);
  Audio a;
  a.channels = info.channels;
  a.rate = info.samplerate;
  a.format = info.format;
  a.samples.resize(static_cast<size_t>(info.frames * info.channels));
  sf_readf_float(f, a.samples.data(), info.frames);
  sf_close(f);
  return a;
}

void WriteAudio(const std::string& path, const Audio& a) {
  SF_INFO info{};
  info.channels = a.channels;
  info.samplerate = a.rate;
  info.format = a.format;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!f) throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
  sf_writef_float(f, a.samples.data(), static_cast<sf_count_t>(a.Frames()));
  sf_close(f);
}

Audio MakeInput(int channels, int rate, int frames, int format) {
  Audio a;
  a.channels = channels;
  a.rate = rate;
  a.format = format;
  a.samples.resize(static_cast<size_t>(frames) * channels);
  uint32_t noise = 12345;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    for (int c = 0; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      const double n = (static_cast<double>(noise >> 8) / 16777216.0 - 0.5) * 0.2;
      const double tone =
          0.5 * std::sin(2 * M_PI * (110.0 * (c + 1)) * t) * std::exp(-2.0 * std::fmod(t, 0.5));
      a.samples[static_cast<size_t>(i) * channels + c] = static_cast<float>(tone + n);
    }
  }
  return a;
}

}  // namespace qwtools
