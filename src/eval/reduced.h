// The reduced evaluation of the experimental searches: material and square
// tables, plus (with SKPASS set) passed pawns served from a 128-slot pawn hash
// of its own, keyed by pawn_king_key ^ 0x9E3779B1.
#pragma once

#include <cstdint>

namespace kelmstrad {

constexpr int SKELETON_PAWN_SLOTS = 128;

extern uint32_t skel_pawn_probes;  // probes of the reduced evaluation's pawn hash
extern uint32_t skel_pawn_hits;    // and hits

// The reduced score for the side to move, tempo included. Without SKPASS it
// is quick_eval and charges nothing; with it, it charges EVAL and KS.
int skeleton_eval();

// The SKPASS form of skeleton_eval: passed pawns from the pawn hash added to
// the blend; charges EVAL and KS and advances the hash counters.
int skeleton_eval_passers();

// Empties the reduced evaluation's pawn hash and zeroes both its counters.
void skeleton_pawn_hash_clear();

}  // namespace kelmstrad
