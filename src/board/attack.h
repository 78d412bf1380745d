// Attack geometry on the 0x88 board. delta_flags and delta_step are indexed
// by (target - source + 119), i.e. by every difference of two on-board squares.
// Flag bits: 1 White pawn capture, 2 Black pawn capture, 4 knight step,
// 8 king step, 16 same diagonal, 32 same rank or file.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

constexpr int DELTA_OFFSET = 119;

constexpr uint8_t FLAG_WHITE_PAWN = 1;
constexpr uint8_t FLAG_BLACK_PAWN = 2;
constexpr uint8_t FLAG_KNIGHT = 4;
constexpr uint8_t FLAG_KING = 8;
constexpr uint8_t FLAG_DIAGONAL = 16;
constexpr uint8_t FLAG_STRAIGHT = 32;

// Castling wings for castling_allowed.
constexpr int WING_SHORT = 0;
constexpr int WING_LONG = 1;

// Home squares of the kings.
constexpr int WHITE_KING_HOME = 4;
constexpr int BLACK_KING_HOME = 116;

extern const int king_dirs[8];    // +1, -1, +16, -16, +15, +17, -15, -17
extern const int knight_dirs[8];  // +33, +31, +18, +14, -14, -18, -31, -33
extern uint8_t delta_flags[256];
extern int8_t delta_step[256];
extern const uint8_t kind_attack_mask[8];

// Builds delta_flags and delta_step (start-up).
void attack_tables_init();

// True if a piece of side `by` attacks the square.
bool square_attacked(int square, Side by);

// True if side s's king is attacked (not charged); false when it has no king.
inline bool in_check(Side s) {
  const Square king = king_square(s);
  return king != NO_SQUARE && square_attacked(king, opponent(s));
}

// Whether the side to move's king is attacked, for a caller that knows it was
// not attacked before the last move (a real move, not a null move): the same
// answer as square_attacked on it, from the squares that move changed.
bool king_attacked_after_move();

// The number of side s's 16 slots in use (live pieces).
inline int live_slots(Side s) { return position.slot_count[s >> 3]; }

// Charges one attack test (ATT, ATT_PC and the bucket of attack_context).
void count_attack_test(Side by);

// May the side to move castle now; wing 0 short, 1 long. Charges context 4.
bool castling_allowed(int wing);

// Conservative: may the move of the side to move give check.
bool gives_check(Move move);

// Is a stored move playable here, apart from leaving the own king attacked.
bool move_is_pseudo_legal(Move move);

// Capture, en-passant capture or queen promotion.
bool move_is_tactical(Move move);

// Appends every move of the side to move onto the square; returns how many.
int generate_captures_to(Square square);

// The square of the pawn that an en-passant capture onto ep_square would
// take, or NO_SQUARE when ep_square cannot be used: none set, not on the rank
// an enemy double step skips, occupied, or no enemy pawn in front of it.
// Only a FEN can make a set square unusable; after a double step it always
// qualifies.
inline int en_passant_victim() {
  const int ep = position.ep_square;
  if (ep & 0x88) return NO_SQUARE;
  const bool white = position.side == WHITE;
  if (square_rank(ep) != (white ? 5 : 2) || position.board[ep] != 0) return NO_SQUARE;
  const int victim = white ? ep - 16 : ep + 16;
  return position.board[victim] == (opponent(position.side) | PAWN) ? victim : NO_SQUARE;
}

}  // namespace kelmstrad
