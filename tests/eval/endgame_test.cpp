// The endgame rules on hand-worked positions.
#include "eval/endgame.h"

#include <gtest/gtest.h>

#include "eval/params.h"
#include "eval_support.h"

namespace kelmstrad::test {
namespace {

constexpr int ALL_RULES = EGK_FIFTY | EGK_DRAWISH | EGK_PAWN_RACE | EGK_MOP_UP;

// White pawn a5 needs 3 moves; the black king on h8 is 7 from a8.
TEST(PawnRace, UnstoppablePawn) {
  set_fen("7k/8/8/P7/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(pawn_race(), 500 - 30);
  EXPECT_EQ(endgame_rules(25, ALL_RULES, 10, 0), 25 + 470);
  EXPECT_EQ(endgame_rules(25, ALL_RULES & ~EGK_PAWN_RACE, 10, 0), 25);
  set_fen("8/2k5/8/P7/8/8/8/4K3 w - - 0 1");  // king c7 is 2 from a8: caught
  EXPECT_EQ(pawn_race(), 0);
  set_fen("3k4/8/8/P7/8/8/8/4K3 w - - 0 1");  // king d8: 3 moves < 3 fails
  EXPECT_EQ(pawn_race(), 0);
  set_fen("6k1/8/8/P7/8/8/8/4K3 b - - 0 1");  // king g8 (6 away) with Black to move: 3 < 6 - 1
  EXPECT_EQ(pawn_race(), 470);
  set_fen("5k2/8/8/P7/8/8/8/4K3 b - - 0 1");  // king f8 (5 away) with the move: 3 < 4 still
  EXPECT_EQ(pawn_race(), 470);
  set_fen("4k3/8/8/P7/8/8/8/4K3 b - - 0 1");  // king e8 (4 away) with the move: caught
  EXPECT_EQ(pawn_race(), 0);
}

TEST(PawnRace, BlockedPathsAndTheDoubleStep) {
  set_fen("7k/1p6/8/P7/8/8/8/4K3 w - - 0 1");  // b7 stands beside a7 on the path
  EXPECT_EQ(pawn_race(), 0);
  set_fen("n6k/8/8/P7/8/8/8/4K3 w - - 0 1");  // a piece on the path (no race then anyway)
  EXPECT_EQ(pawn_race(), 0);
  set_fen("7k/8/8/8/8/8/P7/7K w - - 0 1");  // a2: 6 moves count as 5; king h8 is 7 from a8
  EXPECT_EQ(pawn_race(), 500 - 50);
  // White's a5 pawn runs (3 moves, king f1 7 from a8); Black's h7 pawn (5
  // with its double step) is caught by the d1 king (4 from h1, White to move).
  set_fen("8/7p/8/P7/8/8/8/3K1k2 w - - 0 1");
  EXPECT_EQ(pawn_race(), 470);
  // a2 is caught by the a8 king at once; h7 runs: 5 < 7 - 1 (White to move).
  set_fen("k7/7p/8/8/8/8/P7/K7 w - - 0 1");
  EXPECT_EQ(pawn_race(), -450);
  // Both run in 5 (kings 7 away, White's tempo 0, Black's 1): equal, nothing.
  set_fen("K7/p7/8/8/8/8/7P/7k w - - 0 1");
  EXPECT_EQ(pawn_race(), 0);
  set_fen(mirror_fen("7k/8/8/P7/8/8/8/4K3 w - - 0 1"));
  EXPECT_EQ(pawn_race(), -470);
}

TEST(EndgameRules, RookAndPawnsEachWithLowClockFireNothing) {
  set_fen("4k3/4p3/8/8/8/8/4P3/R3K2r w - - 5 40");
  EXPECT_EQ(endgame_rules(123, ALL_RULES, 10, 3), 123);
  EXPECT_EQ(endgame_rules(-77, ALL_RULES, 10, 3), -77);
  set_fen("4k3/4p3/8/8/8/8/4P3/R3K2r w - - 60 40");  // the clock past 10 lets damping act
  EXPECT_EQ(endgame_rules(123, ALL_RULES, 10, 3), 123 * 50 / 100);
}

TEST(EndgameRules, FiftyMoveDamping) {
  set_fen("4k3/4p3/8/8/8/8/4P3/R3K2r w - - 60 40");
  EXPECT_EQ(endgame_rules(200, EGK_FIFTY, 10, 0), 100);
  EXPECT_EQ(endgame_rules(-201, EGK_FIFTY, 10, 0), -100);  // truncated toward zero
  position.halfmove_clock = 10;
  EXPECT_EQ(endgame_rules(200, EGK_FIFTY, 10, 0), 200);
  position.halfmove_clock = 11;
  EXPECT_EQ(endgame_rules(200, EGK_FIFTY, 10, 0), 198);
  position.halfmove_clock = 150;  // beyond 110 the score stays 0 instead of changing sign
  EXPECT_EQ(endgame_rules(200, EGK_FIFTY, 10, 0), 0);
  EXPECT_EQ(endgame_rules(200, ALL_RULES & ~EGK_FIFTY, 10, 0), 200);
}

// King and bishop against king: the bishop's endgame value is within 350, so
// v / 8; then the mop-up pays for the black king on e8 (centre distance
// 0 + 3) and the kings' closeness (e1-e8: 14 - 7).
TEST(EndgameRules, DrawishMaterialAndMopUp) {
  set_fen("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1");
  ASSERT_LE(eval_params.mateg[BISHOP], 350);
  EXPECT_EQ(endgame_rules(300, EGK_DRAWISH, 10, 2), 37);
  EXPECT_EQ(endgame_rules(300, EGK_DRAWISH | EGK_MOP_UP, 10, 2), 37 + 3 * 10 + 7 * 2);
  // v <= 0 names Black the stronger side: no pawns and 0 - 297 <= 350, so
  // the rule damps this score too.
  EXPECT_EQ(endgame_rules(-300, EGK_DRAWISH, 10, 2), -37);
  set_fen("4k3/8/8/8/8/8/8/3RK3 w - - 0 1");  // a rook is more than 350
  ASSERT_GT(eval_params.mateg[ROOK], 350);
  EXPECT_EQ(endgame_rules(300, EGK_DRAWISH, 10, 0), 300);
  set_fen("4k3/8/8/8/8/8/P7/2B1K3 w - - 0 1");  // the stronger side has a pawn
  EXPECT_EQ(endgame_rules(300, EGK_DRAWISH, 10, 0), 300);
  set_fen(mirror_fen("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1"));
  EXPECT_EQ(endgame_rules(-300, EGK_DRAWISH | EGK_MOP_UP, 10, 2), -(37 + 3 * 10 + 7 * 2));
}

// Queen against a lone king: with MOPC 10 the bonus grows by 10 for every
// step the lone king stands away from the four centre squares.
TEST(EndgameRules, MopUpPushesTheLoneKingToTheEdge) {
  const char* fens[] = {"8/8/8/4k3/8/8/8/Q3K3 w - - 0 1", "8/8/8/8/8/2k5/8/Q3K3 w - - 0 1",
                        "8/8/8/8/8/8/1k6/Q3K3 w - - 0 1", "8/8/8/8/8/8/8/Qk2K3 w - - 0 1",
                        "7k/8/8/8/8/8/8/Q3K3 w - - 0 1"};
  const int centre[] = {0, 2, 4, 5, 6};  // e5, c3, b2, b1, h8
  for (int i = 0; i < 5; ++i) {
    set_fen(fens[i]);
    EXPECT_EQ(endgame_rules(0, EGK_MOP_UP, 10, 0), 10 * centre[i]) << fens[i];
  }
  set_fen("4k3/8/8/8/8/8/8/Q3K3 w - - 0 1");  // closeness e1-e8: 14 - 7 = 7
  EXPECT_EQ(endgame_rules(0, EGK_MOP_UP, 0, 5), 35);
  set_fen("4k3/8/8/8/8/8/8/Q2pK3 w - - 0 1");  // the lone king still has a pawn: no mop-up
  EXPECT_EQ(endgame_rules(0, EGK_MOP_UP, 10, 0), 0);
}

}  // namespace
}  // namespace kelmstrad::test
