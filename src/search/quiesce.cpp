#include "search/quiesce.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "board/attack.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "board/position.h"
#include "clock/counters.h"
#include "clock/time_check.h"
#include "eval/evaluate.h"
#include "eval/params.h"
#include "io/options.h"
#include "io/output.h"
#include "platform/assert.h"
#include "search/alpha_beta.h"
#include "search/guards.h"
#include "search/lazy_eval.h"
#include "search/ordering.h"
#include "search/see.h"
#include "search/tt.h"

namespace kelmstrad {

// Ply of the last entry from the main search.
int qs_root_ply = 0;

// One-shot in-check status from the caller (-1 when not computed).
int qs_in_check = -1;

// Set just before a quiet check is searched; its child is an evasion node.
int qs_evasion = 0;

// Quiescence nodes by depth below qs_root_ply; cleared by "qhist".
uint32_t qs_depth_histogram[QS_HISTOGRAM_SIZE];

// Exchange-filter statistics, zeroed at every search start.
uint32_t qs_see_tested = 0;
uint32_t qs_see_pruned = 0;

namespace {

constexpr int QHIST_PRINTED = 16;
constexpr uint32_t QREPSTAT_MASK = QS_REPSTAT_ENTRIES - 1;

// Repetition statistics (QREPSTAT): keys seen in this search and two
// process-long counts.
uint32_t repstat_keys[QS_REPSTAT_ENTRIES];
uint32_t repstat_last_node_count = 0;
long repstat_nodes = 0;
long repstat_repeats = 0;

// Per-node facts the steps of one quiescence node share.
struct QNode {
  int alpha;  // the alpha the node was called with
  int beta;
  int ply;
  int check_cell;    // in-check status taken from qs_in_check (-1 unknown)
  bool check_known;  // in_check_hint has been worked out for this node
  int stand_pat;
  int alpha_raised;  // alpha' = max(alpha, stand pat, best so far)
  int result;
  uint16_t stack_base;
};

// Counts a quiescence key in the repetition statistics and prints the
// running totals to standard error every 65536 nodes.
void record_repetition() {
  const uint32_t k = tt_key();
  if (node_count < repstat_last_node_count) memset(repstat_keys, 0, sizeof(repstat_keys));
  repstat_last_node_count = node_count;
  ++repstat_nodes;
  uint32_t& entry = repstat_keys[k & QREPSTAT_MASK];
  if (entry == k) {
    ++repstat_repeats;
  } else {
    entry = k;
  }
  if ((repstat_nodes & 0xffff) == 0)
    fprintf(stderr, "qs nodes %ld repeats %ld (%.1f%%)\n", repstat_nodes, repstat_repeats,
            100.0 * repstat_repeats / repstat_nodes);
}

// Sets in_check_hint to the node's in-check status, working it out once
// (one charged attack test in the "qs-flag" context) when nobody passed it.
void set_check_hint(QNode& node) {
  if (!node.check_known) {
    if (node.check_cell == -1) {
      const Side them = opponent(position.side);
      attack_context = CONTEXT_QS_FLAG;
      count_attack_test(them);
      node.check_cell = king_attacked_at_ply(node.ply);
    }
    node.check_known = true;
  }
  in_check_hint = static_cast<uint32_t>(node.check_cell);
}

// Makes the move under the hint set_check_hint left: out of check, the
// king-safe make gives the same answer and charges with a shorter test.
bool make_hinted(Move m) { return in_check_hint != 0 ? make_move(m) : make_move_king_safe(m); }

// The evasion node: every legal reply to a quiet check, best first by
// capture score; mated when there is none. No stand pat, no pruning.
int search_evasions(QNode& node) {
  generate_moves(true);
  generate_moves(false);
  score_captures(node.stack_base, move_stack_len);
  uint16_t cursor = node.stack_base;
  const uint16_t end = move_stack_len;
  int alpha = node.alpha;
  int best = -NO_SCORE;
  bool searched = false;
  while (const Move m = pick_next(cursor, end)) {
    in_check_hint = 1;
    if (!make_move(m)) continue;
    ++op_counters[LEGAL];
    const int v = -quiesce(-node.beta, -alpha, node.ply + 1);
    unmake_move();
    if (search_aborted()) break;
    searched = true;
    if (v > best) best = v;
    if (v > alpha) alpha = v;
    if (v >= node.beta) break;
  }
  move_stack_len = node.stack_base;
  return searched ? best : mated_in(node.ply);
}

// The stand-pat score; with LAZYQ a clear case is decided by the lazy
// evaluation. Sets *cut when the lazy score already reaches beta.
int stand_pat_score(const QNode& node, bool* cut) {
  const int margin = search_switches.lazyq;
  *cut = false;
  if (margin == 0 || skeleton_mode) return evaluate();
  int score;
  const LazyVerdict verdict = lazy_eval(margin, node.alpha, node.beta, &score);
  if (verdict == LazyVerdict::UNDECIDED) return evaluate();
  *cut = verdict == LazyVerdict::FAILS_HIGH;
  return score;
}

// QSTAT: stand pat plus ten times the best non-negative exchange among the
// captures within reach of alpha'.
int static_resolution(const QNode& node) {
  generate_moves(true);
  int h = 0;
  for (uint16_t i = node.stack_base; i < move_stack_len; ++i) {
    const Move m = move_stack[i];
    const int victim = piece_kind(position.board[move_to(m)]);
    if (node.stand_pat + eval_params.matmg[victim] + QS_STATIC_MARGIN < node.alpha_raised) continue;
    if (victim == 0) continue;  // h = max(h, 0) changes nothing
    if (SEE_TO_CENTIPAWNS * SEE_VALUE[victim] > h) {
      const int gain = SEE_TO_CENTIPAWNS * see_full(m);
      if (gain > h) h = gain;
    }
  }
  move_stack_len = node.stack_base;
  return node.stand_pat + h;
}

// True when an opponent pawn guards the square.
bool pawn_guards(Square to, Side them) {
  const Piece pawn = static_cast<Piece>(them | PAWN);
  const int below = them == WHITE ? -1 : 1;  // opponent pawns attack from behind the square
  const int a = to + below * 15;
  const int b = to + below * 17;
  return (on_board(a) && position.board[a] == pawn) || (on_board(b) && position.board[b] == pawn);
}

// The exchange filter of the "CheapSEE" mode in force: true drops the capture.
bool exchange_filter_drops(Move m) {
  const Square from = move_from(m);
  const Square to = move_to(m);
  const Piece mover = position.board[from];
  const int a = SEE_VALUE[piece_kind(mover)];
  const int w = SEE_VALUE[piece_kind(position.board[to])];
  const Side them = opponent(position.side);
  const int mode = cheap_see_mode();
  if (mode == CHEAPSEE_SIGN) return see_sign_cheap(m) == 0;
  if (w >= a) return false;
  if (mode == CHEAPSEE_FULL) return see_full(m) < 0;
  if (mode == CHEAPSEE_LEAST_ATTACKER) {
    position.board[from] = 0;
    const Square r = least_valuable_attacker(to, them);
    position.board[from] = mover;
    return r != NO_SQUARE && SEE_VALUE[piece_kind(position.board[r])] < a;
  }
  return pawn_guards(to, them);
}

// Delta pruning and the exchange filter for a capture of a piece: true skips it.
bool capture_pruned(const QNode& node, Move m) {
  const int victim = piece_kind(position.board[move_to(m)]);
  if (skeleton_mode || victim == 0) return false;
  if (node.stand_pat + eval_params.matmg[victim] + search_switches.qdelta < node.alpha_raised)
    return true;
  if (!see_enabled) return false;
  ++qs_see_tested;
  if (!exchange_filter_drops(m)) return false;
  ++qs_see_pruned;
  return true;
}

// Takes a child's score into the node; true when it fails high.
bool take_score(QNode& node, int v) {
  if (v <= node.result) return false;
  node.result = v;
  if (v <= node.alpha_raised) return false;
  node.alpha_raised = v;
  return v >= node.beta;
}

// The capture loop, best capture first; only recaptures when asked.
void search_captures(QNode& node, bool recaptures_only) {
  generate_moves(true);
  score_captures(node.stack_base, move_stack_len);
  uint16_t cursor = node.stack_base;
  const uint16_t end = move_stack_len;
  while (const Move m = pick_next(cursor, end)) {
    if (recaptures_only && move_to(m) != position.recapture_square) continue;
    if (capture_pruned(node, m)) continue;
    set_check_hint(node);
    if (search_switches.ctrace) uci_print("M %02x%02x\n", move_from(m), move_to(m));
    if (!make_hinted(m)) continue;
    ++op_counters[LEGAL];
    const int v = -quiesce(-node.beta, -node.alpha_raised, node.ply + 1);
    unmake_move();
    if (search_aborted()) return;
    if (take_score(node, v)) return;
  }
}

// QCHK: quiet moves that give check, each answered by an evasion node.
void search_quiet_checks(QNode& node) {
  move_stack_len = node.stack_base;
  generate_moves(false);
  const uint16_t end = move_stack_len;
  for (uint16_t i = node.stack_base; i < end; ++i) {
    const Move m = move_stack[i];
    ++side_counters[GCP_COUNT];
    if (!gives_check(m)) continue;
    set_check_hint(node);
    if (!make_hinted(m)) continue;
    const Side mover = opponent(position.side);
    attack_context = CONTEXT_QS_FLAG;
    count_attack_test(mover);
    if (!king_attacked_at_ply(node.ply + 1)) {
      unmake_move();
      continue;
    }
    qs_evasion = 1;
    ++op_counters[LEGAL];
    const int v = -quiesce(-node.beta, -node.alpha_raised, node.ply + 1);
    unmake_move();
    if (search_aborted()) return;
    if (take_score(node, v)) return;
  }
}

// Steps 1 and 2 of a node: trace, one-shot cells, charges, time check, histogram.
QNode enter_node(int alpha, int beta, int ply, bool* evasion) {
  if (search_switches.ctrace) uci_print("Q %d %d %d\n", ply, alpha, beta);
  QNode node{.alpha = alpha,
             .beta = beta,
             .ply = ply,
             .check_cell = qs_in_check,
             .check_known = false,
             .stand_pat = 0,
             .alpha_raised = alpha,
             .result = 0,
             .stack_base = move_stack_len};
  qs_in_check = -1;
  ++node_count;
  ++op_counters[QS];
  *evasion = qs_evasion != 0;
  qs_evasion = 0;
  time_check();
  int d = ply - qs_root_ply;
  d = d < 0 ? 0 : (d > QS_HISTOGRAM_SIZE - 1 ? QS_HISTOGRAM_SIZE - 1 : d);
  ++qs_depth_histogram[d];
  return node;
}

}  // namespace

// Inside the depth guards shared by both searches.
bool within_depth_guards(int ply) {
  return ply < ply_limit && move_stack_len <= stack_move_limit &&
         GUARD_UNITS_PER_PLY * ply + GUARD_UNITS_PER_MOVE * move_stack_len <= stack_budget;
}

// The quiescence value of the position; position and move stack unchanged.
int quiesce(int alpha, int beta, int ply) {
  ASSERT(alpha < beta);
  ASSERT(ply >= 0 && ply < KILLER_PLIES);
  ensure_search_switches();
  const SearchSwitches& sw = search_switches;
  // Step 1-2. Trace, cells, charges, time check, histogram.
  bool evasion = false;
  QNode node = enter_node(alpha, beta, ply, &evasion);
  // Step 3. Repetition statistics.
  if (sw.qrepstat) record_repetition();
  // Step 4-5. Abort and depth guards.
  if (search_aborted()) return 0;
  if (!within_depth_guards(ply)) return evaluate();
  // Step 7. Table probe.
  int stored = 0;
  if (sw.qtt && !evasion && !skeleton_mode && tt_probe_quiesce(alpha, beta, &stored)) return stored;
  // Step 8. Evasion node.
  if (evasion) return search_evasions(node);
  // Step 9. Stand pat.
  bool lazy_cut = false;
  const int s = stand_pat_score(node, &lazy_cut);
  if (lazy_cut) return s;
  if (sw.ctrace) uci_print("E %d\n", s);
  if (s >= beta) return s;
  node.stand_pat = s;
  node.alpha_raised = alpha > s ? alpha : s;
  node.result = s;
  // Step 10. Static resolution.
  const int depth = ply - qs_root_ply;
  if (sw.qstat > 0 && !skeleton_mode && depth >= sw.qstat - 1) return static_resolution(node);
  // Step 11. Depth limits.
  if (depth >= sw.qmax && !skeleton_mode) return s;
  const bool recaptures_only = depth < sw.qmax && depth >= sw.qrec && !skeleton_mode;
  // Step 12. Captures.
  search_captures(node, recaptures_only);
  // Step 13. Quiet checks at the first quiescence ply.
  if (sw.qchk != 0 && node.result < beta && ply == qs_root_ply && !search_aborted() &&
      !skeleton_mode)
    search_quiet_checks(node);
  // Step 14. Restore and store.
  move_stack_len = node.stack_base;
  if (sw.qtt && !search_aborted()) tt_store_quiesce(node.result, alpha, beta);
  return node.result;
}

// "qhist": the first 16 counters, then all 32 cleared.
void print_qhist() {
  uci_print("qhist");
  for (int i = 0; i < QHIST_PRINTED; ++i)
    uci_print(" %lu", static_cast<unsigned long>(qs_depth_histogram[i]));
  uci_print("\n");
  memset(qs_depth_histogram, 0, sizeof(qs_depth_histogram));
}

}  // namespace kelmstrad
