// Quiescence search: stand pat, evasion nodes, recapture and depth limits,
// the exchange filter in every mode, static resolution, the table, quiet
// checks, trace lines, the depth histogram and the repetition statistics.
#include <gtest/gtest.h>

#include <string>

#include "board/attack.h"
#include "board/make.h"
#include "board/movegen.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "search/search_fixture.h"
#include "support.h"

namespace kelmstrad::test {
namespace {

class Quiesce : public SearchTest {
 protected:
  void SetUp() override {
    SearchTest::SetUp();
    qs_root_ply = 0;
  }

  // Plays a move of the current position (not in check).
  void play(const char* text) {
    in_check_hint = 0;
    ASSERT_TRUE(make_move(move(text))) << text;
  }
};

// White is a queen up and may take a pawn.
constexpr const char* QUEEN_UP = "4k3/8/8/3p4/8/8/3Q4/4K3 w - - 0 1";

TEST_F(Quiesce, StandPatAtBetaReturnsWithoutGenerating) {
  search_switches.lazyq = 0;
  set(QUEEN_UP);
  const int s = evaluate();
  fresh_counters();
  EXPECT_EQ(quiesce(s - 20, s - 10, 0), s);
  EXPECT_EQ(count(GENT), 0u);
  EXPECT_EQ(count(QS), 1u);
  EXPECT_EQ(count(EVAL), 1u);
  EXPECT_EQ(node_count, 1u);
}

TEST_F(Quiesce, LazyStandPatChargesOneEvalAndNoFullPath) {
  search_switches.lazyq = 200;
  set(QUEEN_UP);
  const int e = quick_eval();
  EXPECT_EQ(quiesce(e - 300, e - 200, 0), e - 200);
  EXPECT_EQ(count(EVAL), 1u);
  EXPECT_EQ(count(EVALX), 0u);
  EXPECT_EQ(count(GENT), 0u);
}

TEST_F(Quiesce, LazyLowerBoundReplacesTheEvaluationBelowAlpha) {
  // quick_eval + 200 <= alpha: the stand pat is e + 200 and no full evaluation runs.
  search_switches.lazyq = 200;
  search_switches.qmax = 0;
  set(QUEEN_UP);
  const int e = quick_eval();
  EXPECT_EQ(quiesce(e + 200, e + 300, 0), e + 200);
  EXPECT_EQ(count(EVAL), 1u);
  EXPECT_EQ(count(EVALX), 0u);
}

TEST_F(Quiesce, EvasionNodeWithoutLegalReplyIsMated) {
  set("R5k1/5ppp/8/8/8/8/8/6K1 b - - 1 1");
  qs_evasion = 1;
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 3), 3 - MATE_SCORE);
  EXPECT_EQ(qs_evasion, 0);
  EXPECT_EQ(count(LEGAL), 0u);
  EXPECT_EQ(count(GENQ), 1u);
}

TEST_F(Quiesce, EvasionNodeReturnsItsBestReplyEvenBelowAlpha) {
  // The White king's one legal reply is Kg2.
  set("k7/8/8/8/8/6P1/7P/r6K w - - 0 1");
  play("h1g2");
  const int after = quiesce(-6000, -5000, 2);
  unmake_move();
  fresh_counters();
  qs_evasion = 1;
  const int v = quiesce(5000, 6000, 1);
  EXPECT_EQ(v, -after);
  EXPECT_LT(v, 5000);
  EXPECT_EQ(count(LEGAL), 1u);
  EXPECT_EQ(node_count, 2u);
}

// After exd5, Black may recapture on d5 or take the knight on h3.
constexpr const char* RECAPTURE = "4k3/8/2p5/3p4/4P1b1/7N/8/4K3 w - - 0 1";

TEST_F(Quiesce, RecaptureLimitSearchesOnlyTheRecapture) {
  see_enabled = 0;
  search_switches.qrec = 2;
  set(RECAPTURE);
  play("e4d5");
  fresh_counters();
  quiesce(-NO_SCORE, NO_SCORE, 2);
  EXPECT_EQ(count(LEGAL), 1u);  // c6xd5 only; White has nothing on d5 after it
  search_switches.qrec = 99;
  fresh_counters();
  quiesce(-NO_SCORE, NO_SCORE, 2);
  EXPECT_GE(count(LEGAL), 2u);
}

TEST_F(Quiesce, RecaptureLimitSearchesNothingAfterAQuietMove) {
  see_enabled = 0;
  search_switches.qrec = 2;
  set(RECAPTURE);
  play("e1d2");
  fresh_counters();
  quiesce(-NO_SCORE, NO_SCORE, 2);
  EXPECT_EQ(count(LEGAL), 0u);
  EXPECT_EQ(count(GENT), 1u);
}

TEST_F(Quiesce, WithoutSeeOnlyDeltaPruningFilters) {
  // Qxd5 loses the queen to cxd5.
  const char* fen = "4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1";
  set(fen);
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(qs_see_tested, 1u);
  EXPECT_EQ(qs_see_pruned, 1u);
  EXPECT_EQ(count(LEGAL), 0u);
  see_enabled = 0;
  set(fen);
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(qs_see_tested, 0u);
  EXPECT_EQ(qs_see_pruned, 0u);
  EXPECT_EQ(count(LEGAL), 2u);  // Qxd5 and cxd5
}

TEST_F(Quiesce, DeltaPruningSkipsCapturesThatCannotReachAlpha) {
  see_enabled = 0;
  search_switches.lazyq = 0;
  set(QUEEN_UP);
  const int s = evaluate();
  const int reach = s + eval_params.matmg[PAWN] + search_switches.qdelta;
  fresh_counters();
  quiesce(reach + 1, reach + 100, 0);
  EXPECT_EQ(count(LEGAL), 0u);
  fresh_counters();
  quiesce(reach, reach + 100, 0);
  EXPECT_EQ(count(LEGAL), 1u);
}

struct FilterCase {
  const char* fen;
  bool dropped[4];  // by CheapSEE mode 0, 1, 2, 3
};

// Rook takes a knight-defended pawn; knight takes a bishop-defended pawn;
// knight takes a pawn-defended pawn.
constexpr FilterCase FILTER_CASES[] = {
    {"4k3/8/8/1n6/3p4/8/8/3RK3 w - - 0 1", {true, false, true, true}},
    {"4k3/8/5b2/8/3p4/8/4N3/4K3 w - - 0 1", {true, false, false, true}},
    {"4k3/8/8/2p5/3p4/8/4N3/4K3 w - - 0 1", {true, true, true, true}},
};

TEST_F(Quiesce, ExchangeFilterInEveryCheapSeeMode) {
  for (const FilterCase& c : FILTER_CASES) {
    for (int mode = 0; mode < 4; ++mode) {
      cheap_see = mode;
      set(c.fen);
      quiesce(-NO_SCORE, NO_SCORE, 0);
      if (c.dropped[mode]) {
        EXPECT_EQ(qs_see_tested, 1u) << c.fen << " mode " << mode;
        EXPECT_EQ(qs_see_pruned, 1u) << c.fen << " mode " << mode;
        EXPECT_EQ(count(LEGAL), 0u) << c.fen << " mode " << mode;
      } else {
        EXPECT_EQ(qs_see_pruned, 0u) << c.fen << " mode " << mode;
        EXPECT_GE(count(LEGAL), 1u) << c.fen << " mode " << mode;
      }
    }
  }
}

TEST_F(Quiesce, CheapSeeVariableOverridesTheOption) {
  cheap_see = 0;
  search_switches.cheapsee_set = true;
  search_switches.cheapsee = 1;  // pawn-guard test: the knight-defended pawn is taken
  set(FILTER_CASES[0].fen);
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(qs_see_pruned, 0u);
  EXPECT_GE(count(LEGAL), 1u);
}

TEST_F(Quiesce, ModeThreeChargesTheCheapLookups) {
  cheap_see = 3;
  set(FILTER_CASES[1].fen);  // one lookup finds the bishop, a second finds no white recapturer
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(slcalls_count, 2u);
  EXPECT_EQ(count(SEEF), 0u);
}

// Pawn takes an undefended knight: a full exchange of 32.
constexpr const char* PAWN_TAKES_KNIGHT = "4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1";

TEST_F(Quiesce, StaticResolutionAddsTenTimesTheBestExchange) {
  search_switches.qstat = 1;
  search_switches.lazyq = 0;
  set(PAWN_TAKES_KNIGHT);
  const int s = evaluate();
  fresh_counters();
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 0), s + 320);
  EXPECT_EQ(count(MAKE), 0u);
  EXPECT_EQ(count(SEEF), 1u);
}

TEST_F(Quiesce, StaticResolutionIgnoresCapturesBeyondTheMargin) {
  search_switches.qstat = 1;
  search_switches.lazyq = 0;
  set(PAWN_TAKES_KNIGHT);
  const int s = evaluate();
  const int alpha = s + eval_params.matmg[KNIGHT] + QS_STATIC_MARGIN + 1;
  fresh_counters();
  EXPECT_EQ(quiesce(alpha, alpha + 1, 0), s);
  EXPECT_EQ(count(SEEF), 0u);
}

TEST_F(Quiesce, StaticResolutionStartsAtDepthQstatMinusOne) {
  search_switches.qstat = 2;
  search_switches.lazyq = 0;
  set(PAWN_TAKES_KNIGHT);
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(count(LEGAL), 1u);  // the first ply still searches exd5
}

TEST_F(Quiesce, MaximumDepthReturnsStandPat) {
  search_switches.qmax = 0;
  search_switches.lazyq = 0;
  set(PAWN_TAKES_KNIGHT);
  const int s = evaluate();
  fresh_counters();
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 0), s);
  EXPECT_EQ(count(GENT), 0u);
  skeleton_mode = 1;  // Skeleton searches on without the limit
  fresh_counters();
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(count(LEGAL), 1u);
}

TEST_F(Quiesce, TableStoresAndAnswersWithQtt) {
  search_switches.qtt = true;
  set("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");  // no captures: one node
  const int v = quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(side_counters[QTT_COUNT], 2u);  // probe and store
  const TTEntry& entry = tt_slot_for_key(tt_key(), false);
  EXPECT_EQ(entry.check, tt_check_value());
  EXPECT_EQ(entry.depth, 0);
  EXPECT_EQ(entry.bound, BOUND_EXACT);
  EXPECT_EQ(entry.score, v);
  fresh_counters();
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 0), v);
  EXPECT_EQ(side_counters[QTT_COUNT], 1u);
  EXPECT_EQ(count(GENT), 0u);
}

TEST_F(Quiesce, TableIsUntouchedWithoutQtt) {
  set(PAWN_TAKES_KNIGHT);
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(side_counters[QTT_COUNT], 0u);
  EXPECT_EQ(tt_slot_for_key(tt_key(), false).check, 0);
}

TEST_F(Quiesce, QuiescenceNeverOverwritesAMainSearchEntry) {
  search_switches.qtt = true;
  set(PAWN_TAKES_KNIGHT);
  tt_store_main(3, 55, BOUND_LOWER, 0, 0);
  const TTEntry before = tt_slot_for_key(tt_key(), false);
  quiesce(-NO_SCORE, NO_SCORE, 0);
  const TTEntry after = tt_slot_for_key(tt_key(), false);
  EXPECT_EQ(after.depth, before.depth);
  EXPECT_EQ(after.score, before.score);
  EXPECT_EQ(after.bound, before.bound);
}

// Ra8 mates; White has no captures.
constexpr const char* BACK_RANK = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";

TEST_F(Quiesce, QuietChecksFindAMateAtTheFirstPly) {
  search_switches.qchk = 1;
  set(BACK_RANK);
  const uint16_t base = move_stack_len;
  generate_moves(false);
  const uint32_t quiets = move_stack_len - base;
  move_stack_len = base;
  fresh_counters();
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 0), MATE_SCORE - 1);
  EXPECT_EQ(side_counters[GCP_COUNT], quiets);
  EXPECT_EQ(count(LEGAL), 1u);
  EXPECT_EQ(move_stack_len, base);
}

TEST_F(Quiesce, QuietChecksOnlyAtTheFirstPly) {
  search_switches.qchk = 1;
  search_switches.lazyq = 0;
  set(BACK_RANK);
  const int s = evaluate();
  fresh_counters();
  qs_root_ply = 0;
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 1), s);
  EXPECT_EQ(side_counters[GCP_COUNT], 0u);
}

TEST_F(Quiesce, TraceLines) {
  search_switches.ctrace = true;
  search_switches.lazyq = 0;
  set("4k3/8/8/3p4/8/8/8/3QK3 w - - 0 1");
  const int s0 = evaluate();
  play("d1d5");
  const int s1 = evaluate();
  unmake_move();
  fresh_counters();
  const std::string out = capture_output([] { quiesce(-NO_SCORE, NO_SCORE, 0); });
  const std::string expected = "Q 0 -32000 32000\nE " + std::to_string(s0) +
                               "\nM 0343\nQ 1 -32000 " + std::to_string(-s0) + "\nE " +
                               std::to_string(s1) + "\n";
  EXPECT_EQ(out, expected);
}

TEST_F(Quiesce, HistogramCountsByDepthAndQhistClearsIt) {
  memset(qs_depth_histogram, 0, sizeof(qs_depth_histogram));
  set(QUEEN_UP);
  quiesce(-NO_SCORE, -NO_SCORE + 1, 2);   // stand pat at beta: one node at depth 2
  quiesce(-NO_SCORE, -NO_SCORE + 1, 40);  // deeper than 31: the last entry
  qs_root_ply = 5;
  quiesce(-NO_SCORE, -NO_SCORE + 1, 2);  // above qs_root_ply: entry 0
  EXPECT_EQ(qs_depth_histogram[31], 1u);
  EXPECT_EQ(capture_output([] { process_line("qhist"); }),
            "qhist 1 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
  EXPECT_EQ(qs_depth_histogram[31], 0u);
  EXPECT_EQ(capture_output([] { process_line("qhist"); }),
            "qhist 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n");
}

TEST_F(Quiesce, DepthGuardsReturnTheEvaluation) {
  search_switches.lazyq = 0;
  set(PAWN_TAKES_KNIGHT);
  const int s = evaluate();
  fresh_counters();
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 30), s);
  EXPECT_EQ(count(GENT), 0u);
  fresh_counters();
  quiesce(-NO_SCORE, NO_SCORE, 29);
  EXPECT_EQ(count(GENT), 1u);
  fresh_counters();
  move_stack_len = 301;  // beyond the stack limit
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 1), s);
  EXPECT_EQ(count(GENT), 0u);
  EXPECT_EQ(move_stack_len, 301);
}

TEST_F(Quiesce, AbortReturnsZeroAtOnce) {
  set(PAWN_TAKES_KNIGHT);
  abort_search.store(1);
  EXPECT_EQ(quiesce(-NO_SCORE, NO_SCORE, 0), 0);
  EXPECT_EQ(count(EVAL), 0u);
  abort_search.store(0);
}

TEST_F(Quiesce, InCheckCellIsTakenOnceAndCharged) {
  // The capture loop works out the in-check status with one charged test
  // in the "qs-flag" context when the caller did not pass it.
  see_enabled = 0;
  set(PAWN_TAKES_KNIGHT);
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(attack_bucket[2], 1u);
  set(PAWN_TAKES_KNIGHT);
  qs_in_check = 0;
  quiesce(-NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(attack_bucket[2], 0u);
  EXPECT_EQ(qs_in_check, -1);
}

TEST_F(Quiesce, RepetitionStatisticsLine) {
  search_switches.qrepstat = true;
  set(QUEEN_UP);
  testing::internal::CaptureStderr();
  for (int i = 0; i < 65536; ++i) quiesce(-NO_SCORE, -NO_SCORE + 1, 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "qs nodes 65536 repeats 65535 (100.0%)\n");
}

}  // namespace
}  // namespace kelmstrad::test
