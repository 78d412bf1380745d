// Properties checked on many positions reached by random legal games: the
// exchange and threat tests leave the position bit-identical, and the move
// picker hands out every generated move exactly once whatever its memories hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "board/fen.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "clock/counters.h"
#include "search/ordering.h"
#include "search/see.h"
#include "uci/options.h"

namespace kelmstrad {
namespace {

constexpr const char* STARTS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
};

// xorshift32, fixed seed: the same walk every run.
struct Random {
  uint32_t state = 0x2545F491u;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  uint32_t below(uint32_t n) { return next() % n; }
};

// All generated moves of the position (tactical, then quiet).
std::vector<Move> all_moves() {
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  std::vector<Move> moves(move_stack + mark, move_stack + move_stack_len);
  move_stack_len = mark;
  return moves;
}

// A stored move for the picker's memories: a generated move, junk, or none.
Move memory_move(Random* rng, const std::vector<Move>& moves) {
  switch (rng->below(3)) {
    case 0:
      return moves.empty() ? 0 : moves[rng->below(static_cast<uint32_t>(moves.size()))];
    case 1:
      return static_cast<Move>(rng->next());
    default:
      return 0;
  }
}

class Walk : public testing::Test {
 protected:
  void SetUp() override {
    ordering_settings_load();
    saved_bad_last_ = bad_last_enabled;
    saved_cmove_ = cmove_enabled;
  }
  void TearDown() override {
    bad_last_enabled = saved_bad_last_;
    cmove_enabled = saved_cmove_;
    skeleton_mode = 0;
    memset(killers, 0, sizeof(killers));
    memset(counter_moves, 0, sizeof(counter_moves));
    memset(history_scores, 0, sizeof(history_scores));
    move_stack_len = 0;
    parse_fen(START_FEN);
  }
  bool saved_bad_last_ = false;
  bool saved_cmove_ = false;
};

// Checks the static tests and the picker at the current position.
void check_position(Random* rng) {
  const std::vector<Move> moves = all_moves();
  unsigned char before[sizeof(Position)];
  memcpy(before, &position, sizeof(Position));
  for (Move m : moves) {
    const int victim = SEE_VALUE[piece_kind(position.board[move_to(m)])];
    EXPECT_LE(see_full(m), victim) << move_to_text(m);
    const int sign = see_sign_cheap(m);
    EXPECT_TRUE(sign == 0 || sign == 1);
    const int threat = creates_threat(m);
    EXPECT_TRUE(threat == 0 || threat == 1);
    ASSERT_EQ(memcmp(before, &position, sizeof(Position)), 0) << move_to_text(m);
  }
  const int ply = static_cast<int>(rng->below(KILLER_PLIES));
  killers[ply] = (static_cast<uint32_t>(memory_move(rng, moves)) << 16) | memory_move(rng, moves);
  if (position.history_top > 0) {
    const UndoRecord& last = position.history[position.history_top - 1];
    counter_moves[last.piece & 15][square64(move_to(last.move))] = memory_move(rng, moves);
  }
  for (auto& row : history_scores)
    for (uint8_t& byte : row) byte = static_cast<uint8_t>(rng->below(4) == 0 ? rng->next() : 0);
  skeleton_mode = rng->below(4) == 0;
  bad_last_enabled = rng->below(4) != 0;
  cmove_enabled = rng->below(2) == 0;
  const uint16_t base = move_stack_len;
  MovePicker picker;
  picker_init(picker, memory_move(rng, moves), ply);
  std::vector<Move> handed;
  for (Move m; (m = picker_next(picker)) != 0;) handed.push_back(m);
  EXPECT_EQ(picker_next(picker), 0);
  EXPECT_EQ(move_stack_len, base + moves.size());
  move_stack_len = base;
  std::vector<Move> expected = moves;
  std::sort(expected.begin(), expected.end());
  std::sort(handed.begin(), handed.end());
  EXPECT_EQ(handed, expected);
  EXPECT_EQ(memcmp(before, &position, sizeof(Position)), 0);
}

// Plays a random legal move; false when there is none.
bool play_random_move(Random* rng) {
  std::vector<Move> moves = all_moves();
  while (!moves.empty()) {
    const size_t pick = rng->below(static_cast<uint32_t>(moves.size()));
    in_check_hint = 1;
    if (make_move(moves[pick])) return true;
    moves.erase(moves.begin() + static_cast<long>(pick));
  }
  return false;
}

TEST_F(Walk, StaticTestsRestoreThePositionAndThePickerHandsOutEachMoveOnce) {
  Random rng;
  int positions = 0;
  for (const char* fen : STARTS) {
    parse_fen(fen);
    move_stack_len = static_cast<uint16_t>(rng.below(100));
    for (int ply = 0; ply < 60; ++ply) {
      SCOPED_TRACE(testing::Message() << fen << " ply " << ply);
      check_position(&rng);
      ++positions;
      if (::testing::Test::HasFatalFailure() || !play_random_move(&rng)) break;
    }
  }
  EXPECT_GT(positions, 200);
}

}  // namespace
}  // namespace kelmstrad
