// position_is_ok: it accepts every position the engine reaches and catches
// each kind of corrupted field; in Debug builds make and unmake assert it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>

#include "board_support.h"
#include "eval/params.h"
#include "platform/assert.h"

namespace kelmstrad::test {
namespace {

constexpr const char* KIWIPETE =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// position_is_ok after `corrupt` changed the Kiwipete position; the
// position is set afresh afterwards.
bool ok_after(void (*corrupt)()) {
  set_position(KIWIPETE);
  corrupt();
  const bool ok = position_is_ok();
  set_position(START_FEN);
  return ok;
}

TEST(PositionIsOk, AcceptsPositionsFromFen) {
  for (const char* fen :
       {START_FEN, KIWIPETE, "8/8/8/8/8/8/8/8 w - - 0 1", "4k3/8/8/8/8/8/8/4K3 b - - 0 1",
        "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"}) {
    set_position(fen);
    EXPECT_TRUE(position_is_ok()) << fen;
  }
}

TEST(PositionIsOk, AcceptsTheSecondKingAFenLeavesWithoutSlot) {
  set_position("4k3/8/8/8/8/8/8/K3K3 w - - 0 1");
  EXPECT_EQ(position.slot_square[0], 4);  // the later king takes the slot
  EXPECT_EQ(position.board[0], KING);     // the earlier one stays on the board
  EXPECT_TRUE(position_is_ok());
}

TEST(PositionIsOk, LeavesThePositionUntouched) {
  set_position(KIWIPETE);
  const auto before = std::make_unique<Position>(position);
  EXPECT_TRUE(position_is_ok());
  EXPECT_EQ(memcmp(before.get(), &position, sizeof(Position)), 0);
  position.mg_score = static_cast<int16_t>(position.mg_score + 1);
  const auto broken = std::make_unique<Position>(position);
  EXPECT_FALSE(position_is_ok());
  EXPECT_EQ(memcmp(broken.get(), &position, sizeof(Position)), 0);
}

TEST(PositionIsOk, CatchesWrongKeysScoresAndPhase) {
  EXPECT_FALSE(ok_after([] { position.hash ^= 1; }));
  EXPECT_FALSE(ok_after([] { position.hash ^= side_key; }));  // the side never enters hash
  EXPECT_FALSE(ok_after([] { position.pawn_king_key ^= 0x80000000u; }));
  EXPECT_FALSE(ok_after([] { position.mg_score = static_cast<int16_t>(position.mg_score - 1); }));
  EXPECT_FALSE(ok_after([] { position.eg_score = static_cast<int16_t>(position.eg_score + 1); }));
  EXPECT_FALSE(ok_after([] { position.phase = 23; }));
  // The castling and en-passant keys belong to the fields they stand for.
  EXPECT_FALSE(ok_after([] { position.castling = 7; }));
  EXPECT_FALSE(ok_after([] { position.ep_square = 0x24; }));
}

TEST(PositionIsOk, CatchesBrokenSlotsAndSquares) {
  // A slot pointing at an empty square.
  EXPECT_FALSE(ok_after([] { position.slot_square[5] = 0x44; }));
  // A square that points at another slot than the one pointing at it.
  EXPECT_FALSE(ok_after([] { position.square_slot[position.slot_square[3]] = 4; }));
  // A knight on the board without a slot (keys and scores made to match).
  EXPECT_FALSE(ok_after([] {
    position.board[0x33] = KNIGHT;
    toggle_piece(KNIGHT, 0x33, true);
    position.phase = static_cast<uint8_t>(position.phase + 1);
  }));
  // A White piece in a Black slot.
  EXPECT_FALSE(ok_after([] {
    const int sq = position.slot_square[20];
    position.board[sq] = KNIGHT;
  }));
  // The king slot holding another piece, and a king outside the king slots.
  EXPECT_FALSE(ok_after([] {
    std::swap(position.slot_square[0], position.slot_square[1]);
    position.square_slot[position.slot_square[0]] = 0;
    position.square_slot[position.slot_square[1]] = 1;
  }));
  // Something off the board, and a piece code that is no piece.
  EXPECT_FALSE(ok_after([] { position.board[0x08] = PAWN; }));
  EXPECT_FALSE(ok_after([] { position.board[position.slot_square[2]] = 7; }));
}

TEST(PositionIsOk, CatchesScalarsOutOfRange) {
  EXPECT_FALSE(ok_after([] { position.side = 1; }));
  EXPECT_FALSE(ok_after([] { position.castling = 16; }));
  EXPECT_FALSE(ok_after([] { position.ep_square = 0x48; }));  // off the board
  EXPECT_FALSE(ok_after([] { position.history_top = -1; }));
  EXPECT_FALSE(ok_after([] { position.history_top = HISTORY_CAPACITY + 1; }));
}

// The check rebuilds the scores with the tables make uses, root terms included.
TEST(PositionIsOk, UsesTheRootTermsMakeUses) {
  set_position(KIWIPETE);
  root_terms[KNIGHT][square64(0x44)] = 37;  // the White knight on e5
  fill_piece_square_scores();
  EXPECT_FALSE(position_is_ok());  // scores not rebuilt yet
  set_position(KIWIPETE);          // parse_fen builds them with the bonus
  EXPECT_TRUE(position_is_ok());
  ASSERT_TRUE(make_move(move_of("e5f7")));
  EXPECT_TRUE(position_is_ok());
  unmake_move();
  EXPECT_TRUE(position_is_ok());
  memset(root_terms, 0, sizeof(root_terms));
  fill_piece_square_scores();
  set_position(START_FEN);
}

// Every make, unmake and null move below Kiwipete keeps the invariants.
bool all_ok_below(int depth) {
  if (!position_is_ok()) return false;
  if (depth == 0) return true;
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  bool ok = true;
  for (int i = mark; i < move_stack_len && ok; ++i) {
    if (!make_move(move_stack[i])) continue;
    ok = all_ok_below(depth - 1);
    unmake_move();
    ok = ok && position_is_ok();
  }
  make_null_move();
  ok = ok && position_is_ok();
  unmake_null_move();
  move_stack_len = mark;
  return ok && position_is_ok();
}

TEST(PositionIsOk, HoldsThroughMakeAndUnmake) {
  set_position(KIWIPETE);
  EXPECT_TRUE(all_ok_below(3));
  set_position("rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8");  // promotions
  EXPECT_TRUE(all_ok_below(3));
}

#ifdef KELMSTRAD_DEBUG
// Debug builds: a make on a corrupted position stops at the assertion.
TEST(PositionIsOkDeathTest, MakeAssertsTheInvariants) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  set_position(START_FEN);
  const Move e2e4 = move_of("e2e4");
  EXPECT_DEATH(
      {
        position.eg_score = static_cast<int16_t>(position.eg_score + 5);
        make_move(e2e4);
      },
      "ASSERT failed: position_is_ok\\(\\)");
  set_position(START_FEN);
}
#else
// Other builds: ASSERT does not even evaluate its condition.
TEST(PositionIsOk, AssertIsSilentOutsideDebugBuilds) {
  int evaluated = 0;
  ASSERT(++evaluated == 5);
  EXPECT_EQ(evaluated, 0);
}
#endif

}  // namespace
}  // namespace kelmstrad::test
