// The reduced quiescence on hand-worked trees: the lazy gate, stand pat, each
// capture switch and its statistics, fail-hard against fail-soft results.
#include "driver/skeleton_quiesce.h"

#include <gtest/gtest.h>

#include "board/position.h"
#include "eval/evaluate.h"
#include "skeleton_support.h"

namespace kelmstrad::test {
namespace {

// The statistics the quiescence advances, as one comparable record.
struct QCounts {
  uint32_t nodes, qs, legal, victims, generated, tried, cutoffs, lazy_hits, lazy_tries;
  bool operator==(const QCounts&) const = default;
};

std::ostream& operator<<(std::ostream& out, const QCounts& c) {
  return out << "nodes " << c.nodes << " qs " << c.qs << " legal " << c.legal << " victims "
             << c.victims << " generated " << c.generated << " tried " << c.tried << " cutoffs "
             << c.cutoffs << " lazy " << c.lazy_hits << "/" << c.lazy_tries;
}

QCounts counts() {
  return {skel_nodes,
          op_counters[QS],
          op_counters[LEGAL],
          skel_stats.victims_scanned,
          skel_stats.captures_generated,
          skel_stats.captures_tried,
          skel_stats.cutoffs,
          skel_stats.lazy_hits,
          skel_stats.lazy_tries};
}

// Qxd5 exd5 with open window: the root stands pat, the queen capture is
// searched and refuted. Node 3 (White with a bare king) sits far below its
// alpha (the root's stand pat) even with the margin added: one lazy hit.
// Node 2 cuts because node 3 fails low.
TEST(SkelQuiesce, RefutedCaptureKeepsTheStandPat) {
  SkelFixtureState state;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int stand_pat = skeleton_eval();
  const Position before = position;
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, NO_SCORE, 0), stand_pat);
  EXPECT_EQ(counts(), (QCounts{3, 3, 2, 0, 2, 2, 1, 1, 3}));
  EXPECT_EQ(position.hash, before.hash);
  EXPECT_EQ(position.history_top, before.history_top);
  EXPECT_EQ(move_stack_len, 0);
}

// SKSEE: the queen taking a pawn defended by a pawn fails the cheap test
// and is never made, though it counts as tried.
TEST(SkelQuiesce, CheapExchangeFilterSkipsTheLosingCapture) {
  SkelFixtureState state;
  skel_switches.sksee = true;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int stand_pat = skeleton_eval();
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, NO_SCORE, 0), stand_pat);
  EXPECT_EQ(counts(), (QCounts{1, 1, 0, 0, 1, 1, 0, 0, 1}));
  EXPECT_EQ(op_counters[MAKE], 0u);
}

// STAGED: victims most valuable first, the king included; node 1 scans
// Black's king and two pawns, node 2 White's king then queen (where it cuts),
// node 3 Black's king and pawn. Nothing counts as generated.
TEST(SkelQuiesce, StagedScansVictimByVictim) {
  SkelFixtureState state;
  skel_switches.staged = true;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int stand_pat = skeleton_eval();
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, NO_SCORE, 0), stand_pat);
  EXPECT_EQ(counts(), (QCounts{3, 3, 2, 7, 0, 2, 1, 1, 3}));
}

// QMAX 1: the node after Qxd5 stands pat at once, so the capture looks
// winning and the root takes its value.
TEST(SkelQuiesce, PlyLimitStopsBelowTheRoot) {
  SkelFixtureState state;
  skel_switches.qmax = 1;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  ASSERT_TRUE(make_move(skel_move("d1d5")));
  const int after_capture = skeleton_eval();
  unmake_move();
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, NO_SCORE, 0), -after_capture);
  EXPECT_EQ(counts(), (QCounts{2, 2, 1, 0, 1, 1, 0, 0, 2}));
}

// RECAP without a last capture searches nothing.
TEST(SkelQuiesce, RecaptureOnlyWithoutLastCaptureStandsPat) {
  SkelFixtureState state;
  skel_switches.recap = true;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int stand_pat = skeleton_eval();
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, NO_SCORE, 0), stand_pat);
  EXPECT_EQ(counts(), (QCounts{1, 1, 0, 0, 0, 0, 0, 0, 1}));
}

// RECAP after exd5: Qxd5, cxd5 on the same square, searched without any
// capture statistics; LEGAL still counts.
TEST(SkelQuiesce, RecapturesFollowTheCaptureSquare) {
  SkelFixtureState state;
  skel_switches.recap = true;
  set_skel_position("7k/8/2p1p3/3N4/8/8/8/3Q3K b - - 0 1");
  ASSERT_TRUE(make_move(skel_move("e6d5")));
  ASSERT_EQ(position.recapture_square, 0x43);
  const int stand_pat = skeleton_eval();
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, NO_SCORE, 0), stand_pat);
  EXPECT_EQ(counts(), (QCounts{3, 3, 2, 0, 0, 0, 0, 1, 3}));
  EXPECT_EQ(position.recapture_square, 0x43);
}

// A recapture square that holds a piece of the side to move (left there
// across a null move) is no capture: nothing is generated or made.
TEST(SkelQuiesce, RecaptureSquareWithOwnPieceIsIgnored) {
  SkelFixtureState state;
  skel_switches.recap = true;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  position.recapture_square = 0x03;  // d1, White's own queen
  const Position before = position;
  skeleton_quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(op_counters[MAKE], 0u);
  EXPECT_EQ(position.hash, before.hash);
  EXPECT_EQ(position.board[0x03], before.board[0x03]);
  EXPECT_TRUE(position_is_ok());
}

// DELTA: with alpha 500 above the incremental score the stand pat is the
// lazy l + 200 and the pawn capture cannot reach alpha: l + 200 + 10 + 150.
TEST(SkelQuiesce, DeltaSkipsCapturesThatCannotReachAlpha) {
  SkelFixtureState state;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int l = quick_eval();
  skel_switches.delta = true;
  EXPECT_EQ(skeleton_quiesce(l + 500, l + 600, 0), l + 500);
  EXPECT_EQ(counts(), (QCounts{1, 1, 0, 0, 1, 1, 0, 1, 1}));

  // At alpha l + 300 the same capture passes (l + 360 is not below it).
  skel_tables_clear();
  skel_nodes = 0;
  memset(op_counters, 0, sizeof(op_counters));
  skeleton_quiesce(l + 300, l + 600, 0);
  EXPECT_EQ(op_counters[LEGAL], 1u);
}

// QFUT: a stand pat 999 or more below alpha returns at once, below alpha.
TEST(SkelQuiesce, FutilityReturnsTheStandPatFarBelowAlpha) {
  SkelFixtureState state;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int l = quick_eval();
  skel_switches.qfut = true;
  EXPECT_EQ(skeleton_quiesce(l + 1200, l + 1300, 0), l + 200);
  EXPECT_EQ(counts(), (QCounts{1, 1, 0, 0, 0, 0, 0, 1, 1}));

  skel_switches.qfut = false;
  EXPECT_EQ(skeleton_quiesce(l + 1200, l + 1300, 0), l + 1200);
  EXPECT_EQ(skel_stats.captures_generated, 1u);
}

// The lazy gate above beta: fail-hard beta, or l - 200 under SOFT; a wider
// margin sends the node on to the reduced evaluation.
TEST(SkelQuiesce, LazyGateAboveBeta) {
  SkelFixtureState state;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int l = quick_eval();
  EXPECT_EQ(skeleton_quiesce(l - 350, l - 250, 0), l - 250);
  EXPECT_EQ(skel_stats.lazy_hits, 1u);
  EXPECT_EQ(op_counters[GENT], 0u);

  skel_switches.soft = true;
  EXPECT_EQ(skeleton_quiesce(l - 350, l - 250, 0), l - 200);
  EXPECT_EQ(skel_stats.lazy_hits, 2u);

  skel_switches.lazy_margin = 300;
  EXPECT_EQ(skeleton_quiesce(l - 350, l - 250, 0), l);
  EXPECT_EQ(skel_stats.lazy_hits, 2u);
  EXPECT_EQ(skel_stats.lazy_tries, 3u);
  skel_switches.soft = false;
  EXPECT_EQ(skeleton_quiesce(l - 350, l - 250, 0), l - 250);
}

// A stand pat at or above beta: beta when failing hard, itself under SOFT.
TEST(SkelQuiesce, StandPatAtBetaFailsHardOrSoft) {
  SkelFixtureState state;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int l = quick_eval();
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, l - 10, 0), l - 10);
  skel_switches.soft = true;
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, l - 10, 0), l);
  EXPECT_EQ(skel_stats.lazy_hits, 0u);
  EXPECT_EQ(op_counters[GENT], 0u);
}

// A history that is nearly full stops the quiescence before any make.
TEST(SkelQuiesce, GuardStandsPatWhenTheHistoryIsFull) {
  SkelFixtureState state;
  set_skel_position(QUEEN_TAKES_DEFENDED_PAWN);
  const int stand_pat = skeleton_eval();
  position.history_top = HISTORY_CAPACITY - 1;
  EXPECT_EQ(skeleton_quiesce(-NO_SCORE, NO_SCORE, 0), stand_pat);
  EXPECT_EQ(op_counters[MAKE], 0u);
  position.history_top = 0;
}

}  // namespace
}  // namespace kelmstrad::test
