// Search margins and switches, in one place.
//
// The environment switches of both searches are read together by the switch
// loader, once per process, into `search_switches`; the searches read only
// that record (tests may change its fields between searches). The initial
// values below are what the engine starts with: a switch with a shipped value
// (io/switch_table.h) takes it from there, and start-up installs it in the
// environment. BADLAST and CMOVE belong to the move picker, TTENT and TT2 to
// the table.
#pragma once

#include <cstdint>

#include "io/switch_table.h"
#include "search/score.h"

namespace kelmstrad {

// Depth guards: 51 budget units per ply and 4 per stacked move.
constexpr int GUARD_UNITS_PER_PLY = 51;
constexpr int GUARD_UNITS_PER_MOVE = 4;

// Margins of the main search.
constexpr int FUTILITY_MARGIN_DEPTH1 = 199;  // depth-1 futility: E + 199 < alpha
constexpr int NULL_MOVE_REDUCTION = 3;       // the null child searches depth - 3 (- 1 with NMRD)
constexpr int NULL_MOVE_MIN_DEPTH = 3;       // null move only above depth 2
constexpr int LMP_MAX_DEPTH = 3;             // late-move and exchange pruning up to depth 3
constexpr int HISTORY_PRUNE_MAX_DEPTH = 2;   // history pruning up to depth 2
constexpr int LMR_MIN_DEPTH = 3;             // reductions and the child check test from depth 3
constexpr int LMR_MIN_MOVE = 4;              // ... from the 4th legal move
constexpr int LMR_SECOND_STEP = 8;           // moves after the 8th are reduced 2
constexpr int LMR_THIRD_STEP = 16;           // moves after the 16th one more with LMR3
constexpr int THREAT_LATE_MIN_MOVES = 2;     // THRX bit 4 tests moves after 2 legal ones

// Correction table.
constexpr int CORRECTION_ENTRIES = 65536;   // per side to move
constexpr int CORRECTION_SCALE = 8;         // entries hold 8 x centipawns
constexpr int CORRECTION_WEIGHT_UNIT = 64;  // learning weights are in 64ths
constexpr int CORRECTION_MAX_LIMIT = 4095;  // largest CORRMAX whose 8x bound fits 16 bits

// Exchange values count a pawn as 10; scores count it as 100.
constexpr int SEE_TO_CENTIPAWNS = 10;

// Quiescence.
constexpr int QS_HISTOGRAM_SIZE = 32;
constexpr int QS_STATIC_MARGIN = 999;  // QSTAT considers captures within 999 of alpha
constexpr int QS_REPSTAT_ENTRIES = 65536;

// Late-move reduction table (LMRLOG).
constexpr int LMR_TABLE_DEPTHS = 64;
constexpr int LMR_TABLE_MOVES = 256;
constexpr double LMR_TABLE_ROUNDING = 0.75;

// Bits of THRX: where quiet moves get the threat test.
constexpr int THRX_UNDER_FUTILITY = 1;
constexpr int THRX_UNDER_LMP = 2;
constexpr int THRX_LATE_MOVES = 4;

// Bits of NTHR: what a null-move threat does.
constexpr int NTHR_NO_REDUCTION = 1;
constexpr int NTHR_NO_LMP = 2;
constexpr int NTHR_MATE_EXTENSION = 4;

// CheapSEE modes of the quiescence exchange filter (others: pawn-guard test).
constexpr int CHEAPSEE_FULL = 0;
constexpr int CHEAPSEE_LEAST_ATTACKER = 2;
constexpr int CHEAPSEE_SIGN = 3;

struct SearchSwitches {
  // Shared.
  bool ctrace = false;  // CTRACE: trace lines
  // Quiescence.
  bool qrepstat = false;  // QREPSTAT: repetition statistics
  bool qtt = false;       // QTT: quiescence uses the table
  int qstat = 0;          // QSTAT: static resolution from depth QSTAT - 1
  int qdelta = 200;       // QDELTA: delta-pruning margin
  int qmax = 99;          // QMAX: stand pat only from this depth
  int qrec = 99;          // QREC: recaptures only from this depth
  int qchk = 0;           // QCHK: quiet checks at the first ply
  // Node flow and pruning.
  int nthr = 0;                    // NTHR: null-move threat bits
  int nthrm = 200;                 // NTHRM: threat margin
  bool noext = false;              // NOEXT: no check extension
  int iir = 0;                     // IIR: internal iterative reduction depth
  bool corr = false;               // CORR: evaluation correction on
  int corrn = 4096;                // CORRN: entries per side (a power of two)
  int corrw = 16;                  // CORRW: learning weight in 64ths
  int corrmax = 150;               // CORRMAX: bound of a correction
  int nmrd = 0;                    // NMRD: deeper null-move reduction from this depth
  bool nofut = false;              // NOFUT: no depth-1 futility
  int rfp = shipped_int("RFP");    // RFP: reverse-futility margin per ply
  int rfpd = 3;                    // RFPD: deepest reverse-futility depth
  int fut2 = shipped_int("FUT2");  // FUT2: depth-2 futility margin
  int lmp[3] = {shipped_int("LMP", 0), shipped_int("LMP", 1),
                shipped_int("LMP", 2)};    // LMP: late-move counts for depths 1..3
  int lazyq = shipped_int("LAZYQ");        // LAZYQ: lazy-evaluation margin
  bool lazys = shipped_int("LAZYS") != 0;  // LAZYS: lazy evaluation in the main search
  bool cheapsee_set = false;  // CHEAPSEE present: its number overrides the "CheapSEE" mode
  int cheapsee = 0;           // CHEAPSEE
  // Move loop.
  int thrx = shipped_int("THRX");  // THRX: threat-test bits
  int seeq = 0;                    // SEEQ: quiet exchange pruning
  int seec = 0;                    // SEEC: capture exchange pruning
  int histp = 0;                   // HISTP: history pruning threshold
  bool nolmr = false;              // NOLMR: no late-move reductions
  int lmr3 = 0;                    // LMR3: third reduction step from this depth
  int lmrlog = 0;                  // LMRLOG: logarithmic reductions, divisor in percent
  bool nopvs = false;              // NOPVS: full window for every move
};

extern SearchSwitches search_switches;                        // the switches in force
extern bool search_switches_loaded;                           // the switch loader has run
extern uint8_t lmr_table[LMR_TABLE_DEPTHS][LMR_TABLE_MOVES];  // reductions by depth and move number

// The switch loader: reads every search switch from the environment the
// first time it runs; later calls do nothing.
void load_search_switches();

// Runs the switch loader if it has not run yet.
inline void ensure_search_switches() {
  if (!search_switches_loaded) load_search_switches();
}

// Fills lmr_table for an LMRLOG divisor (percent); entries are held in 0..255.
void build_lmr_table(int lmrlog);

// The "CheapSEE" mode in force: CHEAPSEE when present, else the option.
int cheap_see_mode();

}  // namespace kelmstrad
