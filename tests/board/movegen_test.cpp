// Move generation: membership and order of the tactical and quiet sets,
// their charges, and positions only a FEN can produce.
#include <gtest/gtest.h>

#include "board/attack.h"
#include "board_support.h"

namespace kelmstrad::test {
namespace {

using Texts = std::vector<std::string>;

TEST(Generate, StartPositionQuietOrder) {
  set_position(START_FEN);
  EXPECT_EQ(generated(true), Texts{});
  const Texts expected = {"b1c3", "b1a3", "g1h3", "g1f3", "a2a3", "a2a4", "b2b3",
                          "b2b4", "c2c3", "c2c4", "d2d3", "d2d4", "e2e3", "e2e4",
                          "f2f3", "f2f4", "g2g3", "g2g4", "h2h3", "h2h4"};
  EXPECT_EQ(generated(false), expected);
}

TEST(Generate, ChargesPassPiecesAndMoves) {
  set_position(START_FEN);
  CounterWatch watch;
  generate_moves(true);
  generate_moves(false);
  EXPECT_EQ(move_stack_len, 20);
  EXPECT_EQ(watch.delta(GENT), 1u);
  EXPECT_EQ(watch.delta(GENT_PC), 16u);
  EXPECT_EQ(watch.delta(GENT_MV), 0u);
  EXPECT_EQ(watch.delta(GENQ), 1u);
  EXPECT_EQ(watch.delta(GENQ_PC), 16u);
  EXPECT_EQ(watch.delta(GENQ_MV), 20u);
  EXPECT_EQ(watch.delta(ATT), 0u);  // castling fails before any attack test
}

TEST(Generate, PromotionsSplitBetweenTheSets) {
  set_position("n1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(generated(true), (Texts{"b7a8q", "b7c8q", "b7b8q"}));
  EXPECT_EQ(generated(false),
            (Texts{"e1f1", "e1d1", "e1e2", "e1d2", "e1f2", "b7a8n", "b7a8r", "b7a8b", "b7c8n",
                   "b7c8r", "b7c8b", "b7b8n", "b7b8r", "b7b8b"}));
  set_position("4k3/8/8/8/8/8/1p6/R1N1K3 b - - 0 1");
  EXPECT_EQ(generated(true), (Texts{"b2a1q", "b2c1q", "b2b1q"}));
}

TEST(Generate, PromotionBitsOfTheSets) {
  set_position("n1n1k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  move_stack_len = 0;
  generate_moves(true);
  generate_moves(false);
  ASSERT_EQ(move_stack_len, 17);
  EXPECT_EQ(move_stack[0], encode_move(0x61, 0x70, 0));
  EXPECT_EQ(move_stack[8], encode_move(0x61, 0x70, 1));
  EXPECT_EQ(move_stack[9], encode_move(0x61, 0x70, 2));
  EXPECT_EQ(move_stack[10], encode_move(0x61, 0x70, 3));
  move_stack_len = 0;
}

TEST(Generate, EnPassantForBothColours) {
  set_position("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(generated(true), Texts{"e5d6"});
  set_position("4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1");
  EXPECT_EQ(generated(true), Texts{"d4e3"});
}

TEST(Generate, PiecesInDirectionOrderNearestFirst) {
  set_position("4k3/8/8/8/8/8/8/RNp1K3 w - - 0 1");
  EXPECT_EQ(generated(true), Texts{});  // the rook stops at its own knight
  set_position("4k3/8/8/8/8/8/8/R1p1K3 w - - 0 1");
  EXPECT_EQ(generated(true), Texts{"a1c1"});
  set_position("4k3/8/8/8/8/2p5/8/B3K3 w - - 0 1");
  EXPECT_EQ(generated(true), Texts{"a1c3"});
  EXPECT_EQ(generated(false), (Texts{"e1f1", "e1d1", "e1e2", "e1d2", "e1f2", "a1b2"}));
  set_position("4k3/8/8/8/8/8/8/Q3K3 w - - 0 1");
  const Texts queen = generated(false);
  ASSERT_EQ(queen.size(), 5u + 3u + 7u + 7u);
  EXPECT_EQ(queen[5], "a1b1");   // +1 first
  EXPECT_EQ(queen[8], "a1a2");   // then +16
  EXPECT_EQ(queen[15], "a1b2");  // then +17 (the diagonal +15 leaves the board)
}

TEST(Generate, CastlingShortThenLongAtTheEnd) {
  set_position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  const Texts white = generated(false);
  ASSERT_GE(white.size(), 2u);
  EXPECT_EQ(white[white.size() - 2], "e1g1");
  EXPECT_EQ(white.back(), "e1c1");
  set_position("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1");
  const Texts black = generated(false);
  EXPECT_EQ(black[black.size() - 2], "e8g8");
  EXPECT_EQ(black.back(), "e8c8");
}

TEST(Generate, CastlingThroughCheckNeverIntoCheckYes) {
  set_position("4k3/8/8/8/2b5/8/8/4K2R w K - 0 1");
  for (const std::string& m : generated(false)) EXPECT_NE(m, "e1g1");
  set_position("4k3/8/8/8/3b4/8/8/4K2R w K - 0 1");
  EXPECT_EQ(generated(false).back(), "e1g1");
  EXPECT_FALSE(make_move(encode_move(4, 6)));
  EXPECT_EQ(position.board[4], KING);
}

TEST(GenerateFaults, PawnsOnTheirLastRankHaveNoMoves) {
  set_position("P3k3/8/8/8/8/8/8/p3K3 w - - 0 1");
  EXPECT_EQ(generated(true), Texts{});
  EXPECT_EQ(generated(false), (Texts{"e1f1", "e1d1", "e1e2", "e1d2", "e1f2"}));
  set_position("P3k3/8/8/8/8/8/8/p3K3 b - - 0 1");
  EXPECT_EQ(generated(true), Texts{});
  EXPECT_EQ(generated(false), (Texts{"e8f8", "e8d8", "e8e7", "e8f7", "e8d7"}));
}

TEST(GenerateFaults, PawnOnItsFirstRankStepsOnce) {
  set_position("4k3/8/8/8/8/8/8/P3K3 w - - 0 1");
  EXPECT_EQ(generated(false), (Texts{"e1f1", "e1d1", "e1e2", "e1d2", "e1f2", "a1a2"}));
  set_position("p3k3/8/8/8/8/8/8/4K3 b - - 0 1");
  EXPECT_EQ(generated(false), (Texts{"e8f8", "e8d8", "e8e7", "e8f7", "e8d7", "a8a7"}));
}

TEST(GenerateFaults, EnPassantSquareThatCannotBeUsed) {
  // Occupied: an ordinary capture of the pawn standing there.
  set_position("4k3/8/8/8/8/4p3/3P4/4K3 w - e3 0 1");
  EXPECT_EQ(generated(true), Texts{"d2e3"});
  // Own pawn in front of it: nothing to take.
  set_position("4k3/8/8/3PP3/8/8/8/4K3 w - e6 0 1");
  EXPECT_EQ(generated(true), Texts{});
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x43, 0x54)));
  EXPECT_FALSE(move_is_tactical(encode_move(0x43, 0x54)));
  // Wrong rank for the side to move.
  set_position("4k3/8/8/8/8/8/3P4/4K3 w - e3 0 1");
  EXPECT_EQ(generated(true), Texts{});
  for (const std::string& m : generated(false)) EXPECT_NE(m, "d2e3");
  set_position("4k3/3p4/8/8/8/8/8/4K3 b - e6 0 1");
  EXPECT_EQ(generated(true), Texts{});
}

TEST(GenerateFaults, EmptyBoardAndASideWithoutPieces) {
  set_position("8/8/8/8/8/8/8/8 w - - 0 1");
  CounterWatch watch;
  EXPECT_EQ(generated(true), Texts{});
  EXPECT_EQ(generated(false), Texts{});
  EXPECT_EQ(watch.delta(GENT), 1u);
  EXPECT_EQ(watch.delta(GENT_PC), 0u);
  EXPECT_EQ(watch.delta(GENQ), 1u);
  set_position("4k3/8/8/8/8/8/8/8 w KQkq e6 0 1");
  EXPECT_EQ(generated(true), Texts{});
  EXPECT_EQ(generated(false), Texts{});
}

TEST(GenerateFaults, RightsWithoutKingOrRookGiveNoCastling) {
  set_position("4k3/8/8/8/8/8/8/4K3 w KQkq - 0 1");
  CounterWatch watch;
  EXPECT_EQ(generated(false).size(), 5u);
  EXPECT_EQ(watch.delta(ATT), 0u);
  set_position("4k3/8/8/8/8/8/K7/4K2R w K - 0 1");  // e1 king has no slot
  for (const std::string& m : generated(false)) EXPECT_NE(m.substr(0, 2), "e1");
}

}  // namespace
}  // namespace kelmstrad::test
