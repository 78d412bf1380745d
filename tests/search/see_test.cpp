#include "search/see.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "board/fen.h"
#include "board/move.h"
#include "clock/counters.h"

namespace kelmstrad {
namespace {

// Raw bytes of the whole position, to prove a test left it bit-identical.
struct Snapshot {
  unsigned char bytes[sizeof(Position)];
  Snapshot() { memcpy(bytes, &position, sizeof(Position)); }
  bool unchanged() const { return memcmp(bytes, &position, sizeof(Position)) == 0; }
};

class Exchange : public testing::Test {
 protected:
  void SetUp() override { clear_search_counters(); }
  void TearDown() override {
    clear_search_counters();
    parse_fen(START_FEN);
  }
  // see_full of a move in a position, checking that the position is restored.
  int full(const char* fen, int from, int to) {
    parse_fen(fen);
    const Snapshot before;
    const int value = see_full(encode_move(from, to));
    EXPECT_TRUE(before.unchanged()) << fen;
    return value;
  }
  // see_sign_cheap of a move in a position, checking the restore as well.
  int cheap(const char* fen, int from, int to) {
    parse_fen(fen);
    const Snapshot before;
    const int value = see_sign_cheap(encode_move(from, to));
    EXPECT_TRUE(before.unchanged()) << fen;
    return value;
  }
  // least_valuable_attacker in a position; the board is not touched.
  Square lva(const char* fen, int square, Side side) {
    parse_fen(fen);
    const Snapshot before;
    const Square found = least_valuable_attacker(static_cast<Square>(square), side);
    EXPECT_TRUE(before.unchanged()) << fen;
    return found;
  }
  // creates_threat of a move in a position; the board is not touched.
  int threat(const char* fen, int from, int to) {
    parse_fen(fen);
    const Snapshot before;
    const int value = creates_threat(encode_move(from, to));
    EXPECT_TRUE(before.unchanged()) << fen;
    return value;
  }
};

// Squares used below (0x88).
constexpr int A1 = 0x00, D1 = 0x03, E1 = 0x04, A4 = 0x30, B1 = 0x01, C3 = 0x22;
constexpr int D2 = 0x13, D3 = 0x23, D4 = 0x33, E4 = 0x34, G4 = 0x36, D5 = 0x43, E5 = 0x44;
constexpr int D6 = 0x53, E7 = 0x64, E2 = 0x14, C2 = 0x12, C6 = 0x52;

TEST_F(Exchange, KnightTakesPawnDefendedByPawn) {
  const char* alone = "4k3/8/4p3/3p4/8/2N5/8/4K3 w - - 0 1";
  EXPECT_EQ(full(alone, C3, D5), -22);  // 10 - 32
  EXPECT_EQ(op_counters[SEEF], 1u);
  EXPECT_EQ(op_counters[SEEL], 2u);  // e6 found, then no White recapturer
  EXPECT_EQ(cheap(alone, C3, D5), 0);
  EXPECT_EQ(slcalls_count, 2u);
  // A White pawn on e4 recaptures: 10 - 32 + 10 is still a loss.
  const char* backed = "4k3/8/4p3/3p4/4P3/2N5/8/4K3 w - - 0 1";
  clear_search_counters();
  EXPECT_EQ(full(backed, C3, D5), -12);
  EXPECT_EQ(op_counters[SEEL], 3u);
  EXPECT_EQ(cheap(backed, C3, D5), 0);
  EXPECT_EQ(slcalls_count, 2u);
  EXPECT_EQ(op_counters[SEEF], 1u);
}

TEST_F(Exchange, PawnTakesUndefendedKnight) {
  const char* fen = "4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1";
  EXPECT_EQ(full(fen, E4, D5), 32);
  EXPECT_EQ(op_counters[SEEL], 1u);
  EXPECT_EQ(cheap(fen, E4, D5), 1);
  EXPECT_EQ(slcalls_count, 0u);  // victim worth more than the mover: no lookup
}

TEST_F(Exchange, EqualTradeIsAcceptedAtOnceByTheCheapTest) {
  const char* fen = "4k3/8/4p3/3b4/8/2N5/8/4K3 w - - 0 1";
  EXPECT_EQ(cheap(fen, C3, D5), 1);  // 32 against 33
  EXPECT_EQ(slcalls_count, 0u);
  EXPECT_EQ(full(fen, C3, D5), 1);  // 33 - 32 after the pawn recaptures
  EXPECT_EQ(op_counters[SEEL], 2u);
}

TEST_F(Exchange, QueenBehindTheRookRecapturesOnceTheRookHasLeft) {
  const char* with_queen = "7k/4b3/3p4/8/8/8/3R4/3Q3K w - - 0 1";
  // RxP +10, BxR -50, QxB +33: Black recaptures and White ends at -7.
  EXPECT_EQ(full(with_queen, D2, D6), -7);
  EXPECT_EQ(op_counters[SEEL], 3u);
  EXPECT_EQ(cheap(with_queen, D2, D6), 0);  // 10 - 50 + 33 < 0
  EXPECT_EQ(slcalls_count, 2u);
  const char* without_queen = "7k/4b3/3p4/8/8/8/3R4/7K w - - 0 1";
  EXPECT_EQ(full(without_queen, D2, D6), -40);
}

TEST_F(Exchange, KingRecapturesLikeAnyPiece) {
  // Alone the king takes the rook back.
  EXPECT_EQ(full("8/4k3/3p4/8/8/8/3R4/6K1 w - - 0 1", D2, D6), -40);
  EXPECT_EQ(op_counters[SEEL], 2u);
  // With a second rook behind, taking back with the king would cost the king.
  clear_search_counters();
  EXPECT_EQ(full("8/4k3/3p4/8/8/8/3R4/3R2K1 w - - 0 1", D2, D6), 10);
  EXPECT_EQ(op_counters[SEEL], 3u);
}

TEST_F(Exchange, EnPassantCapturesNothing) {
  EXPECT_EQ(full("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", E5, D6), 0);
  EXPECT_EQ(full("4kb2/8/8/3pP3/8/8/8/4K3 w - d6 0 1", E5, D6), -10);
  EXPECT_EQ(cheap("4kb2/8/8/3pP3/8/8/8/4K3 w - d6 0 1", E5, D6), 0);
  EXPECT_EQ(cheap("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", E5, D6), 1);
  EXPECT_EQ(slcalls_count, 3u);
}

TEST_F(Exchange, BlackCapturesToo) {
  // Black queen takes a White pawn defended by a knight: 10 - 95.
  EXPECT_EQ(full("4k3/8/8/3q4/8/3P4/1N6/4K3 b - - 0 1", D5, D3), -85);
  EXPECT_EQ(cheap("4k3/8/8/3q4/8/3P4/1N6/4K3 b - - 0 1", D5, D3), 0);
}

TEST_F(Exchange, LongExchangeStopsWhereTheSideToMoveWouldLose) {
  // Pawn d5 attacked by Nc3, Nf4, Rd1 (White) and defended by Nc7, Nf6, Rd8 (Black).
  const char* fen = "3r2k1/2n5/5n2/3p4/5N2/2N5/8/3R2K1 w - - 0 1";
  // NxP, NxN, NxN, NxN, RxN, RxR: Black has the last word, so White should not
  // start; once started, stopping after NxN (10 - 32) is White's best.
  EXPECT_EQ(full(fen, C3, D5), -22);
  EXPECT_EQ(op_counters[SEEL], 6u);  // five recaptures found, the sixth lookup finds none
  // With a second White rook White has the last word and wins the pawn.
  clear_search_counters();
  EXPECT_EQ(full("3r2k1/2n5/5n2/3p4/5N2/2N5/3R4/3R2K1 w - - 0 1", C3, D5), 10);
  EXPECT_EQ(op_counters[SEEL], 7u);
  // A queen in front of the rook instead: taking the knight with the queen
  // would lose her to the rook, so White stops early and the start loses.
  EXPECT_EQ(full("3r2k1/2n5/5n2/3p4/5N2/2N5/3Q4/3R2K1 w - - 0 1", C3, D5), -22);
}

TEST_F(Exchange, LeastValuableAttackerPreferences) {
  EXPECT_EQ(lva("4k3/8/8/3p4/4P3/2N5/8/4K3 w - - 0 1", D5, WHITE), E4);  // pawn beats knight
  EXPECT_EQ(lva("4k3/8/8/3p4/8/1BN5/8/4K3 w - - 0 1", D5, WHITE), C3);   // 32 < 33
  EXPECT_EQ(lva("4k3/8/8/3p4/4K3/8/8/3R4 w - - 0 1", D5, WHITE), D1);    // king only when alone
  EXPECT_EQ(lva("4k3/8/8/3p4/4K3/8/8/8 w - - 0 1", D5, WHITE), E4);
  // Equal values: the knight of the first step (+33) stays.
  EXPECT_EQ(lva("4k3/4N3/8/3p4/8/2N5/8/4K3 w - - 0 1", D5, WHITE), E7);
  // No x-ray: the rook behind the queen is not seen.
  EXPECT_EQ(lva("4k3/8/8/3p4/8/3Q4/8/3RK3 w - - 0 1", D5, WHITE), D3);
  // Pawns attack forwards only: e6 attacks d5 for Black, e4 does not.
  EXPECT_EQ(lva("4k3/8/4p3/3P4/4p3/8/8/4K3 w - - 0 1", D5, BLACK), 0x54);
  EXPECT_EQ(lva("4k3/8/8/3P4/4p3/8/8/4K3 w - - 0 1", D5, BLACK), NO_SQUARE);
  EXPECT_EQ(lva("4k3/8/8/3p4/2P5/8/8/4K3 w - - 0 1", D5, WHITE), 0x32);
  EXPECT_EQ(lva("4k3/8/2P5/3p4/8/8/8/4K3 w - - 0 1", D5, WHITE), NO_SQUARE);
  EXPECT_EQ(lva("4k3/8/8/3p4/8/8/8/3RK3 w - - 0 1", D4, WHITE), D1);
  EXPECT_EQ(lva("4k3/8/8/3p4/8/8/8/3RK3 w - - 0 1", D6, WHITE), NO_SQUARE);    // d5 blocks
  EXPECT_EQ(lva("4k3/8/8/3p4/8/8/8/3RK3 w - - 0 1", 0x08, WHITE), NO_SQUARE);  // off the board
  EXPECT_EQ(slcalls_count + op_counters[SEEL] + op_counters[ATT], 0u);         // nothing charged
}

TEST_F(Exchange, RookThreatExamples) {
  // Ra1-a4 attacks an undefended knight on b4: a threat; one guard test charged.
  EXPECT_EQ(threat("4k3/8/8/8/1n6/8/8/R3K3 w - - 0 1", A1, A4), 1);
  EXPECT_EQ(op_counters[THR], 1u);
  EXPECT_EQ(op_counters[ATT], 1u);
  EXPECT_EQ(op_counters[ATT_PC], 2u);  // Black's king and knight looked at
  clear_search_counters();
  // A defended queen is worth more than the rook: a threat without a guard test.
  EXPECT_EQ(threat("4k3/8/8/2p5/1q6/8/8/R3K3 w - - 0 1", A1, A4), 1);
  EXPECT_EQ(op_counters[ATT], 0u);
  // A defended knight is not.
  EXPECT_EQ(threat("4k3/8/8/2p5/1n6/8/8/R3K3 w - - 0 1", A1, A4), 0);
  EXPECT_EQ(op_counters[ATT], 1u);
  EXPECT_EQ(op_counters[ATT_PC], 3u);
  EXPECT_EQ(op_counters[THR], 2u);
}

TEST_F(Exchange, SliderLooksThroughItsOwnFromSquare) {
  // Rd4-g4: looking back along the rank passes d4 and finds the knight on b4.
  EXPECT_EQ(threat("4k3/8/8/8/1n1R4/8/8/4K3 w - - 0 1", D4, G4), 1);
  // A bishop does not see along ranks; the enemy king never counts.
  EXPECT_EQ(threat("8/8/8/8/8/1n6/8/2B1K2k w - - 0 1", 0x02, 0x24), 0);
  EXPECT_EQ(threat("7k/8/8/8/8/8/8/R3K3 w - - 0 1", A1, 0x70), 0);
}

TEST_F(Exchange, PawnPushThreats) {
  EXPECT_EQ(threat("4k3/8/8/4n3/8/3P4/8/4K3 w - - 0 1", D3, D4), 1);    // attacks e5
  EXPECT_EQ(threat("4k3/8/8/2b5/8/3P4/8/4K3 w - - 0 1", D3, D4), 1);    // attacks c5
  EXPECT_EQ(threat("4k3/8/8/4p3/8/3P4/8/4K3 w - - 0 1", D3, D4), 0);    // a pawn is no target
  EXPECT_EQ(threat("8/8/8/4k3/8/3P4/8/4K3 w - - 0 1", D3, D4), 0);      // nor the king
  EXPECT_EQ(threat("4k3/8/8/3P4/8/8/8/4K3 w - - 0 1", D5, D6), 1);      // reaches rank index 5
  EXPECT_EQ(threat("4k3/8/8/8/3p4/8/8/4K3 b - - 0 1", D4, D3), 1);      // Black: rank index 2
  EXPECT_EQ(threat("4k3/3p4/8/8/8/2N5/8/4K3 b - - 0 1", 0x63, D6), 0);  // d7-d6, nothing hit
  EXPECT_EQ(threat("4k3/3p4/8/8/4N3/8/8/4K3 b - - 0 1", 0x63, D5), 1);  // d7-d5 hits e4
  EXPECT_EQ(op_counters[THR], 8u);
  EXPECT_EQ(op_counters[ATT], 0u);  // pawns need no guard test
}

TEST_F(Exchange, KnightAndKingThreats) {
  EXPECT_EQ(threat("4k3/8/8/8/8/5b2/8/1N2K3 w - - 0 1", B1, D2), 1);  // 32 < 33
  EXPECT_EQ(op_counters[ATT], 0u);
  EXPECT_EQ(threat("4k3/8/8/8/6p1/5n2/8/1N2K3 w - - 0 1", B1, D2), 0);  // defended knight
  EXPECT_EQ(op_counters[ATT], 1u);
  EXPECT_EQ(threat("4k3/8/8/8/8/5n2/8/1N2K3 w - - 0 1", B1, D2), 1);  // undefended knight
  EXPECT_EQ(threat("4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", E1, E2), 0);    // king moves never
  EXPECT_EQ(op_counters[THR], 4u);
}

TEST_F(Exchange, QueenThreatsOnAllRays) {
  // Qc2-c6 passes the king on a8 and finds the undefended rook on e8 (+17 twice).
  EXPECT_EQ(threat("k3r3/8/8/8/8/8/2Q5/4K3 w - - 0 1", C2, C6), 1);
  // The same rook guarded by its king: worth less than the queen, no threat.
  EXPECT_EQ(threat("4rk2/8/8/8/8/8/2Q5/4K3 w - - 0 1", C2, C6), 0);
}

}  // namespace
}  // namespace kelmstrad
