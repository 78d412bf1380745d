#include "search/switches.h"

#include <climits>
#include <cmath>
#include <cstdlib>

#include "io/env.h"
#include "io/options.h"
#include "io/output.h"

namespace kelmstrad {

// The switches both searches obey, filled by the switch loader.
SearchSwitches search_switches;

// Whether the switch loader has run.
bool search_switches_loaded = false;

// Reductions by depth (0..63) and legal-move number (0..255) for LMRLOG.
uint8_t lmr_table[LMR_TABLE_DEPTHS][LMR_TABLE_MOVES];

namespace {

// The three late-move counts of an LMP text "a/b/c", read as "%d/%d/%d"
// reads them; missing ones stay 0, and a number beyond the int range is held
// at its end.
void read_lmp_counts(const char* text, int counts[3]) {
  counts[0] = counts[1] = counts[2] = 0;
  if (text == nullptr) return;
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    char* end = nullptr;
    const long long n = strtoll(p, &end, 10);
    if (end == p) return;
    counts[i] = static_cast<int>(n > INT_MAX ? INT_MAX : (n < INT_MIN ? INT_MIN : n));
    if (*end != '/') return;
    p = end + 1;
  }
}

// The quiescence switches.
void load_quiesce_switches(SearchSwitches& s) {
  s.qrepstat = env_present("QREPSTAT");
  s.qtt = env_present("QTT");
  s.qstat = env_int("QSTAT", s.qstat);
  s.qdelta = env_int_within("QDELTA", s.qdelta, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  s.qmax = env_int("QMAX", s.qmax);
  s.qrec = env_int("QREC", s.qrec);
  s.qchk = env_int("QCHK", s.qchk);
}

// The switches of the node flow and its pruning block.
void load_node_switches(SearchSwitches& s) {
  s.nthr = env_int("NTHR", s.nthr);
  s.nthrm = env_int_within("NTHRM", s.nthrm, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  s.noext = env_present("NOEXT");
  s.iir = env_int("IIR", s.iir);
  s.corr = env_int("CORR", 0) != 0;
  // Any other size would index outside the correction tables.
  s.corrn = static_cast<int>(env_power_of_two("CORRN", s.corrn, 1, CORRECTION_ENTRIES));
  s.corrw = env_int("CORRW", s.corrw);
  // The 16-bit entries hold 8 x |CORRMAX| at most.
  s.corrmax = env_int_within("CORRMAX", s.corrmax, -CORRECTION_MAX_LIMIT, CORRECTION_MAX_LIMIT);
  s.nmrd = env_int("NMRD", s.nmrd);
  s.nofut = env_present("NOFUT");
  // Held where depth x RFP would overflow; a negative margin is used as given
  // (the score it returns is held below the mate scores).
  s.rfp = env_int_within("RFP", s.rfp, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  s.rfpd = env_int("RFPD", s.rfpd);
  s.fut2 = env_int_within("FUT2", s.fut2, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  read_lmp_counts(env_str("LMP"), s.lmp);
  s.lazyq = env_int_within("LAZYQ", s.lazyq, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);  // as RFP
  s.lazys = env_present("LAZYS");
  s.cheapsee_set = env_present("CHEAPSEE");
  s.cheapsee = env_int("CHEAPSEE", 0);
}

// The switches of the move loop.
void load_move_loop_switches(SearchSwitches& s) {
  s.thrx = env_int("THRX", s.thrx);
  s.seeq = env_int_within("SEEQ", s.seeq, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  s.seec = env_int_within("SEEC", s.seec, -ENV_WEIGHT_LIMIT, ENV_WEIGHT_LIMIT);
  s.histp = env_int("HISTP", s.histp);
  s.nolmr = env_present("NOLMR");
  s.lmr3 = env_int("LMR3", s.lmr3);
  s.lmrlog = env_int("LMRLOG", s.lmrlog);
  s.nopvs = env_present("NOPVS");
}

}  // namespace

// Reads every search switch once; later calls change nothing.
void load_search_switches() {
  if (search_switches_loaded) return;
  SearchSwitches s;
  s.ctrace = env_present("CTRACE");
  load_quiesce_switches(s);
  load_node_switches(s);
  load_move_loop_switches(s);
  search_switches = s;
  if (s.lmrlog != 0) build_lmr_table(s.lmrlog);
  search_switches_loaded = true;
}

// Fills every row and column from 1 with trunc(ln i * ln k / (lmrlog / 100) + 0.75),
// held within 0..255 so that small or negative divisors cannot wrap a byte.
void build_lmr_table(int lmrlog) {
  for (int i = 0; i < LMR_TABLE_DEPTHS; ++i) {
    for (int k = 0; k < LMR_TABLE_MOVES; ++k) {
      int value = 0;
      if (i > 0 && k > 0 && lmrlog != 0) {
        const double r = std::log(i) * std::log(k) / (lmrlog / 100.0) + LMR_TABLE_ROUNDING;
        value = r >= 255.0 ? 255 : (r <= 0.0 ? 0 : static_cast<int>(r));
      }
      lmr_table[i][k] = static_cast<uint8_t>(value);
    }
  }
}

// CHEAPSEE, when present, wins over the "CheapSEE" option.
int cheap_see_mode() { return search_switches.cheapsee_set ? search_switches.cheapsee : cheap_see; }

}  // namespace kelmstrad
