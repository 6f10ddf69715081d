#include "RenderSession.h"

#include "AtomicOutput.h"
#include "HostTransport.h"
#include "ParameterTable.h"
#include "PluginInstance.h"
#include "PluginLibrary.h"
#include "ProgressBar.h"
#include "RenderError.h"
#include "SignalMeter.h"
#include "SoundFile.h"
#include "TestSignal.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <sndfile.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void OnSignal(int) { gInterrupted = 1; }

// Inputs longer than this get a progress bar.
constexpr double kProgressSeconds = 5.0;
constexpr int64_t kChunkFrames = 65536;

std::vector<uint8_t> ReadStateFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw RenderError("cannot read state file '" + path + "': " + std::strerror(errno));
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) throw RenderError("cannot read state file '" + path + "'");
  if (bytes.empty()) throw RenderError("state file '" + path + "' is empty");
  return bytes;
}

vst::VstSpeakerArrangement Arrangement(int channels) {
  vst::VstSpeakerArrangement a{};
  a.type = channels == 1 ? vst::kSpeakerArrMono : vst::kSpeakerArrStereo;
  a.numChannels = channels;
  if (channels == 1) {
    a.speakers[0].type = vst::kSpeakerM;
    std::strcpy(a.speakers[0].name, "M");
  } else {
    a.speakers[0].type = vst::kSpeakerL;
    std::strcpy(a.speakers[0].name, "L");
    a.speakers[1].type = vst::kSpeakerR;
    std::strcpy(a.speakers[1].name, "R");
  }
  return a;
}

// The audio source: a file or the synthetic signal.
class Source {
 public:
  explicit Source(const RenderOptions& o) {
    if (o.generateSeconds) {
      format_ = AudioFormat{SF_FORMAT_WAV | SF_FORMAT_FLOAT, o.generateRate, o.generateChannels};
      frames_ = static_cast<int64_t>(*o.generateSeconds * o.generateRate + 0.5);
      if (frames_ < 1) throw RenderError("--generate: shorter than one sample at this rate");
      signal_.emplace(o.generateRate, o.generateChannels);
    } else {
      reader_ = std::make_unique<SoundFileReader>(o.inputPath);
      format_ = reader_->Format();
      frames_ = reader_->Frames();
    }
  }
  const AudioFormat& Format() const { return format_; }
  int64_t Frames() const { return frames_; }

  int64_t Read(float* interleaved, int64_t frames) {
    if (reader_) return reader_->Read(interleaved, frames);
    const int64_t n = std::min(frames, frames_ - generated_);
    signal_->Render(interleaved, n);
    generated_ += n;
    return n;
  }
  int64_t Read(double* interleaved, int64_t frames) {
    if (reader_) return reader_->Read(interleaved, frames);
    scratch_.resize(static_cast<size_t>(frames * format_.channels));
    const int64_t n = Read(scratch_.data(), frames);
    std::copy_n(scratch_.data(), n * format_.channels, interleaved);
    return n;
  }

 private:
  AudioFormat format_;
  int64_t frames_ = 0;
  std::unique_ptr<SoundFileReader> reader_;
  std::optional<TestSignal> signal_;
  int64_t generated_ = 0;
  std::vector<float> scratch_;
};

struct RenderResult {
  int64_t frames = 0;
  int64_t blocks = 0;
  SignalMeter in, out;
};

template <typename Sample>
void Deinterleave(const Sample* from, std::vector<std::vector<Sample>>& to, int channels,
                  int64_t n) {
  if (channels == 1) {
    std::copy_n(from, n, to[0].data());
    return;
  }
  Sample* __restrict l = to[0].data();
  Sample* __restrict r = to[1].data();
  for (int64_t i = 0; i < n; ++i) {
    l[i] = from[2 * i];
    r[i] = from[2 * i + 1];
  }
}

template <typename Sample>
void Interleave(const std::vector<std::vector<Sample>>& from, Sample* to, int channels, int64_t n) {
  if (channels == 1) {
    std::copy_n(from[0].data(), n, to);
    return;
  }
  const Sample* __restrict l = from[0].data();
  const Sample* __restrict r = from[1].data();
  for (int64_t i = 0; i < n; ++i) {
    to[2 * i] = l[i];
    to[2 * i + 1] = r[i];
  }
}

// Streams the source through the plug-in into the writer in chunks, each cut
// into process calls of the fixed or random block size.
template <typename Sample>
RenderResult RenderStream(Source& source, SoundFileWriter& writer, PluginInstance& plugin,
                          const RenderOptions& o, ProgressBar& progress) {
  const int channels = source.Format().channels;
  const int maxBlock = o.blockSize;
  const int64_t chunk = o.randomBlocks ? std::max<int64_t>(kChunkFrames, maxBlock)
                                       : maxBlock * ((kChunkFrames + maxBlock - 1) / maxBlock);
  const size_t chunkSize = static_cast<size_t>(chunk);

  std::vector<Sample> interleaved(chunkSize * channels);
  std::vector<std::vector<Sample>> in(channels, std::vector<Sample>(chunkSize));
  std::vector<std::vector<Sample>> out(channels, std::vector<Sample>(chunkSize));
  // Pins the plug-in declares beyond the file's channels read silence and
  // write into a discarded buffer.
  const int inPins = std::max(plugin.Effect().numInputs, channels);
  const int outPins = std::max(plugin.Effect().numOutputs, channels);
  std::vector<Sample> silence(static_cast<size_t>(maxBlock), Sample(0));
  std::vector<Sample> discard(static_cast<size_t>(maxBlock));
  std::vector<Sample*> inPtrs(inPins, silence.data());
  std::vector<Sample*> outPtrs(outPins, discard.data());

  std::mt19937 rng(o.seed);
  std::uniform_int_distribution<int> sizes(1, maxBlock);

  RenderResult r;
  for (;;) {
    if (gInterrupted) throw RenderError("interrupted");
    const int64_t n = source.Read(interleaved.data(), chunk);
    if (n <= 0) break;
    Deinterleave(interleaved.data(), in, channels, n);

    for (int64_t pos = 0; pos < n;) {
      const int want = o.randomBlocks ? sizes(rng) : maxBlock;
      const int frames = static_cast<int>(std::min<int64_t>(want, n - pos));
      for (int c = 0; c < channels; ++c) {
        inPtrs[c] = in[c].data() + pos;
        outPtrs[c] = out[c].data() + pos;
      }
      if (inPins > channels) std::fill_n(silence.data(), frames, Sample(0));
      plugin.Process(inPtrs.data(), outPtrs.data(), frames);
      pos += frames;
      ++r.blocks;
    }

    std::vector<const Sample*> inView, outView;
    for (int c = 0; c < channels; ++c) {
      inView.push_back(in[c].data());
      outView.push_back(out[c].data());
    }
    r.in.Add(inView.data(), channels, static_cast<int>(n));
    r.out.Add(outView.data(), channels, static_cast<int>(n));

    Interleave(out, interleaved.data(), channels, n);
    writer.Write(interleaved.data(), n);
    r.frames += n;
    progress.Update(r.frames);
    if (n < chunk) break;
  }
  return r;
}

std::string Db(double linear) {
  const double db = SignalMeter::Decibels(linear);
  if (!std::isfinite(db)) return "-inf dBFS";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f dBFS", db);
  return buf;
}

// Integer output holds nothing beyond full scale: say how much was lost and
// how to keep it, on stderr so that it shows with --quiet too.
void ReportClipping(const Clipping& clipped, const AudioFormat& format) {
  if (clipped.samples == 0) return;
  const bool flac = (format.sndfileFormat & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC;
  const char* remedy = flac ? "FLAC has no float samples: write WAV or AIFF with --encoding float"
                            : "write 32-bit float with --encoding float";
  std::fflush(stdout);
  std::fprintf(stderr,
               "quillwave-render: warning: %lld sample%s clipped in the %s output "
               "(peak %+.1f dBFS, %.3f linear); %s to keep them\n",
               static_cast<long long>(clipped.samples), clipped.samples == 1 ? "" : "s",
               format.Describe().c_str(), SignalMeter::Decibels(clipped.peak), clipped.peak,
               remedy);
}

}  // namespace

void RenderSession::InstallInterruptHandler() {
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

RenderSession::RenderSession(const RenderOptions& options,
                             std::chrono::steady_clock::time_point started)
    : options_(options), started_(started) {}

void RenderSession::Run() {
  const RenderOptions& o = options_;

  // Everything about the files is checked before the plug-in is loaded.
  std::optional<Source> source;
  AudioFormat outFormat;
  if (o.Renders()) {
    if (!o.inputPath.empty() && SameFile(o.inputPath, o.outputPath))
      throw RenderError("input and output are the same file ('" + o.outputPath + "')");
    source.emplace(o);
    const AudioFormat& f = source->Format();
    if (f.channels < 1 || f.channels > 2)
      throw RenderError("input '" + o.inputPath + "' has " + std::to_string(f.channels) +
                        " channels; only mono and stereo are supported");
    // The generated signal is float; into FLAC, which has no float
    // samples, it goes as 24-bit unless told otherwise.
    SampleEncoding encoding = o.encoding;
    if (o.generateSeconds && encoding == SampleEncoding::FollowInput &&
        OutputContainer(f, o.outputPath, o.container) == SF_FORMAT_FLAC)
      encoding = SampleEncoding::Pcm24;
    outFormat = ChooseOutputFormat(f, o.outputPath, o.container, encoding);
  }
  if (!o.saveStatePath.empty()) {
    if (!o.inputPath.empty() && SameFile(o.inputPath, o.saveStatePath))
      throw RenderError("--save-state would overwrite the input '" + o.inputPath + "'");
    if (o.Renders() && SameFile(o.saveStatePath, o.outputPath))
      throw RenderError("--save-state and the output name the same file ('" + o.outputPath + "')");
  }
  if (!o.loadStatePath.empty() && o.Renders() && SameFile(o.loadStatePath, o.outputPath))
    throw RenderError("the output would overwrite the state file '" + o.loadStatePath + "'");
  std::vector<uint8_t> loadedState;
  if (!o.loadStatePath.empty()) loadedState = ReadStateFile(o.loadStatePath);
  // Created now so that a state that cannot be written fails the run before
  // any output exists.
  std::optional<AtomicOutput> stateOutput;
  if (!o.saveStatePath.empty()) stateOutput.emplace(o.saveStatePath);

  const double rate = source ? source->Format().sampleRate : 44100.0;
  const int channels = source ? source->Format().channels : 2;

  const PluginLibrary library(o.pluginPath.empty() ? PluginLibrary::DefaultPath() : o.pluginPath);
  std::optional<ParameterTable> table;
  if (o.listParams || !o.assignments.empty()) table.emplace(library, rate, o.blockSize);

  HostTransport transport(rate, o.tempo);
  PluginInstance plugin(library, rate, o.blockSize, &transport);
  vst::AEffect& fx = plugin.Effect();
  plugin.SetStreamFormat(rate, o.blockSize);

  if (source) {
    if (fx.numInputs < channels || fx.numOutputs < channels)
      throw RenderError("plug-in has " + std::to_string(fx.numInputs) + " inputs and " +
                        std::to_string(fx.numOutputs) + " outputs; cannot process " +
                        std::to_string(channels) + " channels");
    if (fx.numInputs != channels || fx.numOutputs != channels) {
      vst::VstSpeakerArrangement inArr = Arrangement(channels), outArr = Arrangement(channels);
      if (plugin.Dispatch(vst::effSetSpeakerArrangement, 0,
                          reinterpret_cast<vst::VstIntPtr>(&inArr), &outArr) == 0)
        throw RenderError("plug-in does not accept " +
                          std::string(channels == 1 ? "mono" : "stereo") + " audio");
    }
    if (o.precision == 64) {
      if (!(fx.flags & vst::effFlagsCanDoubleReplacing) || !fx.processDoubleReplacing)
        throw RenderError("plug-in has no 64-bit process call");
    } else if (!(fx.flags & vst::effFlagsCanReplacing) || !fx.processReplacing) {
      throw RenderError("plug-in has no 32-bit replacing process call");
    }
    plugin.Dispatch(vst::effSetProcessPrecision, 0,
                    o.precision == 64 ? vst::kVstProcessPrecision64 : vst::kVstProcessPrecision32);
  }

  if (o.program) {
    if (*o.program >= plugin.NumPrograms())
      throw RenderError(
          "program " + std::to_string(*o.program) + " does not exist (the plug-in has " +
          (plugin.NumPrograms() > 0 ? "programs 0 .. " + std::to_string(plugin.NumPrograms() - 1)
                                    : std::string("none")) +
          ")");
    plugin.Dispatch(vst::effSetProgram, 0, *o.program);
  }
  if (!loadedState.empty() && !plugin.SetProgramChunk(loadedState))
    throw RenderError("plug-in refused the state in '" + o.loadStatePath + "'");
  for (const auto& a : o.assignments) table->Apply(plugin, a);

  if (o.listParams) table->Print(plugin, stdout);

  std::vector<uint8_t> savedState;
  if (!o.saveStatePath.empty()) {
    savedState = plugin.GetProgramChunk();
    if (savedState.empty()) throw RenderError("plug-in gave no state to save");
  }

  std::optional<RenderResult> result;
  std::optional<AtomicOutput> output;
  Clipping clipped;
  if (source) {
    output.emplace(o.outputPath);
    SoundFileWriter writer(output->ReleaseDescriptor(), o.outputPath, outFormat);
    const double seconds = static_cast<double>(source->Frames()) / rate;
    ProgressBar progress(stderr, source->Frames(), rate,
                         !o.quiet && seconds > kProgressSeconds && isatty(STDERR_FILENO));
    plugin.Resume();
    result = o.precision == 64 ? RenderStream<double>(*source, writer, plugin, o, progress)
                               : RenderStream<float>(*source, writer, plugin, o, progress);
    plugin.Suspend();
    progress.Finish();
    writer.Close();
    clipped = writer.Clipped();
  }

  // Both files are complete before either is moved into place.
  if (stateOutput) stateOutput->WriteAll(savedState.data(), savedState.size());
  if (output) output->Commit();
  if (stateOutput) stateOutput->Commit();

  if (!result) return;
  if (o.quiet) {
    ReportClipping(clipped, outFormat);
    return;
  }
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  const double duration = static_cast<double>(result->frames) / rate;
  const double pluginSeconds = plugin.ProcessSeconds();
  std::printf("rendered  %s -> %s\n", o.generateSeconds ? "(test signal)" : o.inputPath.c_str(),
              o.outputPath.c_str());
  std::printf("duration  %.3f s  (%lld frames, %d ch, %d Hz, %s)\n", duration,
              static_cast<long long>(result->frames), channels, static_cast<int>(rate),
              outFormat.Describe().c_str());
  if (o.randomBlocks)
    std::printf("blocks    %lld (random sizes 1..%d, %d-bit process)\n",
                static_cast<long long>(result->blocks), o.blockSize, o.precision);
  else
    std::printf("blocks    %lld (%d frames, %d-bit process)\n",
                static_cast<long long>(result->blocks), o.blockSize, o.precision);
  std::printf("peak      in %s   out %s\n", Db(result->in.Peak()).c_str(),
              Db(result->out.Peak()).c_str());
  std::printf("rms       in %s   out %s\n", Db(result->in.Rms()).c_str(),
              Db(result->out.Rms()).c_str());
  std::printf("speed     plug-in %.0fx real time, whole run %.0fx real time\n",
              pluginSeconds > 0 ? duration / pluginSeconds : 0.0,
              elapsed > 0 ? duration / elapsed : 0.0);
  ReportClipping(clipped, outFormat);
}
