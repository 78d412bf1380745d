#include "driver/limits.h"

#include <algorithm>

#include "clock/counters.h"
#include "driver/think.h"
#include "io/options.h"

namespace kelmstrad {

namespace {

// A 64-bit intermediate held within the signed 32-bit range.
int32_t clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// A figure computed from a running clock: never 0 (which would mean no limit).
int32_t at_least_one(int32_t ms) { return ms < 1 ? 1 : ms; }

// The soft target from the remaining time and increment of the side to move.
int32_t time_target(int32_t time, int32_t inc, const TimeSwitches& sw) {
  // A zero divisor from the environment falls back to the shipped share.
  if (sw.tmode) {
    const int64_t tdiv = sw.tdiv > 0 ? sw.tdiv : DEFAULT_TIME_SWITCHES.tdiv;
    const int64_t s = inc + (static_cast<int64_t>(time) - inc) / tdiv;
    return clamp32(std::min<int64_t>(s, time / 4));
  }
  const int64_t tbd = sw.tbd > 0 ? sw.tbd : DEFAULT_TIME_SWITCHES.tbd;
  return clamp32(time / tbd + static_cast<int64_t>(sw.tinc) * inc / 100);
}

// Steps 1-6 of the budget: the two figures from the clock and the extra time.
void compute_budget(const GoRequest& clock, Side side, const TimeSwitches& sw, SearchLimits* l) {
  const int32_t time = side == WHITE ? clock.wtime : clock.btime;
  const int32_t inc = side == WHITE ? clock.winc : clock.binc;
  const bool timed = clock.movetime != 0 || time != 0;
  if (clock.movetime != 0) {
    l->hard_limit_ms = clock.movetime;
    l->soft_limit_ms = clamp32(2 * static_cast<int64_t>(clock.movetime));
  } else if (time != 0) {
    const int32_t s = time_target(time, inc, sw);
    l->soft_limit_ms = s;
    l->hard_limit_ms = clamp32(std::min<int64_t>(3 * static_cast<int64_t>(s), time / 3));
  }
  if (timed) {
    l->soft_limit_ms = at_least_one(l->soft_limit_ms);
    l->hard_limit_ms = at_least_one(l->hard_limit_ms);
  }
  if (l->extra_ms != 0 && l->soft_limit_ms != 0) {
    l->hard_limit_ms = at_least_one(clamp32(static_cast<int64_t>(l->hard_limit_ms) + l->extra_ms));
    l->soft_limit_ms = at_least_one(
        clamp32(static_cast<int64_t>(l->soft_limit_ms) + 2 * static_cast<int64_t>(l->extra_ms)));
  }
  l->extra_ms = 0;
}

}  // namespace

// Turns the clock of "go" into limits; changes nothing else.
GoPlan plan_go(const GoRequest& request, Side side_to_move, const SearchLimits& previous,
               bool real_speed, const TimeSwitches& switches) {
  GoPlan plan{};
  plan.limits = previous;
  plan.limits.soft_limit_ms = 0;
  plan.limits.hard_limit_ms = 0;
  plan.limits.node_limit = request.node_limit;
  if (request.has_extra) plan.limits.extra_ms = request.extra_ms;
  plan.pondering = request.ponder;
  plan.infinite = request.infinite;
  compute_budget(request, side_to_move, switches, &plan.limits);
  plan.limits.depth_limit = std::min(request.depth, MAX_SEARCH_DEPTH);
  if (plan.infinite) {
    plan.limits.soft_limit_ms = 0;
    plan.limits.hard_limit_ms = 0;
  }
  if (plan.pondering) {
    plan.limits.saved_hard_ms = plan.limits.hard_limit_ms;
    plan.limits.saved_soft_ms = plan.limits.soft_limit_ms;
    plan.limits.soft_limit_ms = 0;
    plan.limits.hard_limit_ms = 0;
  }
  plan.real_time_mode = plan.pondering || real_speed;
  return plan;
}

// Installs the plan of this "go" in the limits and the control flags.
void prepare_search(const GoRequest& request) {
  const GoPlan plan =
      plan_go(request, position.side, search_limits, real_speed_option != 0, time_switches());
  search_limits = plan.limits;
  const SearchLimits& l = plan.limits;
  choose_search_clock(plan.pondering ? (l.saved_soft_ms != 0 || l.saved_hard_ms != 0)
                                     : (l.soft_limit_ms != 0 || l.hard_limit_ms != 0));
  infinite.store(plan.infinite, std::memory_order_relaxed);
  pondering.store(plan.pondering, std::memory_order_relaxed);
  ponderhit.store(0, std::memory_order_relaxed);
  stop_flag.store(0, std::memory_order_relaxed);
  real_time_mode.store(plan.real_time_mode, std::memory_order_relaxed);
}

// The think thread's rule after a finished iteration.
bool iteration_budget_spent(int32_t soft_limit_ms, int32_t elapsed, bool best_move_changed,
                            const TimeSwitches& switches) {
  if (soft_limit_ms == 0) return false;
  if (!switches.tmode) return elapsed >= soft_limit_ms / 2;
  int64_t budget = soft_limit_ms;
  if (best_move_changed) budget = budget * 3 / 2;
  return elapsed >= budget * switches.tbrk / 100;
}

}  // namespace kelmstrad
