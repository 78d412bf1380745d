// Score, Elo and SPRT arithmetic on tallies worked out by hand.
#include "stats.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kelmstrad::match {
namespace {

TEST(Stats, EloOfScores) {
  EXPECT_NEAR(elo_of_score(0.5), 0.0, 1e-12);
  EXPECT_NEAR(elo_of_score(0.75), 400 * std::log10(3.0), 1e-9);  // 190.85
  EXPECT_NEAR(elo_of_score(0.25), -400 * std::log10(3.0), 1e-9);
  EXPECT_NEAR(score_of_elo(400), 10.0 / 11.0, 1e-12);
  EXPECT_NEAR(score_of_elo(elo_of_score(0.6)), 0.6, 1e-12);
}

TEST(Stats, SixtyWinsFortyLosses) {
  // s = 0.6; per-game variance (60 * 0.16 + 40 * 0.36) / 100 = 0.24;
  // 95% margin 1.96 * sqrt(0.24 / 100) = 0.09602 -> scores 0.50398 .. 0.69602.
  const Tally t{60, 40, 0};
  EXPECT_EQ(tally_games(t), 100);
  EXPECT_DOUBLE_EQ(tally_score(t), 0.6);
  const EloEstimate e = elo_estimate(t);
  ASSERT_TRUE(e.valid);
  EXPECT_NEAR(e.diff, 70.4365, 1e-4);
  EXPECT_NEAR(e.error, 70.5712, 1e-4);
}

TEST(Stats, DrawsNarrowTheErrorBar) {
  // 30-30-40: s = 0.5, variance (30 * 0.25 + 30 * 0.25 + 0) / 100 = 0.15.
  const EloEstimate e = elo_estimate(Tally{30, 30, 40});
  ASSERT_TRUE(e.valid);
  EXPECT_NEAR(e.diff, 0.0, 1e-9);
  EXPECT_NEAR(e.error, 53.1580, 1e-4);
}

TEST(Stats, ErrorBarReachingAPerfectScoreIsInfinite) {
  // 3-17-0: s = 0.15, var = (3 * 0.7225 + 17 * 0.0225) / 20 = 0.1275,
  // margin 1.96 * sqrt(0.1275 / 20) = 0.1565 > 0.15.
  const EloEstimate e = elo_estimate(Tally{3, 17, 0});
  ASSERT_TRUE(e.valid);
  EXPECT_NEAR(e.diff, -301.3311, 1e-4);
  EXPECT_TRUE(std::isinf(e.error));
}

TEST(Stats, NoEloForPerfectScoresOrNoGames) {
  EXPECT_FALSE(elo_estimate(Tally{5, 0, 0}).valid);
  EXPECT_FALSE(elo_estimate(Tally{0, 3, 0}).valid);
  EXPECT_FALSE(elo_estimate(Tally{}).valid);
  EXPECT_DOUBLE_EQ(tally_score(Tally{}), 0.0);
}

TEST(Stats, SprtLogLikelihoodRatio) {
  // s = 0.6, var = 0.24, s0 = 0.5, s1 = score_of_elo(10) = 0.514387;
  // LLR = 100 * (0.1^2 - 0.085613^2) / 0.48 = 0.55634.
  const SprtSetup setup{0, 10, 0.05, 0.05};
  const SprtState st = sprt_state(Tally{60, 40, 0}, setup);
  EXPECT_NEAR(st.llr, 0.556343, 1e-6);
  EXPECT_NEAR(st.lower, std::log(0.05 / 0.95), 1e-12);  // -2.944
  EXPECT_NEAR(st.upper, std::log(0.95 / 0.05), 1e-12);  // +2.944
  EXPECT_EQ(st.decision, SprtDecision::CONTINUE);
}

TEST(Stats, SprtWithDrawsAndUnequalErrors) {
  // 55-35-10: s = 0.6, var = (55 * 0.16 + 35 * 0.36 + 10 * 0.01) / 100 = 0.215;
  // s1 = score_of_elo(20) = 0.528751; LLR = 100 * (0.01 - 0.071249^2) / 0.43 = 1.14500.
  const SprtState st = sprt_state(Tally{55, 35, 10}, SprtSetup{0, 20, 0.05, 0.10});
  EXPECT_NEAR(st.llr, 1.145004, 1e-6);
  EXPECT_NEAR(st.lower, std::log(0.10 / 0.95), 1e-12);  // -2.2513
  EXPECT_NEAR(st.upper, std::log(0.90 / 0.05), 1e-12);  // +2.8904
  EXPECT_EQ(st.decision, SprtDecision::CONTINUE);
}

TEST(Stats, SprtDecides) {
  // Equal results against a +200 hypothesis: s = 0.5, LLR = n (0 - 0.259747^2) / (2 var).
  const SprtState h0 = sprt_state(Tally{10, 10, 0}, SprtSetup{0, 200, 0.05, 0.05});
  EXPECT_NEAR(h0.llr, 20 * -(0.259747 * 0.259747) / 0.5, 1e-4);  // -2.699: not yet
  EXPECT_EQ(h0.decision, SprtDecision::CONTINUE);
  EXPECT_EQ(sprt_state(Tally{12, 12, 0}, SprtSetup{0, 200, 0.05, 0.05}).decision,
            SprtDecision::ACCEPT_H0);
  // Three wins, three draws: s = 0.75, var = 0.0625, LLR = 6 (0.0625 - 0.009747^2) / 0.125
  // = 2.9954.
  const SprtState h1 = sprt_state(Tally{3, 0, 3}, SprtSetup{0, 200, 0.05, 0.05});
  EXPECT_NEAR(h1.llr, 2.99544, 1e-4);
  EXPECT_EQ(h1.decision, SprtDecision::ACCEPT_H1);
  EXPECT_EQ(sprt_state(Tally{2, 0, 3}, SprtSetup{0, 200, 0.05, 0.05}).decision,
            SprtDecision::CONTINUE);
}

TEST(Stats, SprtUndecidedWithoutVariance) {
  EXPECT_EQ(sprt_state(Tally{4, 0, 0}, SprtSetup{}).llr, 0.0);
  EXPECT_EQ(sprt_state(Tally{}, SprtSetup{}).decision, SprtDecision::CONTINUE);
}

}  // namespace
}  // namespace kelmstrad::match
