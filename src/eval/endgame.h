// Endgame rules acting on the blended white-relative value, switched by the
// bits of EGK (default 15):
//   1 fifty-move damping: v scaled by (110 - halfmove_clock) / 100 past 10 plies
//   2 drawish material: a stronger side without pawns and at most 350 of
//     piece material ahead gets v / 8
//   4 pawn races in pure pawn endings: the side with the faster unstoppable
//     pawn gets 500 - 10 * moves
//   8 mop-up: a side with pieces against a bare king is paid for pushing that
//     king to the edge (MOPC) and for closing in with its own (MOPK)
#pragma once

namespace kelmstrad {

constexpr int EGK_FIFTY = 1;
constexpr int EGK_DRAWISH = 2;
constexpr int EGK_PAWN_RACE = 4;
constexpr int EGK_MOP_UP = 8;

// v after the rules selected by `bits`, with the mop-up weights given.
int endgame_rules(int v, int bits, int centre_weight, int closeness_weight);

// v after the rules switched on by EGK/MOPC/MOPK; charges EGK when any is on.
int apply_endgame_rules(int v);

// The pawn-race adjustment of a pure pawn ending (0 when no side wins the race).
int pawn_race();

}  // namespace kelmstrad
