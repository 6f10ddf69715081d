#pragma once

#include "RenderOptions.h"

#include <cstdint>
#include <string>

typedef struct sf_private_tag SNDFILE;

// The formats this tool reads and writes: WAV, AIFF and FLAC containers with
// 16/24-bit integer or 32-bit float samples (float not in FLAC).
struct AudioFormat {
  int sndfileFormat = 0;  // container | sample encoding, libsndfile's word
  int sampleRate = 0;
  int channels = 0;

  std::string Describe() const;  // e.g. "24-bit WAV"
};

// Reads interleaved samples from an audio file. Throws RenderError with a
// message naming the file and the problem.
class SoundFileReader {
 public:
  explicit SoundFileReader(const std::string& path);
  ~SoundFileReader();
  SoundFileReader(const SoundFileReader&) = delete;
  SoundFileReader& operator=(const SoundFileReader&) = delete;

  const AudioFormat& Format() const { return format_; }
  int64_t Frames() const { return frames_; }

  // Fills `frames` interleaved frames; returns the number read (less only at
  // the end of the file). Integer samples arrive scaled to -1..1.
  int64_t Read(float* interleaved, int64_t frames);
  int64_t Read(double* interleaved, int64_t frames);

 private:
  std::string path_;
  SNDFILE* file_ = nullptr;
  AudioFormat format_;
  int64_t frames_ = 0;
};

// Samples an integer output could not hold: how many lay beyond full scale
// (-1..1), and the largest magnitude written.
struct Clipping {
  int64_t samples = 0;
  double peak = 0.0;
};

// Writes interleaved samples to an already open descriptor (the temporary
// file of an AtomicOutput). Samples beyond -1..1 are clipped in integer
// formats, and counted.
class SoundFileWriter {
 public:
  SoundFileWriter(int fd, const std::string& displayName, const AudioFormat& format);
  ~SoundFileWriter();
  SoundFileWriter(const SoundFileWriter&) = delete;
  SoundFileWriter& operator=(const SoundFileWriter&) = delete;

  void Write(const float* interleaved, int64_t frames);
  void Write(const double* interleaved, int64_t frames);
  // Finishes the header and closes the descriptor. Throws on failure.
  void Close();

  // What was clipped so far; always none for float output.
  const Clipping& Clipped() const { return clipped_; }

 private:
  template <typename Sample>
  void CountClipped(const Sample* interleaved, int64_t samples);

  std::string name_;
  SNDFILE* file_ = nullptr;
  int channels_ = 0;
  bool integer_ = false;
  Clipping clipped_;
};

// libsndfile's container word for the output: from --format, else from the
// output name's extension, else the input's. Throws RenderError when the name
// asks for another audio format (.mp3, .ogg, ...).
int OutputContainer(const AudioFormat& input, const std::string& outputPath,
                    FileContainer container);

// The output format: the container from --format, else from the output
// name's extension, else the input's; the samples from --encoding, else the
// input's. Throws RenderError for a combination the container cannot hold.
AudioFormat ChooseOutputFormat(const AudioFormat& input, const std::string& outputPath,
                               FileContainer container, SampleEncoding encoding);
