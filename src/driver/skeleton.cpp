#include "driver/skeleton.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board/move.h"
#include "clock/counters.h"
#include "driver/skeleton_search.h"
#include "eval/reduced.h"
#include "io/env.h"
#include "io/output.h"

namespace kelmstrad {

uint32_t skel_nodes = 0;  // nodes of the reduced searches, apart from node_count
SkelSwitches skel_switches =
    SKEL_SWITCHES_OFF;                  // loaded by "skel4" (and partly "skel3"), then kept
SkelStats skel_stats{};                 // zeroed by the commands that print them
SkelConfig skel_config{};               // set by "skel3"/"skel4" before they search
SkelEntry skel_table[SKEL_TABLE_SIZE];  // the reduced transposition table
Move skel_killers[SKEL_PLIES][2];       // reduced killers, first and second
uint8_t skel_history[16][64];           // reduced history bytes
Move skel_pv_order[SKEL_PLIES];         // PVORD: the move to try first per ply
Move skel_root_move = 0;                // what the last root node stored as its move

namespace {

constexpr int SWITCH_VALUE_LIMIT = 30000;  // margins beyond this are held here
constexpr int NODE_STACK_ROOM = 256;       // more moves than any position has

// A numeric switch, its magnitude held within the limit.
int switch_value(const char* name, int fallback) {
  return std::clamp(env_int(name, fallback), -SWITCH_VALUE_LIMIT, SWITCH_VALUE_LIMIT);
}

// Zeroes the 34 operation counters and the node count before a reduced search.
void counters_clear() {
  memset(op_counters, 0, sizeof(op_counters));
  skel_nodes = 0;
}

// Zeroes the reduced table and its three statistics.
void table_clear() {
  memset(skel_table, 0, sizeof(skel_table));
  skel_stats.table_probes = 0;
  skel_stats.table_hits = 0;
  skel_stats.table_cuts = 0;
}

// a / b, or 0 when b is 0.
inline double ratio(double a, uint32_t b) { return b == 0 ? 0.0 : a / b; }

// A root move as from-file, from-rank, to-file, to-rank ("0000" for none).
std::string root_move_text(Move move) {
  if (move == 0) return "0000";
  const int from = move_from(move);
  const int to = move_to(move);
  const char text[5] = {
      static_cast<char>('a' + square_file(from)), static_cast<char>('1' + square_rank(from)),
      static_cast<char>('a' + square_file(to)), static_cast<char>('1' + square_rank(to)), '\0'};
  return text;
}

// The root's move after an iteration: its table entry's, or the one the
// root node recorded when the table is off or lost the entry.
Move root_move_after_iteration() {
  if (!skel_switches.nott) {
    const SkelEntry& entry = skel_slot();
    if (entry.check == static_cast<uint16_t>(skel_key() >> 16) && entry.move != 0)
      return entry.move;
  }
  return skel_root_move;
}

// The four result lines of "skel4".
void print_skel4(int depth, Move root_move, int score) {
  const SkelStats& st = skel_stats;
  const uint32_t qs_nodes = op_counters[QS];
  uci_print(
      "qs: %lu ofre scannet, %.2f pr. knude | %lu slag genereret, %lu provet, %lu afkortninger "
      "(%.2f provet pr. knude)\n",
      static_cast<unsigned long>(st.victims_scanned), ratio(st.victims_scanned, qs_nodes),
      static_cast<unsigned long>(st.captures_generated),
      static_cast<unsigned long>(st.captures_tried), static_cast<unsigned long>(st.cutoffs),
      ratio(st.captures_tried, qs_nodes));
  uci_print("pvs %lu nulvinduer, %lu gensogninger (%.0f%%)\n",
            static_cast<unsigned long>(st.null_windows), static_cast<unsigned long>(st.re_searches),
            ratio(st.re_searches * 100.0, st.null_windows));
  uci_print("lazy %lu/%lu (%.0f%%) gate2 %lu/%lu (%.0f%%)\n",
            static_cast<unsigned long>(st.lazy_hits), static_cast<unsigned long>(st.lazy_tries),
            ratio(st.lazy_hits * 100.0, st.lazy_tries), static_cast<unsigned long>(st.gate2_hits),
            static_cast<unsigned long>(st.gate2_tries),
            ratio(st.gate2_hits * 100.0, st.gate2_tries));
  uci_print("skel4 bestmove %s depth %d nodes %lu score %d pawnhash %lu/%lu hits (%.0f%%)\n",
            root_move_text(root_move).c_str(), depth, static_cast<unsigned long>(skel_nodes), score,
            static_cast<unsigned long>(skel_pawn_hits),
            static_cast<unsigned long>(skel_pawn_probes),
            ratio(skel_pawn_hits * 100.0, skel_pawn_probes));
}

}  // namespace

SkelSwitches skel_switches_from_environment() {
  SkelSwitches s = SKEL_SWITCHES_OFF;
  s.noqs = env_present("NOQS");      // skel: depth 0 is the reduced evaluation
  s.nohist = env_present("NOHIST");  // skel3: no history ordering
  s.hist = env_present("HIST");      // skel4: history ordering
  s.pvs = env_present("PVS");        // null windows after the first move
  s.soft = env_present("SOFT");      // fail-soft returns and stores
  s.lazy_margin = switch_value("LAZYM", 200);
  s.nottm = env_present("NOTTM");    // skel4: no table-move ordering
  s.nott = env_present("NOTT");      // no reduced table at all
  s.pvord = env_present("PVORD");    // the last cutting or best move of the ply first
  s.delta = env_present("DELTA");    // delta pruning in the quiescence
  s.sksee = env_present("SKSEE");    // cheap exchange filter in the quiescence
  s.staged = env_present("STAGED");  // quiescence captures victim by victim
  s.recap = env_present("RECAP");    // quiescence recaptures only
  s.chkext = env_present("CHKEXT");  // one ply more for checking moves
  s.rfp = env_present("RFP");        // reverse futility pruning
  s.rfp_margin = switch_value("RFPM", 120);
  s.rfp_depth = switch_value("RFPD", 3);
  s.razor = env_present("RAZOR");    // razoring at depth 1 and 2
  s.qfut = env_present("QFUT");      // quiescence futility cut
  s.qmax = switch_value("QMAX", 0);  // quiescence ply limit, 0 none
  return s;
}

uint32_t skel_key() { return position.hash ^ (position.side == BLACK ? side_key : 0); }

SkelEntry& skel_slot() { return skel_table[skel_key() & (SKEL_TABLE_SIZE - 1)]; }

void skel_tables_clear() {
  memset(skel_table, 0, sizeof(skel_table));
  memset(skel_killers, 0, sizeof(skel_killers));
  memset(skel_history, 0, sizeof(skel_history));
  memset(skel_pv_order, 0, sizeof(skel_pv_order));
  skel_stats = SkelStats{};
  skel_root_move = 0;
}

bool skel_room_left() {
  return position.history_top < HISTORY_CAPACITY - 1 &&
         move_stack_len + NODE_STACK_ROOM <= MOVE_STACK_CAPACITY;
}

void run_skel(int depth) {
  counters_clear();
  const int score = skeleton_plain_search(depth, -NO_SCORE, NO_SCORE);
  uci_print("skel depth %d nodes %lu score %d\n", depth, static_cast<unsigned long>(skel_nodes),
            score);
  std::string line = "vstats";
  for (uint32_t count : op_counters) line += " " + std::to_string(count);
  uci_print("%s\n", line.c_str());
}

void run_skel2(int depth) {
  table_clear();
  counters_clear();
  const int score = skeleton_table_search(depth, -NO_SCORE, NO_SCORE, 0);
  uci_print("skel2 depth %d nodes %lu score %d probes %lu hits %lu cuts %lu\n", depth,
            static_cast<unsigned long>(skel_nodes), score,
            static_cast<unsigned long>(skel_stats.table_probes),
            static_cast<unsigned long>(skel_stats.table_hits),
            static_cast<unsigned long>(skel_stats.table_cuts));
}

void run_skel3(int depth, bool killers, bool table_move, bool null_move, bool reductions) {
  skel_tables_clear();
  counters_clear();
  const SkelSwitches loaded = skel_switches_from_environment();
  skel_switches.nohist = loaded.nohist;
  skel_switches.pvs = loaded.pvs;
  skel_switches.soft = loaded.soft;
  skel_config = SkelConfig{killers, table_move, null_move, reductions, !skel_switches.nohist};
  const int score = skeleton_configurable_search(depth, -NO_SCORE, NO_SCORE, 0);
  uci_print("skel3 depth %d nodes %lu score %d probes %lu cuts %lu stores %lu\n", depth,
            static_cast<unsigned long>(skel_nodes), score,
            static_cast<unsigned long>(skel_stats.table_probes),
            static_cast<unsigned long>(skel_stats.table_cuts),
            static_cast<unsigned long>(op_counters[TTSTORE]));
  std::string line = "c killers:";
  char pair[40];
  for (int ply = 0; ply < 8; ++ply) {
    const Move first = skel_killers[ply][0];
    const Move second = skel_killers[ply][1];
    snprintf(pair, sizeof(pair), " [%d]%02x%02x/%02x%02x", ply, first & 0xff, first >> 8,
             second & 0xff, second >> 8);
    line += pair;
  }
  uci_print("%s\n", line.c_str());
}

void run_skel4(int depth) {
  skel_switches = skel_switches_from_environment();
  skel_config = SkelConfig{true, !skel_switches.nottm, true, true, skel_switches.hist};
  skel_tables_clear();
  skeleton_pawn_hash_clear();
  counters_clear();
  int score = 0;
  Move root_move = 0;
  // A depth below 1 runs the quiescence of the root alone.
  if (depth < 1) score = skeleton_configurable_search(depth, -NO_SCORE, NO_SCORE, 0);
  for (int d = 1; d <= depth; ++d) {
    skel_root_move = 0;
    score = skeleton_configurable_search(d, -NO_SCORE, NO_SCORE, 0);
    root_move = root_move_after_iteration();
  }
  print_skel4(depth, root_move, score);
}

}  // namespace kelmstrad
