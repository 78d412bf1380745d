// The compliance check against the scripted fake engine: it passes a
// compliant engine and stops at the step a misbehaving one fails.
#include "check.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace kelmstrad::match {
namespace {

// Runs the check on the fake engine with the given arguments; returns its report.
CheckResult check_fake(const std::string& args, std::string* report) {
  CheckSetup setup;
  setup.engine.cmd = std::string(MATCH_PYTHON) + " " + MATCH_FAKE_ENGINE + " " + args;
  setup.timeout_ms = 1000;
  setup.margin_ms = 1000;  // the fake answers at once; the margin only absorbs start-up
  setup.quiet_ms = 200;
  FILE* out = std::tmpfile();
  const CheckResult r = run_uci_check(setup, out);
  std::rewind(out);
  char chunk[4096];
  size_t n;
  report->clear();
  while ((n = std::fread(chunk, 1, sizeof(chunk), out)) > 0) report->append(chunk, n);
  std::fclose(out);
  return r;
}

TEST(UciCheck, CompliantEnginePassesEveryStep) {
  std::string report;
  const CheckResult r = check_fake("", &report);
  EXPECT_EQ(r.failed, 0) << report;
  EXPECT_EQ(r.passed, 17) << report;
  EXPECT_NE(report.find("PASSED: 17 steps passed, 0 failed\n"), std::string::npos) << report;
}

TEST(UciCheck, UnparsableBestmoveFailsTheFirstGo) {
  std::string report;
  const CheckResult r = check_fake("--fail garbage", &report);
  EXPECT_EQ(r.first_failure, "go wtime 100 btime 100");
  EXPECT_NE(report.find("FAIL  go wtime 100 btime 100: illegal bestmove \"xyz\"\n"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("      < bestmove xyz\n"), std::string::npos) << report;
}

TEST(UciCheck, EngineThatWaitsForStopOnATimedGo) {
  std::string report;
  const CheckResult r = check_fake("--fail slow", &report);
  EXPECT_EQ(r.first_failure, "go wtime 100 btime 100");
  EXPECT_NE(report.find("no bestmove within 1100 ms (100 ms clock)"), std::string::npos) << report;
}

TEST(UciCheck, MissingReadyokAfterPositionWithMoves) {
  std::string report;
  const CheckResult r = check_fake("--fail noreadyok --at 2", &report);
  EXPECT_EQ(r.first_failure, "position startpos moves, isready");
  EXPECT_EQ(r.passed, 8);
  EXPECT_NE(report.find("no readyok within 1000 ms"), std::string::npos) << report;
}

TEST(UciCheck, PonderSearchThatIgnoresStop) {
  std::string report;
  const CheckResult r = check_fake("--fail nostop", &report);
  EXPECT_EQ(r.first_failure, "stop ends go ponder with bestmove");
  EXPECT_EQ(r.passed, 15);
}

// Each answer needs a scored info line whose PV starts with it, and a PV must
// be legal and stop where the game ends (the scholar's mate at ply 7).
TEST(UciCheck, AnswersWithoutAMatchingLegalPv) {
  const std::pair<const char*, const char*> cases[] = {
      {"--fail noinfo",
       "FAIL  go wtime 100 btime 100: no info line with a score before \"bestmove e2e4\"\n"},
      {"--fail pvother",
       "FAIL  go wtime 100 btime 100: bestmove e2e4 is not the first move of the last PV in "
       "\"info depth 2 score cp 13 nodes 30 pv a2a3\"\n"},
      {"--fail pvpast --at 2",
       "FAIL  stop ends go infinite with bestmove: PV continues after the end of the game at "
       "\"a7a6\" in \"info depth 1 score cp 13 nodes 20 pv f1c4 b8c6 d1h5 g8f6 h5f7 a7a6\"\n"},
  };
  for (const auto& [args, failure] : cases) {
    std::string report;
    check_fake(args, &report);
    EXPECT_NE(report.find(failure), std::string::npos) << args << "\n" << report;
  }
}

TEST(UciCheck, MissingUciok) {
  std::string report;
  const CheckResult r = check_fake("--fail nouciok", &report);
  EXPECT_EQ(r.first_failure, "uci block ending in uciok");
  EXPECT_NE(report.find("FAIL  uci block ending in uciok: no uciok within 1000 ms\n"),
            std::string::npos)
      << report;
}

}  // namespace
}  // namespace kelmstrad::match
