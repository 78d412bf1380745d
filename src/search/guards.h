// Depth guards of the searches: nodes stop expanding beyond these.
#pragma once

namespace kelmstrad {

extern int ply_limit;         // deepest ply searched (30, or 60 with NEXT)
extern int stack_move_limit;  // move-stack length beyond which no node expands
extern int stack_budget;      // limit on 51 * ply + 4 * move-stack length

}  // namespace kelmstrad
