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
#include <iterator>

namespace kelmstrad {

// clang-format off
enum CostKey : int {
  GENT, GENT_PC, GENT_MV, GENQ, GENQ_PC, GENQ_MV, ATT, MAKE, MAKE_CAP, MAKE_CHEAP,
  UNMAKE, UNMAKE_CAP, EVAL, PICK, PICKSCAN, AB, QS, LEGAL, TTPROBE, TTSTORE,
  NULL_MOVE, CUTUPD, ATT_PC, EVALX, KS, LMP, SEEF, SEEL, THR, EGK,
  MHK, PHMISS, NNF, NNO,
  COST_KEY_COUNT
};

// Names of the cost keys in CostKey order, as the cost file spells them. The
// keys from NNF on are priced by the network, not by the cost file.
inline constexpr const char* COST_KEY_NAMES[] = {
  "GENT", "GENT_PC", "GENT_MV", "GENQ", "GENQ_PC", "GENQ_MV", "ATT", "MAKE", "MAKE_CAP", "MAKE_CHEAP",
  "UNMAKE", "UNMAKE_CAP", "EVAL", "PICK", "PICKSCAN", "AB", "QS", "LEGAL", "TTPROBE", "TTSTORE",
  "NULL", "CUTUPD", "ATT_PC", "EVALX", "KS", "LMP", "SEEF", "SEEL", "THR", "EGK",
  "MHK", "PHMISS", "NNF", "NNO",
};
// clang-format on
static_assert(COST_KEY_COUNT == 34);
static_assert(std::size(COST_KEY_NAMES) == COST_KEY_COUNT, "a cost key without its name");
constexpr int COST_FILE_KEYS = NNF;  // the keys a cost file prices

// Side counters: operations of optional terms, each priced by its own
// environment switch (read once) rather than by the cost file. How the price
// enters the total is kept as it was first defined: scaled by VSCALE, summed
// with the other mobility counts in 32 bits and then scaled, or added as is.
enum SideKey : int {
  CORR_COUNT,
  NE_COUNT,
  MOB_SQUARE_COUNT,
  MOB_PIECE_COUNT,
  MOB_EVAL_COUNT,
  GCP_COUNT,
  LOOSE_COUNT,
  KTROP_COUNT,
  QTT_COUNT,
  TRAP_COUNT,
  SIDE_KEY_COUNT
};
enum class SidePricing { SCALED, MOBILITY, PLAIN };
struct SideCounter {
  const char* price_switch;  // the environment switch that prices one count
  long default_price;        // the price when the switch is unset
  SidePricing pricing;
};
// clang-format off
inline constexpr SideCounter SIDE_COUNTERS[] = {
  {"CORRCOST", 0, SidePricing::SCALED},    // evaluation corrections applied
  {"NECOST", 0, SidePricing::SCALED},      // pawn-extra evaluations
  {"MOBSQ", 70, SidePricing::MOBILITY},    // mobility squares counted
  {"MOBPC", 120, SidePricing::MOBILITY},   // mobility pieces looked at
  {"MOBEV", 300, SidePricing::MOBILITY},   // mobility evaluations
  {"GCPCOST", 300, SidePricing::PLAIN},    // guarded-capture tests in quiescence
  {"LCOST", 400, SidePricing::PLAIN},      // pieces looked at by the loose-pieces term
  {"KTCOST", 120, SidePricing::PLAIN},     // pieces weighed by king tropism
  {"QTTCOST", 200, SidePricing::PLAIN},    // quiescence table probes and stores
  {"TRAPCOST", 300, SidePricing::PLAIN},   // trapped-piece tests
};
// clang-format on
static_assert(std::size(SIDE_COUNTERS) == SIDE_KEY_COUNT, "a side counter without its price");

constexpr int64_t VIRTUAL_UNITS_PER_SECOND = 3546900;
// The largest rate a cost file may name: one unit a femtosecond. A table fitted
// to a fast host needs a fine unit (an operation of a few nanoseconds is worth
// 0 units at the default rate), but beyond this even a 32-bit cost is shorter
// than any operation.
constexpr int64_t MAX_UNITS_PER_SECOND = 1000000000000000;

// The callers whose attack tests are counted apart (statistics only), with
// the names the statistics line gives them.
enum AttackContext : int {
  CONTEXT_NODE_IN_CHECK,  // a main-search node's own in-check test
  CONTEXT_GIVES_CHECK,    // the child's in-check cell, filled by the parent
  CONTEXT_QS_FLAG,        // the quiescence in-check flags
  CONTEXT_MAKE,           // make's full king-safety test
  CONTEXT_CASTLING,       // the squares a castling king crosses
  ATTACK_CONTEXTS
};
inline constexpr const char* ATTACK_CONTEXT_NAMES[] = {"node-incheck", "gives-check", "qs-flag",
                                                       "make-full", "castling"};
static_assert(std::size(ATTACK_CONTEXT_NAMES) == ATTACK_CONTEXTS);

extern const char DEFAULT_COST_JSON[];  // the shipped table: the first COST_FILE_KEYS keys

extern uint32_t op_counters[COST_KEY_COUNT];  // one count per charged operation
extern int32_t op_costs[COST_KEY_COUNT];      // cost units per count
extern uint32_t slcalls_count;                // attacker lookups of the cheap SEE sign test
extern int32_t slcalls_cost;
// Cost units in one virtual second: the cost file's "UNITS_PER_SECOND", else
// VIRTUAL_UNITS_PER_SECOND.
extern int64_t virtual_units_per_second;

extern uint32_t side_counters[SIDE_KEY_COUNT];  // one count per side operation

// Attack tests by caller context (an AttackContext).
extern uint32_t attack_context;
extern uint32_t attack_bucket[ATTACK_CONTEXTS];

extern bool use_virtual_clock;         // elapsed_ms from the counters (true) or the process clock
extern int64_t search_start_clock_ms;  // process clock when the search started
extern std::atomic<int> abort_search;  // raised by the time check; searches unwind on it
extern bool timed_by_process_clock;    // this search's limits are read on the process clock

// True once the time check has raised abort_search: the searches unwind.
inline bool search_aborted() { return abort_search.load(std::memory_order_relaxed) != 0; }

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

// Zeroes the 34 counters, slcalls_count and the side counters.
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

// "costkeys": the names of vsdump's columns (SLCALLS last), those the network
// prices, and the price switches of the mobility counters "mobstat" prints.
void print_cost_keys();

}  // namespace kelmstrad
