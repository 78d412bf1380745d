// Main search: mates, draws, the in-check status and extension, the depth
// guards, the pruning block (reverse futility, null move, futility), the
// move loop's pruning and reductions, the correction table, the options that
// act on the search, trace lines and determinism.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/make.h"
#include "driver/think.h"
#include "eval/evaluate.h"
#include "search/search_fixture.h"
#include "support.h"

namespace kelmstrad::test {
namespace {

class AlphaBeta : public SearchTest {
 protected:
  // The text of a move of the current position.
  std::string text(Move m) { return m == 0 ? "0000" : move_to_text(m); }
};

TEST_F(AlphaBeta, MateInOneAtDepthOne) {
  set("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
  const FixedDepthResult r = search_fixed_depth(1);
  EXPECT_EQ(r.score, MATE_SCORE - 1);
  EXPECT_EQ(text(r.move), "a1a8");
}

TEST_F(AlphaBeta, MateInTwoAtDepthThree) {
  // Qd8+ Bxd8 Re8 mate.
  set("r1b2k1r/ppp1bppp/8/1B1Q4/5q2/2P5/PPP2PPP/R3R1K1 w - - 1 1");
  const FixedDepthResult r = search_fixed_depth(3);
  EXPECT_EQ(r.score, MATE_SCORE - 3);
  EXPECT_EQ(text(r.move), "d5d8");
}

TEST_F(AlphaBeta, MateInThreeAtDepthFive) {
  // Ra6 (discovered check) f6 Bxf6+ Rg7 Rxa8 mate.
  set("r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1");
  const FixedDepthResult r = search_fixed_depth(5);
  EXPECT_EQ(r.score, MATE_SCORE - 5);
  EXPECT_EQ(text(r.move), "f6a6");
}

TEST_F(AlphaBeta, QuietMateInTwoNeedsTheDepthLateMoveReductionsLeave) {
  // Kb6 is the fifth quiet move: reduced at depth 3, found at depth 4.
  set("k7/8/8/2K5/8/8/8/7R w - - 0 1");
  EXPECT_LT(search_fixed_depth(3).score, MATE_BOUND);
  tt_clear();
  const FixedDepthResult r = search_fixed_depth(4);
  EXPECT_EQ(r.score, MATE_SCORE - 3);
  EXPECT_EQ(text(r.move), "c5b6");
}

TEST_F(AlphaBeta, MatedSideScoresMinusMate) {
  set("R5k1/5ppp/8/8/8/8/8/6K1 b - - 1 1");
  EXPECT_EQ(alpha_beta(2, -NO_SCORE, NO_SCORE, 0, 0), -MATE_SCORE);
  EXPECT_EQ(root_best_move, 0);
}

// Black to move has no legal move and is not in check.
constexpr const char* STALEMATE = "k7/8/1Q6/8/8/8/8/7K b - - 0 1";

TEST_F(AlphaBeta, StalemateScoresZero) {
  set(STALEMATE);
  const FixedDepthResult r = search_fixed_depth(3);
  EXPECT_EQ(r.score, 0);
  EXPECT_EQ(r.move, 0);
}

TEST_F(AlphaBeta, StalemateCountersAtDepthOne) {
  // One node: its in-check test, one probe, both generations, three king
  // moves refused by make's full test, no store.
  set(STALEMATE);
  EXPECT_EQ(alpha_beta(1, -NO_SCORE, NO_SCORE, 0, 0), 0);
  EXPECT_EQ(node_count, 1u);
  EXPECT_EQ(count(AB), 1u);
  EXPECT_EQ(count(QS), 0u);
  EXPECT_EQ(count(ATT), 4u);
  EXPECT_EQ(attack_bucket[0], 1u);
  EXPECT_EQ(attack_bucket[3], 3u);
  EXPECT_EQ(count(TTPROBE), 1u);
  EXPECT_EQ(count(TTSTORE), 0u);
  EXPECT_EQ(count(GENT), 1u);
  EXPECT_EQ(count(GENQ), 1u);
  EXPECT_EQ(count(MAKE), 3u);
  EXPECT_EQ(count(LEGAL), 0u);
  EXPECT_EQ(count(EVAL), 0u);
}

// White, not in check, has one legal move: a6a7.
constexpr const char* SINGLE_MOVE = "6r1/8/P7/3k4/8/7p/7P/7K w - - 0 1";

TEST_F(AlphaBeta, SingleMoveCountersAtDepthOne) {
  // The root: one in-check test, one probe, both generations, the king's
  // two moves refused by make's full test, and a6a7; the child: its own
  // in-check test before the horizon, then one quiescence node with a full
  // stand pat and an empty capture generation; then one store.
  set(SINGLE_MOVE);
  alpha_beta(1, -NO_SCORE, NO_SCORE, 0, 0);
  EXPECT_EQ(node_count, 2u);
  EXPECT_EQ(count(AB), 1u);
  EXPECT_EQ(count(QS), 1u);
  EXPECT_EQ(count(LEGAL), 1u);
  EXPECT_EQ(count(MAKE), 3u);
  EXPECT_EQ(count(TTPROBE), 1u);
  EXPECT_EQ(count(TTSTORE), 1u);
  EXPECT_EQ(count(GENT), 2u);
  EXPECT_EQ(count(GENQ), 1u);
  EXPECT_EQ(count(EVAL), 1u);
  EXPECT_EQ(count(ATT), 4u);
  EXPECT_EQ(attack_bucket[0], 2u);
  EXPECT_EQ(attack_bucket[3], 2u);
  EXPECT_EQ(text(root_best_move), "a6a7");
}

TEST_F(AlphaBeta, RepetitionIsADrawAwayFromTheRootOnly) {
  process_line("position startpos moves g1f3 g8f6 f3g1 f6g8");
  fresh_counters();
  EXPECT_EQ(alpha_beta(3, -NO_SCORE, NO_SCORE, 1, 1), 0);
  EXPECT_EQ(node_count, 0u);
  search_fixed_depth(1);
  EXPECT_GT(node_count, 1u);
  EXPECT_NE(root_best_move, 0);
}

TEST_F(AlphaBeta, RepetitionWindowDoesNotReachAcrossANullMove) {
  // Two passes bring back the start position with a halfmove clock of 0.
  process_line("position startpos moves g1f3 g8f6 f3g1 f6g8");
  make_null_move();
  make_null_move();
  fresh_counters();
  alpha_beta(1, -NO_SCORE, NO_SCORE, 1, 1);
  EXPECT_GT(node_count, 0u);
  unmake_null_move();
  unmake_null_move();
}

TEST_F(AlphaBeta, FiftyMoveRuleAwayFromTheRootOnly) {
  set("4k3/8/8/8/8/8/4P3/4K3 w - - 100 80");
  EXPECT_EQ(alpha_beta(3, -NO_SCORE, NO_SCORE, 1, 1), 0);
  EXPECT_EQ(node_count, 0u);
  search_fixed_depth(1);
  EXPECT_GT(node_count, 0u);
  set("4k3/8/8/8/8/8/4P3/4K3 w - - 99 80");
  alpha_beta(3, -NO_SCORE, NO_SCORE, 1, 1);
  EXPECT_GT(node_count, 0u);
}

TEST_F(AlphaBeta, PinnedPieceIsNeverMoved) {
  // The knight on e2 is pinned by the rook on e8; Nxd4 would win the queen.
  set("4r1k1/8/8/8/3q4/8/4N3/4K3 w - - 0 1");
  const FixedDepthResult r = search_fixed_depth(4);
  EXPECT_NE(r.move, 0);
  EXPECT_NE(move_from(r.move), 0x14) << text(r.move);
  EXPECT_EQ(position.board[0x14], KNIGHT);
}

TEST_F(AlphaBeta, KingAndPawnsNeverNullMove) {
  set("4k3/pppp4/8/8/8/8/PPPP4/4K3 w - - 0 1");
  search_fixed_depth(6);
  EXPECT_EQ(count(NULL_MOVE), 0u);
  set("4k3/pppp4/8/8/8/8/PPPP4/1N2K3 w - - 0 1");
  search_fixed_depth(6);
  EXPECT_GT(count(NULL_MOVE), 0u);
}

TEST_F(AlphaBeta, NullMoveFailingHighWithAMateReturnsBeta) {
  // After a pass Black must play Kb8 and Rg8 mates; the killer of ply 3
  // makes Rg8 the first move tried there.
  search_switches.rfp = 0;
  set("k7/8/1K6/8/8/8/8/6R1 w - - 0 1");
  killers[3] = encode_move(0x06, 0x76);
  EXPECT_EQ(alpha_beta(5, 99, 100, 1, 1), 100);
  EXPECT_EQ(count(NULL_MOVE), 1u);
}

TEST_F(AlphaBeta, NullMoveMateThreatExtendsWithNthr4) {
  // Passing allows Rd1 mate, so the node is searched one ply deeper and
  // stores its entry at depth 5.
  const char* fen = "3r3k/RR4pp/8/8/8/8/5PPP/6K1 w - - 0 1";
  search_switches.nthr = NTHR_MATE_EXTENSION;
  set(fen);
  alpha_beta(4, 99, 100, 1, 1);
  EXPECT_EQ(tt_slot(false).check, tt_check_value());
  EXPECT_EQ(tt_slot(false).depth, 5);
  search_switches.nthr = 0;
  tt_clear();
  set(fen);
  alpha_beta(4, 99, 100, 1, 1);
  EXPECT_EQ(tt_slot(false).depth, 4);
}

// A quiet middlegame position, White to move, not in check.
constexpr const char* MIDDLEGAME =
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";

TEST_F(AlphaBeta, ReverseFutilityMargins) {
  search_switches.lazys = false;
  set(MIDDLEGAME);
  const int e = evaluate();
  fresh_counters();
  // Depth 2, evaluation beta + 250: returns beta + 50 without searching.
  EXPECT_EQ(alpha_beta(2, e - 251, e - 250, 1, 1), e - 200);
  EXPECT_EQ(node_count, 1u);
  EXPECT_EQ(count(GENT), 0u);
  // Depth 3: the margin is 300.
  fresh_counters();
  EXPECT_EQ(alpha_beta(3, e - 301, e - 300, 1, 1), e - 300);
  EXPECT_EQ(node_count, 1u);
  fresh_counters();
  alpha_beta(3, e - 300, e - 299, 1, 1);
  EXPECT_GT(node_count, 1u);
}

// White has eleven quiet moves, no captures and no checks.
constexpr const char* QUIET_PAWNS = "4k3/8/8/8/8/8/PPP5/4K3 w - - 0 1";

TEST_F(AlphaBeta, DepthOneFutilityBoundary) {
  search_switches.lazys = false;
  set(QUIET_PAWNS);
  const int e = evaluate();
  // E + 199 < alpha: every quiet move after the first is futile, uncharged.
  fresh_counters();
  alpha_beta(1, e + 200, e + 201, 1, 1);
  EXPECT_EQ(count(LEGAL), 1u);
  EXPECT_EQ(count(LMP), 0u);
  // E + 199 = alpha: no futility; late-move pruning after three moves.
  tt_clear();
  fresh_counters();
  alpha_beta(1, e + 199, e + 200, 1, 1);
  EXPECT_EQ(count(LEGAL), 3u);
  EXPECT_EQ(count(LMP), 8u);
}

TEST_F(AlphaBeta, NoFutWithdrawsDepthOneFutility) {
  search_switches.lazys = false;
  search_switches.nofut = true;
  set(QUIET_PAWNS);
  const int e = evaluate();
  fresh_counters();
  alpha_beta(1, e + 200, e + 201, 1, 1);
  EXPECT_EQ(count(LEGAL), 3u);
}

TEST_F(AlphaBeta, LatePruningNeedsANullWindow) {
  search_switches.lazys = false;
  set(QUIET_PAWNS);
  const int e = evaluate();
  fresh_counters();
  alpha_beta(1, e - 100, e + 200, 1, 1);
  EXPECT_EQ(count(LEGAL), 11u);
  EXPECT_EQ(count(LMP), 0u);
}

TEST_F(AlphaBeta, ReductionSteps) {
  EXPECT_EQ(late_move_reduction(3, 4, false), 1);
  EXPECT_EQ(late_move_reduction(3, 8, false), 1);
  EXPECT_EQ(late_move_reduction(3, 9, false), 2);
  EXPECT_EQ(late_move_reduction(6, 17, false), 2);
  search_switches.lmr3 = 6;
  EXPECT_EQ(late_move_reduction(6, 17, false), 3);
  EXPECT_EQ(late_move_reduction(5, 17, false), 2);
  EXPECT_EQ(late_move_reduction(6, 16, false), 2);
}

TEST_F(AlphaBeta, LogarithmicReductions) {
  search_switches.lmrlog = 100;
  build_lmr_table(100);
  EXPECT_EQ(lmr_table[8][20], 6);
  EXPECT_EQ(late_move_reduction(8, 20, false), 6);  // searched at depth 1
  EXPECT_EQ(late_move_reduction(8, 20, true), 5);
  EXPECT_EQ(late_move_reduction(3, 4, false), 1);  // held at depth - 2
  EXPECT_EQ(late_move_reduction(4, 200, false), 2);
  EXPECT_EQ(lmr_table[0][10], 0);
  EXPECT_EQ(lmr_table[1][10], 0);  // ln 1 = 0
}

TEST_F(AlphaBeta, SmallLogDivisorsSaturateInsteadOfWrapping) {
  build_lmr_table(8);
  EXPECT_EQ(lmr_table[63][255], 255);
  build_lmr_table(1);
  EXPECT_EQ(lmr_table[63][255], 255);
  EXPECT_EQ(lmr_table[2][2], 48);  // trunc(0.4805 / 0.01 + 0.75)
  build_lmr_table(-100);
  EXPECT_EQ(lmr_table[63][255], 0);
}

TEST_F(AlphaBeta, CorrectionLearningRule) {
  search_switches.corrw = 16;
  search_switches.corrmax = 150;
  // Depth 4, raw 0, entry 0, fail high with 100: 0 + 800 x 8 / 64 = 100.
  EXPECT_EQ(learned_correction(0, 100, 0, 4), 100);
  EXPECT_EQ(learned_correction(0, 100, 0, 1), 25);      // weight 2 x depth
  EXPECT_EQ(learned_correction(0, 100, 0, 10), 200);    // weight CORRW
  EXPECT_EQ(learned_correction(0, -7, 0, 1), -1);       // truncation toward zero
  EXPECT_EQ(learned_correction(0, 10000, 0, 8), 1200);  // held at 8 x CORRMAX
  EXPECT_EQ(learned_correction(0, -10000, 0, 8), -1200);
}

TEST_F(AlphaBeta, CorrectionIsAppliedAndClearedByUcinewgame) {
  search_switches.lazys = false;
  search_switches.corr = true;
  set(MIDDLEGAME);
  const int raw = evaluate();
  int16_t& entry = correction_table[0][position.pawn_king_key & (search_switches.corrn - 1)];
  entry = 80;  // ten centipawns
  fresh_counters();
  // Reverse futility at depth 2 sees raw + 10.
  EXPECT_EQ(alpha_beta(2, raw - 191, raw - 190, 1, 1), raw - 190);
  EXPECT_EQ(side_counters[CORR_COUNT], 1u);
  process_line("ucinewgame");
  EXPECT_EQ(entry, 0);
}

class Correction : public AlphaBeta {
 protected:
  // Sets SINGLE_MOVE with an entry that puts the corrected evaluation ten
  // centipawns above the node's result, which is -(Black's stand pat).
  void SetUp() override {
    AlphaBeta::SetUp();
    search_switches.lazys = false;
    search_switches.lazyq = 0;
    search_switches.corr = true;
    set(SINGLE_MOVE);
    raw_ = evaluate();
    in_check_hint = 0;
    make_move(move("a6a7"));
    best_ = -evaluate();
    unmake_move();
    entry_ = &correction_table[0][position.pawn_king_key & (search_switches.corrn - 1)];
    *entry_ = static_cast<int16_t>(8 * (best_ - raw_) + 80);
    fresh_counters();
  }
  int raw_ = 0;
  int best_ = 0;
  int16_t* entry_ = nullptr;
};

TEST_F(Correction, FailLowBelowTheEvaluationLearns) {
  const int16_t before = *entry_;
  EXPECT_EQ(alpha_beta(1, best_ + 50, best_ + 51, 1, 1), best_);
  EXPECT_EQ(*entry_, learned_correction(before, best_, raw_, 1));
  EXPECT_NE(*entry_, before);
}

TEST_F(Correction, FailHighBelowTheEvaluationLearnsNothing) {
  const int16_t before = *entry_;
  EXPECT_EQ(alpha_beta(1, best_ - 51, best_ - 50, 1, 1), best_);
  EXPECT_EQ(*entry_, before);
}

TEST_F(AlphaBeta, NodeInCheckAtTheHorizonIsExtended) {
  const char* fen = "k7/8/8/8/8/8/8/r5K1 w - - 0 1";
  set(fen);
  alpha_beta(0, -NO_SCORE, NO_SCORE, 1, 1);
  EXPECT_EQ(count(AB), 1u);
  search_switches.noext = true;
  set(fen);
  alpha_beta(0, -NO_SCORE, NO_SCORE, 1, 1);
  EXPECT_EQ(count(AB), 0u);
  EXPECT_EQ(count(QS), 1u);
}

TEST_F(AlphaBeta, DepthGuardAtPlyThirty) {
  set(MIDDLEGAME);
  const int e = evaluate();
  fresh_counters();
  EXPECT_EQ(alpha_beta(3, -NO_SCORE, NO_SCORE, 30, 1), e);
  EXPECT_EQ(node_count, 1u);
  EXPECT_EQ(count(GENT), 0u);
  fresh_counters();
  alpha_beta(1, -NO_SCORE, NO_SCORE, 29, 1);
  EXPECT_EQ(count(GENT), 1u);
}

TEST_F(AlphaBeta, DepthGuardAtPlySixtyWithTheExtendedLimits) {
  ply_limit = 60;  // the limits NEXT installs at start-up
  stack_move_limit = 260;
  stack_budget = 1073741824;
  set(MIDDLEGAME);
  const int e = evaluate();
  fresh_counters();
  alpha_beta(1, -NO_SCORE, NO_SCORE, 30, 1);
  EXPECT_GT(node_count, 1u);
  fresh_counters();
  EXPECT_EQ(alpha_beta(3, -NO_SCORE, NO_SCORE, 60, 1), e);
  EXPECT_EQ(count(GENT), 0u);
}

TEST_F(AlphaBeta, AbortUnwindsWithoutStoring) {
  set(MIDDLEGAME);
  abort_search.store(1);
  EXPECT_EQ(alpha_beta(4, -NO_SCORE, NO_SCORE, 0, 0), 0);
  EXPECT_EQ(count(TTSTORE), 0u);
  EXPECT_EQ(move_stack_len, 0);
  abort_search.store(0);
}

TEST_F(AlphaBeta, TraceLines) {
  search_switches.ctrace = true;
  set(STALEMATE);
  const std::string out = capture_output([] { alpha_beta(1, -NO_SCORE, NO_SCORE, 0, 0); });
  EXPECT_EQ(out, "A 0 1 -32000 32000\nM 7071\nM 7060\nM 7061\n");
}

TEST_F(AlphaBeta, NoTTSkipsStoresAndLeanSkipsTheTable) {
  set(MIDDLEGAME);
  search_fixed_depth(3);
  EXPECT_GT(count(TTSTORE), 0u);
  no_tt = 1;
  tt_clear();
  set(MIDDLEGAME);
  search_fixed_depth(3);
  EXPECT_GT(count(TTPROBE), 0u);
  EXPECT_EQ(count(TTSTORE), 0u);
  no_tt = 0;
  lean_mode = 1;
  set(MIDDLEGAME);
  search_fixed_depth(3);
  EXPECT_EQ(count(TTPROBE), 0u);
  EXPECT_EQ(count(TTSTORE), 0u);
}

TEST_F(AlphaBeta, SkeletonSwitchesOffThePruning) {
  set(MIDDLEGAME);
  search_fixed_depth(5);
  EXPECT_GT(count(NULL_MOVE), 0u);
  EXPECT_GT(count(LMP), 0u);
  EXPECT_GT(qs_see_tested, 0u);
  skeleton_mode = 1;
  tt_clear();
  set(MIDDLEGAME);
  search_fixed_depth(3);
  EXPECT_EQ(count(NULL_MOVE), 0u);
  EXPECT_EQ(count(LMP), 0u);
  EXPECT_EQ(count(TTSTORE), 0u);
  EXPECT_EQ(qs_see_tested, 0u);
}

// The simulated pawn hash of the evaluation is never cleared, so only its
// miss counter may differ between two runs.
TEST_F(AlphaBeta, SameSearchAfterUcinewgameRepeatsExactly) {
  process_line("ucinewgame");
  set(MIDDLEGAME);
  search_fixed_depth(5);
  const uint32_t nodes = node_count;
  uint32_t counters[COST_KEY_COUNT];
  memcpy(counters, op_counters, sizeof(counters));
  process_line("ucinewgame");
  set(MIDDLEGAME);
  search_fixed_depth(5);
  EXPECT_EQ(node_count, nodes);
  for (int k = 0; k < COST_KEY_COUNT; ++k)
    if (k != PHMISS) {
      EXPECT_EQ(op_counters[k], counters[k]) << COST_KEY_NAMES[k];
    }
}

TEST_F(AlphaBeta, LoaderReadsTheShippedDefaults) {
  // Start-up installs RFP 100, FUT2 350, LMP 3/6/12, LAZYQ 200, LAZYS and THRX 7.
  const SearchSwitches& sw = search_switches;
  EXPECT_EQ(sw.rfp, 100);
  EXPECT_EQ(sw.rfpd, 3);
  EXPECT_EQ(sw.fut2, 350);
  EXPECT_EQ(sw.lmp[0], 3);
  EXPECT_EQ(sw.lmp[1], 6);
  EXPECT_EQ(sw.lmp[2], 12);
  EXPECT_EQ(sw.lazyq, 200);
  EXPECT_TRUE(sw.lazys);
  EXPECT_EQ(sw.thrx, 7);
  EXPECT_EQ(sw.qdelta, 200);
  EXPECT_EQ(sw.qmax, 99);
  EXPECT_EQ(sw.qrec, 99);
  EXPECT_EQ(sw.corrn, 4096);
  EXPECT_EQ(sw.nthrm, 200);
}

// Black's queen on g5 hangs to Bxg5.
constexpr const char* HANGING_QUEEN =
    "r1b1kbnr/pppp1ppp/2n5/4p1q1/4P3/3P4/PPP2PPP/RNBQKBNR w KQkq - 0 1";

struct SwitchCase {
  const char* name;
  void (*apply)(SearchSwitches&);
};

const SwitchCase SWITCH_CASES[] = {
    {"RFP=0", [](SearchSwitches& s) { s.rfp = 0; }},
    {"RFPD=1", [](SearchSwitches& s) { s.rfpd = 1; }},
    {"FUT2=0", [](SearchSwitches& s) { s.fut2 = 0; }},
    {"LMP=0/0/0", [](SearchSwitches& s) { s.lmp[0] = s.lmp[1] = s.lmp[2] = 0; }},
    {"LAZYQ=0", [](SearchSwitches& s) { s.lazyq = 0; }},
    {"LAZYS off", [](SearchSwitches& s) { s.lazys = false; }},
    {"THRX=0", [](SearchSwitches& s) { s.thrx = 0; }},
    {"NTHR=7 NTHRM=50",
     [](SearchSwitches& s) {
       s.nthr = 7;
       s.nthrm = 50;
     }},
    {"NOEXT", [](SearchSwitches& s) { s.noext = true; }},
    {"IIR=3", [](SearchSwitches& s) { s.iir = 3; }},
    {"CORR=1", [](SearchSwitches& s) { s.corr = true; }},
    {"NMRD=3", [](SearchSwitches& s) { s.nmrd = 3; }},
    {"NOFUT", [](SearchSwitches& s) { s.nofut = true; }},
    {"SEEQ=1", [](SearchSwitches& s) { s.seeq = 1; }},
    {"SEEC=1", [](SearchSwitches& s) { s.seec = 1; }},
    {"HISTP=10", [](SearchSwitches& s) { s.histp = 10; }},
    {"NOLMR", [](SearchSwitches& s) { s.nolmr = true; }},
    {"LMR3=3", [](SearchSwitches& s) { s.lmr3 = 3; }},
    {"LMRLOG=100", [](SearchSwitches& s) { s.lmrlog = 100; }},
    {"NOPVS", [](SearchSwitches& s) { s.nopvs = true; }},
    {"QDELTA=0", [](SearchSwitches& s) { s.qdelta = 0; }},
    {"QMAX=1", [](SearchSwitches& s) { s.qmax = 1; }},
    {"QREC=1", [](SearchSwitches& s) { s.qrec = 1; }},
    {"QCHK=1", [](SearchSwitches& s) { s.qchk = 1; }},
    {"QSTAT=2", [](SearchSwitches& s) { s.qstat = 2; }},
    {"QTT", [](SearchSwitches& s) { s.qtt = true; }},
};

// Middlegames of different character: a queen's gambit, kiwipete, an open Italian.
constexpr const char* TREE_POSITIONS[] = {
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP2BPPP/R2QKB1R w KQ - 0 8",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
};
constexpr int TREE_COUNT = 3;

// Node count and root move of a depth-6 search from empty tables.
FixedDepthResult fresh_search(const char* fen, uint32_t* nodes) {
  tt_clear();
  history_clear();
  clear_correction_table();
  parse_fen(fen);
  const FixedDepthResult r = search_fixed_depth(6);
  *nodes = node_count;
  return r;
}

TEST_F(AlphaBeta, EverySwitchChangesTheTreeButNotTheClearBestMove) {
  uint32_t baseline[TREE_COUNT];
  for (int i = 0; i < TREE_COUNT; ++i) fresh_search(TREE_POSITIONS[i], &baseline[i]);
  const SearchSwitches defaults = search_switches;
  for (const SwitchCase& c : SWITCH_CASES) {
    search_switches = defaults;
    c.apply(search_switches);
    if (search_switches.lmrlog != 0) build_lmr_table(search_switches.lmrlog);
    bool changed = false;
    for (int i = 0; i < TREE_COUNT && !changed; ++i) {
      uint32_t nodes = 0;
      fresh_search(TREE_POSITIONS[i], &nodes);
      changed = nodes != baseline[i];
    }
    EXPECT_TRUE(changed) << c.name;
    uint32_t nodes = 0;
    const FixedDepthResult r = fresh_search(HANGING_QUEEN, &nodes);
    EXPECT_EQ(text(r.move), "c1g5") << c.name;
  }
}

}  // namespace
}  // namespace kelmstrad::test
