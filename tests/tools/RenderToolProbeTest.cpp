// quillwave-render end to end against a small probe plug-in whose output
// shows what the host did (gain, block sizes, transport).

#include "ToolHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sndfile.h>
#include <unistd.h>

using namespace qwtools;

namespace {

const std::string kProbe = QW_PROBE_PLUGIN;

std::vector<std::string> WithProbe(std::vector<std::string> args) {
  args.insert(args.begin(), {"--plugin", kProbe, "--quiet"});
  return args;
}

void ExpectScaled(const Audio& in, const Audio& out, double gain, double tolerance) {
  ASSERT_EQ(out.channels, in.channels);
  ASSERT_EQ(out.rate, in.rate);
  ASSERT_EQ(out.samples.size(), in.samples.size());
  for (size_t i = 0; i < in.samples.size(); ++i)
    ASSERT_NEAR(out.samples[i], static_cast<float>(in.samples[i] * gain), tolerance)
        << "sample " << i;
}

TEST(RenderToolProbe, KeepsTheInputFormatAndAppliesTheSetting) {
  struct Case {
    const char* name;
    int format;
    double tolerance;
  };
  const Case cases[] = {
      {"f.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0.0},
      {"i16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.5 / 32768},
      {"i24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1.5 / 8388608},
      {"i24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1.5 / 8388608},
      {"f.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 0.0},
      {"i16.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1.5 / 32768},
      {"i24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1.5 / 8388608},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    WriteAudio(dir.Path(c.name), MakeInput(2, 48000, 5000, c.format));
    const Audio in = ReadAudio(dir.Path(c.name));
    const ToolRun run = RunTool(
        WithProbe({"--set", "Gain=0.5", dir.Path(c.name), dir.Path(std::string("out-") + c.name)}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Audio out = ReadAudio(dir.Path(std::string("out-") + c.name));
    EXPECT_EQ(out.format, in.format);
    ExpectScaled(in, out, 0.5, c.tolerance);
  }
}

TEST(RenderToolProbe, OutputFormatFromNameAndEncoding) {
  ScratchDir dir;
  WriteAudio(dir.Path("in.wav"), MakeInput(2, 44100, 3000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  ToolRun run =
      RunTool(WithProbe({"--encoding", "pcm16", dir.Path("in.wav"), dir.Path("out.flac")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadAudio(dir.Path("out.flac")).format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);

  run = RunTool(WithProbe({"--format", "aiff", dir.Path("in.wav"), dir.Path("out.snd")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadAudio(dir.Path("out.snd")).format, SF_FORMAT_AIFF | SF_FORMAT_FLOAT);

  // Float samples have no FLAC encoding: refused before anything is written.
  run = RunTool(WithProbe({dir.Path("in.wav"), dir.Path("bad.flac")}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("FLAC cannot hold 32-bit float"), std::string::npos) << run.err;
  EXPECT_EQ(access(dir.Path("bad.flac").c_str(), F_OK), -1);
  // The generated signal has no file format of its own: 24-bit in FLAC.
  run = RunTool(WithProbe({"--generate", "0.1", dir.Path("gen.flac")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadAudio(dir.Path("gen.flac")).format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
}

TEST(RenderToolProbe, MonoAndBothPrecisionsAndRandomBlocks) {
  ScratchDir dir;
  WriteAudio(dir.Path("mono.wav"), MakeInput(1, 44100, 20000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  WriteAudio(dir.Path("stereo.wav"), MakeInput(2, 44100, 20000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  const Audio mono = ReadAudio(dir.Path("mono.wav"));
  const Audio stereo = ReadAudio(dir.Path("stereo.wav"));

  // The probe aborts on a call larger than the announced block size, and
  // the gain shows every frame went through exactly once.
  for (const char* precision : {"32", "64"}) {
    for (const char* block : {"1", "333", "random", "random:17"}) {
      SCOPED_TRACE(std::string(precision) + " / " + block);
      ToolRun run = RunTool(WithProbe({"--precision", precision, "--block", block, "--set",
                                       "Gain=1.5", dir.Path("mono.wav"), dir.Path("m.wav")}));
      ASSERT_EQ(run.exitCode, 0) << run.err;
      ExpectScaled(mono, ReadAudio(dir.Path("m.wav")), 1.5, 0.0);
      run = RunTool(WithProbe({"--precision", precision, "--block", block, "--set", "Gain=0.25",
                               dir.Path("stereo.wav"), dir.Path("s.wav")}));
      ASSERT_EQ(run.exitCode, 0) << run.err;
      ExpectScaled(stereo, ReadAudio(dir.Path("s.wav")), 0.25, 0.0);
    }
  }
}

TEST(RenderToolProbe, TransportPlaysFromBarOneAtTheTempo) {
  ScratchDir dir;
  // 441-frame blocks at 44.1 kHz and 120 BPM: each block starts 0.02
  // quarter notes after the previous one. The first block is told the
  // transport has just started, though the probe read it on activation.
  ToolRun run = RunTool(WithProbe({"--set", "Probe=On", "--tempo", "120", "--block", "441",
                                   "--generate", "1", dir.Path("t.wav")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Audio out = ReadAudio(dir.Path("t.wav"));
  ASSERT_EQ(out.Frames(), 44100u);
  for (size_t block = 0; block < 100; ++block) {
    const size_t frame = block * 441;
    ASSERT_NEAR(out.samples[frame * 2], 0.02 * block / 1000.0, 1e-7) << "block " << block;
    ASSERT_NEAR(out.samples[(frame + 10) * 2], 0.02 * block / 1000.0 + 10e-6, 1e-7);
    ASSERT_NEAR(out.samples[frame * 2 + 1], block == 0 ? 1.12 : 0.12, 1e-7) << "block " << block;
  }

  // Without --tempo the transport is stopped.
  run = RunTool(WithProbe({"--set", "Probe=On", "--generate", "0.1", dir.Path("s.wav")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Audio stopped = ReadAudio(dir.Path("s.wav"));
  EXPECT_EQ(stopped.samples[1], 1.0f);
  EXPECT_EQ(stopped.samples[600 * 2 + 1], 0.0f);
}

TEST(RenderToolProbe, AnswersTheStreamFormatFromTheFirstRequest) {
  // The probe asks for the sample rate and block size while it opens,
  // before the host has sent them.
  ScratchDir dir;
  const ToolRun run = RunTool(WithProbe({"--list-params", "--rate", "48000", "--block", "300",
                                         "--generate", "0.01", dir.Path("g.wav")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const auto row = run.out.find("    2  Seen");
  ASSERT_NE(row, std::string::npos) << run.out;
  const std::string line = run.out.substr(row, run.out.find('\n', row) - row);
  EXPECT_EQ(line.substr(line.size() - 10), " 48000/300") << line;
}

TEST(RenderToolProbe, SavedStateRestoresTheSettings) {
  ScratchDir dir;
  WriteAudio(dir.Path("in.wav"), MakeInput(2, 44100, 4000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  const Audio in = ReadAudio(dir.Path("in.wav"));
  ToolRun run = RunTool(WithProbe({"--set", "Gain=0.5", "--save-state", dir.Path("s.state")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  run = RunTool(
      WithProbe({"--load-state", dir.Path("s.state"), dir.Path("in.wav"), dir.Path("out.wav")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ExpectScaled(in, ReadAudio(dir.Path("out.wav")), 0.5, 0.0);
  // The state is the plug-in's own bytes: a garbled one is refused.
  std::ofstream(dir.Path("bad.state")) << "xyz";
  run = RunTool(
      WithProbe({"--load-state", dir.Path("bad.state"), dir.Path("in.wav"), dir.Path("o2.wav")}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("refused the state"), std::string::npos) << run.err;
}

TEST(RenderToolProbe, ListsParametersWithRangeDefaultAndCurrentValue) {
  const ToolRun run = RunTool(WithProbe({"--set", "Gain=0.7", "--list-params"}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("0  Gain   0.00 .. 2.00            1.00        0.70"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("1  Probe  Off .. On"), std::string::npos) << run.out;
}

TEST(RenderToolProbe, SummaryReportsLevelsAndSpeed) {
  ScratchDir dir;
  const ToolRun run =
      RunTool({"--plugin", kProbe, "--set", "Gain=0.5", "--generate", "1", dir.Path("g.wav")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Audio out = ReadAudio(dir.Path("g.wav"));
  double peak = 0;
  for (float s : out.samples) peak = std::max(peak, static_cast<double>(std::fabs(s)));
  char expected[64];
  std::snprintf(expected, sizeof expected, "out %.1f dBFS", 20 * std::log10(peak));
  EXPECT_NE(run.out.find("duration  1.000 s  (44100 frames, 2 ch, 44100 Hz, 32-bit float WAV)"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("blocks    87 (512 frames, 32-bit process)"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("speed     plug-in "), std::string::npos) << run.out;
}

// Integer output that clipped is still a result (exit 0), but the run says
// how many samples were lost, how loud they were and how to keep them;
// float output holds them and says nothing.
TEST(RenderToolProbe, ReportsClippedIntegerOutput) {
  ScratchDir dir;
  const std::string in = dir.Path("in.wav");
  WriteAudio(in, MakeInput(2, 44100, 20000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));

  ToolRun run = RunTool(WithProbe({"--set", "Gain=2", in, dir.Path("float.wav")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // The float file keeps what the plug-in produced: the reference.
  const Audio full = ReadAudio(dir.Path("float.wav"));
  long long beyond = 0;
  double peak = 0;
  for (float s : full.samples) {
    beyond += std::fabs(s) > 1.0f;
    peak = std::max(peak, static_cast<double>(std::fabs(s)));
  }
  ASSERT_GT(beyond, 0);
  ASSERT_LT(beyond, static_cast<long long>(full.samples.size()) / 4);
  char levels[96];
  std::snprintf(levels, sizeof levels, "(peak %+.1f dBFS, %.3f linear)", 20 * std::log10(peak),
                peak);
  const std::string count = std::to_string(beyond) + " samples clipped in the ";

  struct Case {
    std::vector<std::string> args;
    const char* format;
    const char* remedy;
  };
  const Case cases[] = {
      {{"--encoding", "pcm16", in, dir.Path("i16.wav")}, "16-bit WAV", "--encoding float"},
      {{"--encoding", "pcm24", "--precision", "64", in, dir.Path("i24.aiff")}, "24-bit AIFF",
       "--encoding float"},
      {{"--encoding", "pcm16", in, dir.Path("i16.flac")}, "16-bit FLAC",
       "write WAV or AIFF with --encoding float"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    std::vector<std::string> args{"--plugin", kProbe, "--set", "Gain=2"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    run = RunTool(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string expected = "quillwave-render: warning: " + count + c.format + " output " +
                                 levels;
    EXPECT_EQ(run.err.rfind(expected, 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.remedy), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    // After the summary.
    EXPECT_NE(run.out.find("speed     "), std::string::npos) << run.out;
  }

  // With --quiet the summary goes, the warning stays.
  run = RunTool(WithProbe({"--set", "Gain=2", "--encoding", "pcm16", in, dir.Path("q.wav")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(count + "16-bit WAV output " + levels), std::string::npos) << run.err;
  const Audio clipped = ReadAudio(dir.Path("q.wav"));
  ASSERT_EQ(clipped.samples.size(), full.samples.size());
  for (size_t i = 0; i < full.samples.size(); ++i) {
    if (std::fabs(full.samples[i]) > 1.0f) {
      ASSERT_GE(std::fabs(clipped.samples[i]), 32767.0f / 32768.0f) << "sample " << i;
    }
  }

  // A level that fits says nothing.
  run = RunTool(WithProbe({"--set", "Gain=1", "--encoding", "pcm16", in, dir.Path("fits.wav")}));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
}

TEST(RenderToolProbe, EveryFailureIsOneMessageAndLeavesNoFile) {
  ScratchDir dir;
  const std::string in = dir.Path("in.wav");
  WriteAudio(in, MakeInput(2, 44100, 2000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  WriteAudio(dir.Path("u8.wav"), MakeInput(2, 44100, 100, SF_FORMAT_WAV | SF_FORMAT_PCM_U8));
  WriteAudio(dir.Path("quad.wav"), MakeInput(4, 44100, 100, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  std::ofstream(dir.Path("text.wav")) << "not audio at all";
  std::ofstream(dir.Path("fake.so")) << "not a library";
  ASSERT_EQ(link(in.c_str(), dir.Path("alias.wav").c_str()), 0);
  const std::string out = dir.Path("out.wav");
  const std::string keep = dir.Path("keep.wav");
  std::ofstream(keep) << "previous result";
  const std::string state = dir.Path("keep.state");
  std::ofstream(state) << "state bytes";

  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::string probe = kProbe;
  const Case cases[] = {
      {{"--plugin", probe, "--set", "Volume=1", in, out}, "unknown parameter 'Volume'"},
      {{"--plugin", probe, "--set", "Gain=2.5", in, out}, "out of range 0.00 .. 2.00"},
      {{"--plugin", probe, "--set", "Gain=-0.1", in, out}, "out of range"},
      {{"--plugin", probe, "--set", "Gain=loud", in, out}, "is not a number"},
      {{"--plugin", probe, "--set", "Gain=1,5", in, out}, "is not a number"},
      {{"--plugin", probe, "--set-normalized", "Gain=1.01", in, out}, "outside 0 .. 1"},
      {{"--plugin", probe, "--set", "Probe=Maybe", in, out}, "refused value 'Maybe'"},
      {{"--plugin", probe, "--program", "3", in, out}, "program 3 does not exist"},
      {{"--plugin", probe, "--load-state", dir.Path("none.state"), in, out},
       "cannot read state file"},
      {{"--plugin", probe, dir.Path("missing.wav"), out}, "cannot open input"},
      {{"--plugin", probe, dir.Path("text.wav"), out}, "not a readable audio file"},
      {{"--plugin", probe, dir.Path("u8.wav"), out}, "unsupported sample format"},
      {{"--plugin", probe, dir.Path("quad.wav"), out}, "has 4 channels"},
      {{"--plugin", probe, in, dir.Path("alias.wav")}, "same file"},
      {{"--plugin", probe, in, in}, "same file"},
      {{"--plugin", probe, in, dir.Path("no/such/dir.wav")}, "cannot create output"},
      {{"--plugin", dir.Path("fake.so"), in, out}, "cannot load plug-in"},
      {{"--plugin", dir.Path("nothing.so"), in, out}, "cannot load plug-in"},
      {{"--plugin", QW_NOENTRY_PLUGIN, in, out}, "has no VSTPluginMain entry point"},
      {{"--plugin", QW_NULL_PLUGIN, in, out}, "returned no instance"},
      {{"--plugin", probe, "--set", "Gain=9", in, keep}, "out of range"},
      {{"--plugin", probe, "--block", "none", in, out}, "--block expects"},
      {{"--plugin", probe, "--save-state", dir.Path("./out.wav"), in, out}, "name the same file"},
      {{"--plugin", probe, "--save-state", dir.Path("no/such/dir.state"), in, out},
       "cannot create output"},
      {{"--plugin", probe, "--load-state", state, in, state}, "would overwrite the state file"},
      {{"--plugin", probe, in, dir.Path("out.mp3")}, "cannot write .mp3 files"},
      {{"--plugin", probe, "--generate", "0.00001", out}, "shorter than one sample"},
  };
  const std::vector<std::string> before = dir.Entries();
  for (const Case& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += a + " ";
    SCOPED_TRACE(joined);
    const ToolRun run = RunTool(c.args);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_LT(run.exitCode, 128);  // an error exit, not a crash
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("quillwave-render: ", 0), 0u) << run.err;
    EXPECT_EQ(dir.Entries(), before);  // no output, no temporary left behind
  }
  std::ifstream k(keep);
  std::string s;
  std::getline(k, s);
  EXPECT_EQ(s, "previous result");
  std::ifstream st(state);
  std::getline(st, s);
  EXPECT_EQ(s, "state bytes");
  ExpectScaled(ReadAudio(dir.Path("alias.wav")), ReadAudio(in), 1.0, 0.0);
}

}  // namespace
