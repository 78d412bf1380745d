#include "search/tt.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "clock/counters.h"
#include "io/env.h"
#include "io/options.h"
#include "io/output.h"
#include "platform/assert.h"
#include "search/score.h"

namespace kelmstrad {

TTEntry tt_table[TT_CAPACITY];       // all entries; only the first tt_mask + 1 are used
uint32_t tt_mask = TT_CAPACITY - 1;  // replaced from TTENT by tt_settings_load
bool tt_two_slot = false;            // replaced from TT2 by tt_settings_load

namespace {

bool tt_settings_loaded = false;

// Loads the settings on the first access to the table.
inline void ensure_settings() {
  if (!tt_settings_loaded) tt_settings_load();
}

// True when the table may not be used by the main search at all.
bool main_table_off() { return no_tt != 0 || lean_mode != 0 || skeleton_mode != 0; }

}  // namespace

// The mask for a TTENT text; values that are not a power of two from 2 to
// 131072 are brought to the largest power of two not above them, within those limits.
uint32_t tt_mask_for(const char* ttent, bool* adjusted) {
  *adjusted = false;
  if (ttent == nullptr) return TT_CAPACITY - 1;
  const long long requested = strtoll(ttent, nullptr, 10);
  const long long entries = power_of_two_within(requested, TT_MIN_ENTRIES, TT_CAPACITY);
  *adjusted = entries != requested;
  // Values above the table are capped silently: that is their documented meaning.
  if (requested > TT_CAPACITY) *adjusted = false;
  return static_cast<uint32_t>(entries - 1);
}

// Fixes tt_mask and tt_two_slot from the environment on the first call.
void tt_settings_load() {
  if (tt_settings_loaded) return;
  tt_settings_loaded = true;
  const char* ttent = env_str("TTENT");
  bool adjusted = false;
  tt_mask = tt_mask_for(ttent, &adjusted);
  tt_two_slot = env_int("TT2", 0) != 0;
  if (adjusted)
    uci_print("info string TTENT %s is not a power of two from 2 to %d; using %u entries\n", ttent,
              TT_CAPACITY, tt_mask + 1);
}

// The hash with the side to move folded in.
uint32_t tt_key() { return position.hash ^ (position.side == BLACK ? side_key : 0u); }

// The entry for a key by the one-slot or two-slot rule.
TTEntry& tt_slot_for_key(uint32_t key, bool store_form) {
  ensure_settings();
  const uint32_t index = key & tt_mask;
  TTEntry& first = tt_table[index];
  if (!tt_two_slot) return first;
  const uint16_t check = static_cast<uint16_t>(key >> 16);
  if (first.check == check) return first;
  TTEntry& second = tt_table[index ^ 1];
  if (second.check == check) return second;
  if (store_form && second.depth < first.depth) return second;
  return first;
}

// The entry for the current position.
TTEntry& tt_slot(bool store_form) { return tt_slot_for_key(tt_key(), store_form); }

// The bound of a node result against the window it was called with.
uint8_t tt_bound_for(int best, int alpha, int beta) {
  if (best >= beta) return BOUND_LOWER;
  if (best > alpha) return BOUND_EXACT;
  return BOUND_UPPER;
}

// Looks the node up; true when the stored result ends it.
bool tt_probe_main(int depth, int alpha, int beta, int ply, Move* hash_move, int* score) {
  *hash_move = 0;
  if (lean_mode) return false;
  ++op_counters[TTPROBE];
  if (no_tt || skeleton_mode) return false;
  const TTEntry& entry = tt_slot(false);
  if (entry.check != tt_check_value()) return false;
  *hash_move = entry.move;
  if (beta - alpha > 1 || entry.depth < depth) return false;
  const int s = score_from_table(entry.score, ply);
  const bool decides = entry.bound == BOUND_EXACT || (entry.bound == BOUND_LOWER && s >= beta) ||
                       (entry.bound == BOUND_UPPER && s <= alpha);
  if (decides) *score = s;
  return decides;
}

// Writes a node result, keeping a deeper entry of the same position unless
// the new bound is exact.
void tt_store_main(int depth, int score, uint8_t bound, Move best_move, int ply) {
  ASSERT(depth >= 0 && depth <= UINT8_MAX);
  ASSERT(score_to_table(score, ply) >= INT16_MIN && score_to_table(score, ply) <= INT16_MAX);
  if (main_table_off()) return;
  TTEntry& entry = tt_slot(true);
  ++op_counters[TTSTORE];
  const uint16_t check = tt_check_value();
  Move move = best_move;
  if (entry.check == check) {
    if (depth < entry.depth && bound != BOUND_EXACT) return;
    if (move == 0) move = entry.move;
  }
  // Depths outside a byte cannot occur below the depth guards; clamp rather than wrap.
  const int stored_depth = depth < 0 ? 0 : (depth > UINT8_MAX ? UINT8_MAX : depth);
  entry.check = check;
  entry.move = move;
  entry.score = static_cast<int16_t>(score_to_table(score, ply));
  entry.depth = static_cast<uint8_t>(stored_depth);
  entry.bound = bound;
}

// Quiescence lookup at the index itself, without depth or mate adjustment.
bool tt_probe_quiesce(int alpha, int beta, int* score) {
  if (skeleton_mode) return false;
  ++side_counters[QTT_COUNT];
  ensure_settings();
  const TTEntry& entry = tt_table[tt_key() & tt_mask];
  if (entry.check != tt_check_value()) return false;
  const int s = entry.score;
  const bool decides = entry.bound == BOUND_EXACT || (entry.bound == BOUND_LOWER && s >= beta) ||
                       (entry.bound == BOUND_UPPER && s <= alpha);
  if (decides) *score = s;
  return decides;
}

// Quiescence store at the index itself; main-search entries are kept.
void tt_store_quiesce(int result, int alpha_in, int beta) {
  if (skeleton_mode || result > MATE_BOUND || result < -MATE_BOUND) return;
  ++side_counters[QTT_COUNT];
  ensure_settings();
  TTEntry& entry = tt_table[tt_key() & tt_mask];
  if (entry.check != 0 && entry.depth != 0) return;
  entry.check = tt_check_value();
  entry.move = 0;
  entry.score = static_cast<int16_t>(result);
  entry.depth = 0;
  entry.bound = tt_bound_for(result, alpha_in, beta);
}

// Every entry back to zero, whatever part of the table is in use.
void tt_clear() { memset(tt_table, 0, sizeof(tt_table)); }

}  // namespace kelmstrad
