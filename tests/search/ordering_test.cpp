#include "search/ordering.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/make.h"
#include "board/move.h"
#include "clock/counters.h"
#include "uci/options.h"

namespace kelmstrad {
namespace {

// Every test starts with empty ordering memories, zero counters and default
// switches, and puts them back afterwards.
class Ordering : public testing::Test {
 protected:
  void SetUp() override {
    ordering_settings_load();
    saved_bad_last_ = bad_last_enabled;
    saved_cmove_ = cmove_enabled;
    reset();
  }
  void TearDown() override {
    bad_last_enabled = saved_bad_last_;
    cmove_enabled = saved_cmove_;
    reset();
    parse_fen(START_FEN);
  }
  static void reset() {
    memset(killers, 0, sizeof(killers));
    memset(counter_moves, 0, sizeof(counter_moves));
    memset(history_scores, 0, sizeof(history_scores));
    skeleton_mode = 0;
    move_stack_len = 0;
    clear_search_counters();
  }
  // Capture score of one move in a position.
  static int capture_score(const char* fen, int from, int to) {
    parse_fen(fen);
    move_stack[100] = encode_move(from, to);
    score_captures(100, 101);
    return move_scores[100];
  }
  bool saved_bad_last_ = false;
  bool saved_cmove_ = false;
};

// UCI texts of all moves a picker hands out, until it answers 0.
std::string drain(MovePicker& picker) {
  std::string line;
  for (Move m; (m = picker_next(picker)) != 0;) {
    if (!line.empty()) line += ' ';
    line += move_to_text(m);
  }
  return line;
}

Move mv(const char* text) {
  const Move move = parse_move_text(text);
  EXPECT_NE(move, 0) << text;
  return move;
}

TEST_F(Ordering, CaptureScores) {
  EXPECT_EQ(capture_score("4k3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", 0x34, 0x43), 46);  // PxQ
  EXPECT_EQ(capture_score("4k3/8/8/3p4/8/8/8/3QK3 w - - 0 1", 0x03, 0x43), 10);   // QxP
  EXPECT_EQ(capture_score("4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", 0x04, 0x13), 9);     // KxP
  EXPECT_EQ(capture_score("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", 0x61, 0x71), 46);    // b7-b8=Q
  EXPECT_EQ(capture_score("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", 0x61, 0x70), 78);   // bxa8=Q
  EXPECT_EQ(capture_score("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", 0x44, 0x53), 14);  // e.p.
  EXPECT_EQ(capture_score("4k3/8/8/8/8/8/1p6/4K3 b - - 0 1", 0x11, 0x01), 46);    // b2-b1=Q
  EXPECT_EQ(capture_score("4k3/8/8/3n4/8/2N5/8/4K3 w - - 0 1", 0x22, 0x43), 21);  // NxN
  // A plain quiet move scores like a pawn capture by its mover.
  EXPECT_EQ(capture_score("4k3/8/8/8/8/2N5/8/4K3 w - - 0 1", 0x22, 0x34), 13);
}

TEST_F(Ordering, QuietScoresAreHistoryBytes) {
  parse_fen("4k3/8/8/8/8/8/8/R3K2r w - - 0 1");
  history_scores[4][2] = 77;  // White rook to c1
  history_scores[12][2] = 5;  // Black rook to c1
  move_stack[10] = encode_move(0x00, 0x02);
  move_stack[11] = encode_move(0x07, 0x02);
  move_stack[12] = encode_move(0x00, 0x10);
  score_quiets(10, 13);
  EXPECT_EQ(move_scores[10], 77);
  EXPECT_EQ(move_scores[11], 5);
  EXPECT_EQ(move_scores[12], 0);
}

TEST_F(Ordering, PickNextTakesTiesInStackOrder) {
  const uint8_t scores[4] = {5, 9, 9, 5};
  for (int i = 0; i < 4; ++i) {
    move_stack[200 + i] = static_cast<Move>(i + 1);
    move_scores[200 + i] = scores[i];
  }
  uint16_t cursor = 200;
  EXPECT_EQ(pick_next(cursor, 204), 2);
  EXPECT_EQ(pick_next(cursor, 204), 3);
  EXPECT_EQ(pick_next(cursor, 204), 1);
  EXPECT_EQ(pick_next(cursor, 204), 4);
  EXPECT_EQ(cursor, 204);
  EXPECT_EQ(pick_next(cursor, 204), 0);
  EXPECT_EQ(cursor, 204);
  EXPECT_EQ(op_counters[PICK], 5u);
  EXPECT_EQ(op_counters[PICKSCAN], 10u);  // 4 + 3 + 2 + 1
  // The picked moves and their scores now lie in picking order.
  EXPECT_EQ(move_stack[200], 2);
  EXPECT_EQ(move_scores[200], 9);
  EXPECT_EQ(move_stack[202], 1);
  EXPECT_EQ(move_scores[202], 5);
}

TEST_F(Ordering, PickNextOnAnEmptyRangeStillCostsOnePick) {
  uint16_t cursor = 10;
  EXPECT_EQ(pick_next(cursor, 10), 0);
  EXPECT_EQ(pick_next(cursor, 3), 0);
  EXPECT_EQ(cursor, 10);
  EXPECT_EQ(op_counters[PICK], 2u);
  EXPECT_EQ(op_counters[PICKSCAN], 0u);
}

TEST_F(Ordering, HistoryHalvesTheWholeTableBeforeOverflowing) {
  parse_fen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  const Move a1c1 = encode_move(0x00, 0x02);
  history_scores[4][2] = 246;
  history_scores[9][40] = 7;
  note_cutoff(a1c1, 2, 3);  // 246 + 9 = 255: no halving
  EXPECT_EQ(history_scores[4][2], 255);
  EXPECT_EQ(history_scores[9][40], 7);
  history_scores[4][2] = 250;
  history_scores[0][0] = 255;
  note_cutoff(a1c1, 2, 3);  // 259: halve everything first, then 125 + 9
  EXPECT_EQ(history_scores[4][2], 134);
  EXPECT_EQ(history_scores[9][40], 3);
  EXPECT_EQ(history_scores[0][0], 127);
  history_scores[4][2] = 255;
  note_cutoff(a1c1, 2, 16);  // 127 + 256, capped
  EXPECT_EQ(history_scores[4][2], 255);
  EXPECT_EQ(history_scores[9][40], 1);
  EXPECT_EQ(history_scores[0][0], 63);
  EXPECT_EQ(op_counters[CUTUPD], 3u);
}

TEST_F(Ordering, KillersShiftAndARepeatedCutOffChangesNothing) {
  parse_fen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  const Move a1c1 = encode_move(0x00, 0x02);
  const Move a1a5 = encode_move(0x00, 0x40);
  note_cutoff(a1c1, 5, 1);
  EXPECT_EQ(first_killer(5), a1c1);
  EXPECT_EQ(second_killer(5), 0);
  note_cutoff(a1a5, 5, 1);
  EXPECT_EQ(first_killer(5), a1a5);
  EXPECT_EQ(second_killer(5), a1c1);
  EXPECT_EQ(killers[5], (static_cast<uint32_t>(a1c1) << 16) | a1a5);
  note_cutoff(a1a5, 5, 1);
  EXPECT_EQ(first_killer(5), a1a5);
  EXPECT_EQ(second_killer(5), a1c1);
  note_cutoff(a1c1, 5, 1);
  EXPECT_EQ(first_killer(5), a1c1);
  EXPECT_EQ(second_killer(5), a1a5);
  EXPECT_EQ(killers[4] | killers[6], 0u);
  // Plies outside the table are ignored rather than written out of bounds.
  note_cutoff(a1c1, 64, 1);
  note_cutoff(a1c1, -1, 1);
  EXPECT_EQ(first_killer(64), 0);
  EXPECT_EQ(op_counters[CUTUPD], 6u);
}

TEST_F(Ordering, CounterMoveRemembersTheReplyToThePreviousMove) {
  parse_fen("7k/8/8/8/8/8/8/R3K3 b - - 0 1");
  in_check_hint = 0;
  ASSERT_TRUE(make_move(encode_move(0x77, 0x76)));  // Kh8-g8
  const Move a1c1 = encode_move(0x00, 0x02);
  cmove_enabled = false;
  note_cutoff(a1c1, 1, 2);
  EXPECT_EQ(counter_moves[14][62], 0);
  cmove_enabled = true;
  note_cutoff(a1c1, 1, 2);
  EXPECT_EQ(counter_moves[14][62], a1c1);  // Black king to g8
  unmake_move();
  // No previous move in the game line: nothing to remember.
  parse_fen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  memset(counter_moves, 0, sizeof(counter_moves));
  note_cutoff(a1c1, 1, 2);
  for (const auto& row : counter_moves)
    for (Move m : row) EXPECT_EQ(m, 0);
}

TEST_F(Ordering, NewSearchForgetsKillersAndCounterMovesAndFadesHistory) {
  killers[3] = 0x12345678u;
  counter_moves[2][9] = 0x1111;
  history_scores[1][1] = 255;
  history_scores[2][2] = 3;
  ordering_new_search();
  EXPECT_EQ(killers[3], 0u);
  EXPECT_EQ(counter_moves[2][9], 0);
  EXPECT_EQ(history_scores[1][1], 63);
  EXPECT_EQ(history_scores[2][2], 0);
  history_scores[1][1] = 9;
  history_clear();
  EXPECT_EQ(history_scores[1][1], 0);
}

// White: Kg1, Ra1, Nc3. Black: Kg8 (just arrived from h8), pawns a6, d5, e6.
// Tactical: Ra1xa6 (wins a pawn) and Nc3xd5 (loses the knight to e6).
class Picker : public Ordering {
 protected:
  void SetUp() override {
    Ordering::SetUp();
    parse_fen("7k/8/p3p3/3p4/8/2N5/8/R5K1 b - - 0 1");
    in_check_hint = 0;
    EXPECT_TRUE(make_move(encode_move(0x77, 0x76)));
    move_stack_len = 30;  // the node's list starts above an ancestor's
    clear_search_counters();
  }
  void TearDown() override {
    if (position.history_top > 0) unmake_move();
    Ordering::TearDown();
  }
  // Hash move Nc3-e4, killers Ra1-d1 and Nc3-b5 at ply 3, counter move Ra1-a5,
  // history: Ne4 60, Rc1 50, Kh2 40, Na2 30.
  void set_memories() {
    killers[3] = (static_cast<uint32_t>(mv("c3b5")) << 16) | mv("a1d1");
    counter_moves[14][62] = mv("a1a5");
    history_scores[2][28] = 60;
    history_scores[4][2] = 50;
    history_scores[6][15] = 40;
    history_scores[2][8] = 30;
  }
};

TEST_F(Picker, StagesInOrder) {
  bad_last_enabled = true;
  cmove_enabled = true;
  set_memories();
  const Move hash_move = mv("c3e4");
  clear_search_counters();
  MovePicker picker;
  picker_init(picker, hash_move, 3);
  EXPECT_EQ(drain(picker),
            "c3e4 a1a6 a1d1 c3b5 a1a5 "  // hash, good capture, killers, counter move
            "a1c1 g1h2 c3a2 "            // three by history (Ne4 was the first pick)
            "g1g2 a1b1 g1f1 a1e1 a1f1 a1a2 a1a3 a1a4 g1h1 c3a4 c3e2 g1f2 c3d1 c3b1 "
            "c3d5");  // the losing capture last
  EXPECT_EQ(picker_next(picker), 0);
  EXPECT_EQ(move_stack_len, 30 + 2 + 21);
  EXPECT_EQ(op_counters[GENT], 1u);
  EXPECT_EQ(op_counters[GENQ], 1u);
  EXPECT_EQ(op_counters[PICK], 3u + 4u);
  EXPECT_EQ(op_counters[PICKSCAN], 2u + 1u + 21u + 20u + 19u + 18u);
  EXPECT_EQ(op_counters[SEEF], 2u);
  EXPECT_EQ(op_counters[SEEL], 3u);  // NxP: e6, then none; RxP: none
}

TEST_F(Picker, SkeletonKeepsOnlyHashCapturesAndGenerationOrder) {
  bad_last_enabled = true;
  cmove_enabled = true;
  set_memories();
  skeleton_mode = 1;
  clear_search_counters();
  MovePicker picker;
  picker_init(picker, mv("c3e4"), 3);
  EXPECT_EQ(drain(picker),
            "c3e4 c3d5 a1a6 "
            "g1h1 g1f1 g1g2 g1f2 g1h2 a1b1 a1c1 a1d1 a1e1 a1f1 a1a2 a1a3 a1a4 a1a5 "
            "c3b5 c3a4 c3e2 c3a2 c3d1 c3b1");
  EXPECT_EQ(op_counters[PICK], 3u);
  EXPECT_EQ(op_counters[SEEF], 0u);
}

TEST_F(Picker, WithoutBadLastLosingCapturesComeFirst) {
  bad_last_enabled = false;
  MovePicker picker;
  picker_init(picker, 0, 3);
  const std::string line = drain(picker);
  EXPECT_EQ(line.substr(0, 15), "c3d5 a1a6 g1h1 ");
  EXPECT_EQ(line.substr(line.size() - 4), "c3b1");
  EXPECT_EQ(op_counters[SEEF], 0u);
}

TEST_F(Picker, KillerThatBecameACaptureComesWithTheCaptures) {
  bad_last_enabled = false;
  killers[3] = (static_cast<uint32_t>(mv("a1d1")) << 16) | mv("c3d5");
  MovePicker picker;
  picker_init(picker, 0, 3);
  const std::string line = drain(picker);
  EXPECT_EQ(line.substr(0, 20), "c3d5 a1a6 a1d1 g1h1 ");
  EXPECT_EQ(line.find("c3d5", 1), std::string::npos);  // handed out once
  EXPECT_EQ(line.find("a1d1", 15), std::string::npos);
}

TEST_F(Picker, RejectedHashMoveIsForgotten) {
  bad_last_enabled = true;
  MovePicker picker;
  picker_init(picker, encode_move(0x00, 0x70), 0);  // Ra1-a8 is blocked by a6
  EXPECT_EQ(picker_next(picker), mv("a1a6"));
  EXPECT_EQ(picker.hash_move, 0);
  // A capture as hash move is tried first and not again with the captures.
  move_stack_len = 30;
  picker_init(picker, mv("a1a6"), 0);
  const std::string line = drain(picker);
  EXPECT_EQ(line.substr(0, 10), "a1a6 g1h1 ");
  EXPECT_EQ(line.find("a1a6", 1), std::string::npos);
  EXPECT_EQ(line.substr(line.size() - 4), "c3d5");
}

TEST_F(Picker, KillersMustBeNewAndPlayable) {
  bad_last_enabled = true;
  // First killer equal to the hash move, second killer not playable here.
  killers[3] = (static_cast<uint32_t>(encode_move(0x22, 0x32)) << 16) | mv("a1d1");
  cmove_enabled = true;
  counter_moves[14][62] = mv("a1d1");  // same as the hash move: skipped too
  MovePicker picker;
  picker_init(picker, mv("a1d1"), 3);
  EXPECT_EQ(picker_next(picker), mv("a1d1"));
  EXPECT_EQ(picker_next(picker), mv("a1a6"));
  EXPECT_EQ(picker_next(picker), mv("g1h1"));  // straight to the quiet moves
  EXPECT_EQ(picker.killer1_played, 0);
  EXPECT_EQ(picker.killer2_played, 0);
  EXPECT_EQ(picker.counter_played, 0);
}

TEST_F(Picker, CounterMoveNeedsCmoveAndAPreviousMove) {
  counter_moves[14][62] = mv("a1a5");
  bad_last_enabled = true;
  cmove_enabled = false;
  MovePicker picker;
  picker_init(picker, 0, 3);
  EXPECT_EQ(picker_next(picker), mv("a1a6"));
  EXPECT_EQ(picker_next(picker), mv("g1h1"));
  cmove_enabled = true;
  move_stack_len = 30;
  picker_init(picker, 0, 3);
  EXPECT_EQ(picker_next(picker), mv("a1a6"));
  EXPECT_EQ(picker_next(picker), mv("a1a5"));
  // After a null move there is no previous move to answer.
  make_null_move();
  make_null_move();
  move_stack_len = 30;
  picker_init(picker, 0, 3);
  EXPECT_EQ(picker_next(picker), mv("a1a6"));
  EXPECT_EQ(picker_next(picker), mv("g1h1"));
  unmake_null_move();
  unmake_null_move();
}

TEST_F(Picker, EnPassantIsNeverDeferred) {
  bad_last_enabled = true;
  unmake_move();
  // Black's bishop on f8 would take the pawn back on d6: exchange -10.
  parse_fen("4kb2/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  move_stack_len = 0;
  MovePicker picker;
  picker_init(picker, 0, 1);
  EXPECT_EQ(picker_next(picker), mv("e5d6"));
  EXPECT_EQ(op_counters[SEEF], 0u);
}

TEST_F(Picker, QuietStageRegeneratesAboveTheCaptureList) {
  bad_last_enabled = true;
  cmove_enabled = false;
  MovePicker picker;
  picker_init(picker, 0, 3);
  EXPECT_EQ(picker_next(picker), mv("a1a6"));
  // A child node used the stack above the captures and restored its length.
  const uint16_t above = move_stack_len;
  move_stack[above] = 0xdead;
  EXPECT_EQ(picker_next(picker), mv("g1h1"));
  EXPECT_EQ(picker.captures_end, 32);
  EXPECT_EQ(move_stack[32], mv("g1h1"));
}

}  // namespace
}  // namespace kelmstrad
