// Search limits: what one "go" allows the search.
//
// All times are milliseconds of elapsed_ms (the virtual clock unless
// VirtualClock is off). The soft limit is the target the think thread's
// iteration rule reads; the hard limit is the ceiling at which the time check
// aborts a running iteration. 0 means "none" for both, and for the node limit.
// A clock that is running never yields a 0 (unlimited) budget: figures
// computed from it are held at 1 ms or more.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace kelmstrad {

constexpr int32_t MAX_SEARCH_DEPTH = 63;

struct SearchLimits {
  int32_t soft_limit_ms;  // time target, 0 = none
  int32_t hard_limit_ms;  // time ceiling, 0 = none
  uint32_t node_limit;    // abort once node_count reaches it, 0 = none
  int32_t depth_limit;    // last iteration depth, at most 63
  int32_t extra_ms;       // granted by "extra", consumed by the same "go"
  int32_t saved_soft_ms;  // budget set aside while pondering, applied at the ponder hit
  int32_t saved_hard_ms;
};

// Limits of a search bounded by its depth alone: no time, no node count.
constexpr SearchLimits depth_only_limits(int32_t depth) {
  return SearchLimits{.soft_limit_ms = 0,
                      .hard_limit_ms = 0,
                      .node_limit = 0,
                      .depth_limit = depth,
                      .extra_ms = 0,
                      .saved_soft_ms = 0,
                      .saved_hard_ms = 0};
}

// The environment switches of the budget and of the iteration rule.
struct TimeSwitches {
  bool tmode;  // TMODE present: the alternative formula, rule and finer clock check
  int tdiv;    // TDIV (15): TMODE share of the remaining time, 1/TDIV
  int tbd;     // TBD (30): default share of the remaining time, 1/TBD
  int tinc;    // TINC (75): default percentage of the increment added
  int tbrk;    // TBRK (60): TMODE rule, percentage of the target after which no iteration starts
};

constexpr TimeSwitches DEFAULT_TIME_SWITCHES = {
    .tmode = false, .tdiv = 15, .tbd = 30, .tinc = 75, .tbrk = 60};

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

extern SearchLimits search_limits;  // limits of the current (or next) search

// The switches read from the environment on first use and kept.
const TimeSwitches& time_switches();

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
