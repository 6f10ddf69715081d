// quillwave-snapshot: draws the Quillwave panel after the given settings and
// mouse gestures and writes it as a PNG file.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "snapshot/PanelSnapshot.h"
#include "raster/IBitmap.h"
#include "raster/PngWriter.h"

namespace {

const char kUsage[] =
    "usage: quillwave-snapshot [--set NAME=VALUE ...] [--program N] [--click X,Y ...]\n"
    "                          [--drag X,Y,DX,DY ...] [--hover X,Y] [--process N] OUT.png\n"
    "\n"
    "Draws the Quillwave panel as a host shows it and writes it as a PNG file.\n"
    "Actions run in the order given, each followed by the editor's redraw tick.\n"
    "  --set NAME=VALUE   set a parameter (its own units) as host automation\n"
    "  --program N        select program N through the dispatcher\n"
    "  --click X,Y        left click at panel pixel X,Y\n"
    "  --drag X,Y,DX,DY   press at X,Y, move by DX,DY, release\n"
    "  --hover X,Y        rest the pointer at X,Y (a knob there shows its value)\n"
    "  --process N        run N frames of audio (the sweep's marker follows)\n"
    "  --help             this text\n"
    "Parameter names: Mix LfoFrequency Note Phase Symmetry Shape Prefix TempoSync\n"
    "OnOff Mode Cutoff1 Cutoff2 Resonance FilterMode\n";

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr, "quillwave-snapshot: %s\n\n%s", problem, kUsage);
  std::exit(2);
}

// Exactly count integers separated by commas.
std::vector<int> Ints(const char* text, int count, const char* option) {
  std::vector<int> out;
  const char* p = text;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    const long v = std::strtol(p, &end, 10);
    if (end == p || v < -100000 || v > 100000) break;
    out.push_back(int(v));
    p = end;
    if (i + 1 < count) {
      if (*p != ',') break;
      ++p;
    }
  }
  if (int(out.size()) != count || *p != '\0')
    Usage((std::string(option) + " needs " + std::to_string(count) + " integers: " + text).c_str());
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) Usage("no output file");
  PanelSnapshot panel;
  if (!panel.Valid()) {
    std::fprintf(stderr, "quillwave-snapshot: the plug-in could not be made\n");
    return 1;
  }
  panel.Render();
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    const bool takesValue = arg == "--set" || arg == "--program" || arg == "--click" ||
                            arg == "--drag" || arg == "--hover" ||
                            arg == "--process";
    if (takesValue && i + 1 >= argc) Usage((arg + " needs a value").c_str());
    if (arg == "--set") {
      const std::string setting = argv[++i];
      const size_t eq = setting.find('=');
      char* end = nullptr;
      const double value =
          eq == std::string::npos ? 0.0 : std::strtod(setting.c_str() + eq + 1, &end);
      if (eq == std::string::npos || end == setting.c_str() + eq + 1 || *end != '\0')
        Usage(("--set needs NAME=VALUE: " + setting).c_str());
      if (!panel.Set(setting.substr(0, eq).c_str(), value))
        Usage(("no parameter named " + setting.substr(0, eq)).c_str());
    } else if (arg == "--program") {
      const int n = Ints(argv[++i], 1, "--program")[0];
      if (!panel.Program(n)) Usage(("no program " + std::to_string(n)).c_str());
    } else if (arg == "--click") {
      const auto v = Ints(argv[++i], 2, "--click");
      panel.Click(v[0], v[1]);
    } else if (arg == "--drag") {
      const auto v = Ints(argv[++i], 4, "--drag");
      panel.Drag(v[0], v[1], v[2], v[3]);
    } else if (arg == "--hover") {
      const auto v = Ints(argv[++i], 2, "--hover");
      panel.Hover(v[0], v[1]);
    } else if (arg == "--process") {
      const int frames = Ints(argv[++i], 1, "--process")[0];
      if (frames < 0) Usage("--process needs a frame count of 0 or more");
      panel.Process(frames);
    } else if (arg.rfind("--", 0) == 0) {
      Usage(("unknown option " + arg).c_str());
    } else if (out) {
      Usage("more than one output file");
    } else {
      out = argv[i];
    }
    panel.Render();
  }
  if (!out) Usage("no output file");
  if (!raster::WritePNGFile(panel.Render(), out)) {
    std::fprintf(stderr, "quillwave-snapshot: cannot write %s\n", out);
    return 1;
  }
  return 0;
}
