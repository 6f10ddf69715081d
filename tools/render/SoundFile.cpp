#include "SoundFile.h"

#include "RenderError.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SupportedContainer(int major) {
  return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_AIFF ||
         major == SF_FORMAT_FLAC;
}

bool SupportedEncoding(int subtype) {
  return subtype == SF_FORMAT_PCM_16 || subtype == SF_FORMAT_PCM_24 || subtype == SF_FORMAT_FLOAT;
}

std::string SubtypeName(int subtype) {
  SF_FORMAT_INFO info{};
  info.format = subtype;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
    return info.name;
  return "unknown";
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string Extension(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot + 1));
}

// 0 when the name does not say.
int ContainerFromName(const std::string& path) {
  const std::string ext = Extension(path);
  if (ext == "wav" || ext == "wave") return SF_FORMAT_WAV;
  if (ext == "aif" || ext == "aiff" || ext == "aifc") return SF_FORMAT_AIFF;
  if (ext == "flac") return SF_FORMAT_FLAC;
  return 0;
}

// Names of audio files this tool does not write: following the input there
// would put, say, WAV data in a file called .mp3.
bool OtherAudioExtension(const std::string& ext) {
  static const char* const kOther[] = {"mp3", "ogg", "oga", "opus", "m4a",  "mp4", "aac", "wma",
                                       "au",  "snd", "caf", "w64",  "rf64", "raw", "pcm", "mka"};
  for (const char* e : kOther)
    if (ext == e) return true;
  return false;
}

}  // namespace

std::string AudioFormat::Describe() const {
  std::string enc;
  switch (sndfileFormat & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_16:
      enc = "16-bit";
      break;
    case SF_FORMAT_PCM_24:
      enc = "24-bit";
      break;
    case SF_FORMAT_FLOAT:
      enc = "32-bit float";
      break;
    default:
      enc = SubtypeName(sndfileFormat & SF_FORMAT_SUBMASK);
      break;
  }
  switch (sndfileFormat & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
      return enc + " WAV";
    case SF_FORMAT_AIFF:
      return enc + " AIFF";
    case SF_FORMAT_FLAC:
      return enc + " FLAC";
    default:
      return enc;
  }
}

SoundFileReader::SoundFileReader(const std::string& path) : path_(path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    throw RenderError("cannot open input '" + path + "': " + std::strerror(errno));
  if (S_ISDIR(st.st_mode)) throw RenderError("input '" + path + "' is a directory");
  if (access(path.c_str(), R_OK) != 0)
    throw RenderError("cannot read input '" + path + "': " + std::strerror(errno));

  SF_INFO info{};
  file_ = sf_open(path.c_str(), SFM_READ, &info);
  if (!file_)
    throw RenderError("input '" + path + "' is not a readable audio file (" + sf_strerror(nullptr) +
                      ")");
  const int major = info.format & SF_FORMAT_TYPEMASK;
  const int subtype = info.format & SF_FORMAT_SUBMASK;
  if (!SupportedContainer(major)) {
    SF_FORMAT_INFO fi{};
    fi.format = major;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &fi, sizeof fi);
    sf_close(file_);
    file_ = nullptr;
    throw RenderError("input '" + path + "': unsupported file type " +
                      (fi.name ? fi.name : "(unknown)") + " (supported: WAV, AIFF, FLAC)");
  }
  if (!SupportedEncoding(subtype)) {
    sf_close(file_);
    file_ = nullptr;
    throw RenderError("input '" + path + "': unsupported sample format " + SubtypeName(subtype) +
                      " (supported: 16-bit, 24-bit, 32-bit float)");
  }
  format_ = AudioFormat{info.format, info.samplerate, info.channels};
  frames_ = info.frames;
}

SoundFileReader::~SoundFileReader() {
  if (file_) sf_close(file_);
}

int64_t SoundFileReader::Read(float* interleaved, int64_t frames) {
  const sf_count_t n = sf_readf_float(file_, interleaved, frames);
  if (n < frames && sf_error(file_) != SF_ERR_NO_ERROR)
    throw RenderError("cannot read input '" + path_ + "': " + sf_strerror(file_));
  return n;
}

int64_t SoundFileReader::Read(double* interleaved, int64_t frames) {
  const sf_count_t n = sf_readf_double(file_, interleaved, frames);
  if (n < frames && sf_error(file_) != SF_ERR_NO_ERROR)
    throw RenderError("cannot read input '" + path_ + "': " + sf_strerror(file_));
  return n;
}

SoundFileWriter::SoundFileWriter(int fd, const std::string& displayName, const AudioFormat& format)
    : name_(displayName) {
  SF_INFO info{};
  info.samplerate = format.sampleRate;
  info.channels = format.channels;
  info.format = format.sndfileFormat;
  if (!sf_format_check(&info)) {
    close(fd);
    throw RenderError("output '" + name_ + "': " + format.Describe() + " is not a valid format");
  }
  file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!file_) {
    close(fd);
    throw RenderError("cannot write output '" + name_ + "': " + sf_strerror(nullptr));
  }
  sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  channels_ = format.channels;
  integer_ = (format.sndfileFormat & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT;
}

SoundFileWriter::~SoundFileWriter() {
  if (file_) sf_close(file_);
}

template <typename Sample>
void SoundFileWriter::CountClipped(const Sample* interleaved, int64_t samples) {
  // Counted here, before libsndfile converts: afterwards a clipped sample
  // cannot be told from one that was exactly at full scale.
  int64_t count = 0;
  double peak = clipped_.peak;
  for (int64_t i = 0; i < samples; ++i) {
    const double a = std::fabs(static_cast<double>(interleaved[i]));
    count += a > 1.0;
    peak = a > peak ? a : peak;
  }
  clipped_.samples += count;
  clipped_.peak = peak;
}

void SoundFileWriter::Write(const float* interleaved, int64_t frames) {
  if (integer_) CountClipped(interleaved, frames * channels_);
  if (sf_writef_float(file_, interleaved, frames) != frames)
    throw RenderError("cannot write output '" + name_ + "': " + sf_strerror(file_));
}

void SoundFileWriter::Write(const double* interleaved, int64_t frames) {
  if (integer_) CountClipped(interleaved, frames * channels_);
  if (sf_writef_double(file_, interleaved, frames) != frames)
    throw RenderError("cannot write output '" + name_ + "': " + sf_strerror(file_));
}

void SoundFileWriter::Close() {
  if (!file_) return;
  sf_write_sync(file_);
  const int err = sf_error(file_);
  const std::string text = sf_strerror(file_);
  const int rc = sf_close(file_);
  file_ = nullptr;
  if (err != SF_ERR_NO_ERROR || rc != 0)
    throw RenderError("cannot write output '" + name_ + "': " + text);
}

int OutputContainer(const AudioFormat& input, const std::string& outputPath,
                    FileContainer container) {
  int major = 0;
  switch (container) {
    case FileContainer::Wav:
      major = SF_FORMAT_WAV;
      break;
    case FileContainer::Aiff:
      major = SF_FORMAT_AIFF;
      break;
    case FileContainer::Flac:
      major = SF_FORMAT_FLAC;
      break;
    case FileContainer::FollowOutputName:
      major = ContainerFromName(outputPath);
      if (!major && OtherAudioExtension(Extension(outputPath)))
        throw RenderError("output '" + outputPath + "': cannot write ." + Extension(outputPath) +
                          " files (supported: WAV, AIFF, FLAC; --format chooses one)");
      break;
  }
  return major ? major : input.sndfileFormat & SF_FORMAT_TYPEMASK;
}

AudioFormat ChooseOutputFormat(const AudioFormat& input, const std::string& outputPath,
                               FileContainer container, SampleEncoding encoding) {
  const int major = OutputContainer(input, outputPath, container);

  int subtype = 0;
  switch (encoding) {
    case SampleEncoding::Pcm16:
      subtype = SF_FORMAT_PCM_16;
      break;
    case SampleEncoding::Pcm24:
      subtype = SF_FORMAT_PCM_24;
      break;
    case SampleEncoding::Float32:
      subtype = SF_FORMAT_FLOAT;
      break;
    case SampleEncoding::FollowInput:
      subtype = input.sndfileFormat & SF_FORMAT_SUBMASK;
      break;
  }
  if (major == SF_FORMAT_FLAC && subtype == SF_FORMAT_FLOAT)
    throw RenderError("output '" + outputPath +
                      "': FLAC cannot hold 32-bit float samples; use --encoding pcm16 or pcm24");
  return AudioFormat{major | subtype, input.sampleRate, input.channels};
}
