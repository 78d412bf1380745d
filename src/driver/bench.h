// The bench: a fixed-depth search of a fixed list of positions, each from a
// new game (fresh tables, book off), whose total node count is the engine's
// signature. Any change to the search or the evaluation that changes it shows
// up as a new count; the commit that makes it states "Bench: N".
//
// Output: one "info string bench i/n nodes k" line per position, then
// "cost <C>" (the summed total_cost() of the searches, the virtual clock's
// signature) and the last line "<N> nodes <M> nps" (M: nodes per second of
// real time).
#pragma once

#include <cstdint>

namespace kelmstrad {

constexpr int BENCH_DEFAULT_DEPTH = 8;
constexpr int BENCH_POSITION_COUNT = 40;

extern const char* const BENCH_FENS[BENCH_POSITION_COUNT];  // the bench positions, in order

// Searches every bench position to `depth` (1 to 63) and prints a line per
// position and the summary line; returns the total nodes. The position, the
// search limits, the pacing flag and the root bonuses are restored afterwards,
// and the tables are left as "ucinewgame" leaves them.
uint64_t run_bench(int depth);

}  // namespace kelmstrad
