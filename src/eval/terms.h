// Switchable evaluation terms, each switched and weighted by an environment
// variable read once:
//   OPK (bit 8) / OPKG / OPKW   central pawns, middlegame, from phase OPKG on
//   MHK / MHKP / MHKG           king, rook/queen and flank-pawn moves played in
//                               the current search line, from phase MHKG on
//   KTROP                       king tropism in percent (0 off), phase > 7
//   TRAP                        trapped bishops, knights and rooks (set = on)
//   LOOSE                       two or more attacked pieces of the side to
//                               move, in percent of the cheapest (0 off)
// All sums are white minus black. The functions taking weights compute a term
// unconditionally; switchable_terms applies the switches and gates.
#pragma once

#include <cstdint>

#include "eval/evaluate.h"

namespace kelmstrad {

// Weight of a piece kind for king tropism (pawn 0, knight 3, bishop 2, rook 2,
// queen 4, king 0); also used by the root tables of the search.
constexpr int tropism_weight[8] = {0, 0, 3, 2, 2, 4, 0, 0};

// The central-pawn sum (middlegame): +weight for white pawns on d4/e4 and
// black pawns still on d7/e7, -weight for white pawns still on d2/e2 and
// black pawns on d5/e5.
int central_pawn_term(int weight);

// Penalties of the moves played since search_root_top, [White, Black]:
// `king` per non-castling king move and per rook or queen move of a side that
// may still castle, `flank_pawn` per quiet a-, b-, g- or h-pawn move of such a
// side. Charges MHK per history entry scanned.
void search_path_penalties(int king, int flank_pawn, int penalty[2]);

// The king-tropism sum (middlegame) scaled by `percent`; charges side_counters[KTROP_COUNT]
// per piece looked at.
int king_tropism_term(int percent);

// The trapped-piece penalties.
TermPair trapped_pieces_term();

// The loose-pieces penalty of the side to move scaled by `percent`; charges
// side_counters[LOOSE_COUNT] per piece looked at.
TermPair loose_pieces_term(int percent);

// Step 11 of the full path: every switched-on term above, in order, added
// to `sum`.
void switchable_terms(TermPair* sum);

// The search-line penalty in its network form added to a white-relative v
// (scaled by p16 / 16); v unchanged when the term is off.
int search_path_network(int v, int p16);

}  // namespace kelmstrad
