// Search limits: what one "go" allows the search. The plan of a "go" is
// installed in the limits record and the control flags the time check reads
// (clock/search_limits.h).
#pragma once

#include <cstdint>

#include "board/position.h"
#include "clock/search_limits.h"

namespace kelmstrad {

// The parameters of one "go" line as the UCI layer read them.
struct GoRequest {
  bool ponder;       // "ponder"
  bool infinite;     // "infinite"
  int32_t movetime;  // 0 = none
  int32_t wtime, btime;
  int32_t winc, binc;
  uint32_t node_limit;               // 0 = none
  bool has_extra;                    // "extra" was given; otherwise the previous extra_ms stays
  int32_t extra_ms;                  // the value of "extra"
  int32_t depth = MAX_SEARCH_DEPTH;  // "depth", held at 63 by the plan
};

// What one "go" decides: the limits and the control flags it sets.
struct GoPlan {
  SearchLimits limits;
  bool pondering;       // "ponder" was given
  bool infinite;        // "infinite" was given
  bool real_time_mode;  // pacing: pondering or RealSpeed
};

// The plan for "go" with these parameters; reads nothing but its arguments.
// `previous` supplies the values a "go" keeps (extra_ms and the saved ponder
// budget when not pondering).
GoPlan plan_go(const GoRequest& request, Side side_to_move, const SearchLimits& previous,
               bool real_speed, const TimeSwitches& switches);

// Plans "go" for the current position, options and environment and installs
// the plan: search_limits, infinite, pondering, real_time_mode, and ponderhit
// and stop_flag cleared. Starts nothing; the caller then takes
// search_start_ticks, sets searching and starts the think thread.
void prepare_search(const GoRequest& request);

// True when the iteration rule forbids another iteration: with the soft
// target S (0: never), the elapsed time, and whether the best move differs
// from the previous iteration's (only counts with TMODE, from depth 2 on).
bool iteration_budget_spent(int32_t soft_limit_ms, int32_t elapsed, bool best_move_changed,
                            const TimeSwitches& switches);

}  // namespace kelmstrad
