// Option parsing, atomic output, the clipping count and the reported
// transport.

#include "AtomicOutput.h"
#include "HostTransport.h"
#include "ProgressBar.h"
#include "RenderError.h"
#include "RenderOptions.h"
#include "SoundFile.h"
#include "ToolHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sndfile.h>
#include <unistd.h>

namespace {

RenderOptions Parse(std::vector<std::string> args) {
  std::vector<const char*> argv{"quillwave-render"};
  for (auto& a : args) argv.push_back(a.c_str());
  return ParseRenderOptions(static_cast<int>(argv.size()), argv.data());
}

TEST(RenderOptions, ReadsSettingsInOrderAndBothValueSpellings) {
  const RenderOptions o =
      Parse({"--set", "Mix=0.25", "--set-normalized=Cutoff1=0.5", "--block=random:300",
             "--precision", "64", "--tempo", "90", "in.wav", "out.flac"});
  ASSERT_EQ(o.assignments.size(), 2u);
  EXPECT_EQ(o.assignments[0].name, "Mix");
  EXPECT_EQ(o.assignments[0].value, "0.25");
  EXPECT_FALSE(o.assignments[0].normalized);
  EXPECT_EQ(o.assignments[1].name, "Cutoff1");
  EXPECT_TRUE(o.assignments[1].normalized);
  EXPECT_TRUE(o.randomBlocks);
  EXPECT_EQ(o.blockSize, 300);
  EXPECT_EQ(o.precision, 64);
  EXPECT_DOUBLE_EQ(*o.tempo, 90.0);
  EXPECT_EQ(o.inputPath, "in.wav");
  EXPECT_EQ(o.outputPath, "out.flac");

  const RenderOptions g = Parse({"--generate", "2.5", "--channels", "1", "gen.wav"});
  EXPECT_DOUBLE_EQ(*g.generateSeconds, 2.5);
  EXPECT_EQ(g.generateChannels, 1);
  EXPECT_TRUE(g.inputPath.empty());
  EXPECT_EQ(g.outputPath, "gen.wav");

  const RenderOptions l = Parse({"--list-params"});
  EXPECT_TRUE(l.listParams);
  EXPECT_FALSE(l.Renders());
}

TEST(RenderOptions, RejectsMalformedArguments) {
  const std::vector<std::vector<std::string>> bad = {
      {"--block", "0", "a.wav", "b.wav"},
      {"--block", "12x", "a.wav", "b.wav"},
      {"--precision", "16", "a.wav", "b.wav"},
      {"--set", "Mix", "a.wav", "b.wav"},
      {"--set", "=1", "a.wav", "b.wav"},
      {"--tempo", "fast", "a.wav", "b.wav"},
      {"--generate", "-1", "b.wav"},
      {"--generate", "1"},
      {"--program", "-2", "a.wav", "b.wav"},
      {"--nonsense", "a.wav", "b.wav"},
      {"a.wav"},
      {"a.wav", "b.wav", "c.wav"},
      {},
      {"--quiet=1", "a.wav", "b.wav"},
      {"--set"},
      {"--channels", "3", "--generate", "1", "b.wav"},
  };
  for (const auto& args : bad) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    EXPECT_THROW(Parse(args), UsageError) << joined;
  }
}

TEST(RenderOptions, NumbersAreWholeFiniteDecimals) {
  double v = 0;
  EXPECT_TRUE(ParseNumber("0.25", v));
  EXPECT_DOUBLE_EQ(v, 0.25);
  EXPECT_TRUE(ParseNumber("-3e2", v));
  EXPECT_DOUBLE_EQ(v, -300.0);
  for (const char* s : {"", " 1", "1 ", "1.5Hz", "nan", "inf", "1e999", "abc"})
    EXPECT_FALSE(ParseNumber(s, v)) << s;
}

TEST(AtomicOutput, TargetAppearsOnlyOnCommit) {
  qwtools::ScratchDir dir;
  const std::string target = dir.Path("out.bin");
  {
    std::ofstream(target) << "old";
    AtomicOutput out(target);
    out.WriteAll("new", 3);
    EXPECT_EQ(dir.Entries().size(), 2u);  // target and temporary
    // Abandoned: the old file stays as it was, the temporary goes.
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bin"});
  std::ifstream in(target);
  std::string s;
  in >> s;
  EXPECT_EQ(s, "old");
  {
    AtomicOutput out(target);
    out.WriteAll("new", 3);
    out.Commit();
  }
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bin"});
  std::ifstream in2(target);
  in2 >> s;
  EXPECT_EQ(s, "new");

  EXPECT_THROW(AtomicOutput(dir.Path("")), RenderError);
  EXPECT_THROW(AtomicOutput(dir.Path("missing/out.wav")), RenderError);
}

TEST(AtomicOutput, SameFileFollowsLinksNotNames) {
  qwtools::ScratchDir dir;
  const std::string a = dir.Path("a.wav");
  std::ofstream(a) << "x";
  ASSERT_EQ(link(a.c_str(), dir.Path("hard.wav").c_str()), 0);
  ASSERT_EQ(symlink(a.c_str(), dir.Path("soft.wav").c_str()), 0);
  EXPECT_TRUE(SameFile(a, dir.Path("hard.wav")));
  EXPECT_TRUE(SameFile(a, dir.Path("soft.wav")));
  EXPECT_TRUE(SameFile(a, dir.Path("./a.wav")));
  std::ofstream(dir.Path("b.wav")) << "x";
  EXPECT_FALSE(SameFile(a, dir.Path("b.wav")));
  EXPECT_FALSE(SameFile(a, dir.Path("missing.wav")));
  // Names of files still to be written.
  EXPECT_TRUE(SameFile(dir.Path("new.wav"), dir.Path("./new.wav")));
  EXPECT_FALSE(SameFile(dir.Path("new.wav"), dir.Path("new.flac")));
  EXPECT_FALSE(SameFile(dir.Path("new.wav"), dir.Path("missing/new.wav")));
}

// Only samples beyond full scale count, in either precision; float output,
// which keeps them, counts none.
TEST(SoundFileWriter, CountsSamplesBeyondFullScaleInIntegerOutput) {
  qwtools::ScratchDir dir;
  const float quiet[] = {0.5f, -1.0f, 1.0f, 0.0f};
  const float loud[] = {1.25f, -0.2f, -1.0001f, 1.0f};
  const double louder[] = {-2.5, 0.9, 1.0, 1.0000001};
  const auto open = [&](const char* name, int encoding) {
    const int fd = ::open(dir.Path(name).c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    return std::make_unique<SoundFileWriter>(fd, name,
                                             AudioFormat{SF_FORMAT_WAV | encoding, 44100, 2});
  };
  for (int encoding : {SF_FORMAT_PCM_16, SF_FORMAT_PCM_24}) {
    auto writer = open("int.wav", encoding);
    writer->Write(quiet, 2);
    EXPECT_EQ(writer->Clipped().samples, 0);
    writer->Write(loud, 2);
    EXPECT_EQ(writer->Clipped().samples, 2);
    EXPECT_DOUBLE_EQ(writer->Clipped().peak, 1.25);
    writer->Write(louder, 2);
    EXPECT_EQ(writer->Clipped().samples, 4);
    EXPECT_DOUBLE_EQ(writer->Clipped().peak, 2.5);
    writer->Close();
    // What reached the file is clipped to full scale.
    const qwtools::Audio written = qwtools::ReadAudio(dir.Path("int.wav"));
    ASSERT_EQ(written.samples.size(), 12u);
    EXPECT_NEAR(written.samples[4], 1.0f, 1e-4);
    EXPECT_NEAR(written.samples[8], -1.0f, 1e-9);
  }
  auto writer = open("float.wav", SF_FORMAT_FLOAT);
  writer->Write(loud, 2);
  writer->Write(louder, 2);
  EXPECT_EQ(writer->Clipped().samples, 0);
  writer->Close();
  const qwtools::Audio kept = qwtools::ReadAudio(dir.Path("float.wav"));
  ASSERT_EQ(kept.samples.size(), 8u);
  EXPECT_EQ(kept.samples[0], 1.25f);
  EXPECT_EQ(kept.samples[4], -2.5f);
}

TEST(HostTransport, PlaysFromBarOneAtTheGivenTempo) {
  HostTransport playing(48000.0, 90.0);
  const vst::VstTimeInfo* t = playing.TimeInfo();
  EXPECT_TRUE(t->flags & vst::kVstTransportPlaying);
  EXPECT_TRUE(t->flags & vst::kVstTransportChanged);
  EXPECT_DOUBLE_EQ(t->ppqPos, 0.0);
  EXPECT_DOUBLE_EQ(t->barStartPos, 0.0);
  // 5.5 quarter notes at 90 BPM: 5.5 * 60 / 90 s.
  playing.SetPosition(static_cast<int64_t>(5.5 * 60.0 / 90.0 * 48000.0));
  t = playing.TimeInfo();
  EXPECT_FALSE(t->flags & vst::kVstTransportChanged);
  EXPECT_NEAR(t->ppqPos, 5.5, 1e-9);
  EXPECT_DOUBLE_EQ(t->barStartPos, 4.0);
  EXPECT_DOUBLE_EQ(t->tempo, 90.0);
  EXPECT_DOUBLE_EQ(t->samplePos, 176000.0);
  EXPECT_EQ(t->timeSigNumerator, 4);
  EXPECT_TRUE(t->flags & vst::kVstTempoValid);

  HostTransport stopped(44100.0, std::nullopt);
  EXPECT_FALSE(stopped.TimeInfo()->flags & vst::kVstTransportPlaying);
  EXPECT_DOUBLE_EQ(stopped.TimeInfo()->tempo, 120.0);
}

TEST(HostTransport, BarsFollowTheTimeSignatureAndAStartAnywhere) {
  HostTransport t(44100.0, 120.0);
  t.SetTimeSignature(3, 4);
  // Bar 3 of 3/4 at 120 BPM: six quarter notes, three seconds in.
  t.StartAt(3 * 44100);
  const vst::VstTimeInfo* info = t.TimeInfo();
  EXPECT_TRUE(info->flags & vst::kVstTransportChanged);
  EXPECT_DOUBLE_EQ(info->ppqPos, 6.0);
  EXPECT_DOUBLE_EQ(info->barStartPos, 6.0);
  EXPECT_EQ(info->timeSigNumerator, 3);
  EXPECT_EQ(info->timeSigDenominator, 4);
  t.SetPosition(t.Position() + 512);
  EXPECT_FALSE(t.TimeInfo()->flags & vst::kVstTransportChanged);
  // 8.5 quarters lie in the bar that starts at 6; 9 starts the next.
  t.SetPosition(static_cast<int64_t>(8.5 * 22050.0));
  EXPECT_DOUBLE_EQ(t.TimeInfo()->barStartPos, 6.0);
  t.SetPosition(9 * 22050);
  EXPECT_DOUBLE_EQ(t.TimeInfo()->barStartPos, 9.0);
  // 6/8: a bar of three quarter notes too.
  t.SetTimeSignature(6, 8);
  t.SetPosition(static_cast<int64_t>(4.0 * 22050.0));
  EXPECT_DOUBLE_EQ(t.TimeInfo()->barStartPos, 3.0);
}

TEST(ProgressBar, ShowsShareAndSeconds) {
  char buf[128];
  ProgressBar::Format(buf, sizeof buf, 22050, 88200, 44100.0);
  EXPECT_STREQ(buf, "[#######.......................]  25%  0.5 / 2.0 s");
  ProgressBar::Format(buf, sizeof buf, 99999, 88200, 44100.0);
  EXPECT_STREQ(buf, "[##############################] 100%  2.0 / 2.0 s");
}

}  // namespace
