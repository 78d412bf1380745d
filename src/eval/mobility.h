// Mobility: safe squares of knights, bishops, rooks and queens.
//
// A knight counts its targets not held by an own piece; a slider steps along
// its rays, counting empty squares and the first enemy piece, stopping before
// an own piece. A square counts only when no enemy pawn attacks it. Each
// counted square is worth mobmg/mobeg of the piece's kind.
#pragma once

#include "eval/evaluate.h"

namespace kelmstrad {

// The weighted mobility sums, white minus black; refreshes the per-kind
// counts and charges the mobility side counters (evaluations, pieces, squares).
// With `forced` every piece is counted whatever its weights.
TermPair mobility_terms(bool forced);

}  // namespace kelmstrad
