// The limits of the current search and the flags that steer it: what the time
// check reads. They live on the clock's floor so that the time check need not
// look up at the driver; the driver (driver/limits, driver/think) fills them.
//
// All times are milliseconds of elapsed_ms (the virtual clock unless
// VirtualClock is off). The soft limit is the target the think thread's
// iteration rule reads; the hard limit is the ceiling at which the time check
// aborts a running iteration. 0 means "none" for both, and for the node limit.
// A clock that is running never yields a 0 (unlimited) budget: figures
// computed from it are held at 1 ms or more.
#pragma once

#include <atomic>
#include <cstdint>

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

// The environment switches of the budget, of the iteration rule and of the
// time check's rhythm.
struct TimeSwitches {
  bool tmode;  // TMODE present: the alternative formula, rule and finer clock check
  int tdiv;    // TDIV (15): TMODE share of the remaining time, 1/TDIV
  int tbd;     // TBD (30): default share of the remaining time, 1/TBD
  int tinc;    // TINC (75): default percentage of the increment added
  int tbrk;    // TBRK (60): TMODE rule, percentage of the target after which no iteration starts
};

constexpr TimeSwitches DEFAULT_TIME_SWITCHES = {
    .tmode = false, .tdiv = 15, .tbd = 30, .tinc = 75, .tbrk = 60};

extern SearchLimits search_limits;  // limits of the current (or next) search

// Search-control flags shared by the command thread and the search thread.
extern std::atomic<int> stop_flag;                // the search must end
extern std::atomic<int> pondering;                // the search ponders
extern std::atomic<int> ponderhit;                // the opponent played the expected move
extern std::atomic<int> real_time_mode;           // pace virtual time to real time
extern std::atomic<uint64_t> search_start_ticks;  // tick_ms() when the search started

// The switches read from the environment on first use and kept.
const TimeSwitches& time_switches();

}  // namespace kelmstrad
