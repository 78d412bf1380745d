// Quiescence search: a fail-soft negamax over captures below the main
// search's horizon, with a stand-pat score, delta pruning, an exchange filter
// chosen by "CheapSEE", optional quiet checks at its first ply and an evasion
// mode for the replies to such a check. Its depth is counted from the ply at
// which the main search entered it (qs_root_ply).
//
// The cells qs_in_check and qs_evasion pass one-shot facts from a caller to
// the next node: each node reads them on entry and resets them.
#pragma once

#include <cstdint>

#include "search/switches.h"

namespace kelmstrad {

extern int qs_root_ply;  // ply at which the main search last entered quiescence
extern int qs_in_check;  // caller's in-check status for the next node: 1, 0, or -1 unknown
extern int qs_evasion;   // the next node answers a quiet check (evasion node)
extern uint32_t qs_depth_histogram[QS_HISTOGRAM_SIZE];  // quiescence nodes by depth, 31 = deeper
extern uint32_t qs_see_tested;  // captures the exchange filter looked at (this search)
extern uint32_t qs_see_pruned;  // captures it dropped

// True while ply and the move stack are inside the depth guards shared by
// both searches: ply < ply_limit, the stack within its limit, and
// 51 x ply + 4 x stack length within the budget.
bool within_depth_guards(int ply);

// The quiescence score of the current position (fail-soft); charges one QS
// and the work below it. Leaves the position and move_stack_len unchanged.
int quiesce(int alpha, int beta, int ply);

// "qhist": prints the first 16 depth counters and zeroes all 32.
void print_qhist();

}  // namespace kelmstrad
