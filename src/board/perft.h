// Perft and the position diagnostics "perft", "perftx", "d" and "histkeys".
// Perft walks the legal move tree through generation, make and unmake and
// charges the operation counters like any other generation and make.
#pragma once

#include <cstdint>

namespace kelmstrad {

// Checksums of "perftx" over the leaves: hash (with the side key when Black
// is to move) XORed, mg_score and eg_score summed modulo 65536.
extern uint32_t csh;
extern uint16_t csm;
extern uint16_t cse;

// Leaf count of the legal move tree of the given depth (depth 0 or less: 1).
uint64_t perft(int depth);

// Like perft, and folds every leaf into csh, csm and cse.
uint64_t perft_checksum(int depth);

// "perft": one line per legal root move with its count, then the total.
void perft_divide(int depth);

// "perftx": leaf count and checksums.
void perftx_report(int depth);

// "d": the board diagram and the status line, whose value after "eval" is
// what `evaluation` returns (called once, after the diagram is printed).
void print_diagram(int (*evaluation)());

// "histkeys": the stored keys of the last n history records, newest first.
void print_history_keys(int n);

}  // namespace kelmstrad
