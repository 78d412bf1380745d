// The time check, called by both searches at every node right after they
// count the node. It turns "stop" and "ponderhit" into effects on the running
// search, enforces the node limit and the hard time limit by raising
// abort_search, and, while pacing (real_time_mode), sleeps in 1 ms steps until
// the real time since "go" has caught up with the virtual time used.
//
// Cost on the common path: a few flag tests. elapsed_ms (a sum over the whole
// cost table) is taken at every 16th node while pacing and, for the hard
// limit, at every node on the virtual clock, at every 256th node (16th with
// TMODE) on the process clock.
#pragma once

#include <cstdint>

namespace kelmstrad {

extern uint32_t node_count;  // nodes of the current search, counted by both searches

// Nodes between two hard-limit tests, as a mask: 0 on the virtual clock;
// on the process clock 255, or 15 with TMODE.
uint32_t hard_check_mask();

// Checks stop, ponder hit, pacing, node limit and hard limit for the node just
// counted; raises abort_search, may rewrite the limits and pacing at the ponder hit.
void time_check();

}  // namespace kelmstrad
