// "go" parameters and the time budget.
#include "driver/limits.h"

#include <gtest/gtest.h>

#include <string>

#include "driver/think.h"
#include "uci/commands.h"
#include "uci/loop.h"
#include "uci/options.h"

namespace kelmstrad {
namespace {

constexpr TimeSwitches TMODE_SWITCHES = {true, 15, 30, 75, 60};

// The plan for a "go" argument line, from a blank previous record.
GoPlan plan(const std::string& args, Side side = WHITE,
            const TimeSwitches& sw = DEFAULT_TIME_SWITCHES,
            const SearchLimits& previous = SearchLimits{}, bool real_speed = false) {
  std::string copy = args;
  TokenReader tokens(copy.data());
  return plan_go(parse_go(tokens), side, previous, real_speed, sw);
}

// Soft and hard figure of a plan, for compact comparisons.
std::pair<int32_t, int32_t> budget(const GoPlan& p) {
  return {p.limits.soft_limit_ms, p.limits.hard_limit_ms};
}

using Budget = std::pair<int32_t, int32_t>;

TEST(GoLimits, WorkedExamplesOfTheDefaultFormula) {
  EXPECT_EQ(budget(plan("wtime 60000 winc 0")), Budget(2000, 6000));
  EXPECT_EQ(budget(plan("wtime 60000 winc 1000")), Budget(2750, 8250));
  EXPECT_EQ(budget(plan("wtime 3000 winc 2000")), Budget(1600, 1000));
  EXPECT_EQ(budget(plan("movetime 500")), Budget(1000, 500));
  EXPECT_EQ(budget(plan("movetime 500 extra 100")), Budget(1200, 600));
  EXPECT_EQ(budget(plan("wtime 0")), Budget(0, 0));
  EXPECT_EQ(budget(plan("wtime 60000 btime 60000")), Budget(2000, 6000));
}

TEST(GoLimits, WorkedExampleOfTheTmodeFormula) {
  EXPECT_EQ(budget(plan("wtime 60000 winc 1000", WHITE, TMODE_SWITCHES)), Budget(4933, 14799));
  // time / 4 caps the target: 2000 + 2000/15 = 2133 > 4000/4.
  EXPECT_EQ(budget(plan("wtime 4000 winc 2000", WHITE, TMODE_SWITCHES)), Budget(1000, 1333));
  TimeSwitches tdiv10 = TMODE_SWITCHES;
  tdiv10.tdiv = 10;
  EXPECT_EQ(budget(plan("wtime 60000", WHITE, tdiv10)), Budget(6000, 18000));
}

TEST(GoLimits, TheSideToMoveChoosesTheClock) {
  EXPECT_EQ(budget(plan("wtime 1000 btime 2000", BLACK)), Budget(66, 198));
  EXPECT_EQ(budget(plan("wtime 1000 btime 2000", WHITE)), Budget(33, 99));
  EXPECT_EQ(budget(plan("wtime 60000 btime 60000 winc 5000 binc 1000", BLACK)), Budget(2750, 8250));
  EXPECT_EQ(budget(plan("btime 60000")), Budget(0, 0));  // White to move, no own clock
}

TEST(GoLimits, ChangedSharesMoveTheDefaultFormula) {
  TimeSwitches sw = DEFAULT_TIME_SWITCHES;
  sw.tbd = 20;
  sw.tinc = 100;
  EXPECT_EQ(budget(plan("wtime 60000 winc 1000", WHITE, sw)), Budget(4000, 12000));
}

TEST(GoLimits, DepthIsCutTo63) {
  EXPECT_EQ(plan("depth 100").limits.depth_limit, 63);
  EXPECT_EQ(plan("depth 5").limits.depth_limit, 5);
  EXPECT_EQ(plan("depth 0").limits.depth_limit, 0);
  EXPECT_EQ(plan("depth -2").limits.depth_limit, -2);
  EXPECT_EQ(plan("depth 99999999999").limits.depth_limit, 63);
  EXPECT_EQ(plan("").limits.depth_limit, 63);
  EXPECT_EQ(budget(plan("depth 5")), Budget(0, 0));
}

TEST(GoLimits, NodesSetTheNodeLimitOnly) {
  const GoPlan p = plan("nodes 10000");
  EXPECT_EQ(p.limits.node_limit, 10000u);
  EXPECT_EQ(budget(p), Budget(0, 0));
  EXPECT_EQ(p.limits.depth_limit, 63);
}

TEST(GoLimits, EverySearchStartsWithoutLimitsFromTheLastOne) {
  SearchLimits previous{};
  previous.soft_limit_ms = 5;
  previous.hard_limit_ms = 6;
  previous.node_limit = 7;
  previous.depth_limit = 8;
  const GoPlan p = plan("", WHITE, DEFAULT_TIME_SWITCHES, previous);
  EXPECT_EQ(budget(p), Budget(0, 0));
  EXPECT_EQ(p.limits.node_limit, 0u);
  EXPECT_EQ(p.limits.depth_limit, 63);
}

TEST(GoLimits, InfiniteDropsBothFigures) {
  const GoPlan p = plan("infinite wtime 60000 movetime 500");
  EXPECT_TRUE(p.infinite);
  EXPECT_FALSE(p.pondering);
  EXPECT_EQ(budget(p), Budget(0, 0));
  EXPECT_FALSE(p.real_time_mode);
}

TEST(GoLimits, PonderSetsTheBudgetAsideAndAlwaysPaces) {
  const GoPlan p = plan("ponder wtime 60000 winc 1000");
  EXPECT_TRUE(p.pondering);
  EXPECT_EQ(budget(p), Budget(0, 0));
  EXPECT_EQ(p.limits.saved_soft_ms, 2750);
  EXPECT_EQ(p.limits.saved_hard_ms, 8250);
  EXPECT_TRUE(p.real_time_mode);
  // Without "ponder" the saved budget of an earlier search is kept as it was.
  SearchLimits previous{};
  previous.saved_soft_ms = 11;
  previous.saved_hard_ms = 12;
  const GoPlan q = plan("wtime 60000", WHITE, DEFAULT_TIME_SWITCHES, previous);
  EXPECT_EQ(q.limits.saved_soft_ms, 11);
  EXPECT_EQ(q.limits.saved_hard_ms, 12);
  EXPECT_FALSE(q.real_time_mode);
  EXPECT_TRUE(
      plan("wtime 60000", WHITE, DEFAULT_TIME_SWITCHES, SearchLimits{}, true).real_time_mode);
}

TEST(GoLimits, AWordWithoutItsValueEndsParsing) {
  const GoPlan p = plan("wtime 60000 depth");
  EXPECT_EQ(budget(p), Budget(2000, 6000));
  EXPECT_EQ(p.limits.depth_limit, 63);
  EXPECT_EQ(budget(plan("wtime")), Budget(0, 0));
  // "ponder" after a value is still a flag.
  EXPECT_TRUE(plan("depth 3 ponder").pondering);
}

TEST(GoLimits, UnknownWordsTakeTheNextTokenWithThem) {
  EXPECT_EQ(budget(plan("searchmoves e2e4 wtime 60000")), Budget(2000, 6000));
  // The second move is read as a word that swallows "wtime"; "60000" lacks a value.
  EXPECT_EQ(budget(plan("searchmoves e2e4 e7e5 wtime 60000")), Budget(0, 0));
  // Keywords are matched exactly.
  EXPECT_EQ(budget(plan("WTIME 60000 Movetime 500")), Budget(0, 0));
}

TEST(GoLimits, TheLastOfARepeatedParameterCounts) {
  EXPECT_EQ(budget(plan("movetime 100 movetime 500")), Budget(1000, 500));
  EXPECT_EQ(plan("depth 3 depth 9").limits.depth_limit, 9);
}

TEST(GoLimits, ExtraIsConsumedAndNeedsATimeBudget) {
  EXPECT_EQ(plan("movetime 500 extra 100").limits.extra_ms, 0);
  EXPECT_EQ(budget(plan("extra 100")), Budget(0, 0));
  EXPECT_EQ(budget(plan("wtime 60000 extra 1000")), Budget(4000, 7000));
}

TEST(GoLimits, ARunningClockNeverGivesAnUnlimitedSearch) {
  EXPECT_EQ(budget(plan("wtime 1")), Budget(1, 1));
  EXPECT_EQ(budget(plan("wtime 2")), Budget(1, 1));
  EXPECT_EQ(budget(plan("wtime -500")), Budget(1, 1));
  EXPECT_EQ(budget(plan("movetime -5")), Budget(1, 1));
  EXPECT_EQ(budget(plan("wtime 60000 extra -5000")), Budget(1, 1000));
  EXPECT_EQ(budget(plan("wtime 1", WHITE, TMODE_SWITCHES)), Budget(1, 1));
}

TEST(GoLimits, HugeClocksDoNotWrapAround) {
  EXPECT_EQ(budget(plan("wtime 2147483647 winc 2147483647")), Budget(1682195523, 715827882));
  EXPECT_EQ(budget(plan("movetime 2000000000")), Budget(2147483647, 2000000000));
  EXPECT_EQ(budget(plan("wtime 99999999999")), budget(plan("wtime 2147483647")));
  EXPECT_EQ(plan("nodes -1").limits.node_limit, 4294967295u);
}

TEST(GoLimits, ZeroSharesFromTheEnvironmentFallBackToTheShippedOnes) {
  TimeSwitches sw = DEFAULT_TIME_SWITCHES;
  sw.tbd = 0;
  EXPECT_EQ(budget(plan("wtime 60000", WHITE, sw)), Budget(2000, 6000));
  sw = TMODE_SWITCHES;
  sw.tdiv = 0;
  EXPECT_EQ(budget(plan("wtime 60000 winc 1000", WHITE, sw)), Budget(4933, 14799));
}

TEST(IterationRule, DefaultRuleStopsAtHalfTheTarget) {
  EXPECT_FALSE(iteration_budget_spent(1000, 499, false, DEFAULT_TIME_SWITCHES));
  EXPECT_TRUE(iteration_budget_spent(1000, 500, false, DEFAULT_TIME_SWITCHES));
  EXPECT_TRUE(iteration_budget_spent(1001, 500, true, DEFAULT_TIME_SWITCHES));
  EXPECT_FALSE(iteration_budget_spent(0, 100000, false, DEFAULT_TIME_SWITCHES));
}

TEST(IterationRule, TmodeRuleWidensTheTargetWhenTheBestMoveChanged) {
  EXPECT_FALSE(iteration_budget_spent(1000, 599, false, TMODE_SWITCHES));
  EXPECT_TRUE(iteration_budget_spent(1000, 600, false, TMODE_SWITCHES));
  EXPECT_FALSE(iteration_budget_spent(1000, 899, true, TMODE_SWITCHES));
  EXPECT_TRUE(iteration_budget_spent(1000, 900, true, TMODE_SWITCHES));
  EXPECT_FALSE(iteration_budget_spent(0, 100000, true, TMODE_SWITCHES));
}

// prepare_search writes the shared limits and flags; restores them afterwards.
TEST(GoLimits, PrepareSearchInstallsThePlanAndClearsStopAndPonderhit) {
  const SearchLimits saved_limits = search_limits;
  const Side saved_side = position.side;
  const int saved_real_speed = real_speed_option;
  position.side = BLACK;
  real_speed_option = 0;
  stop_flag.store(1);
  ponderhit.store(1);
  std::string args = "ponder wtime 1000 btime 2000 nodes 77";
  TokenReader tokens(args.data());
  prepare_search(parse_go(tokens));
  EXPECT_EQ(search_limits.soft_limit_ms, 0);
  EXPECT_EQ(search_limits.saved_soft_ms, 66);
  EXPECT_EQ(search_limits.saved_hard_ms, 198);
  EXPECT_EQ(search_limits.node_limit, 77u);
  EXPECT_EQ(pondering.load(), 1);
  EXPECT_EQ(infinite.load(), 0);
  EXPECT_EQ(real_time_mode.load(), 1);
  EXPECT_EQ(stop_flag.load(), 0);
  EXPECT_EQ(ponderhit.load(), 0);
  search_limits = saved_limits;
  position.side = saved_side;
  real_speed_option = saved_real_speed;
  pondering.store(0);
  real_time_mode.store(0);
}

}  // namespace
}  // namespace kelmstrad
