// Pawn structure: the per-file pawn table, the parameter-driven pawn, rook
// and bishop terms, and the pawn extras F6..F10.
//
// PawnFileTable keeps file f (0..7) at index f + 1, with a sentinel entry on
// each side (indices 0 and 9): no pawns, lowest white rank 7, highest black
// rank 0. So a pawn's neighbouring files are always indices f and f + 2.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "eval/evaluate.h"

namespace kelmstrad {

constexpr int PAWN_FILE_ENTRIES = 10;

struct PawnFileTable {
  int8_t count[2][PAWN_FILE_ENTRIES];    // [White, Black] pawns by file + 1
  int8_t white_low[PAWN_FILE_ENTRIES];   // lowest rank of a white pawn, 7 when none
  int8_t black_high[PAWN_FILE_ENTRIES];  // highest rank of a black pawn, 0 when none
  int bishops[2];                        // [White, Black] bishops
};

// Index 0 for White, 1 for Black.
constexpr int side_index(Side side) { return side >> 3; }

// Fills the table from the piece list in one pass over the 32 slots.
void build_pawn_file_table(PawnFileTable* table);

// True when the pawn of `side` on `square` has no enemy pawn ahead of it on
// its own or a neighbouring file.
bool pawn_is_passed(const PawnFileTable& table, Side side, int square);

// Rook files, isolated and passed pawns (one slot pass), doubled pawns and the
// bishop pair, for the groups selected by `terms`; refreshes their features.
TermPair pawn_structure_terms(const PawnFileTable& table, int terms);

// Steps 3 to 6 of the full path through the pawn cache: fills `table` as
// build_pawn_file_table does and returns what pawn_structure_terms(*table,
// terms) returns, refreshing the same features. The cache keeps only what the
// pawns alone decide (file table, passed, isolated and doubled counts), checked
// against both sides' pawn sets on every hit, so a hit equals a recomputation.
TermPair cached_pawn_structure_terms(PawnFileTable* table, int terms);

// Empties the pawn cache (only a test needs it: entries never go stale).
void pawn_cache_clear();

// The five pawn-extra features into eval_features.pawn_extra and their
// weighted sums by nemg/neeg.
TermPair pawn_extras(const PawnFileTable& table);

}  // namespace kelmstrad
