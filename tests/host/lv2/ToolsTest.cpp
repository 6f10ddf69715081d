// Quillwave.lv2 through lilv's own tools, as an LV2 host finds it: its
// description validated and read back by lv2info, and files rendered by
// lv2apply matching quillwave-render through the VST 2.4 library.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ChildProcess.h"
#include "Lv2TestSupport.h"
#include "quillwave/Quillwave.h"

namespace fs = std::filesystem;
using namespace qwlv2;
using Q = Quillwave;

namespace {

constexpr const char* kUri = "urn:korvanta:quillwave";
// The control ports' symbols; port index = parameter index.
constexpr const char* kSymbols[Q::kParamCount] = {
    "mix",        "lfo_frequency", "note", "phase",   "symmetry", "shape",     "prefix",
    "tempo_sync", "on_off",        "mode", "cutoff1", "cutoff2",  "resonance", "filter_mode"};

std::string Read(const fs::path& file) {
  std::ostringstream s;
  s << std::ifstream(file).rdbuf();
  return s.str();
}
bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
// The rest of the line after the first "name:" from position from on.
std::string Field(const std::string& text, const std::string& name, size_t from = 0) {
  const size_t at = text.find(name + ":", std::min(from, text.size()));
  if (at == std::string::npos) return {};
  const size_t begin = text.find_first_not_of(" \t", at + name.size() + 1);
  return text.substr(begin, text.find('\n', begin) - begin);
}

// A temporary folder: lv2/ holds a copy of the bundle alone (the tools'
// LV2_PATH), beside the files the tools write.
class Lv2Tools : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    char name[] = "/tmp/qw-lv2-tools-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    fs::create_directories(dir_ / "lv2");
    fs::copy(QW_LV2_BUNDLE, dir_ / "lv2" / "Quillwave.lv2", fs::copy_options::recursive);
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  // The program's exit code (-1 when it did not end in two minutes); what
  // it printed in output.
  static int Run(const std::vector<std::string>& argv, std::string& output,
                 std::vector<std::string> env = {}) {
    int status = 0, code = -1;
    env.push_back("LV2_PATH=" + (dir_ / "lv2").string());
    {
      qwtest::ChildProcess p(argv, env, dir_ / "log.txt");
      if (p.Wait(120000, status) && WIFEXITED(status)) code = WEXITSTATUS(status);
    }
    output = Read(dir_ / "log.txt");
    return code;
  }

  static inline fs::path dir_;
};

TEST_F(Lv2Tools, ValidatorFindsNoErrors) {
  std::string out;
  const std::string bundle = QW_LV2_BUNDLE;
  EXPECT_EQ(Run({LV2_VALIDATE, bundle + "/manifest.ttl", bundle + "/Quillwave.ttl"}, out), 0);
  EXPECT_TRUE(Has(out, "Found 0 errors")) << out;
}

TEST_F(Lv2Tools, InfoListsTheControlsTheUiAndTheTransportPort) {
  std::string out;
  ASSERT_EQ(Run({LV2INFO, kUri}, out), 0) << out;
  std::map<int, std::string> ports;  // each port's lines
  for (size_t at = out.find("\n\tPort "), next; at != std::string::npos; at = next) {
    next = out.find("\n\tPort ", at + 1);
    ports[std::stoi(out.substr(at + 7))] = out.substr(at, next - at);
  }
  ASSERT_EQ(ports.size(), 19u) << out;
  int controls = 0;
  for (const auto& [index, text] : ports) controls += Has(text, "#ControlPort");
  EXPECT_EQ(controls, Q::kParamCount);
  for (int i = 0; i < Q::kParamCount; ++i) {
    EXPECT_TRUE(Has(ports[i], "#ControlPort") && Has(ports[i], "#InputPort")) << ports[i];
    EXPECT_EQ(Field(ports[i], "Symbol"), kSymbols[i]);
  }
  EXPECT_EQ(Field(out, "Class", out.find(std::string(kUri) + ":ui\n")),
            "http://lv2plug.in/ns/extensions/ui#X11UI");
  for (const char* s : {"atom#AtomPort", "#InputPort", "lv2core#connectionOptional"})
    EXPECT_TRUE(Has(ports[18], s)) << s << " in\n" << ports[18];
  EXPECT_EQ(Field(ports[18], "Symbol"), "control");

  // lv2info prints no atom:supports; the description it writes as lilv
  // read it has it, in the port's block (which holds no other block).
  ASSERT_EQ(Run({LV2INFO, "-p", dir_ / "description.ttl", kUri}, out), 0) << out;
  const std::string ttl = Read(dir_ / "description.ttl");
  const size_t at = ttl.find("lv2:symbol \"control\"");
  ASSERT_NE(at, std::string::npos) << ttl;
  const std::string port = ttl.substr(ttl.rfind('[', at), ttl.find(']', at) - ttl.rfind('[', at));
  EXPECT_TRUE(Has(port, "lv2:index 18 ;")) << port;
  EXPECT_TRUE(Has(port, "atom:supports time:Position") ||
              Has(port,
                  "<http://lv2plug.in/ns/ext/atom#supports> "
                  "<http://lv2plug.in/ns/ext/time#Position>"))
      << port;
}

Stereo ReadStereo(const fs::path& file) {
  SF_INFO info{};
  SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
  if (!f || info.channels != 2) return {};
  std::vector<float> all(size_t(info.frames) * 2);
  all.resize(size_t(sf_readf_float(f, all.data(), info.frames)) * 2);
  sf_close(f);
  Stereo s;
  for (size_t i = 0; i < all.size(); ++i) s[i % 2].push_back(all[i]);
  return s;
}

// Settings in own units, by parameter index; the others stay at their
// defaults. Values a float holds exactly, so that both sides get the same.
struct Setting {
  const char* label;
  std::vector<std::pair<int, double>> values;
};

class Lv2Apply : public Lv2Tools, public testing::WithParamInterface<Setting> {};

// Measured: 0 with every parameter set, up to 6e-8 (one step of a float)
// where a default fills the port as a float and the VST 2.4 side as a double.
TEST_P(Lv2Apply, MatchesTheVstLibraryWithin1e6) {
  std::string out;
  const fs::path in = dir_ / "in.wav", lv2 = dir_ / "lv2.wav", vst = dir_ / "vst.wav";
  if (!fs::exists(in)) {
    ASSERT_EQ(Run({QW_RENDER, "--quiet", "--generate", "2", "--encoding", "float", in}, out), 0);
  }
  std::vector<std::string> apply = {LV2APPLY, "-i", in, "-o", lv2};
  std::vector<std::string> render = {QW_RENDER, "--quiet", "--plugin", QW_VST_PLUGIN};
  for (const auto& [param, value] : GetParam().values) {
    const std::string v = std::to_string(value);
    apply.insert(apply.end(), {"-c", kSymbols[param], v});
    render.insert(render.end(), {"--set", Q::ParamTable(param).name + ("=" + v)});
  }
  apply.push_back(kUri);
  render.insert(render.end(), {in, vst});
#ifdef QW_ASAN_RUNTIME
  // lv2apply is not instrumented: the sanitized plug-in needs the runtime first.
  ASSERT_EQ(Run(apply, out, {"LD_PRELOAD=" QW_ASAN_RUNTIME}), 0) << out;
#else
  ASSERT_EQ(Run(apply, out), 0) << out;
#endif
  ASSERT_EQ(Run(render, out), 0) << out;
  const Stereo input = ReadStereo(in), a = ReadStereo(lv2);
  ASSERT_EQ(a[0].size(), input[0].size());
  const double d = MaxDiff(a, ReadStereo(vst));
  std::printf("%s: max |LV2 - VST| = %.3g\n", GetParam().label, d);
  EXPECT_LE(d, 1e-6);
  EXPECT_GT(MaxDiff(a, input), 0.01) << "the effect did nothing";
}

INSTANTIATE_TEST_SUITE_P(Modes, Lv2Apply,
                         testing::Values(Setting{"lowpass",
                                                 {{Q::kFilterMode, 0},
                                                  {Q::kMix, 1},
                                                  {Q::kResonance, 2.5},
                                                  {Q::kCutoff1, 0.125},
                                                  {Q::kCutoff2, 0.8125},
                                                  {Q::kLfoFrequency, 3.75},
                                                  {Q::kShape, 0.5}}},
                                         Setting{"bandpass",
                                                 {{Q::kFilterMode, 1},
                                                  {Q::kMix, 0.75},
                                                  {Q::kResonance, 1.25},
                                                  {Q::kCutoff1, 0.3125},
                                                  {Q::kCutoff2, 0.625},
                                                  {Q::kLfoFrequency, 11.5},
                                                  {Q::kSymmetry, 0.25},
                                                  {Q::kPhase, 2}}},
                                         Setting{"wah",
                                                 {{Q::kFilterMode, 2},
                                                  {Q::kMix, 1},
                                                  {Q::kShape, 2},
                                                  {Q::kLfoFrequency, 0.75}}},
                                         Setting{"autopan",
                                                 {{Q::kMode, 1},
                                                  {Q::kFilterMode, 2},
                                                  {Q::kMix, 0.625},
                                                  {Q::kLfoFrequency, 5.25},
                                                  {Q::kShape, 0},
                                                  {Q::kPhase, 0.75},
                                                  {Q::kResonance, 0.5}}}),
                         [](const auto& i) { return std::string(i.param.label); });

}  // namespace
