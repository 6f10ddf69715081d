// quillwave-render end to end with the built Quillwave library: what the
// tool writes must equal what the adapter's test host gets from the same
// library with the same settings, driven directly through the AEffect record.

#include "TestHost.h"
#include "ToolHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sndfile.h>

using namespace qwtools;

namespace {

const std::string kPlugin = QW_PLUGIN_PATH;

struct Settings {
  std::vector<std::pair<std::string, std::string>> values;  // name, value in its own units
  int block = 256;
  bool doubles = false;
  double tempo = 0;  // 0: no --tempo
};

std::vector<std::string> ToolArgs(const Settings& s) {
  std::vector<std::string> args{"--plugin", kPlugin, "--quiet", "--block", std::to_string(s.block)};
  for (const auto& [name, value] : s.values) args.insert(args.end(), {"--set", name + "=" + value});
  if (s.doubles) args.insert(args.end(), {"--precision", "64"});
  if (s.tempo > 0) args.insert(args.end(), {"--tempo", std::to_string(s.tempo)});
  return args;
}

int ParamIndex(qwtest::Instance& fx, const std::string& name) {
  for (int i = 0; i < fx.Effect()->numParams; ++i)
    if (fx.Text(vst::effGetParamName, i) == name) return i;
  ADD_FAILURE() << "no parameter " << name;
  return 0;
}

// The same render through the test host: open, format, settings, blocks.
Audio Reference(const Audio& in, const Settings& s) {
  qwtest::TestHost host(kPlugin);
  qwtest::Instance fx(host);
  fx.Start(static_cast<float>(in.rate), s.block);
  if (in.channels == 1) {
    vst::VstSpeakerArrangement mono{};
    mono.type = vst::kSpeakerArrMono;
    mono.numChannels = 1;
    vst::VstSpeakerArrangement monoOut = mono;
    fx.Dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<vst::VstIntPtr>(&mono),
                &monoOut);
  }
  for (const auto& [name, value] : s.values) {
    std::string text = value;
    fx.Dispatch(vst::effString2Parameter, ParamIndex(fx, name), 0, text.data());
  }
  Audio out = in;
  const size_t frames = in.Frames();
  for (size_t pos = 0; pos < frames; pos += s.block) {
    const int n = static_cast<int>(std::min<size_t>(s.block, frames - pos));
    vst::VstTimeInfo t{};
    t.samplePos = static_cast<double>(pos);
    t.sampleRate = in.rate;
    t.tempo = s.tempo > 0 ? s.tempo : 120.0;
    t.ppqPos = t.samplePos / in.rate * t.tempo / 60.0;
    t.barStartPos = std::floor(t.ppqPos / 4.0) * 4.0;
    t.timeSigNumerator = t.timeSigDenominator = 4;
    t.flags = vst::kVstPpqPosValid | vst::kVstTempoValid | vst::kVstBarsValid |
              vst::kVstTimeSigValid | (s.tempo > 0 ? vst::kVstTransportPlaying : 0) |
              (pos == 0 ? vst::kVstTransportChanged : 0);
    host.SetTransport(t);
    if (s.doubles) {
      std::vector<std::vector<double>> bi(in.channels, std::vector<double>(n)), bo = bi;
      for (int c = 0; c < in.channels; ++c)
        for (int i = 0; i < n; ++i) bi[c][i] = in.samples[(pos + i) * in.channels + c];
      fx.ProcessDouble(bi, bo, n);
      for (int c = 0; c < in.channels; ++c)
        for (int i = 0; i < n; ++i)
          out.samples[(pos + i) * in.channels + c] = static_cast<float>(bo[c][i]);
    } else {
      std::vector<std::vector<float>> bi(in.channels, std::vector<float>(n)), bo = bi;
      for (int c = 0; c < in.channels; ++c)
        for (int i = 0; i < n; ++i) bi[c][i] = in.samples[(pos + i) * in.channels + c];
      fx.ProcessReplacing(bi, bo, n);
      for (int c = 0; c < in.channels; ++c)
        for (int i = 0; i < n; ++i) out.samples[(pos + i) * in.channels + c] = bo[c][i];
    }
  }
  fx.Dispatch(vst::effMainsChanged, 0, 0);
  return out;
}

void ExpectSameSamples(const Audio& a, const Audio& b) {
  ASSERT_EQ(a.channels, b.channels);
  ASSERT_EQ(a.samples.size(), b.samples.size());
  size_t differing = 0, first = 0;
  for (size_t i = 0; i < a.samples.size(); ++i)
    if (std::memcmp(&a.samples[i], &b.samples[i], sizeof(float)) != 0 && differing++ == 0)
      first = i;
  EXPECT_EQ(differing, 0u) << "first difference at sample " << first << ": " << a.samples[first]
                           << " vs " << b.samples[first];
}

TEST(RenderToolQuillwave, OutputEqualsTheTestHostForTheSameSettings) {
  ScratchDir dir;
  const Settings cases[] = {
      {{}, 512, false, 0},
      {{{"Mix", "0.8"}, {"FilterMode", "2"}, {"Cutoff2", "0.7"}, {"Resonance", "2.5"}},
       256,
       false,
       0},
      {{{"FilterMode", "1"}, {"LfoFrequency", "3.5"}, {"Shape", "2"}}, 100, true, 0},
      {{{"Mode", "1"}, {"TempoSync", "1"}, {"Note", "3"}, {"Prefix", "2"}}, 441, false, 140},
  };
  for (int channels : {2, 1}) {
    WriteAudio(dir.Path("in.wav"),
               MakeInput(channels, 44100, 30000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const Audio in = ReadAudio(dir.Path("in.wav"));
    for (const Settings& s : cases) {
      SCOPED_TRACE(::testing::Message() << channels << " channels, block " << s.block << ", "
                                        << s.values.size() << " settings, tempo " << s.tempo);
      std::vector<std::string> args = ToolArgs(s);
      args.insert(args.end(), {dir.Path("in.wav"), dir.Path("out.wav")});
      const ToolRun run = RunTool(args);
      ASSERT_EQ(run.exitCode, 0) << run.err;
      const Audio out = ReadAudio(dir.Path("out.wav"));
      EXPECT_EQ(out.channels, channels);
      ExpectSameSamples(out, Reference(in, s));
    }
  }
}

TEST(RenderToolQuillwave, SavedStateReproducesTheOutput) {
  ScratchDir dir;
  const std::vector<std::string> settings{"--set",
                                          "Mix=0.9",
                                          "--set",
                                          "FilterMode=2",
                                          "--set",
                                          "LfoFrequency=2.5",
                                          "--set-normalized",
                                          "Cutoff1=0.1"};
  std::vector<std::string> args{"--plugin", kPlugin, "--quiet"};
  args.insert(args.end(), settings.begin(), settings.end());
  args.insert(args.end(),
              {"--save-state", dir.Path("fx.state"), "--generate", "1", dir.Path("a.wav")});
  ToolRun run = RunTool(args);
  ASSERT_EQ(run.exitCode, 0) << run.err;

  run = RunTool({"--plugin", kPlugin, "--quiet", "--load-state", dir.Path("fx.state"), "--generate",
                 "1", dir.Path("b.wav")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ExpectSameSamples(ReadAudio(dir.Path("a.wav")), ReadAudio(dir.Path("b.wav")));

  // The restored values are the saved ones, whatever the effect's sound.
  run = RunTool({"--plugin", kPlugin, "--load-state", dir.Path("fx.state"), "--list-params"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::map<std::string, std::string> current;
  std::istringstream lines(run.out);
  std::string line;
  std::getline(lines, line);  // heading
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    std::string index, name, lo, dots, hi, def, cur;
    f >> index >> name >> lo >> dots >> hi >> def >> cur;
    current[name] = cur;
  }
  ASSERT_EQ(current.size(), 14u) << run.out;
  EXPECT_EQ(std::stod(current["Mix"]), 0.9);
  EXPECT_EQ(std::stod(current["FilterMode"]), 2.0);
  EXPECT_EQ(std::stod(current["LfoFrequency"]), 2.5);
  EXPECT_NEAR(std::stod(current["Cutoff1"]), 0.1, 1e-6);
}

TEST(RenderToolQuillwave, BypassPassesEveryFrameWithRandomBlocks) {
  ScratchDir dir;
  WriteAudio(dir.Path("in.wav"), MakeInput(2, 48000, 40000, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
  for (const char* precision : {"32", "64"}) {
    const ToolRun run =
        RunTool({"--plugin", kPlugin, "--quiet", "--set", "OnOff=1", "--block", "random:700",
                 "--precision", precision, dir.Path("in.wav"), dir.Path("out.wav")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ExpectSameSamples(ReadAudio(dir.Path("out.wav")), ReadAudio(dir.Path("in.wav")));
  }
}

TEST(RenderToolQuillwave, RangesComeFromThePlugin) {
  ToolRun run = RunTool({"--plugin", kPlugin, "--list-params"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Mix"), std::string::npos);
  EXPECT_NE(run.out.find("Resonance"), std::string::npos);

  ScratchDir dir;
  for (const char* bad : {"Resonance=4.5", "Resonance=0.05", "FilterMode=3", "LfoFrequency=33"}) {
    run = RunTool({"--plugin", kPlugin, "--set", bad, "--generate", "0.1", dir.Path("x.wav")});
    EXPECT_EQ(run.exitCode, 1) << bad;
    EXPECT_NE(run.err.find("out of range"), std::string::npos) << run.err;
  }
  EXPECT_TRUE(dir.Entries().empty());
  run = RunTool({"--plugin", kPlugin, "--quiet", "--set", "Resonance=4", "--set",
                 "LfoFrequency=0.1", "--generate", "0.1", dir.Path("x.wav")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
}

}  // namespace
