// Static exchange evaluation and the threat test.
//
// The tests work on position.board alone: pieces are lifted off and put back
// for the length of a test, the piece list, keys and scores are never
// touched, and the board is exactly as before when a test returns. Values are
// exchange units, a pawn = 10 (SEE_VALUE by kind). The captured piece is the
// one on the destination square, so an en-passant capture takes nothing, and
// a promotion is valued as the pawn that moves.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

// Exchange value by piece kind: none, pawn, knight, bishop, rook, queen, king, unused.
constexpr int SEE_VALUE[8] = {0, 10, 32, 33, 50, 95, 100, 0};

constexpr int SEE_MAX_RECAPTURES = 30;

// The square of the cheapest piece of `side` attacking the square on the
// current board (first found wins among equal values), or NO_SQUARE. X-rays
// are not seen: only the first piece on each ray counts. Nothing charged.
Square least_valuable_attacker(Square square, Side side);

// 1 if the capture is judged not to lose material, else 0, from at most two
// attacker lookups (one slcalls_count each); none when the victim is worth at
// least the mover.
int see_sign_cheap(Move move);

// The exchange balance of the move for its mover, each side free to stop
// recapturing; up to 30 recaptures, the king recapturing like any piece.
// Charges one SEEF and one SEEL per attacker lookup.
int see_full(Move move);

// 1 if the quiet move, played, would attack an enemy piece (not the king) it
// may win: one worth more than the mover, or one its own side does not guard.
// Called before the move is made. Charges one THR, plus one charged attack
// test (count_attack_test, in the caller's attack_context) per guard test.
int creates_threat(Move move);

// "seesign": prints 1 or 0 from see_sign_cheap, -1 for an unknown or missing move.
void print_see_sign(Move move);

// "seem": prints 1 if see_full is at least 0, else 0; -1 for an unknown or missing move.
void print_see(Move move);

// "seeleast": prints the least valuable attacker of the square for the side
// as two hex digits; "ff" for none, a square off the board or a side other than 0 and 8.
void print_see_least(unsigned long square, int side);

}  // namespace kelmstrad
