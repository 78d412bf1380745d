#include "clock/time_check.h"

#include <algorithm>

#include "clock/counters.h"
#include "clock/search_limits.h"
#include "io/env.h"
#include "io/options.h"
#include "io/output.h"
#include "platform/platform.h"

namespace kelmstrad {

// Nodes of the current search; the think thread zeroes it, the searches count it.
uint32_t node_count = 0;

namespace {

constexpr uint32_t PACING_MASK = 15;

// True when the shared flag is set.
bool flag(const std::atomic<int>& f) { return f.load(std::memory_order_relaxed) != 0; }

// Tells the searches to unwind.
void raise_abort() { abort_search.store(1, std::memory_order_relaxed); }

// The opponent played the expected move: the saved budget applies from now on,
// enlarged by the time spent pondering (twice for the target).
void convert_ponder_hit() {
  const int64_t e = elapsed_ms();
  real_time_mode.store(real_speed_option != 0, std::memory_order_relaxed);
  pondering.store(0, std::memory_order_relaxed);
  if (search_limits.saved_soft_ms == 0) return;
  search_limits.soft_limit_ms =
      static_cast<int32_t>(std::min<int64_t>(search_limits.saved_soft_ms + 2 * e, INT32_MAX));
  search_limits.hard_limit_ms =
      static_cast<int32_t>(std::min<int64_t>(search_limits.saved_hard_ms + e, INT32_MAX));
}

// Sleeps until the real time since "go" is no less than the virtual time used,
// or until "stop" or a ponder hit wants attention.
void pace_to_real_time() {
  for (;;) {
    if (flag(stop_flag)) break;
    if (flag(pondering) && flag(ponderhit)) break;
    const int64_t virtual_ms = elapsed_ms();
    const uint64_t real_ms = tick_ms() - search_start_ticks.load(std::memory_order_relaxed);
    if (static_cast<int64_t>(real_ms) >= virtual_ms) break;
    sleep_1ms();
  }
  if (flag(stop_flag)) raise_abort();
}

// The real-time guard (RTGUARD=N, off unless set): on the virtual clock, a
// timed search whose real time since "go" passes its hard limit by more than
// N percent is stopped, and says so once. Tested every 256th node. Such a
// search no longer repeats bit for bit, which the line says.
void real_time_guard() {
  static const int margin = env_int_within("RTGUARD", 0, 0, 100000);
  if (margin == 0 || !use_virtual_clock || timed_by_process_clock) return;
  if (search_limits.hard_limit_ms == 0 || (node_count & 255) != 0) return;
  if (flag(pondering) && !flag(ponderhit)) return;
  const int64_t real_ms =
      static_cast<int64_t>(tick_ms() - search_start_ticks.load(std::memory_order_relaxed));
  const int64_t ceiling = static_cast<int64_t>(search_limits.hard_limit_ms) * (100 + margin) / 100;
  if (real_ms <= ceiling || flag(abort_search)) return;
  raise_abort();
  uci_print(
      "info string real time %ld ms passed the hard limit %d ms by more than %d%%: search "
      "stopped, so this game is not reproducible\n",
      static_cast<long>(real_ms), search_limits.hard_limit_ms, margin);
}

}  // namespace

// On the virtual clock a node is a large share of a virtual second (the
// modelled machine searches about 120 per second), so testing only every 256th
// node overran "movetime 500" by seconds; the sum over the cost table is cheap
// beside a node's work and real time is not what that clock measures. The
// process clock keeps the rhythm of 256 nodes (16 with TMODE, read once).
uint32_t hard_check_mask() {
  static const uint32_t process_clock_mask = time_switches().tmode ? 15 : 255;
  return use_virtual_clock && !timed_by_process_clock ? 0 : process_clock_mask;
}

// The checks for the node just counted, in order; only raises abort_search
// and converts the ponder hit.
void time_check() {
  // Step 1. "stop" ends the search; nothing else is looked at but the limits.
  if (flag(stop_flag)) {
    raise_abort();
  } else {
    // Step 2. Ponder hit.
    if (flag(pondering) && flag(ponderhit)) convert_ponder_hit();
    // Step 3. Pacing, at every 16th node.
    if (flag(real_time_mode) && (node_count & PACING_MASK) == 0) pace_to_real_time();
  }
  // Step 4. Node limit.
  if (search_limits.node_limit != 0 && node_count >= search_limits.node_limit) raise_abort();
  // Step 5. Hard limit: at every node on the virtual clock, else at every
  // 256th node (16th with TMODE).
  if (search_limits.hard_limit_ms != 0 && (node_count & hard_check_mask()) == 0 &&
      elapsed_ms() >= search_limits.hard_limit_ms)
    raise_abort();
  // Step 6. The opt-in real-time guard.
  real_time_guard();
}

}  // namespace kelmstrad
