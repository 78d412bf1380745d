#include "board/fen.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/make.h"
#include "board/position.h"

namespace kelmstrad {
namespace {

int occupied_slots() {
  int n = 0;
  for (uint8_t sq : position.slot_square) n += sq != NO_SQUARE;
  return n;
}

TEST(ParseFen, StartPositionLayout) {
  parse_fen(START_FEN);
  EXPECT_EQ(position.phase, 24);
  EXPECT_EQ(position.castling, 15);
  EXPECT_EQ(position.ep_square, NO_EP_SQUARE);
  EXPECT_EQ(position.side, WHITE);
  EXPECT_EQ(position.halfmove_clock, 0);
  EXPECT_EQ(position.history_top, 0);
  EXPECT_EQ(position.slot_square[0], 4);     // White king on e1
  EXPECT_EQ(position.slot_square[16], 116);  // Black king on e8
  // White's other pieces in square order: a1 b1 c1 d1 f1 g1 h1, then a2..h2.
  const uint8_t white_order[15] = {0, 1, 2, 3, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23};
  for (int i = 0; i < 15; ++i) EXPECT_EQ(position.slot_square[1 + i], white_order[i]) << i;
  for (int slot = 0; slot < 32; ++slot)
    EXPECT_EQ(position.square_slot[position.slot_square[slot]], slot);
  EXPECT_EQ(position.board[0], ROOK);
  EXPECT_EQ(position.board[116], KING | BLACK);
  // Symmetric material and mirrored tables: the scores cancel.
  EXPECT_EQ(position.mg_score, 0);
  EXPECT_EQ(position.eg_score, 0);
  EXPECT_TRUE(position_is_ok());
}

TEST(ParseFen, EmptyBoardAndMissingFields) {
  parse_fen("8/8/8/8/8/8/8/8 w - - 0 1");
  EXPECT_EQ(occupied_slots(), 0);
  for (int sq = 0; sq < 128; ++sq) EXPECT_EQ(position.board[sq], 0);
  EXPECT_EQ(position.phase, 0);
  EXPECT_EQ(position.hash, castle_keys[0]);

  // Cut off after the placement field: White, no rights, no en passant, clock 0.
  parse_fen("4k3/8/8/8/8/8/8/4K3");
  EXPECT_EQ(position.side, WHITE);
  EXPECT_EQ(position.castling, 0);
  EXPECT_EQ(position.ep_square, NO_EP_SQUARE);
  EXPECT_EQ(position.halfmove_clock, 0);

  // Side word not followed by a space: the remaining fields are defaults.
  parse_fen("4k3/8/8/8/8/8/8/4K3 b");
  EXPECT_EQ(position.side, BLACK);
  EXPECT_EQ(position.castling, 0);

  parse_fen("4k3/8/8/8/8/8/8/4K3 b - - 7 1");
  EXPECT_EQ(position.side, BLACK);
  EXPECT_EQ(position.castling, 0);
  EXPECT_EQ(position.ep_square, NO_EP_SQUARE);
  EXPECT_EQ(position.halfmove_clock, 7);
}

TEST(ParseFen, EnPassantSquareAndKey) {
  parse_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_EQ(position.ep_square, 0x24);
  const uint32_t with_ep = position.hash;
  parse_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(with_ep ^ position.hash, ep_keys[4]);

  // The square is taken without looking at the pawns, on any rank.
  parse_fen("4k3/8/8/8/8/8/8/4K3 w - c5 0 1");
  EXPECT_EQ(position.ep_square, 0x42);
  // A rank digit outside 1..8 gives no square; so does a lone file letter.
  parse_fen("4k3/8/8/8/8/8/8/4K3 w - e9 0 1");
  EXPECT_EQ(position.ep_square, NO_EP_SQUARE);
  parse_fen("4k3/8/8/8/8/8/8/4K3 w - e");
  EXPECT_EQ(position.ep_square, NO_EP_SQUARE);
}

TEST(ParseFen, HalfmoveClockWrapsAndSideIsNotHashed) {
  parse_fen("4k3/8/8/8/8/8/8/4K3 w - - 300 1");
  EXPECT_EQ(position.halfmove_clock, 44);
  const uint32_t white_hash = position.hash;
  parse_fen("4k3/8/8/8/8/8/8/4K3 b - - 300 1");
  EXPECT_EQ(position.hash, white_hash);
}

TEST(ParseFen, SlotOverflowAndTwoKings) {
  // King plus 17 White knights: the 16th and 17th in square order are removed.
  parse_fen("4k3/8/8/8/8/NN6/NNNNNNNN/NNNNKNNN w - - 0 1");
  int white_pieces = 0;
  for (int sq = 0; sq < 128; ++sq)
    if (on_board(sq) && position.board[sq] != 0 && piece_side(position.board[sq]) == WHITE)
      ++white_pieces;
  EXPECT_EQ(white_pieces, 16);
  EXPECT_EQ(position.board[0x20], 0);  // a3, the 16th knight
  EXPECT_EQ(position.board[0x21], 0);  // b3, the 17th knight
  EXPECT_EQ(position.slot_square[15], 0x17);
  EXPECT_TRUE(position_is_ok());

  // Two White kings: the later one (e2) takes slot 0, the earlier stays on e1.
  parse_fen("4k3/8/8/8/8/8/4K3/4K3 w - - 0 1");
  EXPECT_EQ(position.slot_square[0], 0x14);
  EXPECT_EQ(position.board[4], KING);
}

TEST(ParseFen, OddCharactersAndOffBoardPieces) {
  // Unknown characters are skipped without advancing; pieces past the h-file
  // or below rank 1 are dropped.
  parse_fen("4k3/8/8/8/8/8/8/4Kx1NyNNN w - - 0 1");
  EXPECT_EQ(position.board[4], KING);
  EXPECT_EQ(position.board[5], 0);
  EXPECT_EQ(position.board[6], KNIGHT);
  EXPECT_EQ(position.board[7], KNIGHT);
  EXPECT_EQ(position.board[8], 0);
  EXPECT_EQ(position.phase, 2);
  parse_fen("4k3/8/8/8/8/8/8/4K3/PPPP/PP w - - 0 1");
  for (int sq = 0; sq < 128; ++sq) {
    if (on_board(sq) && position.board[sq] != 0) {
      EXPECT_EQ(piece_kind(position.board[sq]), KING);
    }
  }
  // Castling letters other than KQkq are ignored.
  parse_fen("r3k2r/8/8/8/8/8/8/R3K2R w KxQ-q - 0 1");
  EXPECT_EQ(position.castling, 1 | 2 | 8);
}

TEST(Keys, FixedSequenceFromTheSeed) {
  // xorshift32 from 0x9E3779B9: the first key is the state after one step.
  uint32_t x = 0x9E3779B9u;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  EXPECT_EQ(piece_keys[0][0], x);
  const uint32_t first = piece_keys[0][0];
  const uint32_t side = side_key;
  const uint32_t last_castle = castle_keys[15];
  keys_init();
  EXPECT_EQ(piece_keys[0][0], first);
  EXPECT_EQ(side_key, side);
  EXPECT_EQ(castle_keys[15], last_castle);
  EXPECT_EQ(key_seed, side_key);
  // 1024 piece keys, 16 castling keys, 8 en-passant keys, then the side key:
  // replaying the generator reaches the same side key.
  uint32_t y = 0x9E3779B9u;
  for (int i = 0; i < 1024 + 16 + 8 + 1; ++i) {
    y ^= y << 13;
    y ^= y >> 17;
    y ^= y << 5;
  }
  EXPECT_EQ(side_key, y);
  parse_fen(START_FEN);
}

}  // namespace
}  // namespace kelmstrad
