// The three reduced tree searches: the plain search of "skel", the table
// search of "skel2" and the configurable search of "skel3" and "skel4".
// All are fail-hard alpha-beta (the configurable one fail-soft under SOFT)
// over tactical moves in picked order and then quiet moves, with the reduced
// quiescence at depth 0.
#pragma once

namespace kelmstrad {

// Plain search: no table, no ordering of quiet moves; a side without moves
// scores -30000 in check (at any distance), 0 otherwise. With NOQS in force
// depth 0 is the reduced evaluation.
int skeleton_plain_search(int depth, int alpha, int beta);

// Table search: the plain search with the reduced table (probe, cut, store
// without a move) and mate scores corrected by the ply; mated at ply p
// scores p - 30000.
int skeleton_table_search(int depth, int alpha, int beta, int ply);

// Configurable search: killers, history, table-move and PV-order ordering,
// PVS, check extension, reverse futility, razoring, null move and late-move
// reductions as skel_config and skel_switches say.
int skeleton_configurable_search(int depth, int alpha, int beta, int ply);

}  // namespace kelmstrad
