#include "clock/search_limits.h"

#include "io/env.h"
#include "io/output.h"

namespace kelmstrad {

// Limits of the current search, written by "go" before the think thread starts
// and rewritten only by the time check at the ponder hit.
SearchLimits search_limits = depth_only_limits(MAX_SEARCH_DEPTH);

std::atomic<int> stop_flag{0};
std::atomic<int> pondering{0};
std::atomic<int> ponderhit{0};
std::atomic<int> real_time_mode{0};
std::atomic<uint64_t> search_start_ticks{0};

namespace {

// A share divisor (TDIV, TBD); one that is not positive cannot divide the
// clock, so the shipped one is used and the line says so.
int time_divisor(const char* name, int shipped) {
  const int divisor = env_int(name, shipped);
  if (divisor > 0) return divisor;
  uci_print("info string %s %.32s is not a positive divisor, using %d\n", name, env_str(name),
            shipped);
  return shipped;
}

}  // namespace

// Reads TMODE, TDIV, TBD, TINC and TBRK once.
const TimeSwitches& time_switches() {
  static const TimeSwitches switches = {
      .tmode = env_present("TMODE"),
      .tdiv = time_divisor("TDIV", DEFAULT_TIME_SWITCHES.tdiv),
      .tbd = time_divisor("TBD", DEFAULT_TIME_SWITCHES.tbd),
      .tinc = env_int("TINC", DEFAULT_TIME_SWITCHES.tinc),
      .tbrk = env_int("TBRK", DEFAULT_TIME_SWITCHES.tbrk),
  };
  return switches;
}

}  // namespace kelmstrad
