#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One --set or --set-normalized request, kept in command-line order.
struct ParameterAssignment {
  std::string name;
  std::string value;  // as typed
  bool normalized = false;
};

enum class SampleEncoding { FollowInput, Pcm16, Pcm24, Float32 };
enum class FileContainer { FollowOutputName, Wav, Aiff, Flac };

struct RenderOptions {
  std::string pluginPath;  // empty: Quillwave.so next to the executable
  std::string inputPath;   // empty with a generated signal
  std::string outputPath;
  std::optional<double> generateSeconds;
  int generateRate = 44100;
  int generateChannels = 2;

  std::vector<ParameterAssignment> assignments;
  std::optional<int> program;
  std::string loadStatePath;
  std::string saveStatePath;
  std::optional<double> tempo;  // beats per minute: a playing transport

  int blockSize = 512;  // fixed size, or the largest random size
  bool randomBlocks = false;
  uint32_t seed = 1;
  int precision = 32;

  SampleEncoding encoding = SampleEncoding::FollowInput;
  FileContainer container = FileContainer::FollowOutputName;

  bool listParams = false;
  bool quiet = false;
  bool help = false;

  // True when audio is to be rendered (as opposed to only listing
  // parameters or saving a state).
  bool Renders() const { return !outputPath.empty(); }
};

// Parses argv[1..]. Throws UsageError with a one-line message.
RenderOptions ParseRenderOptions(int argc, const char* const* argv);

const char* RenderUsage();

// Strict number parsing: the whole text must be one finite decimal number.
bool ParseNumber(const std::string& text, double& out);
