// Operation counters and the virtual clock.
//
// Every costly operation adds to its counter in op_counters (indexed by
// CostKey); the cost table op_costs prices each count in cost units, and
// 3546900 units make one virtual second unless the cost file names its own
// rate (virtual_units_per_second). Side counters are priced by
// environment variables read once. Counters wrap at 2^32 and are zeroed by the
// think thread at the start of every search.
#pragma once

#include <atomic>
#include <cstdint>

namespace kelmstrad {

// clang-format off
enum CostKey : int {
  GENT, GENT_PC, GENT_MV, GENQ, GENQ_PC, GENQ_MV, ATT, MAKE, MAKE_CAP, MAKE_CHEAP,
  UNMAKE, UNMAKE_CAP, EVAL, PICK, PICKSCAN, AB, QS, LEGAL, TTPROBE, TTSTORE,
  NULL_MOVE, CUTUPD, ATT_PC, EVALX, KS, LMP, SEEF, SEEL, THR, EGK,
  MHK, PHMISS, NNF, NNO,
  COST_KEY_COUNT
};
// clang-format on
static_assert(COST_KEY_COUNT == 34);

// Names of the cost keys in CostKey order, as the cost file spells them.
extern const char* const COST_KEY_NAMES[COST_KEY_COUNT];

constexpr int64_t VIRTUAL_UNITS_PER_SECOND = 3546900;
// The largest rate a cost file may name: one unit a femtosecond. A table fitted
// to a fast host needs a fine unit (an operation of a few nanoseconds is worth
// 0 units at the default rate), but beyond this even a 32-bit cost is shorter
// than any operation.
constexpr int64_t MAX_UNITS_PER_SECOND = 1000000000000000;
constexpr int ATTACK_CONTEXTS = 5;

extern const char DEFAULT_COST_JSON[];

extern uint32_t op_counters[COST_KEY_COUNT];  // one count per charged operation
extern int32_t op_costs[COST_KEY_COUNT];      // cost units per count
extern uint32_t slcalls_count;                // attacker lookups of the cheap SEE sign test
extern int32_t slcalls_cost;
// Cost units in one virtual second: the cost file's "UNITS_PER_SECOND", else
// VIRTUAL_UNITS_PER_SECOND.
extern int64_t virtual_units_per_second;

// Side counters, priced by environment variables (see total_cost).
extern uint32_t corr_count;
extern uint32_t ne_count;
extern uint32_t mob_piece_count;
extern uint32_t mob_square_count;
extern uint32_t mob_eval_count;
extern uint32_t gcp_count;
extern uint32_t loose_count;
extern uint32_t ktrop_count;
extern uint32_t qtt_count;
extern uint32_t trap_count;

// Attack tests by caller context: node-incheck, gives-check, qs-flag,
// make-full, castling. Statistics only.
extern uint32_t attack_context;
extern uint32_t attack_bucket[ATTACK_CONTEXTS];

extern bool use_virtual_clock;         // elapsed_ms from the counters (true) or the process clock
extern int64_t search_start_clock_ms;  // process clock when the search started
extern std::atomic<int> abort_search;  // raised by the time check; searches unwind on it
extern bool timed_by_process_clock;    // this search's limits are read on the process clock

// Start-up: the table from VCOSTFILE or the built-in text, then SLCALLS,
// NNFCOST/NNOCOST and VSCALE, and the rate. A rate that is not a whole number
// from 1 to MAX_UNITS_PER_SECOND is replaced by the default, with one
// "info string" line.
void load_cost_table();

// The same from explicit inputs (nullptr for an unset variable).
void load_cost_table_from(const char* json, const char* vscale, const char* nnfcost,
                          const char* nnocost);

// A cost in units, truncated toward zero and held inside the 32-bit range.
int32_t truncate_cost(double value);

// Zeroes the 34 counters, slcalls_count and the ten side counters.
void clear_search_counters();

// The weighted sum of all counters in cost units.
uint64_t total_cost();

// Milliseconds the current search has used, by the virtual or the process clock.
int32_t elapsed_ms();

// A double count of cost units as the 64-bit total adds it: truncated toward
// zero, a negative count subtracting (as a negative table cost does), held
// inside the 64-bit range; NaN counts 0.
uint64_t cost_units(double units);

// True when some table cost is positive, so that the counters can move the
// virtual clock.
bool cost_table_can_advance();

// Chooses the clock of the next search (before it starts). A search with a
// time limit whose cost table cannot move the virtual clock would never reach
// its limit: it is timed by the process clock instead, and the first such
// search says so in an "info string" line.
void choose_search_clock(bool timed);

// Cost effects of the options Terms, Lean, EvalCost, EvalExtraT and SEECost.
// The Lean reductions stop at the bottom of the 32-bit range.
void set_terms_cost(int terms);
void set_lean_costs();

// "vsdump": the 34 counters and slcalls_count.
void print_vsdump();

}  // namespace kelmstrad
