// The plain, table and configurable reduced searches: agreement with a
// brute-force negamax, agreement between searches that must search the same
// tree, mate scores, the table's cut and mate-distance rules, and each
// technique of the configurable search on hand-worked positions.
#include "driver/skeleton_search.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "board/attack.h"
#include "driver/skeleton_quiesce.h"
#include "eval/evaluate.h"
#include "skeleton_support.h"

namespace kelmstrad::test {
namespace {

// Negamax over every legal move, the reduced evaluation at depth 0; a side
// without moves scores -30000 in check, 0 otherwise.
int brute_negamax(int depth) {
  if (depth == 0) return skeleton_eval();
  const Square king = position.slot_square[side_slot_base(position.side)];
  const uint32_t in_check = square_attacked(king, position.side ^ BLACK) ? 1 : 0;
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  const int end = move_stack_len;
  int best = -NO_SCORE;
  bool any_legal = false;
  for (int i = mark; i < end; ++i) {
    in_check_hint = in_check;
    if (!make_move(move_stack[i])) continue;
    any_legal = true;
    best = std::max(best, -brute_negamax(depth - 1));
    unmake_move();
  }
  move_stack_len = mark;
  if (!any_legal) return in_check != 0 ? -MATE_SCORE : 0;
  return best;
}

constexpr const char* NEGAMAX_POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1",
    MATED_IN_ONE,
    CHECKMATED,
    STALEMATED,
    MATE_OR_STALEMATE,
    ROOK_TAKES_QUEEN_OR_PAWN,
};

TEST(SkelPlain, NoQuiescenceEqualsBruteForceNegamax) {
  SkelFixtureState state;
  skel_switches.noqs = true;
  for (const char* fen : NEGAMAX_POSITIONS) {
    for (int depth = 1; depth <= 3; ++depth) {
      set_skel_position(fen);
      const int expected = brute_negamax(depth);
      EXPECT_EQ(skeleton_plain_search(depth, -NO_SCORE, NO_SCORE), expected)
          << fen << " depth " << depth;
      EXPECT_EQ(move_stack_len, 0);
      EXPECT_EQ(position.history_top, 0);
    }
  }
}

// The hand-worked values behind the negamax comparison.
TEST(SkelPlain, MateAndStalemateScores) {
  SkelFixtureState state;
  skel_switches.noqs = true;
  set_skel_position(MATE_OR_STALEMATE);
  EXPECT_EQ(skeleton_plain_search(2, -NO_SCORE, NO_SCORE), MATE_SCORE);
  set_skel_position(MATED_IN_ONE);
  EXPECT_EQ(skeleton_plain_search(3, -NO_SCORE, NO_SCORE), -MATE_SCORE);
  set_skel_position(STALEMATED);
  EXPECT_EQ(skeleton_plain_search(1, -NO_SCORE, NO_SCORE), 0);
}

// Every counter the searches charge, as one record.
struct Charges {
  uint32_t nodes;
  uint32_t counters[COST_KEY_COUNT];
  uint32_t probes, hits, cuts;
  bool operator==(const Charges& o) const {
    return nodes == o.nodes && memcmp(counters, o.counters, sizeof(counters)) == 0 &&
           probes == o.probes && hits == o.hits && cuts == o.cuts;
  }
};

Charges charges() {
  Charges c{skel_nodes, {}, skel_stats.table_probes, skel_stats.table_hits, skel_stats.table_cuts};
  memcpy(c.counters, op_counters, sizeof(c.counters));
  return c;
}

void zero_all() {
  skel_tables_clear();
  memset(op_counters, 0, sizeof(op_counters));
  skel_nodes = 0;
}

// Positions whose trees hold no mate within the depths used.
constexpr const char* QUIET_TREES[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
};

// With no table and every technique off, the configurable search walks the
// plain search's tree in the same order with the same windows.
TEST(SkelAgreement, ConfigurableWithoutTableIsThePlainSearch) {
  SkelFixtureState state;
  skel_switches.nott = true;
  for (const char* fen : QUIET_TREES) {
    for (int depth = 1; depth <= 3; ++depth) {
      set_skel_position(fen);
      zero_all();
      const int plain = skeleton_plain_search(depth, -NO_SCORE, NO_SCORE);
      const Charges plain_charges = charges();
      zero_all();
      EXPECT_EQ(skeleton_configurable_search(depth, -NO_SCORE, NO_SCORE, 0), plain)
          << fen << " depth " << depth;
      EXPECT_TRUE(charges() == plain_charges) << fen << " depth " << depth;
    }
  }
}

// With the table and every technique off, the configurable search probes,
// cuts and stores exactly like the table search (mate correction aside).
TEST(SkelAgreement, ConfigurableWithTableIsTheTableSearch) {
  SkelFixtureState state;
  for (const char* fen : QUIET_TREES) {
    for (int depth = 1; depth <= 3; ++depth) {
      set_skel_position(fen);
      zero_all();
      const int table = skeleton_table_search(depth, -NO_SCORE, NO_SCORE, 0);
      const Charges table_charges = charges();
      zero_all();
      EXPECT_EQ(skeleton_configurable_search(depth, -NO_SCORE, NO_SCORE, 0), table)
          << fen << " depth " << depth;
      EXPECT_TRUE(charges() == table_charges) << fen << " depth " << depth;
    }
  }
}

TEST(SkelMate, PlainCountsNoDistanceTableAndConfigurableDo) {
  SkelFixtureState state;
  set_skel_position(MATED_IN_ONE);
  EXPECT_EQ(skeleton_plain_search(3, -NO_SCORE, NO_SCORE), -30000);
  zero_all();
  EXPECT_EQ(skeleton_table_search(3, -NO_SCORE, NO_SCORE, 0), 2 - 30000);
  zero_all();
  EXPECT_EQ(skeleton_configurable_search(3, -NO_SCORE, NO_SCORE, 0), 2 - 30000);
  EXPECT_EQ(skel_root_move, skel_move("a1b1"));

  set_skel_position(CHECKMATED);
  EXPECT_EQ(skeleton_plain_search(2, -NO_SCORE, NO_SCORE), -30000);
  EXPECT_EQ(skeleton_table_search(2, -NO_SCORE, NO_SCORE, 0), -30000);
  EXPECT_EQ(skeleton_configurable_search(2, -NO_SCORE, NO_SCORE, 0), -30000);
  set_skel_position(STALEMATED);
  EXPECT_EQ(skeleton_table_search(2, -NO_SCORE, NO_SCORE, 0), 0);
  EXPECT_EQ(skeleton_configurable_search(2, -NO_SCORE, NO_SCORE, 0), 0);
}

// Writes a table entry for the current position.
void seed_entry(int16_t score, uint8_t depth, uint8_t bound, Move move) {
  SkelEntry& entry = skel_slot();
  entry = SkelEntry{static_cast<uint16_t>(skel_key() >> 16), move, score, depth, bound};
}

TEST(SkelTable, CutRulesAnswerWithTheBound) {
  SkelFixtureState state;
  set_skel_position(ROOK_TAKES_QUEEN_OR_PAWN);
  seed_entry(150, 2, SKEL_LOWER, 0);
  EXPECT_EQ(skeleton_table_search(2, 0, 100, 0), 100);
  EXPECT_EQ(skel_stats.table_hits, 1u);
  EXPECT_EQ(skel_stats.table_cuts, 1u);
  EXPECT_EQ(op_counters[LEGAL], 0u);
  EXPECT_EQ(op_counters[TTPROBE], 1u);

  seed_entry(-50, 3, SKEL_UPPER, 0);
  EXPECT_EQ(skeleton_table_search(2, 0, 100, 0), 0);
  seed_entry(42, 2, SKEL_EXACT, 0);
  EXPECT_EQ(skeleton_table_search(2, 0, 100, 0), 42);
  EXPECT_EQ(skel_stats.table_cuts, 3u);

  // Too shallow: no hit, the node is searched and stored.
  seed_entry(42, 1, SKEL_EXACT, 0);
  skeleton_table_search(2, -NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(skel_stats.table_hits, 3u);
  EXPECT_GT(op_counters[LEGAL], 0u);
  EXPECT_EQ(skel_slot().depth, 2);
  EXPECT_EQ(skel_slot().bound, SKEL_EXACT);
  EXPECT_EQ(skel_slot().move, 0);
}

// A stored mate counts from its node: read back 4 plies from the root the
// table search adds the ply, the configurable search does not.
TEST(SkelTable, MateScoresCountFromTheNode) {
  SkelFixtureState state;
  set_skel_position(ROOK_TAKES_QUEEN_OR_PAWN);
  seed_entry(-29990, 5, SKEL_EXACT, 0);
  EXPECT_EQ(skeleton_table_search(1, -NO_SCORE, NO_SCORE, 4), -29986);
  EXPECT_EQ(skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 4), -29990);

  // Qc8 mates at ply 4 when the node is at ply 3: stored as mate one ply on.
  set_skel_position(MATE_OR_STALEMATE);
  zero_all();
  EXPECT_EQ(skeleton_table_search(2, -NO_SCORE, NO_SCORE, 3), 29996);
  EXPECT_EQ(skel_slot().score, 29999);
  EXPECT_EQ(skel_slot().bound, SKEL_EXACT);
}

TEST(SkelConfigurable, NoTableMeansNoProbesNoStores) {
  SkelFixtureState state;
  skel_switches.nott = true;
  skel_config = SkelConfig{true, true, true, true, true};
  set_skel_position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  skeleton_configurable_search(3, -NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(op_counters[TTPROBE], 0u);
  EXPECT_EQ(op_counters[TTSTORE], 0u);
  EXPECT_EQ(skel_stats.table_probes, 0u);
  for (const SkelEntry& entry : skel_table) EXPECT_EQ(entry.bound, 0);
  EXPECT_NE(skel_root_move, 0);
}

// Rook takes queen (43 by capture score) comes before rook takes pawn (11).
// Searched first, Rxe7 sets alpha about +400 and every later child, where
// Black still has its queen, passes the lazy gate: 15 hits in 16 tries.
// Rxa4 first (table move or PV-order move) sets alpha about -400 only, so
// the Rxe7 child is evaluated: 14 hits.
TEST(SkelConfigurable, TableMoveAndPvOrderMoveGoFirst) {
  SkelFixtureState state;
  set_skel_position(ROOK_TAKES_QUEEN_OR_PAWN);
  const Move take_queen = skel_move("e4e7");
  const Move take_pawn = skel_move("e4a4");
  skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(skel_stats.lazy_tries, 16u);
  EXPECT_EQ(skel_stats.lazy_hits, 15u);
  EXPECT_EQ(skel_root_move, take_queen);

  zero_all();
  seed_entry(0, 0, SKEL_UPPER, take_pawn);
  skel_config.table_move = true;
  skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(skel_stats.lazy_hits, 14u);
  EXPECT_EQ(skel_root_move, take_queen);

  zero_all();
  seed_entry(0, 0, SKEL_UPPER, take_pawn);
  skel_config.table_move = false;
  skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(skel_stats.lazy_hits, 15u);

  // PVORD's move wins over the table move; the best move is remembered.
  zero_all();
  seed_entry(0, 0, SKEL_UPPER, take_queen);
  skel_config.table_move = true;
  skel_switches.pvord = true;
  skel_pv_order[0] = take_pawn;
  skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(skel_stats.lazy_hits, 14u);
  EXPECT_EQ(skel_pv_order[0], take_queen);
}

// PVS: every move after the first gets a null window (15); Rxe7 first, none
// rises above alpha; Rxa4 first, Rxe7 does and is searched again.
TEST(SkelConfigurable, PvsNullWindowsAndReSearches) {
  SkelFixtureState state;
  skel_switches.pvs = true;
  set_skel_position(ROOK_TAKES_QUEEN_OR_PAWN);
  const int plain = skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(skel_stats.null_windows, 15u);
  EXPECT_EQ(skel_stats.re_searches, 0u);

  zero_all();
  seed_entry(0, 0, SKEL_UPPER, skel_move("e4a4"));
  skel_config.table_move = true;
  EXPECT_EQ(skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 0), plain);
  EXPECT_EQ(skel_stats.null_windows, 15u);
  EXPECT_EQ(skel_stats.re_searches, 1u);
}

// SOFT: a cutoff returns the move's own value instead of beta, and stores
// it. After Rxe7 Black (a rook down) stands pat on its lazy l + 200, which is
// below its alpha -100, so Rxe7 is worth -(l + 200) to White.
TEST(SkelConfigurable, FailSoftCutoffReturnsTheBestScore) {
  SkelFixtureState state;
  set_skel_position(ROOK_TAKES_QUEEN_OR_PAWN);
  ASSERT_TRUE(make_move(skel_move("e4e7")));
  const int rook_up = -(quick_eval() + 200);
  unmake_move();
  EXPECT_EQ(skeleton_configurable_search(1, 0, 100, 0), 100);
  EXPECT_EQ(skel_slot().score, 100);
  EXPECT_EQ(skel_slot().bound, SKEL_LOWER);
  memset(skel_table, 0, sizeof(skel_table));
  skel_switches.soft = true;
  EXPECT_EQ(skeleton_configurable_search(1, 0, 100, 0), rook_up);
  EXPECT_EQ(skel_slot().score, rook_up);
  EXPECT_EQ(skel_slot().move, skel_move("e4e7"));
}

// CHKEXT: Ra8+ is searched one ply deeper and found to mate at ply 1.
TEST(SkelConfigurable, CheckExtensionFindsTheMate) {
  SkelFixtureState state;
  set_skel_position(BACK_RANK_MATE);
  const int without = skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 0);
  EXPECT_LT(without, 1000);
  EXPECT_EQ(op_counters[AB], 1u);
  zero_all();
  skel_switches.chkext = true;
  EXPECT_EQ(skeleton_configurable_search(1, -NO_SCORE, NO_SCORE, 0), 29999);
  EXPECT_EQ(op_counters[AB], 2u);
  EXPECT_EQ(skel_root_move, skel_move("a1a8"));
}

// Start position, White to move: the reduced evaluation is 10.
TEST(SkelConfigurable, ReverseFutilityPruning) {
  SkelFixtureState state;
  set_skel_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  ASSERT_EQ(skeleton_eval(), 10);
  skel_switches.rfp = true;
  EXPECT_EQ(skeleton_configurable_search(1, -111, -110, 0), -110);  // 10 - 1 * 120
  EXPECT_EQ(op_counters[LEGAL], 0u);
  EXPECT_EQ(skeleton_configurable_search(2, -231, -230, 0), -230);  // 10 - 2 * 120
  EXPECT_EQ(op_counters[LEGAL], 0u);
  // -110 is below beta -109: the moves are searched, and the first cuts.
  EXPECT_EQ(skeleton_configurable_search(1, -110, -109, 0), -109);
  EXPECT_EQ(op_counters[LEGAL], 1u);

  zero_all();
  skel_switches.rfp_margin = 50;
  EXPECT_EQ(skeleton_configurable_search(1, -41, -40, 0), -40);
  EXPECT_EQ(op_counters[LEGAL], 0u);
  skel_switches.rfp_depth = 0;
  EXPECT_EQ(skeleton_configurable_search(1, -41, -40, 0), -40);
  EXPECT_EQ(op_counters[LEGAL], 1u);
  skel_switches.rfp_depth = 3;
  EXPECT_EQ(skeleton_configurable_search(1, 19999, 20000, 0), 19999);  // beta above 19999
  EXPECT_EQ(op_counters[LEGAL], 21u);
}

TEST(SkelConfigurable, RazoringDropsIntoTheQuiescence) {
  SkelFixtureState state;
  set_skel_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  skel_switches.razor = true;
  // 10 + 300 <= 310: the quiescence answers (lazy: 10 + 200 is below alpha).
  EXPECT_EQ(skeleton_configurable_search(1, 310, 311, 0), 310);
  EXPECT_EQ(op_counters[LEGAL], 0u);
  EXPECT_EQ(op_counters[QS], 1u);
  EXPECT_EQ(op_counters[AB], 1u);
  // 10 + 300 > 309: searched.
  skeleton_configurable_search(1, 309, 310, 0);
  EXPECT_EQ(op_counters[LEGAL], 20u);
  // Depth 3 is never razored.
  zero_all();
  skeleton_configurable_search(3, 700, 701, 0);
  EXPECT_GT(op_counters[LEGAL], 0u);
}

// The null move at depth 3 against beta -999: the reply's quiescence stands
// below its alpha 999 and fails low, so the pass holds and the node cuts.
TEST(SkelConfigurable, NullMoveCutsWithMaterial) {
  SkelFixtureState state;
  skel_config.null_move = true;
  set_skel_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(skeleton_configurable_search(3, -1000, -999, 0), -999);
  EXPECT_EQ(op_counters[NULL_MOVE], 1u);
  EXPECT_EQ(op_counters[LEGAL], 0u);
  EXPECT_EQ(op_counters[QS], 1u);
  EXPECT_EQ(position.history_top, 0);

  // Kings and pawns only: no null move.
  zero_all();
  set_skel_position("4k3/4p3/8/8/8/8/4P3/4K3 w - - 0 1");
  skeleton_configurable_search(3, -1000, -999, 0);
  EXPECT_EQ(op_counters[NULL_MOVE], 0u);
  EXPECT_GT(op_counters[LEGAL], 0u);
}

// A quiet cutoff at depth 1: a2a4 sorts first on its seeded history byte
// 255 and cuts against beta -31000. 255 + 1 would reach 256, so every byte
// is halved first and the entry becomes 1 + 127 / 2 = 64.
TEST(SkelConfigurable, HistoryAndKillersAtAQuietCutoff) {
  SkelFixtureState state;
  skel_config = SkelConfig{true, false, false, false, true};
  set_skel_position("7k/8/8/8/8/8/P7/K7 w - - 0 1");
  const Move a2a4 = skel_move("a2a4");
  skel_history[1][24] = 255;  // White pawn to a4
  skel_history[1][16] = 101;  // White pawn to a3
  skel_history[6][1] = 7;     // White king to b1
  EXPECT_EQ(skeleton_configurable_search(1, -32000, -31000, 0), -31000);
  EXPECT_EQ(skel_history[1][24], 64);
  EXPECT_EQ(skel_history[1][16], 50);
  EXPECT_EQ(skel_history[6][1], 3);
  EXPECT_EQ(skel_killers[0][0], a2a4);
  EXPECT_EQ(skel_killers[0][1], 0);
  EXPECT_EQ(op_counters[CUTUPD], 1u);
  EXPECT_EQ(op_counters[LEGAL], 1u);
  EXPECT_EQ(skel_slot().move, a2a4);
  EXPECT_EQ(skel_slot().bound, SKEL_LOWER);

  // Again (the table entry wiped): the byte grows by 1 without halving; a
  // killer already first is not shifted in again.
  memset(skel_table, 0, sizeof(skel_table));
  skeleton_configurable_search(1, -32000, -31000, 0);
  EXPECT_EQ(skel_history[1][24], 65);
  EXPECT_EQ(op_counters[CUTUPD], 1u);
  EXPECT_EQ(skel_killers[0][1], 0);

  // History and killers off: nothing learnt.
  skel_config = SkelConfig{false, false, false, false, false};
  skel_tables_clear();
  skeleton_configurable_search(1, -32000, -31000, 0);
  EXPECT_EQ(skel_killers[0][0], 0);
  for (const auto& row : skel_history)
    for (uint8_t b : row) EXPECT_EQ(b, 0);
}

// Late-move reductions search late quiet moves two plies shallower first:
// fewer nodes, and under PVS the reduced null windows that rise are counted
// as re-searches.
TEST(SkelConfigurable, LateMoveReductionsSaveNodes) {
  SkelFixtureState state;
  set_skel_position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  skeleton_configurable_search(4, -NO_SCORE, NO_SCORE, 0);
  const uint32_t full = skel_nodes;
  zero_all();
  skel_config.reductions = true;
  skeleton_configurable_search(4, -NO_SCORE, NO_SCORE, 0);
  EXPECT_LT(skel_nodes, full);
  EXPECT_EQ(skel_stats.re_searches, 0u);
}

TEST(SkelGuards, DeepPliesAndAFullHistoryBecomeLeaves) {
  SkelFixtureState state;
  set_skel_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(skeleton_configurable_search(3, -NO_SCORE, NO_SCORE, SKEL_PLIES), 10);
  EXPECT_EQ(op_counters[AB], 0u);
  EXPECT_EQ(op_counters[QS], 1u);

  position.history_top = HISTORY_CAPACITY - 1;
  EXPECT_EQ(skeleton_plain_search(5, -NO_SCORE, NO_SCORE), 10);
  EXPECT_EQ(skeleton_table_search(5, -NO_SCORE, NO_SCORE, 0), 10);
  EXPECT_EQ(skeleton_configurable_search(5, -NO_SCORE, NO_SCORE, 0), 10);
  EXPECT_EQ(op_counters[MAKE], 0u);
  position.history_top = 0;

  // A negative depth is depth 0.
  EXPECT_EQ(skeleton_plain_search(-4, -NO_SCORE, NO_SCORE), 10);
}

}  // namespace
}  // namespace kelmstrad::test

namespace kelmstrad::test {
namespace {

// White in check at the root; Black's king is boxed in, so every Black make
// takes the cheap legality path. Each root make must pay the full test even
// after a child (not in check) has left its own hint behind.
TEST(SkelCheckHint, EveryMakeOfANodeInCheckPaysTheFullTest) {
  SkelFixtureState state;
  skel_switches.noqs = true;
  skel_switches.nott = true;
  const char* fen = "6bk/6pp/8/8/8/8/1R6/r6K w - - 0 1";
  set_skel_position(fen);
  generate_moves(true);
  generate_moves(false);
  const uint32_t root_makes = move_stack_len;
  move_stack_len = 0;
  memset(attack_bucket, 0, sizeof(attack_bucket));
  memset(op_counters, 0, sizeof(op_counters));

  skeleton_plain_search(2, -NO_SCORE, NO_SCORE);
  EXPECT_EQ(attack_bucket[3], root_makes);
  EXPECT_EQ(op_counters[MAKE_CHEAP], op_counters[MAKE] - root_makes);

  memset(attack_bucket, 0, sizeof(attack_bucket));
  zero_all();
  skeleton_configurable_search(2, -NO_SCORE, NO_SCORE, 0);
  EXPECT_EQ(attack_bucket[3], root_makes);
  EXPECT_EQ(op_counters[MAKE_CHEAP], op_counters[MAKE] - root_makes);
}

}  // namespace
}  // namespace kelmstrad::test
