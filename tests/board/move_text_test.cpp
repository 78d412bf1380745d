// Move encoding and the two text conversions.
#include <gtest/gtest.h>

#include "board_support.h"

namespace kelmstrad::test {
namespace {

TEST(MoveText, NullMoveAndPlainMoves) {
  set_position(START_FEN);
  EXPECT_STREQ(move_to_text(0), "0000");
  EXPECT_EQ(encode_move(20, 52), 0x3414);
  EXPECT_STREQ(move_to_text(0x3414), "e2e4");
  EXPECT_STREQ(move_to_text(encode_move(6, 0x25)), "g1f3");
  EXPECT_EQ(move_from(0xF4E4), 0x64);
  EXPECT_EQ(move_to(0xF4E4), 0x74);
  EXPECT_EQ(promo_index(0xF4E4), 3);
}

TEST(MoveText, PromotionLettersByIndex) {
  set_position("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
  EXPECT_EQ(move_of("e7e8q"), 0x7464);
  EXPECT_EQ(move_of("e7e8n"), 0x74E4);
  EXPECT_EQ(move_of("e7e8r"), 0xF464);
  EXPECT_EQ(move_of("e7e8b"), 0xF4E4);
  set_position("4k3/8/8/8/8/8/4p3/K7 b - - 0 1");
  EXPECT_STREQ(move_to_text(encode_move(0x14, 0x04, 2)), "e2e1r");
}

TEST(MoveText, LetterOnlyForAPawnStandingOnTheFromSquare) {
  set_position("R6k/8/8/8/8/8/8/K7 w - - 0 1");
  EXPECT_STREQ(move_to_text(encode_move(0x70, 0x77)), "a8h8");
  set_position("7k/8/8/8/8/8/8/R6K w - - 0 1");
  EXPECT_STREQ(move_to_text(encode_move(0, 0x70)), "a1a8");
}

TEST(ParseMoveText, FindsGeneratedMovesOnly) {
  set_position(START_FEN);
  EXPECT_EQ(parse_move_text("e2e4"), 0x3414);
  EXPECT_EQ(parse_move_text("e2e4!"), 0x3414);  // trailing characters are not read
  EXPECT_EQ(parse_move_text("a1a1"), 0);
  EXPECT_EQ(parse_move_text("zzzz"), 0);
  EXPECT_EQ(parse_move_text("e2e5"), 0);
  EXPECT_EQ(parse_move_text(""), 0);
  EXPECT_EQ(parse_move_text(nullptr), 0);
  EXPECT_EQ(parse_move_text("e2"), 0);
}

TEST(ParseMoveText, PromotionNeedsItsLowercaseLetter) {
  set_position("7k/4P3/8/8/8/8/8/K7 w - - 0 1");
  EXPECT_EQ(parse_move_text("e7e8"), 0);
  EXPECT_EQ(parse_move_text("e7e8Q"), 0);
  EXPECT_EQ(parse_move_text("e7e8q"), 0x7464);
  EXPECT_EQ(parse_move_text("e7e8b"), 0xF4E4);
}

TEST(ParseMoveText, CastlingIsTheKingsTwoSquareMove) {
  set_position("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_EQ(parse_move_text("e1g1"), encode_move(4, 6));
  EXPECT_EQ(parse_move_text("e1c1"), encode_move(4, 2));
}

TEST(ParseMoveText, LeavesTheStackAndChargesBothPasses) {
  set_position(START_FEN);
  move_stack_len = 7;
  CounterWatch watch;
  EXPECT_EQ(parse_move_text("g1f3"), encode_move(6, 0x25));
  EXPECT_EQ(move_stack_len, 7);
  EXPECT_EQ(watch.delta(GENT), 1u);
  EXPECT_EQ(watch.delta(GENQ), 1u);
  EXPECT_EQ(watch.delta(GENQ_MV), 20u);
  move_stack_len = 0;
}

}  // namespace
}  // namespace kelmstrad::test
