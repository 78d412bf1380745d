// Make, unmake and null move on the global position. Every successful make
// pushes one UndoRecord on position.history; unmake pops it and restores the
// scalars from it instead of recomputing them.
#pragma once

#include "board/position.h"

namespace kelmstrad {

// Set by the caller before make: the side to move is in check.
extern uint32_t in_check_hint;

// One piece's share of mg_score and eg_score by piece code and 64-square
// index, as White counts it (a Black piece's share is subtracted): material
// plus square table, and in the middlegame the root bonus. The board adds
// them up; the evaluation fills them whenever its parameters or the root
// bonuses change (fill_piece_square_scores).
extern int32_t piece_square_mg[16][64];
extern int32_t piece_square_eg[16][64];

// A network is in use: make charges NNF per changed input. Set by the
// evaluation when it loads one.
extern bool network_active;

// Plays a pseudo-legal move; false and nothing changed if it leaves the
// mover's king attacked.
bool make_move(Move move);

// make_move for a caller that knows the mover's king is not attacked in the
// current position (e.g. perft, once per node): same result, same charges,
// a cheaper test for moves that are not king moves or en-passant captures.
bool make_move_king_safe(Move move);

// Takes back the last move made by make_move.
void unmake_move();

// Passes the turn / takes the pass back.
void make_null_move();
void unmake_null_move();

// Adds (adding true) or removes one piece's share of hash, pawn_king_key,
// mg_score and eg_score; the board itself is not touched.
void toggle_piece(Piece piece, Square square, bool adding);

// Sets hash, pawn_king_key, mg_score, eg_score, phase, piece_bits and slot_count from
// the board and the piece list,
// castling rights and en-passant square alone (the tables make uses, root
// terms included): what make and unmake keep up move by move.
void rebuild_from_board();

}  // namespace kelmstrad

namespace kelmstrad {

// Plays the moves of a "position ... moves" command on the current position,
// stopping at the first one that is unknown or illegal.
void play_position_moves(const char* const* tokens, int count);

}  // namespace kelmstrad
