// The match referee on known positions: the end of a game by each rule, move
// checking, SAN, repetition keys and the "position" command.
#include "referee.h"

#include <gtest/gtest.h>

#include <sstream>

#include "board/fen.h"
#include "board/position.h"

namespace kelmstrad::match {
namespace {

// A game from a FEN with the given UCI moves played; the test fails if one is refused.
GameState game_after(const std::string& fen, const std::string& moves) {
  GameState s;
  std::string error;
  EXPECT_TRUE(referee_start(s, fen, &error)) << error;
  std::istringstream in(moves);
  for (std::string m; in >> m;) EXPECT_EQ(referee_play(s, m), MoveCheck::LEGAL) << m;
  return s;
}

TEST(Referee, FoolsMateIsCheckmate) {
  const GameState s = game_after("startpos", "f2f3 e7e5 g2g4 d8h4");
  EXPECT_EQ(referee_verdict(s), Verdict::CHECKMATE);
  EXPECT_TRUE(s.in_check);
  EXPECT_EQ(s.legal_moves, 0);
  EXPECT_TRUE(s.white_to_move);
  EXPECT_EQ(s.sans.back(), "Qh4#");
}

TEST(Referee, QueenStalemate) {
  const GameState s = game_after("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "");
  EXPECT_EQ(referee_verdict(s), Verdict::STALEMATE);
  EXPECT_FALSE(s.in_check);
}

TEST(Referee, StalemateReachedByAMove) {
  // Qf5-f7 leaves the h8 king without a move and not in check.
  const GameState s = game_after("7k/8/6K1/5Q2/8/8/8/8 w - - 0 1", "f5f7");
  EXPECT_EQ(referee_verdict(s), Verdict::STALEMATE);
  EXPECT_EQ(s.sans.back(), "Qf7");
}

TEST(Referee, ThreefoldRepetitionOfTheStartPosition) {
  GameState s = game_after("startpos", "g1f3 g8f6 f3g1 f6g8");
  EXPECT_EQ(referee_verdict(s), Verdict::ONGOING);  // second occurrence only
  for (const char* m : {"g1f3", "g8f6", "f3g1"}) ASSERT_EQ(referee_play(s, m), MoveCheck::LEGAL);
  EXPECT_EQ(referee_verdict(s), Verdict::ONGOING);
  ASSERT_EQ(referee_play(s, "f6g8"), MoveCheck::LEGAL);
  EXPECT_EQ(referee_verdict(s), Verdict::REPETITION);
}

TEST(Referee, EnPassantSquareWithoutCaptureDoesNotBreakRepetition) {
  // The position after 1.e4 (e3 not capturable) recurs after plies 5 and 9.
  GameState s = game_after("startpos", "e2e4 g8f6 g1f3 f6g8 f3g1 g8f6 g1f3 f6g8");
  EXPECT_EQ(referee_verdict(s), Verdict::ONGOING);
  ASSERT_EQ(referee_play(s, "f3g1"), MoveCheck::LEGAL);
  EXPECT_EQ(referee_verdict(s), Verdict::REPETITION);
  EXPECT_EQ(s.keys[1], s.keys.back());
  EXPECT_EQ(s.keys[1], "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");
}

TEST(Referee, CapturableEnPassantSquareIsPartOfThePosition) {
  const GameState s = game_after("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1", "e2e4");
  EXPECT_EQ(s.keys.back(), "4k3/8/8/8/3pP3/8/8/4K3 b - e3");
  EXPECT_EQ(s.fen, "4k3/8/8/8/3pP3/8/8/4K3 b - e3 0 1");
}

TEST(Referee, LostCastlingRightsMakeADifferentPosition) {
  const GameState s = game_after("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", "a1b1 a8b8 b1a1 b8a8");
  EXPECT_EQ(s.keys.back(), "r3k2r/8/8/8/8/8/8/R3K2R w Kk -");
  EXPECT_NE(s.keys.front(), s.keys.back());
}

TEST(Referee, FiftyMovesAfterTheHundredthQuietPly) {
  GameState s = game_after("k7/8/1K6/8/8/8/8/7R w - - 98 80", "h1h2");
  EXPECT_EQ(s.halfmove_clock, 99);
  EXPECT_EQ(referee_verdict(s), Verdict::ONGOING);
  EXPECT_EQ(referee_play(s, "a8a7"), MoveCheck::ILLEGAL);  // a7 is guarded by the b6 king
  ASSERT_EQ(referee_play(s, "a8b8"), MoveCheck::LEGAL);
  EXPECT_EQ(s.halfmove_clock, 100);
  EXPECT_EQ(referee_verdict(s), Verdict::FIFTY_MOVES);
}

TEST(Referee, MateOnTheHundredthPlyBeatsTheFiftyMoveRule) {
  const GameState s = game_after("k7/8/1K6/8/8/8/8/7R w - - 99 80", "h1h8");
  EXPECT_EQ(s.halfmove_clock, 100);
  EXPECT_EQ(referee_verdict(s), Verdict::CHECKMATE);
}

TEST(Referee, PawnMovesAndCapturesResetTheHalfmoveClock) {
  GameState s = game_after("4k3/8/8/3p4/8/8/4P3/4K3 w - - 40 60", "e1d1");
  EXPECT_EQ(s.halfmove_clock, 41);
  ASSERT_EQ(referee_play(s, "e8e7"), MoveCheck::LEGAL);
  ASSERT_EQ(referee_play(s, "e2e4"), MoveCheck::LEGAL);
  EXPECT_EQ(s.halfmove_clock, 0);
  ASSERT_EQ(referee_play(s, "d5e4"), MoveCheck::LEGAL);
  EXPECT_EQ(s.halfmove_clock, 0);
  EXPECT_EQ(s.fullmove, 62);
}

TEST(Referee, InsufficientMaterial) {
  const char* dead[] = {"8/8/8/4k3/8/8/8/4K3 w - - 0 1",      // bare kings
                        "8/8/8/4k3/8/8/8/2B1K3 w - - 0 1",    // bishop
                        "8/8/8/4k3/8/8/8/1N2K3 b - - 0 1",    // knight
                        "5b2/8/8/4k3/8/8/8/2B1K3 w - - 0 1",  // bishops c1, f8: both dark
                        "8/8/8/3k4/8/8/8/B1B1K3 w - - 0 1"};  // two dark bishops
  for (const char* fen : dead)
    EXPECT_EQ(referee_verdict(game_after(fen, "")), Verdict::INSUFFICIENT_MATERIAL) << fen;
  const char* alive[] = {"2b5/8/8/4k3/8/8/8/2B1K3 w - - 0 1",  // c8 light, c1 dark
                         "8/8/8/4k3/8/8/8/1NN1K3 w - - 0 1",   // two knights
                         "8/8/8/4k3/8/8/8/1NB1K3 w - - 0 1",   // knight and bishop
                         "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",    // a pawn
                         "8/8/8/4k3/8/8/8/R3K3 w - - 0 1"};    // a rook
  for (const char* fen : alive)
    EXPECT_EQ(referee_verdict(game_after(fen, "")), Verdict::ONGOING) << fen;
}

TEST(Referee, CaptureLeavingKingAndBishopIsADeadPosition) {
  const GameState s = game_after("4k3/8/8/8/8/8/3n4/2B1K3 w - - 7 30", "e1d2");
  EXPECT_EQ(referee_verdict(s), Verdict::INSUFFICIENT_MATERIAL);
  EXPECT_EQ(s.halfmove_clock, 0);
  EXPECT_EQ(s.sans.back(), "Kxd2");
}

TEST(Referee, IllegalAndUnparsableMoves) {
  GameState s = game_after("startpos", "");
  EXPECT_EQ(referee_play(s, "e2e5"), MoveCheck::ILLEGAL);
  EXPECT_EQ(referee_play(s, "a1h8"), MoveCheck::ILLEGAL);
  EXPECT_EQ(referee_play(s, "e7e5"), MoveCheck::ILLEGAL);  // not White's pawn
  EXPECT_EQ(referee_play(s, "xyz"), MoveCheck::UNPARSABLE);
  EXPECT_EQ(referee_play(s, "E2E4"), MoveCheck::UNPARSABLE);
  EXPECT_EQ(referee_play(s, "e2e4!"), MoveCheck::UNPARSABLE);
  EXPECT_EQ(referee_play(s, "0000"), MoveCheck::UNPARSABLE);
  EXPECT_EQ(referee_play(s, ""), MoveCheck::UNPARSABLE);
  EXPECT_TRUE(s.moves.empty());
  EXPECT_EQ(s.fen, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
}

TEST(Referee, PinsChecksAndCastlingThroughAttack) {
  // The e2 knight is pinned by the e8 rook; f1 is attacked by the h3 bishop.
  GameState s = game_after("4r1k1/8/8/8/8/7b/4N3/4K2R w K - 0 1", "");
  EXPECT_EQ(referee_play(s, "e2c3"), MoveCheck::ILLEGAL);
  EXPECT_EQ(referee_play(s, "e1g1"), MoveCheck::ILLEGAL);
  EXPECT_FALSE(referee_is_legal(s, "e1f1"));
  EXPECT_TRUE(referee_is_legal(s, "e1f2"));
  EXPECT_TRUE(s.moves.empty());
}

TEST(Referee, PromotionNeedsItsLowercaseLetter) {
  GameState s = game_after("8/4P1k1/8/8/8/8/8/4K3 w - - 0 1", "");
  EXPECT_EQ(referee_play(s, "e7e8"), MoveCheck::ILLEGAL);
  EXPECT_EQ(referee_play(s, "e7e8Q"), MoveCheck::UNPARSABLE);
  ASSERT_EQ(referee_play(s, "e7e8q"), MoveCheck::LEGAL);
  EXPECT_EQ(s.sans.back(), "e8=Q");
  EXPECT_EQ(s.fen, "4Q3/6k1/8/8/8/8/8/4K3 b - - 0 1");
}

TEST(Referee, SanOfCastlingEnPassantPromotionAndDisambiguation) {
  GameState s = game_after("r3k2r/8/8/3pP3/8/8/8/R3K2R w KQkq d6 0 1", "e5d6 e8c8 e1g1");
  EXPECT_EQ(s.sans[0], "exd6");
  EXPECT_EQ(s.sans[1], "O-O-O");
  EXPECT_EQ(s.sans[2], "O-O");
  GameState k = game_after("4k3/8/8/8/R7/8/8/RN2KN2 w - - 0 1", "b1d2 e8e7 a1a2");
  EXPECT_EQ(k.sans[0], "Nbd2");
  EXPECT_EQ(k.sans[2], "R1a2");
  GameState p = game_after("1r2k3/2P5/8/8/8/8/8/4K3 w - - 0 1", "c7b8n");
  EXPECT_EQ(p.sans[0], "cxb8=N");
}

TEST(Referee, SanAndUciOpeningMoves) {
  GameState s = game_after("startpos", "");
  for (const char* m : {"e4", "e7e5", "Nf3", "Nc6", "Bb5", "a6", "O-O"})
    ASSERT_TRUE(referee_play_any(s, m)) << m;
  EXPECT_EQ(s.moves.back(), "e1g1");
  EXPECT_FALSE(referee_play_any(s, "Nf3"));  // the f3 knight is already there
  EXPECT_FALSE(referee_play_any(s, "Qxx9"));
  EXPECT_EQ(s.moves.size(), 7u);
}

TEST(Referee, StartPositionChecks) {
  GameState s;
  std::string error;
  EXPECT_FALSE(referee_start(s, "8/8/8/8/8/8/8/8 w - - 0 1", &error));
  EXPECT_EQ(error, "White has no king");
  EXPECT_TRUE(referee_start(s, "4k3/8/8/8/8/8/8/4K2R b - - 0 1", &error));
  EXPECT_FALSE(referee_start(s, "4k2R/8/8/8/8/8/8/4K3 w - - 0 1", &error));
  EXPECT_EQ(error, "the side not to move is in check");
  EXPECT_FALSE(referee_start(s, "4k3/8/8/8/8/8/8/4K2P w - - 0 1", &error));
  EXPECT_EQ(error, "a pawn stands on the first or last rank");
  EXPECT_FALSE(referee_start(s, "4k3/8/8/8/8/8/8/4K3 x - - 0 1", &error));
  EXPECT_EQ(error, "bad side to move \"x\"");
  EXPECT_FALSE(referee_start(s, "4k3/8/8/8/8/8/4K3 w - - 0 1", &error));
  EXPECT_EQ(error, "bad piece placement \"4k3/8/8/8/8/8/4K3\"");
  EXPECT_FALSE(referee_start(s, "4k3/8/8/8/8/8/8/4K3", &error));
  EXPECT_EQ(error, "a FEN needs four to six fields");
  // Rights without king and rook at home are dropped; missing counters default.
  ASSERT_TRUE(referee_start(s, "4k3/8/8/8/8/8/8/R3K3 w KQkq -", &error)) << error;
  EXPECT_EQ(s.start_fen, "4k3/8/8/8/8/8/8/R3K3 w Q - 0 1");
  EXPECT_FALSE(s.startpos);
}

TEST(Referee, DroppedRightsLeaveTheKey) {
  // The key after dropping KQkq down to Q is the key of the FEN that says Q.
  GameState s;
  std::string error;
  ASSERT_TRUE(referee_start(s, "4k3/8/8/8/8/8/8/R3K3 w KQkq - 0 1", &error)) << error;
  EXPECT_TRUE(position_is_ok());
  const uint32_t dropped = position.hash;
  parse_fen("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1");
  EXPECT_EQ(dropped, position.hash);
}

TEST(Referee, PositionCommand) {
  GameState s = game_after("startpos", "");
  EXPECT_EQ(position_command(s), "position startpos");
  EXPECT_EQ(position_command(s, "e2e4"), "position startpos moves e2e4");
  ASSERT_EQ(referee_play(s, "e2e4"), MoveCheck::LEGAL);
  ASSERT_EQ(referee_play(s, "c7c5"), MoveCheck::LEGAL);
  EXPECT_EQ(position_command(s), "position startpos moves e2e4 c7c5");
  const GameState f = game_after("4k3/8/8/8/8/8/4P3/4K3 w - - 3 9", "e2e4");
  EXPECT_EQ(position_command(f), "position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 3 9 moves e2e4");
  EXPECT_EQ(f.fullmove, 9);
  EXPECT_FALSE(f.white_to_move);
}

}  // namespace
}  // namespace kelmstrad::match
