#include "search/tt.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "board/fen.h"
#include "board/move.h"
#include "clock/counters.h"
#include "search/ordering.h"
#include "uci/loop.h"
#include "uci/options.h"

namespace kelmstrad {
namespace {

constexpr const char* KIWI = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Every test starts from an empty table, default options and zero counters,
// and leaves the table settings as start-up fixed them.
class Table : public testing::Test {
 protected:
  void SetUp() override {
    tt_settings_load();
    saved_mask_ = tt_mask;
    saved_two_slot_ = tt_two_slot;
    tt_clear();
    clear_search_counters();
    parse_fen(KIWI);
  }
  void TearDown() override {
    tt_mask = saved_mask_;
    tt_two_slot = saved_two_slot_;
    no_tt = lean_mode = skeleton_mode = 0;
    tt_clear();
    clear_search_counters();
    parse_fen(START_FEN);
  }
  uint32_t saved_mask_ = 0;
  bool saved_two_slot_ = false;
};

TEST(TableLayout, EntryIsEightBytesInFieldOrder) {
  EXPECT_EQ(sizeof(TTEntry), 8u);
  EXPECT_EQ(offsetof(TTEntry, check), 0u);
  EXPECT_EQ(offsetof(TTEntry, move), 2u);
  EXPECT_EQ(offsetof(TTEntry, score), 4u);
  EXPECT_EQ(offsetof(TTEntry, depth), 6u);
  EXPECT_EQ(offsetof(TTEntry, bound), 7u);
  EXPECT_EQ(sizeof(tt_table), 1048576u);
}

TEST(TableMask, FromTtentText) {
  bool adjusted = true;
  EXPECT_EQ(tt_mask_for(nullptr, &adjusted), 0x1ffffu);  // unset: the whole table
  EXPECT_FALSE(adjusted);
  EXPECT_EQ(tt_mask_for("512", &adjusted), 511u);
  EXPECT_FALSE(adjusted);
  EXPECT_EQ(tt_mask_for("4096", &adjusted), 4095u);
  EXPECT_EQ(tt_mask_for("2", &adjusted), 1u);
  EXPECT_FALSE(adjusted);
  EXPECT_EQ(tt_mask_for("131072", &adjusted), 0x1ffffu);
  EXPECT_FALSE(adjusted);
  // Above the table: capped, as documented, without a message.
  EXPECT_EQ(tt_mask_for("262144", &adjusted), 0x1ffffu);
  EXPECT_FALSE(adjusted);
  EXPECT_EQ(tt_mask_for("99999999999999999999999", &adjusted), 0x1ffffu);
  EXPECT_FALSE(adjusted);
}

TEST(TableMask, UnusableValuesStayInsideTheTable) {
  bool adjusted = false;
  EXPECT_EQ(tt_mask_for("1000", &adjusted), 511u);  // largest power of two not above
  EXPECT_TRUE(adjusted);
  EXPECT_EQ(tt_mask_for("131071", &adjusted), 0xffffu);
  EXPECT_TRUE(adjusted);
  for (const char* text : {"0", "1", "-5", "-131072", "abc", ""}) {
    EXPECT_EQ(tt_mask_for(text, &adjusted), 1u) << text;  // two entries at least
    EXPECT_TRUE(adjusted) << text;
  }
}

TEST_F(Table, StartUpDefaultUsesFiveHundredTwelveEntries) {
  EXPECT_EQ(saved_mask_, 511u);
  EXPECT_FALSE(saved_two_slot_);
  EXPECT_EQ(&tt_slot(false), &tt_table[tt_key() & 511]);
}

TEST_F(Table, KeyFoldsTheSideToMove) {
  const uint32_t white_key = tt_key();
  EXPECT_EQ(white_key, position.hash);
  parse_fen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1");
  EXPECT_EQ(tt_key(), white_key ^ side_key);
  EXPECT_EQ(tt_check_value(), (white_key ^ side_key) >> 16);
}

TEST_F(Table, MateScoreStoredAtPlyFiveReadsFourPliesFurtherAtPlyNine) {
  const Move e5f7 = encode_move(0x44, 0x65);
  // The side to move mates at ply 10 from the root: 30000 - 10.
  tt_store_main(3, 29990, BOUND_EXACT, e5f7, 5);
  EXPECT_EQ(tt_slot(false).score, 29995);  // five plies to mate from the storing node
  Move hash_move = 0;
  int score = 0;
  ASSERT_TRUE(tt_probe_main(3, 100, 101, 9, &hash_move, &score));
  EXPECT_EQ(score, 29986);
  EXPECT_EQ(hash_move, e5f7);

  tt_store_main(3, -29990, BOUND_EXACT, e5f7, 5);
  EXPECT_EQ(tt_slot(false).score, -29995);
  ASSERT_TRUE(tt_probe_main(3, 100, 101, 9, &hash_move, &score));
  EXPECT_EQ(score, -29986);
}

TEST_F(Table, MateAdjustmentStartsAbove29936) {
  EXPECT_EQ(score_to_table(29936, 7), 29936);
  EXPECT_EQ(score_to_table(29937, 7), 29944);
  EXPECT_EQ(score_to_table(-29936, 7), -29936);
  EXPECT_EQ(score_to_table(-29937, 7), -29944);
  EXPECT_EQ(score_from_table(29944, 7), 29937);
  EXPECT_EQ(score_from_table(-29944, 7), -29937);
  EXPECT_EQ(score_from_table(150, 7), 150);
}

TEST_F(Table, WideWindowNodeOnlyTakesTheMove) {
  const Move d5e6 = encode_move(0x43, 0x54);
  tt_store_main(6, 40, BOUND_EXACT, d5e6, 2);
  Move hash_move = 0;
  int score = 12345;
  EXPECT_FALSE(tt_probe_main(4, -50, 50, 2, &hash_move, &score));
  EXPECT_EQ(hash_move, d5e6);
  EXPECT_EQ(score, 12345);
  EXPECT_TRUE(tt_probe_main(4, 49, 50, 2, &hash_move, &score));
  EXPECT_EQ(score, 40);
  EXPECT_EQ(op_counters[TTPROBE], 2u);
  EXPECT_EQ(op_counters[TTSTORE], 1u);
}

TEST_F(Table, CutOffNeedsDepthAndADecidingBound) {
  const Move move = encode_move(0x44, 0x65);
  Move hash_move = 0;
  int score = 0;
  tt_store_main(5, 80, BOUND_LOWER, move, 0);
  EXPECT_FALSE(tt_probe_main(6, 79, 80, 0, &hash_move, &score));  // too shallow
  EXPECT_EQ(hash_move, move);
  EXPECT_TRUE(tt_probe_main(5, 79, 80, 0, &hash_move, &score));  // 80 >= beta
  EXPECT_EQ(score, 80);
  EXPECT_FALSE(tt_probe_main(5, 80, 81, 0, &hash_move, &score));  // lower bound below beta
  tt_store_main(5, 80, BOUND_UPPER, move, 0);
  EXPECT_TRUE(tt_probe_main(5, 80, 81, 0, &hash_move, &score));  // 80 <= alpha
  EXPECT_FALSE(tt_probe_main(5, 79, 80, 0, &hash_move, &score));
}

TEST_F(Table, OtherPositionFindsNoMove) {
  tt_store_main(5, 80, BOUND_EXACT, encode_move(0x44, 0x65), 0);
  parse_fen(START_FEN);
  Move hash_move = 77;
  int score = 0;
  EXPECT_FALSE(tt_probe_main(1, 0, 1, 0, &hash_move, &score));
  EXPECT_EQ(hash_move, 0);
}

TEST_F(Table, DeeperEntryKeptUnlessTheNewBoundIsExact) {
  const Move old_move = encode_move(0x44, 0x65);
  const Move new_move = encode_move(0x43, 0x54);
  tt_store_main(6, 120, BOUND_LOWER, old_move, 0);
  tt_store_main(4, -30, BOUND_UPPER, new_move, 0);
  TTEntry& entry = tt_slot(false);
  EXPECT_EQ(entry.depth, 6);
  EXPECT_EQ(entry.score, 120);
  EXPECT_EQ(entry.move, old_move);
  EXPECT_EQ(entry.bound, BOUND_LOWER);
  EXPECT_EQ(op_counters[TTSTORE], 2u);  // the kept store still costs

  tt_store_main(4, -30, BOUND_EXACT, new_move, 0);
  EXPECT_EQ(entry.depth, 4);
  EXPECT_EQ(entry.score, -30);
  EXPECT_EQ(entry.move, new_move);
  EXPECT_EQ(entry.bound, BOUND_EXACT);
  EXPECT_EQ(entry.check, tt_check_value());
}

TEST_F(Table, StoreWithoutBestMoveKeepsTheStoredMove) {
  const Move move = encode_move(0x44, 0x65);
  tt_store_main(2, 10, BOUND_LOWER, move, 0);
  tt_store_main(3, -5, BOUND_UPPER, 0, 0);
  const TTEntry& entry = tt_slot(false);
  EXPECT_EQ(entry.move, move);
  EXPECT_EQ(entry.depth, 3);
  EXPECT_EQ(entry.score, -5);
  EXPECT_EQ(entry.bound, BOUND_UPPER);
}

TEST_F(Table, OtherPositionIsOverwrittenWhateverItsDepth) {
  TTEntry& entry = tt_slot(true);
  entry = TTEntry{static_cast<uint16_t>(tt_check_value() ^ 1), 0x1234, 7, 60, BOUND_EXACT};
  tt_store_main(1, 3, BOUND_UPPER, 0, 0);
  EXPECT_EQ(entry.check, tt_check_value());
  EXPECT_EQ(entry.move, 0);  // the other position's move is not inherited
  EXPECT_EQ(entry.depth, 1);
}

TEST_F(Table, BoundOfANodeResult) {
  EXPECT_EQ(tt_bound_for(50, 10, 50), BOUND_LOWER);
  EXPECT_EQ(tt_bound_for(11, 10, 50), BOUND_EXACT);
  EXPECT_EQ(tt_bound_for(10, 10, 50), BOUND_UPPER);
}

TEST_F(Table, TwoSlotBucketPrefersTheMatchingThenTheShallowerEntry) {
  tt_two_slot = true;
  const uint32_t index = 0x0a4;
  const uint32_t key_a = 0x11110000u | index;
  const uint32_t key_b = 0x22220000u | index;
  const uint32_t key_c = 0x33330000u | index;
  TTEntry& first = tt_table[index];
  TTEntry& second = tt_table[index ^ 1];
  // Both empty (depth 0 each): the entry at the index itself.
  EXPECT_EQ(&tt_slot_for_key(key_a, true), &first);
  first = TTEntry{0x1111, 1, 0, 5, BOUND_EXACT};
  EXPECT_EQ(&tt_slot_for_key(key_b, true), &second);  // 0 < 5: the shallower one
  second = TTEntry{0x2222, 2, 0, 3, BOUND_EXACT};
  EXPECT_EQ(&tt_slot_for_key(key_a, true), &first);
  EXPECT_EQ(&tt_slot_for_key(key_b, true), &second);
  EXPECT_EQ(&tt_slot_for_key(key_b, false), &second);
  EXPECT_EQ(&tt_slot_for_key(key_c, true), &second);  // evicts depth 3, keeps depth 5
  EXPECT_EQ(&tt_slot_for_key(key_c, false), &first);  // a miss probes the index
  second.depth = 5;
  EXPECT_EQ(&tt_slot_for_key(key_c, true), &first);  // equal depths: the index
  second.depth = 9;
  EXPECT_EQ(&tt_slot_for_key(key_c, true), &first);
  // The pair of an odd index is the even entry below it.
  EXPECT_EQ(&tt_slot_for_key(0x33330000u | (index ^ 1), false), &second);
}

TEST_F(Table, TwoSlotStoreAndProbeOfTheCurrentPosition) {
  tt_two_slot = true;
  const uint32_t index = tt_key() & tt_mask;
  const uint16_t check = tt_check_value();
  tt_table[index] = TTEntry{static_cast<uint16_t>(check ^ 0x100), 9, 0, 4, BOUND_EXACT};
  tt_table[index ^ 1] = TTEntry{static_cast<uint16_t>(check ^ 0x200), 9, 0, 2, BOUND_EXACT};
  const Move move = encode_move(0x44, 0x65);
  tt_store_main(1, 33, BOUND_LOWER, move, 3);
  EXPECT_EQ(tt_table[index].check, check ^ 0x100);  // the deeper neighbour survives
  EXPECT_EQ(tt_table[index ^ 1].check, check);
  Move hash_move = 0;
  int score = 0;
  EXPECT_TRUE(tt_probe_main(1, 0, 1, 3, &hash_move, &score));
  EXPECT_EQ(hash_move, move);
  EXPECT_EQ(score, 33);
}

TEST_F(Table, OneSlotModeAlwaysUsesTheIndex) {
  tt_two_slot = false;
  const uint32_t key = 0x5555000au;
  tt_table[0x00a] = TTEntry{0x1234, 0, 0, 50, BOUND_EXACT};
  EXPECT_EQ(&tt_slot_for_key(key, true), &tt_table[0x00a]);
  EXPECT_EQ(&tt_slot_for_key(key, false), &tt_table[0x00a]);
}

TEST_F(Table, LeanSkipsTheTableWithoutCharge) {
  tt_store_main(3, 10, BOUND_EXACT, encode_move(0x44, 0x65), 0);
  lean_mode = 1;
  Move hash_move = 1;
  int score = 0;
  EXPECT_FALSE(tt_probe_main(1, 0, 1, 0, &hash_move, &score));
  EXPECT_EQ(hash_move, 0);
  EXPECT_EQ(op_counters[TTPROBE], 0u);
  tt_store_main(9, 99, BOUND_EXACT, 0, 0);
  EXPECT_EQ(op_counters[TTSTORE], 1u);  // only the store made before Lean
  EXPECT_EQ(tt_slot(false).depth, 3);
}

TEST_F(Table, NoTtAndSkeletonChargeTheProbeButFindNothing) {
  tt_store_main(3, 10, BOUND_EXACT, encode_move(0x44, 0x65), 0);
  Move hash_move = 1;
  int score = 0;
  no_tt = 1;
  EXPECT_FALSE(tt_probe_main(1, 0, 1, 0, &hash_move, &score));
  EXPECT_EQ(hash_move, 0);
  tt_store_main(9, 99, BOUND_EXACT, 0, 0);
  no_tt = 0;
  skeleton_mode = 1;
  hash_move = 1;
  EXPECT_FALSE(tt_probe_main(1, 0, 1, 0, &hash_move, &score));
  EXPECT_EQ(hash_move, 0);
  tt_store_main(9, 99, BOUND_EXACT, 0, 0);
  EXPECT_EQ(op_counters[TTPROBE], 2u);
  EXPECT_EQ(op_counters[TTSTORE], 1u);
  EXPECT_EQ(tt_slot(false).depth, 3);
}

TEST_F(Table, QuiescenceStoreNeverOverwritesAMainSearchEntry) {
  tt_store_main(1, 70, BOUND_LOWER, encode_move(0x44, 0x65), 0);
  tt_store_quiesce(-20, -50, 50);
  const TTEntry& entry = tt_table[tt_key() & tt_mask];
  EXPECT_EQ(entry.depth, 1);
  EXPECT_EQ(entry.score, 70);
  EXPECT_EQ(side_counters[QTT_COUNT], 1u);
  // Another position's main-search entry at the same index is kept as well.
  parse_fen(START_FEN);
  tt_table[tt_key() & tt_mask] = TTEntry{1, 0, 5, 2, BOUND_UPPER};
  tt_store_quiesce(-20, -50, 50);
  EXPECT_EQ(tt_table[tt_key() & tt_mask].check, 1);
}

TEST_F(Table, QuiescenceStoreBoundsAndMateScores) {
  const TTEntry& entry = tt_table[tt_key() & tt_mask];
  tt_store_quiesce(50, -10, 50);
  EXPECT_EQ(entry.bound, BOUND_LOWER);
  EXPECT_EQ(entry.depth, 0);
  EXPECT_EQ(entry.move, 0);
  EXPECT_EQ(entry.check, tt_check_value());
  tt_store_quiesce(-9, -10, 50);
  EXPECT_EQ(entry.bound, BOUND_EXACT);
  EXPECT_EQ(entry.score, -9);
  tt_store_quiesce(-10, -10, 50);
  EXPECT_EQ(entry.bound, BOUND_UPPER);
  EXPECT_EQ(side_counters[QTT_COUNT], 3u);
  tt_store_quiesce(29936, -10, 50);  // a mate score: neither stored nor charged
  tt_store_quiesce(-29936, -10, 50);
  EXPECT_EQ(entry.score, -10);
  EXPECT_EQ(side_counters[QTT_COUNT], 3u);
  tt_store_quiesce(29935, -10, 50);
  EXPECT_EQ(entry.score, 29935);
  EXPECT_EQ(side_counters[QTT_COUNT], 4u);
}

TEST_F(Table, QuiescenceProbeReadsScoresUnadjusted) {
  int score = 0;
  EXPECT_FALSE(tt_probe_quiesce(-10, 10, &score));
  EXPECT_EQ(side_counters[QTT_COUNT], 1u);
  tt_store_main(7, 29990, BOUND_EXACT, 0, 4);  // stored as 29994
  EXPECT_TRUE(tt_probe_quiesce(-10, 10, &score));
  EXPECT_EQ(score, 29994);
  tt_store_quiesce(5, -10, 10);  // kept: the main-search entry stays
  tt_slot(false) = TTEntry{tt_check_value(), 0, 20, 0, BOUND_LOWER};
  EXPECT_FALSE(tt_probe_quiesce(-10, 21, &score));
  EXPECT_TRUE(tt_probe_quiesce(-10, 20, &score));
  EXPECT_EQ(score, 20);
  tt_slot(false).bound = BOUND_UPPER;
  EXPECT_FALSE(tt_probe_quiesce(19, 30, &score));
  EXPECT_TRUE(tt_probe_quiesce(20, 30, &score));
  skeleton_mode = 1;
  EXPECT_FALSE(tt_probe_quiesce(20, 30, &score));
  EXPECT_EQ(side_counters[QTT_COUNT], 7u);  // six probes and one store before Skeleton
}

TEST_F(Table, UciNewGameClearsTableAndHistory) {
  tt_store_main(4, 10, BOUND_EXACT, encode_move(0x44, 0x65), 0);
  tt_table[TT_CAPACITY - 1] = TTEntry{9, 9, 9, 9, BOUND_EXACT};  // beyond the used part too
  history_scores[3][17] = 200;
  const Position before = position;
  process_line("ucinewgame");
  static const TTEntry zero[TT_CAPACITY] = {};
  EXPECT_EQ(memcmp(tt_table, zero, sizeof(tt_table)), 0);
  EXPECT_EQ(history_scores[3][17], 0);
  EXPECT_EQ(position.hash, before.hash);
  EXPECT_EQ(memcmp(position.board, before.board, sizeof(position.board)), 0);
}

}  // namespace
}  // namespace kelmstrad
