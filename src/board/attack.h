// Attack geometry on the 0x88 board. delta_flags and delta_step are indexed
// by (target - source + 119), i.e. by every difference of two on-board squares.
// Flag bits: 1 White pawn capture, 2 Black pawn capture, 4 knight step,
// 8 king step, 16 same diagonal, 32 same rank or file.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

constexpr int DELTA_OFFSET = 119;

extern const int king_dirs[8];    // +1, -1, +16, -16, +15, +17, -15, -17
extern const int knight_dirs[8];  // +33, +31, +18, +14, -14, -18, -31, -33
extern uint8_t delta_flags[256];
extern int8_t delta_step[256];
extern const uint8_t kind_attack_mask[8];

// Builds delta_flags and delta_step (start-up).
void attack_tables_init();

// True if a piece of side `by` attacks the square.
bool square_attacked(int square, Side by);

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

}  // namespace kelmstrad
