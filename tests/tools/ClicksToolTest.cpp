// quillwave-clicks: the high-pass its figures are read through, and a quick
// run against the built plug-in (the report's shape and exit status, not the
// figures, which are what the engine work changes).

#include "HighPass.h"
#include "Measurements.h"
#include "ToolHarness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>

using namespace qwtools;

namespace {

const std::string kClicks = QW_CLICKS_TOOL;

// The bilinear-transformed 8th-order Butterworth high-pass, prewarped at fc.
double ButterworthGain(double f, double fc, double fs) {
  const double ratio = std::tan(std::numbers::pi * fc / fs) / std::tan(std::numbers::pi * f / fs);
  return 1.0 / std::sqrt(1.0 + std::pow(ratio, 16));
}

TEST(ClicksHighPass, HasTheButterworthResponse) {
  const HighPass hp(44100.0, 3000.0);
  for (double f : {100.0, 440.0, 1500.0, 2900.0, 3000.0, 3100.0, 6000.0, 15000.0}) {
    SCOPED_TRACE(f);
    EXPECT_NEAR(20 * std::log10(hp.Magnitude(f)), 20 * std::log10(ButterworthGain(f, 3000, 44100)),
                1e-6);
  }
  EXPECT_NEAR(20 * std::log10(hp.Magnitude(3000.0)), -3.0103, 1e-3);
  // An octave below the cutoff is 48 dB further down than the cutoff.
  EXPECT_NEAR(20 * std::log10(hp.Magnitude(375.0) / hp.Magnitude(750.0)), -48.0, 0.5);
}

TEST(ClicksHighPass, FiltersSamplesAsItsResponseSays) {
  // The measurement's own input must vanish far below the figures; a tone
  // above the cutoff passes at its gain.
  for (double f : {440.0, 8000.0}) {
    SCOPED_TRACE(f);
    HighPass hp(44100.0, 3000.0);
    double peak = 0.0;
    for (int i = 0; i < 44100; ++i) {
      const double y = hp.Process(0.5 * std::sin(2 * std::numbers::pi * f * i / 44100.0));
      if (i >= 22050) peak = std::max(peak, std::fabs(y));
    }
    EXPECT_NEAR(peak / (0.5 * hp.Magnitude(f)), 1.0, 0.01);
  }
  HighPass hp(44100.0, 3000.0);
  hp.Process(1.0);
  hp.Reset();
  EXPECT_EQ(hp.Process(0.0), 0.0);
}

#ifdef QW_PLUGIN_PATH
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool HasVerdict(const std::string& line) {
  return line.find("PASS") != std::string::npos || line.find("FAIL") != std::string::npos;
}

TEST(ClicksTool, QuickRunPrintsEverySectionWithVerdicts) {
  const ToolRun run = RunProgram(kClicks, {"--plugin", QW_PLUGIN_PATH, "--quick"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> lines = Lines(run.out);
  const auto rowsStarting = [&](const std::string& head) {
    std::vector<std::string> rows;
    for (const auto& l : lines)
      if (l.rfind(head, 0) == 0) rows.push_back(l);
    return rows;
  };

  // One row per change at the quick run's single block size, each judged.
  for (const clicks::ClickCase& c : clicks::ClickCases()) {
    SCOPED_TRACE(c.name);
    const auto rows = rowsStarting("   " + c.name + " ");
    ASSERT_EQ(rows.size(), 1u) << run.out;
    EXPECT_NE(rows[0].find(" 512 "), std::string::npos) << rows[0];
    EXPECT_EQ(HasVerdict(rows[0]), static_cast<bool>(c.change)) << rows[0];
  }
  const auto automation = rowsStarting("     4096 ");
  ASSERT_EQ(automation.size(), 1u) << run.out;
  EXPECT_TRUE(HasVerdict(automation[0])) << automation[0];
  // Three note values in each time signature, the highlighted one among
  // them, then the verdicts.
  for (const char* row : {"   1/4 ", "   1/1 triplet ", "   1/16 4/3 "}) {
    SCOPED_TRACE(row);
    const auto rows = rowsStarting(row);
    ASSERT_EQ(rows.size(), 2u) << run.out;
    for (const auto& r : rows) EXPECT_TRUE(HasVerdict(r)) << r;
  }
  for (const char* head : {"1. Click figures", "2. Automation figure", "3. Tempo sync figures",
                           "   c. A note value that does not divide the bar",
                           "   4/4: ", "   3/4: ", "   tempo sync: ", "Summary: clicks "}) {
    EXPECT_EQ(rowsStarting(head).size(), 1u) << head << "\n" << run.out;
  }
}

TEST(ClicksTool, FailsOnlyWhenItCannotMeasure) {
  ToolRun run = RunProgram(kClicks, {"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find("--quick"), std::string::npos) << run.out;

  run = RunProgram(kClicks, {"--plugin", "/nonexistent/Quillwave.so", "--quick"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("/nonexistent/Quillwave.so"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");

  // A plug-in without Quillwave's parameters cannot be measured.
  run = RunProgram(kClicks, {"--plugin", QW_PROBE_PLUGIN, "--quick"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("no parameter 'Mix'"), std::string::npos) << run.err;

  run = RunProgram(kClicks, {"--quick", "--seed", "x"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("--seed"), std::string::npos) << run.err;
  run = RunProgram(kClicks, {"--frobnicate"});
  EXPECT_EQ(run.exitCode, 2);
}
#endif

}  // namespace
