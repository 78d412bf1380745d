// The lazy evaluation both searches use (LAZYQ, in the main search with
// LAZYS): quick_eval, the material and square-table blend, stands in for the
// full evaluation when it already decides the window with LAZYQ to spare.
#pragma once

#include <algorithm>

#include "clock/counters.h"
#include "eval/evaluate.h"
#include "search/score.h"

namespace kelmstrad {

enum class LazyVerdict { UNDECIDED, FAILS_HIGH, FAILS_LOW };

// FAILS_HIGH when quick_eval - margin reaches beta, FAILS_LOW when
// quick_eval + margin stays at or below alpha: *score is then that bound and
// one EVAL is charged. UNDECIDED otherwise, with *score untouched and nothing
// charged (the caller evaluates in full). Only a negative margin moves the
// score away from quick_eval: held short of the mate scores.
inline LazyVerdict lazy_eval(int margin, int alpha, int beta, int* score) {
  const int e = quick_eval();
  if (e - margin >= beta) {
    ++op_counters[EVAL];
    *score = std::min(e - margin, MATE_BOUND);
    return LazyVerdict::FAILS_HIGH;
  }
  if (e + margin <= alpha) {
    ++op_counters[EVAL];
    *score = std::max(e + margin, -MATE_BOUND);
    return LazyVerdict::FAILS_LOW;
  }
  return LazyVerdict::UNDECIDED;
}

}  // namespace kelmstrad
