#include "RenderOptions.h"

#include "RenderError.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseInt(const std::string& text, long long lo, long long hi, long long& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  out = v;
  return true;
}

ParameterAssignment ParseAssignment(const std::string& option, const std::string& text,
                                    bool normalized) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0)
    throw UsageError(option + " expects NAME=VALUE, got '" + text + "'");
  return ParameterAssignment{text.substr(0, eq), text.substr(eq + 1), normalized};
}

}  // namespace

bool ParseNumber(const std::string& text, double& out) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno == ERANGE || *end != '\0' || !std::isfinite(v)) return false;
  out = v;
  return true;
}

const char* RenderUsage() {
  return "usage: quillwave-render [options] INPUT OUTPUT\n"
         "       quillwave-render [options] --generate SECONDS OUTPUT\n"
         "       quillwave-render [options] --list-params | --save-state FILE\n"
         "\n"
         "Renders an audio file (WAV, AIFF or FLAC; 16/24-bit or 32-bit float;\n"
         "mono or stereo) through a VST 2.4 plug-in.\n"
         "\n"
         "  --plugin PATH          plug-in library (default: Quillwave.so beside this program)\n"
         "  --set NAME=VALUE       set a parameter in its own units (repeatable)\n"
         "  --set-normalized NAME=VALUE  set a parameter as 0..1 (repeatable)\n"
         "  --program N            select preset N before any --set\n"
         "  --load-state FILE      restore a state saved with --save-state\n"
         "  --save-state FILE      write the plug-in's state after all settings\n"
         "  --tempo BPM            playing transport at BPM from bar 1 (default: stopped, 120)\n"
         "  --block N|random[:N]   frames per process call (default 512); random sizes\n"
         "                         vary per call up to N (default 1024)\n"
         "  --seed N               seed of the random block sizes (default 1)\n"
         "  --precision 32|64      process path (default 32)\n"
         "  --generate SECONDS     synthesise the input signal instead of reading a file\n"
         "  --rate HZ              sample rate of the generated signal (default 44100)\n"
         "  --channels 1|2         channels of the generated signal (default 2)\n"
         "  --encoding pcm16|pcm24|float  output samples (default: as the input;\n"
         "                         generated: float)\n"
         "  --format wav|aiff|flac output container (default: from the output name,\n"
         "                         else as the input)\n"
         "  --list-params          print index, name, range, default and current value\n"
         "  --quiet                no progress bar and no summary (a warning that\n"
         "                         integer output clipped still shows)\n"
         "  --help                 this text\n";
}

RenderOptions ParseRenderOptions(int argc, const char* const* argv) {
  RenderOptions o;
  std::vector<std::string> positional;

  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.size() < 2 || arg[0] != '-' || arg == "-") {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      for (++i; i < argc; ++i) positional.push_back(argv[i]);
      break;
    }
    std::string name = arg;
    std::optional<std::string> inlineValue;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      inlineValue = arg.substr(eq + 1);
    }
    auto value = [&]() -> std::string {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= argc) throw UsageError(name + " needs a value");
      return argv[++i];
    };
    auto flag = [&]() {
      if (inlineValue) throw UsageError(name + " takes no value");
    };

    if (name == "--help" || name == "-h") {
      flag();
      o.help = true;
    } else if (name == "--quiet" || name == "-q") {
      flag();
      o.quiet = true;
    } else if (name == "--list-params") {
      flag();
      o.listParams = true;
    } else if (name == "--plugin") {
      o.pluginPath = value();
      if (o.pluginPath.empty()) throw UsageError("--plugin needs a path");
    } else if (name == "--set") {
      o.assignments.push_back(ParseAssignment(name, value(), false));
    } else if (name == "--set-normalized") {
      o.assignments.push_back(ParseAssignment(name, value(), true));
    } else if (name == "--program") {
      const std::string v = value();
      long long n = 0;
      if (!ParseInt(v, 0, 1 << 20, n))
        throw UsageError("--program expects a preset number, got '" + v + "'");
      o.program = static_cast<int>(n);
    } else if (name == "--load-state") {
      o.loadStatePath = value();
      if (o.loadStatePath.empty()) throw UsageError("--load-state needs a file name");
    } else if (name == "--save-state") {
      o.saveStatePath = value();
      if (o.saveStatePath.empty()) throw UsageError("--save-state needs a file name");
    } else if (name == "--tempo") {
      const std::string v = value();
      double bpm = 0;
      if (!ParseNumber(v, bpm) || bpm < 1.0 || bpm > 999.0)
        throw UsageError("--tempo expects beats per minute between 1 and 999, got '" + v + "'");
      o.tempo = bpm;
    } else if (name == "--block") {
      const std::string v = value();
      long long n = 0;
      if (v == "random") {
        o.randomBlocks = true;
        o.blockSize = 1024;
      } else if (v.rfind("random:", 0) == 0) {
        if (!ParseInt(v.substr(7), 1, 1 << 20, n))
          throw UsageError("--block random:N expects a largest size between 1 and 1048576, got '" +
                           v + "'");
        o.randomBlocks = true;
        o.blockSize = static_cast<int>(n);
      } else if (ParseInt(v, 1, 1 << 20, n)) {
        o.randomBlocks = false;
        o.blockSize = static_cast<int>(n);
      } else {
        throw UsageError("--block expects a size between 1 and 1048576 or 'random', got '" + v +
                         "'");
      }
    } else if (name == "--seed") {
      const std::string v = value();
      long long n = 0;
      if (!ParseInt(v, 0, 0xffffffffLL, n))
        throw UsageError("--seed expects a whole number, got '" + v + "'");
      o.seed = static_cast<uint32_t>(n);
    } else if (name == "--precision") {
      const std::string v = value();
      if (v == "32")
        o.precision = 32;
      else if (v == "64")
        o.precision = 64;
      else
        throw UsageError("--precision expects 32 or 64, got '" + v + "'");
    } else if (name == "--generate") {
      const std::string v = value();
      double s = 0;
      if (!ParseNumber(v, s) || s <= 0 || s > 24 * 3600)
        throw UsageError("--generate expects a duration in seconds, got '" + v + "'");
      o.generateSeconds = s;
    } else if (name == "--rate") {
      const std::string v = value();
      long long n = 0;
      if (!ParseInt(v, 8000, 768000, n))
        throw UsageError("--rate expects a sample rate between 8000 and 768000, got '" + v + "'");
      o.generateRate = static_cast<int>(n);
    } else if (name == "--channels") {
      const std::string v = value();
      long long n = 0;
      if (!ParseInt(v, 1, 2, n)) throw UsageError("--channels expects 1 or 2, got '" + v + "'");
      o.generateChannels = static_cast<int>(n);
    } else if (name == "--encoding") {
      const std::string v = value();
      if (v == "pcm16")
        o.encoding = SampleEncoding::Pcm16;
      else if (v == "pcm24")
        o.encoding = SampleEncoding::Pcm24;
      else if (v == "float")
        o.encoding = SampleEncoding::Float32;
      else
        throw UsageError("--encoding expects pcm16, pcm24 or float, got '" + v + "'");
    } else if (name == "--format") {
      const std::string v = value();
      if (v == "wav")
        o.container = FileContainer::Wav;
      else if (v == "aiff")
        o.container = FileContainer::Aiff;
      else if (v == "flac")
        o.container = FileContainer::Flac;
      else
        throw UsageError("--format expects wav, aiff or flac, got '" + v + "'");
    } else {
      throw UsageError("unknown option '" + name + "'");
    }
  }
  if (o.help) return o;

  const bool standalone = o.listParams || !o.saveStatePath.empty();
  if (o.generateSeconds) {
    if (positional.size() == 1)
      o.outputPath = positional[0];
    else if (positional.size() > 1)
      throw UsageError("with --generate give only the output file");
    else
      throw UsageError("--generate needs an output file");
  } else if (positional.size() == 2) {
    o.inputPath = positional[0];
    o.outputPath = positional[1];
  } else if (positional.size() == 1) {
    throw UsageError("missing output file after '" + positional[0] + "'");
  } else if (positional.size() > 2) {
    throw UsageError("too many file names: '" + positional[2] + "'");
  } else if (!standalone) {
    throw UsageError("missing input and output files");
  }
  return o;
}
