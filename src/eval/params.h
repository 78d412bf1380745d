// Evaluation parameters: every tunable number of the hand-made evaluation.
//
// Tables are indexed by piece kind (1 pawn .. 6 king) and by square_index,
// rank * 8 + file seen from White (a1 = 0, h8 = 63); a Black piece reads the
// entry of its mirrored square (index ^ 56). Values keep only the low bits of
// their storage width (8 for square tables, 16, or 32 for ksw).
// The store is filled at start-up from PARAMS or the built-in text and is
// read-only afterwards.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

struct EvalParams {
  int16_t matmg[8];     // middlegame material by kind
  int16_t mateg[8];     // endgame material by kind
  int8_t pstmg[8][64];  // middlegame square tables by kind and square_index
  int8_t psteg[8][64];  // endgame square tables
  int16_t passmg[8];    // passed-pawn bonus by relative rank 1..6
  int16_t passeg[8];
  int16_t isomg, isoeg;    // isolated pawn (subtracted)
  int16_t dblmg, dbleg;    // doubled pawns per file (subtracted)
  int16_t ropen, rhalf;    // rook on an open / half-open file (middlegame)
  int16_t pairmg, paireg;  // bishop pair
  int16_t nemg[11];        // pawn-extra feature weights, features 6..10
  int16_t neeg[11];
  int32_t ksw[6];    // king-shelter terms 1..5
  int16_t mobmg[6];  // mobility weight per square, kinds 2..5
  int16_t mobeg[6];
};

extern EvalParams eval_params;
extern bool pawn_extras_enabled;  // some nemg/neeg record was non-zero
extern bool mobility_enabled;     // some mobmg/mobeg record was non-zero

// Middlegame bonus by piece code and square64 that the think thread sets up
// at the root; all zero otherwise. Folded into mg_score by toggle_piece
// through the board's piece_square_mg.
extern int16_t root_terms[16][64];

extern const char DEFAULT_PARAM_TEXT[];

// rank * 8 + file of a 0x88 square, seen from White.
constexpr int square_index(int sq) { return (sq >> 4) * 8 + (sq & 7); }

// Sets the built-in initial values and square tables (start-up).
void eval_tables_init();

// Sums material, square tables and root_terms into the board's
// piece_square_mg and piece_square_eg. Called by everything here that changes
// them; a caller that writes eval_params or root_terms itself calls it after.
void fill_piece_square_scores();

// Fills the store from the PARAMS file or the built-in text (start-up).
void load_eval_params();

// Applies the records of a parameter text until the first incomplete one;
// returns the number of records read.
int load_eval_params_text(const char* text);

// "dumpparams": prints the table in the text format.
void dump_params();

}  // namespace kelmstrad
