// Transposition table.
//
// One statically allocated array of TT_CAPACITY 8-byte entries (1 MiB), of
// which the first tt_mask + 1 are used (512 with the shipped TTENT). A
// position's side-aware key is `hash`, XORed with side_key when Black is to
// move; its index is key & tt_mask and its check value the key's upper 16
// bits. An entry with check 0 is empty.
//
// Entry: check (u16), move (u16, 0 = none), score (i16, mate scores counted
// from the storing node), depth (u8, remaining depth; 0 for quiescence
// entries), bound (u8: 0 empty, 1 upper, 2 lower, 3 exact).
//
// Two-slot mode (TT2 non-zero): the main search uses buckets of the entries
// at index and index ^ 1. The quiescence search always uses the entry at the
// index itself.
//
// Who calls what:
//   main search, once per interior node:  tt_probe_main (may end the node)
//   main search, end of a completed node: tt_store_main
//   quiescence (only with QTT):           tt_probe_quiesce, tt_store_quiesce
//   think thread (variation, ponder):     tt_slot(false) and tt_check_value()
//   "ucinewgame" and search start:        tt_clear
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/score.h"

namespace kelmstrad {

struct TTEntry {
  uint16_t check;
  Move move;
  int16_t score;
  uint8_t depth;
  uint8_t bound;
};
static_assert(sizeof(TTEntry) == 8);

constexpr int TT_CAPACITY = 0x20000;  // 131072 entries
constexpr int TT_MIN_ENTRIES = 2;     // a two-slot bucket needs index ^ 1

constexpr uint8_t BOUND_NONE = 0;
constexpr uint8_t BOUND_UPPER = 1;
constexpr uint8_t BOUND_LOWER = 2;
constexpr uint8_t BOUND_EXACT = 3;

extern TTEntry tt_table[TT_CAPACITY];  // the table; zero at program start
extern uint32_t tt_mask;               // index mask, fixed from TTENT at first use
extern bool tt_two_slot;               // buckets of two entries, fixed from TT2 at first use

// Reads TTENT and TT2 once (later calls do nothing); sets tt_mask and
// tt_two_slot, and reports an unusable TTENT with an info string.
void tt_settings_load();

// The mask for a TTENT text (nullptr when unset): the largest power of two
// not above the value, clamped to 2..131072 entries, minus one; the whole
// table when unset. Sets *adjusted when the entries used differ from the text.
uint32_t tt_mask_for(const char* ttent, bool* adjusted);

// The current position's side-aware key.
uint32_t tt_key();

// The current position's check value (the key's upper 16 bits).
inline uint16_t tt_check_value() { return static_cast<uint16_t>(tt_key() >> 16); }

// The entry for the current position: in probe form (store_form false) the
// matching entry of the bucket, else the entry at the index; in store form
// the matching entry, else the shallower of the pair (the index on a tie).
// One-slot mode always gives the entry at the index.
TTEntry& tt_slot(bool store_form);

// The same for an explicit key.
TTEntry& tt_slot_for_key(uint32_t key, bool store_form);

// The bound of a finished main-search node: lower when best >= beta, exact
// when best > the alpha the node was called with, else upper.
uint8_t tt_bound_for(int best, int alpha, int beta);

// Main-search probe at an interior node. Skips everything under "Lean";
// otherwise charges one TTPROBE, and under "NoTT" or "Skeleton" finds nothing.
// Sets *hash_move to the stored move (0 if none). Returns true, with *score
// set, when the entry ends the node: only in a null-window node, with a
// stored depth >= depth, and a bound that decides against the window.
bool tt_probe_main(int depth, int alpha, int beta, int ply, Move* hash_move, int* score);

// Main-search store at the end of a completed node (at least one legal move,
// not aborted); does nothing under "NoTT", "Lean" or "Skeleton". Charges one
// TTSTORE. A same-position entry that is deeper keeps its contents unless
// the new bound is exact; a store without a best move keeps the stored move.
void tt_store_main(int depth, int score, uint8_t bound, Move best_move, int ply);

// Quiescence probe, for callers that have checked QTT and that the node is
// not an evasion node; nothing under "Skeleton". Charges one side_counters[QTT_COUNT].
// Returns true with *score when the stored bound decides against the window
// (no depth test, no mate adjustment).
bool tt_probe_quiesce(int alpha, int beta, int* score);

// Quiescence store, for callers that have checked QTT and that the search is
// not aborting; nothing under "Skeleton" or for a mate score. Charges one
// side_counters[QTT_COUNT]. Never overwrites a main-search entry.
void tt_store_quiesce(int result, int alpha_in, int beta);

// Zeroes every entry of the table ("ucinewgame", search start).
void tt_clear();

}  // namespace kelmstrad
