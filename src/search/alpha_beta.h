// The main search: a recursive, fail-soft principal-variation alpha-beta
// search on the one global position. A node runs its draw tests, check
// extension, horizon, depth guards, table probe and pruning block, then the
// move loop over the ordering stages with futility, late-move, exchange and
// history pruning, late-move reductions and re-searches, and ends with the
// mate/stalemate score, correction learning and the table store.
//
// Correction table: per side to move (0 White, 1 Black), 65536 entries of
// 8 x a centipawn correction, indexed by pawn_king_key & (CORRN - 1).
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/switches.h"

namespace kelmstrad {

extern Move root_best_move;   // last root move that raised alpha (0 = none)
extern int root_best_score;   // its score (read only for output)
extern bool root_best_lower;  // the score is a lower bound (it reached beta)
extern int child_in_check;    // parent's in-check status for the next node: 1, 0, or -1 unknown
extern int16_t correction_table[2][CORRECTION_ENTRIES];

// The score of the position searched to `depth` within (alpha, beta),
// fail-soft; ply is the distance from the root, null_allowed 0 at the root
// and in the null-move child. Leaves the position and move_stack_len as found.
int alpha_beta(int depth, int alpha, int beta, int ply, int null_allowed);

// Whether the side to move's king is attacked in a search position at `ply`
// (charging nothing): the same answer as square_attacked on it.
bool king_attacked_at_ply(int ply);

// The late-move reduction of the j-th legal move of a node (PV or not) at
// depth, by the reduction steps or the LMRLOG table in force.
int late_move_reduction(int depth, int j, bool pv);

// A correction entry after learning: old entry, the node's best score, its
// raw evaluation and its depth, under the CORRW and CORRMAX in force.
int learned_correction(int old_entry, int best, int raw, int depth);

// Zeroes both correction tables ("ucinewgame").
void clear_correction_table();

struct FixedDepthResult {
  int score;  // score of the root for the side to move
  Move move;  // root move of the deepest iteration that raised alpha (0 if none)
};

// The resets every search starts with, in this order: the search root's mark
// on the history (search_root_top), the move stack, the node count, the
// operation counters, the exchange statistics, the abort flag, then the
// killers and the history ageing. The table is kept.
void begin_search();

// Searches the current position by iterative deepening from depth 1 to
// `depth` with the full window, after the resets a search starts with
// (counters, node count, exchange statistics, abort flag, killers and
// history ageing); the table is kept. Used by tests and diagnostics.
FixedDepthResult search_fixed_depth(int depth);

}  // namespace kelmstrad
