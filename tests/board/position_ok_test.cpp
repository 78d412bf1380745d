// position_is_ok judges the position without changing it, whatever it finds.
#include <gtest/gtest.h>

#include "board/fen.h"
#include "board/position.h"

namespace kelmstrad {
namespace {

constexpr const char* MIDDLEGAME =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8";

TEST(PositionIsOk, PieceOffTheBoardIsReportedAndThePositionKept) {
  parse_fen(MIDDLEGAME);
  const Position before = position;
  position.board[0x08] = KNIGHT;  // the first square right of h1: off the board
  EXPECT_FALSE(position_is_ok());
  EXPECT_EQ(position.hash, before.hash);
  EXPECT_EQ(position.pawn_king_key, before.pawn_king_key);
  EXPECT_EQ(position.mg_score, before.mg_score);
  EXPECT_EQ(position.eg_score, before.eg_score);
  EXPECT_EQ(position.phase, before.phase);
  position.board[0x08] = 0;
  EXPECT_TRUE(position_is_ok());
}

TEST(PositionIsOk, WrongScoreIsReportedAndThePositionKept) {
  parse_fen(MIDDLEGAME);
  const int16_t mg = position.mg_score;
  position.mg_score = static_cast<int16_t>(mg + 1);
  EXPECT_FALSE(position_is_ok());
  EXPECT_EQ(position.mg_score, mg + 1);
  position.mg_score = mg;
  EXPECT_TRUE(position_is_ok());
}

}  // namespace
}  // namespace kelmstrad
