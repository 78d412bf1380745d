// Hand-worked scores of the full and lean paths: pawn structure, rook files,
// bishop pair, king shelter, mobility, blend, tempo, counters.
#include "eval/evaluate.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/legal.h"
#include "clock/counters.h"
#include "eval/king_shelter.h"
#include "eval/mobility.h"
#include "eval/pawns.h"
#include "eval/terms.h"
#include "eval_support.h"
#include "io/env.h"

namespace kelmstrad::test {
namespace {

const EvalParams& P = eval_params;

// Counter increments of one call.
struct CounterDelta {
  uint32_t before[COST_KEY_COUNT];
  CounterDelta() { memcpy(before, op_counters, sizeof(before)); }
  uint32_t operator[](int key) const { return op_counters[key] - before[key]; }
};

TEST(PhaseScale, TableAndClamp) {
  const uint8_t expected[25] = {0, 1, 1,  2,  3,  3,  4,  5,  5,  6,  7,  7, 8,
                                9, 9, 10, 11, 11, 12, 13, 13, 14, 15, 15, 16};
  for (int k = 0; k < 25; ++k) EXPECT_EQ(phase_scale[k], expected[k]) << k;
  set_fen(START_FEN);
  position.phase = 30;  // after promotions
  EXPECT_EQ(blend_weight(), 16);
}

// Kings e1/e8, white pawn e5, black pawns a7 and h7, phase 0 (p16 = 0).
//  passed: e5 at relative rank 4 (no black pawn on d/e/f), a7 and h7 at relative
//          rank 1 (no white pawn on a/b or g/h): +passmg[4] - 2 passmg[1]
//  isolated: all three: -iso + 2 iso = +iso
//  shelter: White e1 at home, d2/e2/f2 and d3/e3/f3 empty: term 2 three times;
//           files d and f pawnless: term 4 twice. Black e8: term 2 three times,
//           d and f term 4, e has a white pawn only: term 3. Difference +ksw[3].
//  endgame rules: no race (e5: black king on e8; a7/h7: White to move, king
//          near), both sides keep pawns, clock 0: v unchanged.
TEST(FullEval, PassedAndIsolatedPawnsWithShelter) {
  set_fen("4k3/p6p/8/4P3/8/8/8/4K3 w - - 0 1");
  const int mg = piece_mg('K', "e1") + piece_mg('k', "e8") + piece_mg('P', "e5") +
                 piece_mg('p', "a7") + piece_mg('p', "h7");
  const int eg = piece_eg('K', "e1") + piece_eg('k', "e8") + piece_eg('P', "e5") +
                 piece_eg('p', "a7") + piece_eg('p', "h7");
  ASSERT_EQ(position.mg_score, mg);
  ASSERT_EQ(position.eg_score, eg);
  const int score = evaluate();
  const int want_mg = P.passmg[4] - 2 * P.passmg[1] + P.isomg + P.ksw[3];
  const int want_eg = P.passeg[4] - 2 * P.passeg[1] + P.isoeg;
  EXPECT_EQ(term_mg, want_mg);
  EXPECT_EQ(term_eg, want_eg);
  EXPECT_EQ(score, TEMPO_BONUS + hand_blend(mg + want_mg, eg + want_eg, 0));
  EXPECT_EQ(eval_features.passed[4], 1);
  EXPECT_EQ(eval_features.passed[1], -2);
  EXPECT_EQ(eval_features.isolated, -1);
  EXPECT_EQ(eval_features.doubled, 0);
  EXPECT_EQ(eval_features.shelter_counts[0][2], 3);
  EXPECT_EQ(eval_features.shelter_counts[0][4], 2);
  EXPECT_EQ(eval_features.shelter_counts[1][3], 1);
  EXPECT_EQ(eval_features.shelter_counts[1][4], 2);
}

TEST(FullEval, PassedPawnBlockedOnlyByPawnsAhead) {
  PawnFileTable files;
  set_fen("4k3/p6p/3p4/4P3/8/8/8/4K3 w - - 0 1");  // black d6: ahead on a neighbouring file
  build_pawn_file_table(&files);
  EXPECT_FALSE(pawn_is_passed(files, WHITE, sq("e5")));
  set_fen("4k3/p6p/8/3pP3/8/8/8/4K3 w - - 0 1");  // black d5: beside it
  build_pawn_file_table(&files);
  EXPECT_TRUE(pawn_is_passed(files, WHITE, sq("e5")));
  EXPECT_TRUE(pawn_is_passed(files, BLACK, sq("d5")));  // and the same holds for Black
  set_fen("4k3/p6p/8/3p4/4P3/8/8/4K3 w - - 0 1");       // white e4 is ahead of the black d5 pawn
  build_pawn_file_table(&files);
  EXPECT_FALSE(pawn_is_passed(files, BLACK, sq("d5")));
  EXPECT_FALSE(pawn_is_passed(files, WHITE, sq("e4")));
}

// Three white pawns on the a-file: doubled once; each is isolated and passed
// (relative ranks 1, 2, 3). Both kings have identical shelter (term 2 and
// term 4 three times each).
TEST(FullEval, ThreePawnsOnOneFileAreDoubledOnce) {
  EvalSettingsGuard guard;
  set_fen("4k3/8/8/8/P7/P7/P7/4K3 w - - 0 1");
  terms_mask = TERM_DOUBLED;
  evaluate();
  EXPECT_EQ(term_mg, -P.dblmg);
  EXPECT_EQ(term_eg, -P.dbleg);
  EXPECT_EQ(eval_features.doubled, 1);
  terms_mask = 63;
  evaluate();
  EXPECT_EQ(term_mg, P.passmg[1] + P.passmg[2] + P.passmg[3] - 3 * P.isomg - P.dblmg);
  EXPECT_EQ(term_eg, P.passeg[1] + P.passeg[2] + P.passeg[3] - 3 * P.isoeg - P.dbleg);
  EXPECT_EQ(eval_features.isolated, 3);
}

TEST(FullEval, RookFiles) {
  EvalSettingsGuard guard;
  terms_mask = TERM_ROOK_FILES;
  set_fen("4k3/8/4p3/8/8/8/8/4RK2 w - - 0 1");  // only a black pawn on the e-file
  evaluate();
  EXPECT_EQ(term_mg, P.rhalf);
  EXPECT_EQ(term_eg, 0);
  EXPECT_EQ(eval_features.rook_half, 1);
  set_fen("4k3/8/8/8/8/8/8/4RK2 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, P.ropen);
  EXPECT_EQ(eval_features.rook_open, 1);
  set_fen("r3k3/8/8/8/8/8/P7/4K3 w - - 0 1");  // black rook, white pawn on a2
  evaluate();
  EXPECT_EQ(term_mg, -P.rhalf);
  EXPECT_EQ(eval_features.rook_half, -1);
  set_fen("4k3/8/8/8/8/8/4P3/4RK2 w - - 0 1");  // own pawn on the file
  evaluate();
  EXPECT_EQ(term_mg, 0);
}

TEST(FullEval, BishopPair) {
  EvalSettingsGuard guard;
  terms_mask = TERM_BISHOP_PAIR;
  set_fen("2b1k3/8/8/8/8/8/8/2B1KB2 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, P.pairmg);
  EXPECT_EQ(term_eg, P.paireg);
  EXPECT_EQ(eval_features.bishop_pair, 1);
  set_fen("2b1kb2/8/8/8/8/8/8/2B1K3 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, -P.pairmg);
  EXPECT_EQ(eval_features.bishop_pair, -1);
  set_fen("2b1kb2/8/8/8/8/8/8/2B1KB2 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, 0);
  EXPECT_EQ(eval_features.bishop_pair, 0);
  set_fen("4k3/8/8/8/8/8/8/B1B1K3 w - - 0 1");  // both on dark squares still count
  evaluate();
  EXPECT_EQ(term_mg, P.pairmg);
}

// Each shelter term with the real pawn counts (Terms = 32 only).
TEST(FullEval, KingShelterTerms) {
  EvalSettingsGuard guard;
  terms_mask = TERM_KING_SHELTER;
  const auto& counts = eval_features.shelter_counts;
  // g2 empty, own pawn on g3: term 1.
  set_fen("6k1/5ppp/8/8/8/6P1/5P1P/6K1 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, -P.ksw[1]);
  EXPECT_EQ(counts[0][1], 1);
  // No g-pawn of White at all, Black's g7 there: terms 2 and 3.
  set_fen("6k1/5ppp/8/8/8/8/5P1P/6K1 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, -P.ksw[2] - P.ksw[3]);
  EXPECT_EQ(counts[0][2], 1);
  EXPECT_EQ(counts[0][3], 1);
  // No g-pawn on either side: terms 2 and 4 for both kings, cancelling.
  set_fen("6k1/5p1p/8/8/8/8/5P1P/6K1 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, 0);
  EXPECT_EQ(counts[0][2], 1);
  EXPECT_EQ(counts[0][4], 1);
  EXPECT_EQ(counts[1][2], 1);
  EXPECT_EQ(counts[1][4], 1);
  // King on g3 is away from home: term 5 once, and term 3 for the g-file.
  set_fen("6k1/5ppp/8/8/8/5PK1/5P1P/8 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, -P.ksw[3] - P.ksw[5]);
  EXPECT_EQ(counts[0][5], 1);
  EXPECT_EQ(counts[0][1] + counts[0][2], 0);
  // A king on the a-file looks at files a and b only.
  set_fen("k7/pp6/8/8/8/8/PP6/K7 w - - 0 1");
  evaluate();
  EXPECT_EQ(term_mg, 0);
  for (int term = 1; term <= 5; ++term) EXPECT_EQ(counts[0][term] + counts[1][term], 0) << term;
}

TEST(Mobility, KnightSkipsSquaresAttackedByEnemyPawns) {
  EvalSettingsGuard guard;
  eval_params.mobmg[KNIGHT] = 4;
  eval_params.mobeg[KNIGHT] = 3;
  // Knight e3: eight targets on the board, c4 attacked by the d5 pawn, the
  // d5 pawn itself is counted: 7 squares.
  set_fen("4k3/8/8/3p4/8/4N3/8/4K3 w - - 0 1");
  const uint32_t squares = side_counters[MOB_SQUARE_COUNT], pieces = side_counters[MOB_PIECE_COUNT],
                 evals = side_counters[MOB_EVAL_COUNT];
  const TermPair sum = mobility_terms(false);
  EXPECT_EQ(sum.mg, 28);
  EXPECT_EQ(sum.eg, 21);
  EXPECT_EQ(eval_features.mobility[KNIGHT], 7);
  EXPECT_EQ(side_counters[MOB_SQUARE_COUNT] - squares, 8u);
  EXPECT_EQ(side_counters[MOB_PIECE_COUNT] - pieces, 1u);
  EXPECT_EQ(side_counters[MOB_EVAL_COUNT] - evals, 1u);
}

// Rook a1: b1, c1 counted, d1 (own king) stepped on and stops the ray; a2-a4,
// a6 counted, a5 attacked by the b6 pawn, a7 (black knight) counted and stops
// the ray: 7 of 9 steps. Black knight a7: c8, c6, b5 on the board: 3 (8 steps).
TEST(Mobility, SliderRaysAndBothColours) {
  EvalSettingsGuard guard;
  eval_params.mobmg[KNIGHT] = 4;
  eval_params.mobeg[KNIGHT] = 3;
  eval_params.mobmg[ROOK] = 2;
  eval_params.mobeg[ROOK] = 5;
  set_fen("4k3/n7/1p6/8/8/8/8/R2K4 w - - 0 1");
  const uint32_t squares = side_counters[MOB_SQUARE_COUNT], pieces = side_counters[MOB_PIECE_COUNT];
  TermPair sum = mobility_terms(false);
  EXPECT_EQ(sum.mg, 2 * 7 - 4 * 3);
  EXPECT_EQ(sum.eg, 5 * 7 - 3 * 3);
  EXPECT_EQ(eval_features.mobility[ROOK], 7);
  EXPECT_EQ(eval_features.mobility[KNIGHT], -3);
  EXPECT_EQ(side_counters[MOB_SQUARE_COUNT] - squares, 17u);
  EXPECT_EQ(side_counters[MOB_PIECE_COUNT] - pieces, 2u);
  // Through the full path (Terms 0, phase 3: no other term).
  terms_mask = 0;
  mobility_enabled = true;
  evaluate();
  EXPECT_EQ(term_mg, 2);
  EXPECT_EQ(term_eg, 26);
  // A zero-weight kind is skipped unless forced.
  eval_params.mobmg[ROOK] = eval_params.mobeg[ROOK] = 0;
  const uint32_t pieces2 = side_counters[MOB_PIECE_COUNT];
  sum = mobility_terms(false);
  EXPECT_EQ(side_counters[MOB_PIECE_COUNT] - pieces2, 1u);
  sum = mobility_terms(true);
  EXPECT_EQ(side_counters[MOB_PIECE_COUNT] - pieces2, 3u);
  EXPECT_EQ(eval_features.mobility[ROOK], 7);
}

TEST(QuickEval, TruncatesTowardZero) {
  set_fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  position.phase = 12;  // p16 8
  position.mg_score = -17;
  position.eg_score = 0;
  EXPECT_EQ(quick_eval(), TEMPO_BONUS - 8);  // trunc(8 * -17 / 16) = -8, a floor would give -9
  position.side = BLACK;
  EXPECT_EQ(quick_eval(), TEMPO_BONUS + 8);
  position.mg_score = 17;
  EXPECT_EQ(quick_eval(), TEMPO_BONUS - 8);
}

// Terms 0 with no switched term firing (phase 4, both sides keep pieces and
// pawns) leaves the blend of the incremental scores.
TEST(FullEval, NoTermsEqualsQuickEval) {
  EvalSettingsGuard guard;
  terms_mask = 0;
  set_fen("r3k3/p7/8/8/8/8/PP6/R3K3 w - - 0 1");
  EXPECT_EQ(evaluate(), quick_eval());
  EXPECT_EQ(term_mg, 0);
  position.side = BLACK;
  EXPECT_EQ(evaluate(), quick_eval());
}

// After 1.e4 (Black to move, phase 24, p16 16): the e-pawn's square-table
// gain; White's shelter loses term 2 on the e-file; central pawns +2 OPKW
// (e4 bonus, d2 still penalised, d7/e7 bonuses); everything else cancels.
TEST(FullEval, AfterE4) {
  EvalSettingsGuard guard;
  set_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  const int mg = piece_mg('P', "e4") - piece_mg('P', "e2");
  ASSERT_EQ(position.mg_score, mg);
  const int central =
      (env_int("OPK", 8) & 8) && 24 >= env_int("OPKG", 20) ? 2 * env_int("OPKW", 20) : 0;
  const int score = evaluate();
  EXPECT_EQ(term_mg, central - P.ksw[2]);
  EXPECT_EQ(term_eg, 0);
  EXPECT_EQ(score, TEMPO_BONUS - (mg + central - P.ksw[2]));
  // The lean path: shelter as if no file had pawns (term 4 on d, e, f for
  // both kings), so only White's missing e2 pawn (term 2) remains.
  lean_mode = 1;
  const CounterDelta delta;
  EXPECT_EQ(evaluate(), TEMPO_BONUS - (mg - P.ksw[2]));
  EXPECT_EQ(delta[EVAL], 1u);
  EXPECT_EQ(delta[KS], 1u);
  EXPECT_EQ(delta[EVALX], 0u);
  EXPECT_EQ(delta[PHMISS] + delta[EGK] + delta[MHK], 0u);
  EXPECT_EQ(eval_features.shelter_counts[0][4], 3);
  EXPECT_EQ(eval_features.shelter_counts[0][2], 1);
}

TEST(FullEval, StartPositionIsTempoForEitherSide) {
  set_fen(START_FEN);
  EXPECT_EQ(evaluate(), 10);
  EXPECT_EQ(quick_eval(), 10);
  set_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(evaluate(), 10);
  EXPECT_EQ(quick_eval(), 10);
}

// One full evaluation charges EVAL, EVALX, KS and EGK once, and PHMISS only
// when the simulated pawn hash misses.
TEST(FullEval, CountersOfOneEvaluation) {
  EvalSettingsGuard guard;
  set_fen(START_FEN);
  pawn_hash_sim_clear();
  const uint32_t probes = phstat_probes, misses = phstat_misses, ne = side_counters[NE_COUNT];
  const int egk_on = env_int("EGK", 15) != 0 ? 1 : 0;
  {
    const CounterDelta delta;
    evaluate();
    for (int key = 0; key < COST_KEY_COUNT; ++key) {
      const uint32_t want = key == EVAL || key == EVALX || key == KS || key == PHMISS ? 1u
                            : key == EGK                                              ? egk_on
                                                                                      : 0u;
      EXPECT_EQ(delta[key], want) << COST_KEY_NAMES[key];
    }
  }
  {
    const CounterDelta delta;
    evaluate();
    EXPECT_EQ(delta[PHMISS], 0u);
    EXPECT_EQ(delta[EVALX], 1u);
  }
  EXPECT_EQ(phstat_probes - probes, 2u);
  EXPECT_EQ(phstat_misses - misses, 1u);
  EXPECT_EQ(side_counters[NE_COUNT], ne);  // pawn extras off: a miss is not charged
  pawn_extras_enabled = true;
  pawn_hash_sim_clear();
  evaluate();
  EXPECT_EQ(side_counters[NE_COUNT] - ne, 1u);
}

// The clamp PHSIM, CORRN and TTENT share, with the pawn hash's ends.
TEST(PawnHashSim, SlotCountsArePowersOfTwo) {
  const auto pawn_hash_sim_slots = [](long long requested) {
    return power_of_two_within(requested, 1, PAWN_HASH_SIM_SLOTS);
  };
  EXPECT_EQ(pawn_hash_sim_slots(64), 64);
  EXPECT_EQ(pawn_hash_sim_slots(100), 64);
  EXPECT_EQ(pawn_hash_sim_slots(3), 2);
  EXPECT_EQ(pawn_hash_sim_slots(1), 1);
  EXPECT_EQ(pawn_hash_sim_slots(0), 1);
  EXPECT_EQ(pawn_hash_sim_slots(-7), 1);
  EXPECT_EQ(pawn_hash_sim_slots(65536), 65536);
  EXPECT_EQ(pawn_hash_sim_slots(1000000), 65536);
}

TEST(KingShelter, MissingKingCostsNothing) {
  set_fen("8/8/8/8/8/8/8/4K3 w - - 0 1");
  const int8_t none[PAWN_FILE_ENTRIES] = {};
  EXPECT_EQ(king_shelter(BLACK, none, none), 0);
  EXPECT_STREQ(missing_king_reason(), "Black has no king");
  EXPECT_EQ(evaluate(), evaluate());  // no out-of-range read on the way
}

}  // namespace
}  // namespace kelmstrad::test
