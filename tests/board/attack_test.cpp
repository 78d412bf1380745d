// Attack tables and queries: flags, attack tests with their charges,
// castling, check, pseudo-legality, tactical moves and captures onto a square.
#include "board/attack.h"

#include <gtest/gtest.h>

#include <string>

#include "board/legal.h"
#include "board/make.h"
#include "board_support.h"
#include "random_positions.h"

namespace kelmstrad::test {
namespace {

int flags_at(int difference) { return delta_flags[difference + DELTA_OFFSET]; }
int step_at(int difference) { return delta_step[difference + DELTA_OFFSET]; }

TEST(AttackTables, FlagsCombineEveryPieceThatReachesADifference) {
  EXPECT_EQ(flags_at(15), 1 | 8 | 16);  // White pawn capture, king step, diagonal
  EXPECT_EQ(flags_at(17), 1 | 8 | 16);
  EXPECT_EQ(flags_at(-15), 2 | 8 | 16);  // Black pawn capture
  EXPECT_EQ(flags_at(-17), 2 | 8 | 16);
  EXPECT_EQ(flags_at(1), 8 | 32);
  EXPECT_EQ(flags_at(-16), 8 | 32);
  EXPECT_EQ(flags_at(33), 4);
  EXPECT_EQ(flags_at(-14), 4);
  EXPECT_EQ(flags_at(32), 32);
  EXPECT_EQ(flags_at(34), 16);
  EXPECT_EQ(flags_at(119), 16);  // a1 to h8
  EXPECT_EQ(flags_at(-119), 16);
  EXPECT_EQ(flags_at(0), 0);
  EXPECT_EQ(flags_at(9), 0);  // no piece moves from a1 to b2 + 8 files
  EXPECT_EQ(flags_at(16 * 3 + 1), 0);
}

TEST(AttackTables, StepsOnlyOnLines) {
  EXPECT_EQ(step_at(7), 1);
  EXPECT_EQ(step_at(-112), -16);
  EXPECT_EQ(step_at(119), 17);
  EXPECT_EQ(step_at(30), 15);
  EXPECT_EQ(step_at(-45), -15);
  EXPECT_EQ(step_at(33), 0);  // a knight jump is on no line
  EXPECT_EQ(step_at(0), 0);
  EXPECT_EQ(kind_attack_mask[QUEEN], 48);
  EXPECT_EQ(kind_attack_mask[PAWN], 0);
}

TEST(SquareAttacked, RookOnOpenFileUntilAPawnBlocks) {
  set_position("4r2k/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(square_attacked(4, BLACK));
  set_position("4r2k/8/8/8/4P3/8/8/4K3 w - - 0 1");
  EXPECT_FALSE(square_attacked(4, BLACK));
}

TEST(SquareAttacked, BlackPawnAttacksDiagonallyDownward) {
  set_position("7k/8/8/3p4/8/8/8/K7 w - - 0 1");
  EXPECT_TRUE(square_attacked(0x34, BLACK));   // e4
  EXPECT_TRUE(square_attacked(0x32, BLACK));   // c4
  EXPECT_FALSE(square_attacked(0x33, BLACK));  // d4
  EXPECT_FALSE(square_attacked(0x54, BLACK));  // e6: a pawn does not attack backward
}

TEST(SquareAttacked, OffBoardSquareIsNeverAttacked) {
  set_position("4r2k/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_FALSE(square_attacked(NO_SQUARE, BLACK));
  EXPECT_FALSE(square_attacked(0x08, BLACK));
}

// Every legal move of the position, made from a position where the mover's
// opponent stands unattacked: the king test from the changed squares answers
// as square_attacked does on the opponent's king.
void expect_check_after_each_move() {
  const Side mover = position.side;
  if (square_attacked(king_square(opponent(mover)), mover)) return;
  for (const Move m : legal_moves()) {
    const std::string text = move_to_text(m);
    ASSERT_TRUE(make_move(m));
    const bool direct = square_attacked(king_square(position.side), mover);
    EXPECT_EQ(king_attacked_after_move(), direct) << text;
    unmake_move();
  }
}

TEST(KingAttackedAfterMove, EqualsSquareAttackedAlongRandomGames) {
  Random rng{2718};
  for (int round = 0; round < 300; ++round) {
    parse_fen(random_placement(&rng).c_str());
    expect_check_after_each_move();
  }
  for (const PerftCase& c : STANDARD_PERFT)
    for (int game = 0; game < 3; ++game)
      along_random_game(&rng, c.fen, 80, expect_check_after_each_move);
  parse_fen(START_FEN);
}

TEST(CountAttackTest, ChargesTestBucketAndLivePieces) {
  set_position("rnbqkbnr/pppppppp/8/8/8/8/8/4K3 w - - 0 1");
  attack_context = 2;
  CounterWatch watch;
  count_attack_test(BLACK);
  EXPECT_EQ(watch.delta(ATT), 1u);
  EXPECT_EQ(watch.delta(ATT_PC), 16u);
  EXPECT_EQ(watch.bucket(2), 1u);
  count_attack_test(WHITE);
  EXPECT_EQ(watch.delta(ATT_PC), 17u);
}

TEST(CountAttackTest, ContextOutsideTheBucketsChargesNoBucket) {
  set_position("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  attack_context = 9;
  CounterWatch watch;
  count_attack_test(BLACK);
  EXPECT_EQ(watch.delta(ATT), 1u);
  for (int i = 0; i < ATTACK_CONTEXTS; ++i) EXPECT_EQ(watch.bucket(i), 0u);
  attack_context = 0;
}

TEST(CastlingAllowed, PassingSquareAttackedForbidsShortCastling) {
  set_position("4k3/8/8/8/2b5/8/8/4K2R w K - 0 1");  // bishop c4 hits f1
  attack_context = 0;
  CounterWatch watch;
  EXPECT_FALSE(castling_allowed(WING_SHORT));
  EXPECT_EQ(watch.delta(ATT), 2u);
  EXPECT_EQ(watch.delta(ATT_PC), 4u);  // two Black pieces, twice
  EXPECT_EQ(watch.bucket(4), 2u);
  EXPECT_EQ(attack_context, 4u);
}

TEST(CastlingAllowed, DestinationAttackedIsLeftToMake) {
  set_position("4k3/8/8/8/3b4/8/8/4K2R w K - 0 1");  // bishop d4 hits g1, not f1
  EXPECT_TRUE(castling_allowed(WING_SHORT));
}

TEST(CastlingAllowed, KingInCheckStopsAfterOneTest) {
  set_position("4r2k/8/8/8/8/8/8/4K2R w K - 0 1");
  CounterWatch watch;
  EXPECT_FALSE(castling_allowed(WING_SHORT));
  EXPECT_EQ(watch.delta(ATT), 1u);
}

TEST(CastlingAllowed, MissingRightRookOrEmptySquaresCostNothing) {
  set_position("4k3/8/8/8/8/8/8/R3K2R w - - 0 1");
  attack_context = 1;
  CounterWatch watch;
  EXPECT_FALSE(castling_allowed(WING_SHORT));
  EXPECT_EQ(attack_context, 4u);  // set even when no test follows
  set_position("4k3/8/8/8/8/8/8/R3K1NR w KQ - 0 1");
  EXPECT_FALSE(castling_allowed(WING_SHORT));
  EXPECT_TRUE(castling_allowed(WING_LONG));
  set_position("4k3/8/8/8/8/8/8/1R2K3 w Q - 0 1");  // rook on b1, not a1
  EXPECT_FALSE(castling_allowed(WING_LONG));
  set_position("4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1");
  EXPECT_FALSE(castling_allowed(WING_LONG));
  EXPECT_EQ(watch.delta(ATT), 2u);  // only the one allowed castling was tested
}

TEST(CastlingAllowed, BlackWingsUseRightsFourAndEight) {
  set_position("r3k2r/8/8/8/8/8/8/4K3 b kq - 0 1");
  EXPECT_TRUE(castling_allowed(WING_SHORT));
  EXPECT_TRUE(castling_allowed(WING_LONG));
  set_position("r3k2r/8/8/8/8/8/8/4K3 b KQ - 0 1");
  EXPECT_FALSE(castling_allowed(WING_SHORT));
  EXPECT_FALSE(castling_allowed(WING_LONG));
}

TEST(CastlingAllowed, KingWithoutItsSlotNeverCastles) {
  // The a2 king is found last and takes the slot; the e1 king stays unlisted.
  set_position("4k3/8/8/8/8/8/K7/4K2R w K - 0 1");
  EXPECT_EQ(position.slot_square[0], 0x10);
  EXPECT_FALSE(castling_allowed(WING_SHORT));
}

TEST(GivesCheck, EveryPromotionAndEveryCastlingCounts) {
  set_position("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
  EXPECT_TRUE(gives_check(0x74E4));  // e7e8n checks nothing, still true
  set_position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_TRUE(gives_check(encode_move(4, 6)));
  EXPECT_TRUE(gives_check(encode_move(4, 2)));
  EXPECT_FALSE(gives_check(encode_move(4, 5)));
}

TEST(GivesCheck, DiscoveredOnlyByAMatchingSlider) {
  set_position("4k3/8/8/8/4N3/8/8/4R2K w - - 0 1");
  EXPECT_TRUE(gives_check(encode_move(0x34, 0x42)));  // e4c5
  set_position("4k3/8/8/8/4N3/8/8/4B2K w - - 0 1");
  EXPECT_FALSE(gives_check(encode_move(0x34, 0x42)));
  set_position("4k3/8/8/8/8/8/4K3/4R3 w - - 0 1");  // the king itself uncovers
  EXPECT_TRUE(gives_check(encode_move(0x14, 0x13)));
  set_position("4k3/8/8/8/4P3/8/8/4R2K w - - 0 1");  // a pawn push stays on the file
  EXPECT_FALSE(gives_check(encode_move(0x34, 0x44)));
}

TEST(GivesCheck, DirectChecksFromTheToSquare) {
  set_position("4k3/8/8/8/8/8/4R3/7K w - - 0 1");
  EXPECT_TRUE(gives_check(encode_move(0x14, 0x04)));   // e2e1: the from-square counts as empty
  EXPECT_FALSE(gives_check(encode_move(0x14, 0x11)));  // e2b2
  set_position("4k3/8/3P4/8/8/8/8/7K w - - 0 1");
  EXPECT_TRUE(gives_check(encode_move(0x53, 0x63)));  // d6d7
  set_position("7k/8/8/8/8/3p4/8/4K3 b - - 0 1");
  EXPECT_TRUE(gives_check(encode_move(0x23, 0x13)));  // d3d2 hits e1
  set_position("4k3/8/8/8/8/8/8/4K1N1 w - - 0 1");
  EXPECT_FALSE(gives_check(encode_move(6, 0x25)));  // g1f3
  set_position("4k3/8/8/5N2/8/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(gives_check(encode_move(0x45, 0x53)));   // f5d6
  EXPECT_TRUE(gives_check(encode_move(0x45, 0x66)));   // f5g7
  EXPECT_FALSE(gives_check(encode_move(0x45, 0x37)));  // f5h4
}

TEST(GivesCheck, WithoutAnEnemyKingOnlyTheUnconditionalCases) {
  set_position("8/8/8/8/8/8/8/R3K3 w - - 0 1");
  EXPECT_FALSE(gives_check(encode_move(0, 0x70)));
  EXPECT_FALSE(gives_check(encode_move(4, 0x14)));
  set_position("8/4P3/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(gives_check(0x7464));
}

TEST(PseudoLegal, FromSquareMustHoldAPieceOfTheSideToMove) {
  set_position(START_FEN);
  EXPECT_TRUE(move_is_pseudo_legal(0x3414));                    // e2e4
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x24, 0x34)));  // e3e4, empty
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x64, 0x44)));  // e7e5, Black's
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x14, 0x44)));  // e2e5
  EXPECT_TRUE(move_is_pseudo_legal(encode_move(1, 0x22)));      // b1c3
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(1, 0x22) | 0x80));
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0, 0x20)));  // a1a3 through a2
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0, 1)));     // a1b1, own knight
  EXPECT_FALSE(move_is_pseudo_legal(0));
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x08, 0x24)));  // off-board from
  EXPECT_FALSE(move_is_pseudo_legal(0x3414 | 0x80));            // promotion bit on e2e4
}

TEST(PseudoLegal, PawnStepsAndCaptures) {
  set_position("4k3/8/8/3pP3/8/4P3/8/4K3 w - d6 0 1");
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x24, 0x44)));  // e3e5 from the wrong rank
  EXPECT_TRUE(move_is_pseudo_legal(encode_move(0x24, 0x34)));
  EXPECT_TRUE(move_is_pseudo_legal(encode_move(0x44, 0x53)));   // e5d6 en passant
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x44, 0x55)));  // e5f6 empty
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x44, 0x34)));  // backward
  set_position("4k3/8/8/8/8/8/1p6/R1N1K3 b - - 0 1");
  EXPECT_TRUE(move_is_pseudo_legal(encode_move(0x11, 0x00, 3)));  // b2xa1=B
  EXPECT_TRUE(move_is_pseudo_legal(encode_move(0x11, 0x01, 2)));  // b2b1=R
  EXPECT_TRUE(move_is_pseudo_legal(encode_move(0x11, 0x02)));     // b2xc1=Q
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(0x11, 0x21)));    // backward
}

TEST(PseudoLegal, CastlingOnlyWhenAllowed) {
  set_position("4k3/8/8/8/2b5/8/8/4K2R w K - 0 1");
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(4, 6)));
  set_position("4k3/8/8/8/3b4/8/8/4K2R w K - 0 1");
  EXPECT_TRUE(move_is_pseudo_legal(encode_move(4, 6)));
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(4, 2)));
}

TEST(PseudoLegal, KingWithoutSlotNeverMoves) {
  set_position("4k3/8/8/8/8/8/K7/4K2R w K - 0 1");
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(4, 5)));
  EXPECT_FALSE(move_is_pseudo_legal(encode_move(4, 6)));
  EXPECT_TRUE(move_is_pseudo_legal(encode_move(0x10, 0x20)));
}

TEST(Tactical, QueenPromotionYesUnderpromotionNo) {
  set_position("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
  EXPECT_TRUE(move_is_tactical(0x7464));
  EXPECT_FALSE(move_is_tactical(0x74E4));
  set_position("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_TRUE(move_is_tactical(encode_move(0x44, 0x53)));
  EXPECT_FALSE(move_is_tactical(encode_move(0x44, 0x54)));
  EXPECT_FALSE(move_is_tactical(encode_move(4, 5)));
  set_position("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(move_is_tactical(encode_move(0x34, 0x43)));
}

TEST(CapturesTo, EveryAttackerInSlotOrder) {
  set_position("4k3/8/8/3p4/4P3/2N5/B7/K2R3Q w - - 0 1");
  move_stack_len = 5;
  EXPECT_EQ(generate_captures_to(0x43), 4);
  ASSERT_EQ(move_stack_len, 9);
  EXPECT_EQ(move_stack[5], encode_move(0x03, 0x43));  // rook d1
  EXPECT_EQ(move_stack[6], encode_move(0x10, 0x43));  // bishop a2
  EXPECT_EQ(move_stack[7], encode_move(0x22, 0x43));  // knight c3
  EXPECT_EQ(move_stack[8], encode_move(0x34, 0x43));  // pawn e4; queen h1 is blocked
  move_stack_len = 0;
  EXPECT_EQ(generate_captures_to(0x21), 1);  // b3, empty: only the a2 bishop
  EXPECT_EQ(move_stack[0], encode_move(0x10, 0x21));
  move_stack_len = 0;
  EXPECT_EQ(generate_captures_to(0x34), 2);  // e4 holds an own pawn: not looked at
  EXPECT_EQ(move_stack[0], encode_move(0x07, 0x34));
  EXPECT_EQ(move_stack[1], encode_move(0x22, 0x34));
  move_stack_len = 0;
  EXPECT_EQ(generate_captures_to(0x08), 0);
  EXPECT_EQ(move_stack_len, 0);
}

}  // namespace
}  // namespace kelmstrad::test
