#include "search/alpha_beta.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "board/attack.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "board/position.h"
#include "clock/counters.h"
#include "clock/time_check.h"
#include "eval/evaluate.h"
#include "io/options.h"
#include "io/output.h"
#include "platform/assert.h"
#include "search/lazy_eval.h"
#include "search/ordering.h"
#include "search/quiesce.h"
#include "search/see.h"
#include "search/tt.h"

namespace kelmstrad {

// The root move that last raised alpha; the think thread clears it per call.
Move root_best_move = 0;
int root_best_score = 0;
bool root_best_lower = false;

// One-shot in-check status a parent passes to its next child (-1 unknown).
int child_in_check = -1;

// Learned evaluation corrections per side to move, 8 x centipawns.
int16_t correction_table[2][CORRECTION_ENTRIES];

namespace {

// What the node flow hands to the move loop.
struct Node {
  int depth;  // remaining depth after extensions and reductions
  int alpha;  // the alpha the node was called with
  int beta;
  int ply;
  bool pv;  // wide window
  bool in_check;
  Move hash_move;
  int eval;             // static evaluation, corrected (0 when not computed)
  int raw_eval;         // the same before correction
  bool corrected;       // the correction was applied (and may be learned)
  int16_t* correction;  // the correction entry used
  bool futile;          // futility flag F
  int threat;           // null-move threat flag N: 0, 1, or 2 (mate threat)
  uint16_t stack_base;  // move_stack_len at entry
};

// The move loop's running state.
struct Loop {
  int alpha;  // alpha'
  int best;
  Move best_move;
  bool best_tactical;
  int quiets;  // i: quiet moves considered
  int legal;   // j: legal moves searched
};

// True once the time check has asked the search to unwind.

// The square of the side to move's king.
Square own_king_square() { return king_square(position.side); }

// A position repeated within the reversible history.
bool repetition() {
  const int h = position.history_top;
  int lo = h - position.halfmove_clock;
  if (lo < 0) lo = 0;
  for (int i = h - 2; i >= lo; i -= 2)
    if (position.history[i].hash == position.hash) return true;
  return false;
}

// Whether the side to move at `ply` is in check; one charged attack test.
bool side_in_check(int ply) {
  const Side them = opponent(position.side);
  attack_context = CONTEXT_NODE_IN_CHECK;
  count_attack_test(them);
  return king_attacked_at_ply(ply);
}

// Whether the side to move, in check, has a legal move: generation and makes
// charged as usual, stopping at the first legal one.
bool has_legal_move_in_check() {
  const uint16_t start = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  bool found = false;
  for (int i = start; i < move_stack_len && !found; ++i) {
    in_check_hint = 1;
    if (make_move(move_stack[i])) {
      unmake_move();
      found = true;
    }
  }
  move_stack_len = start;
  return found;
}

// Fifty-move rule: a draw unless the move that completed the hundred
// half-moves gave mate, which stands (the side to move is in check with no
// legal move). Sets *score when the rule ends the node; `cell` is the known
// in-check status (-1 unknown).
bool fifty_move_ends_node(int cell, int ply, int* score) {
  if (position.halfmove_clock <= 99) return false;
  const bool in_check = cell == -1 ? side_in_check(ply) : cell != 0;
  *score = in_check && !has_legal_move_in_check() ? ply - MATE_SCORE : 0;
  return true;
}

// True when the side to move has a piece other than king and pawns.
bool has_non_pawn_piece() {
  const int base = side_slot_base(position.side);
  for (int slot = base + 1; slot < base + 16; ++slot) {
    const Square sq = position.slot_square[slot];
    if (sq != NO_SQUARE && piece_kind(position.board[sq]) != PAWN) return true;
  }
  return false;
}

// Step 12.1: the static evaluation, lazily in clear cases, else evaluate()
// plus the learned correction.
void static_evaluation(Node& n) {
  const SearchSwitches& sw = search_switches;
  if (sw.lazys && sw.lazyq != 0 &&
      lazy_eval(sw.lazyq, n.alpha, n.beta, &n.eval) != LazyVerdict::UNDECIDED)
    return;
  n.eval = evaluate();
  if (!sw.corr) return;
  n.raw_eval = n.eval;
  ++side_counters[CORR_COUNT];
  const int side_index = position.side == BLACK ? 1 : 0;
  n.correction = &correction_table[side_index][position.pawn_king_key & (sw.corrn - 1)];
  // Held like the evaluation itself: a learned correction of up to 4095 on an
  // evaluation near its limit must not read as a mate or pass a bound.
  n.eval = hold_eval_score(static_cast<int64_t>(n.eval) + *n.correction / CORRECTION_SCALE);
  n.corrected = true;
}

// Step 12.2: reverse futility; true with *score when the node is cut.
bool reverse_futility_cut(const Node& n, int* score) {
  const SearchSwitches& sw = search_switches;
  if (sw.rfp == 0 || n.depth > sw.rfpd) return false;
  const int r = n.eval - n.depth * sw.rfp;
  if ((r < MATE_BOUND ? r : MATE_BOUND) < n.beta) return false;
  // Only a negative margin lifts r above the evaluation: held below the mate
  // scores so that it cannot pass for a mate or wrap a table entry.
  *score = r < MATE_BOUND ? r : MATE_BOUND;
  return true;
}

// Step 12.3: the null move; true with *score when it ends the node (a fail
// high, or an abort). A failed null move may mark a threat and extend.
bool null_move_cut(Node& n, int* score) {
  const SearchSwitches& sw = search_switches;
  if (n.eval < n.beta || !has_non_pawn_piece()) return false;
  make_null_move();
  ++op_counters[NULL_MOVE];
  child_in_check = 0;
  const int r = NULL_MOVE_REDUCTION + (sw.nmrd != 0 && n.depth >= sw.nmrd ? 1 : 0);
  const int v = -alpha_beta(n.depth - r, -n.beta, -n.beta + 1, n.ply + 1, 0);
  unmake_null_move();
  if (search_aborted()) {
    *score = 0;
    return true;
  }
  if (v >= n.beta) {
    *score = v >= NULL_MATE_SCORE ? n.beta : v;
    return true;
  }
  if (sw.nthr != 0) {
    if (n.beta - sw.nthrm >= v) n.threat = 1;
    if ((sw.nthr & NTHR_MATE_EXTENSION) && v < -MATE_BOUND) {
      n.threat = 2;
      n.depth += 1;
    }
  }
  return false;
}

// Step 12.4: the futility flag of a node at depth 1 or 2.
bool futility_flag(const Node& n) {
  const SearchSwitches& sw = search_switches;
  if (n.depth == 1) return n.eval + FUTILITY_MARGIN_DEPTH1 < n.alpha && !sw.nofut;
  if (n.depth == 2 && sw.fut2 != 0) {
    const int bound = n.eval + sw.fut2 > -MATE_BOUND ? n.eval + sw.fut2 : -MATE_BOUND;
    return n.alpha >= bound;
  }
  return false;
}

// Step 12: the pruning block of a null-window node not in check; true with
// *score when the node ends here.
bool pruning_block(Node& n, int null_allowed, int* score) {
  if (n.pv || n.in_check || skeleton_mode) return false;
  static_evaluation(n);
  if (reverse_futility_cut(n, score)) return true;
  if (n.depth >= NULL_MOVE_MIN_DEPTH && null_allowed) return null_move_cut(n, score);
  n.futile = futility_flag(n);
  return false;
}

// The late-move count L for a depth (0 outside depths 1..3).
int late_move_count(int depth) {
  return depth >= 1 && depth <= LMP_MAX_DEPTH ? search_switches.lmp[depth - 1] : 0;
}

// Whether the i-th quiet move is past the node's late-move count.
bool past_late_move_count(const Node& n, int quiets) {
  const int count = late_move_count(n.depth);
  return count != 0 && count < quiets;
}

// Move-loop step 2: the threat mark W of a quiet move, tested only where a
// pruning or reduction decision may depend on it.
int threat_mark(const Node& n, const Loop& l, Move m) {
  const int thrx = search_switches.thrx;
  if (thrx == 0 || n.in_check || skeleton_mode || l.legal < 1) return 0;
  const bool under_futility = n.futile && (thrx & THRX_UNDER_FUTILITY);
  const bool under_lmp = n.depth <= LMP_MAX_DEPTH && past_late_move_count(n, l.quiets) && !n.pv &&
                         (thrx & THRX_UNDER_LMP);
  const bool late =
      n.depth >= LMR_MIN_DEPTH && l.legal > THREAT_LATE_MIN_MOVES && (thrx & THRX_LATE_MOVES);
  if (!under_futility && !under_lmp && !late) return 0;
  return creates_threat(m);
}

// Move-loop step 3: futility pruning of a quiet move (nothing charged).
bool futility_prunes(const Node& n, const Loop& l, Move m, int threat) {
  return n.futile && threat == 0 && l.legal >= 1 && !gives_check(m);
}

// Move-loop step 4: late-move pruning of a quiet move; one LMP per prune.
bool late_move_prunes(const Node& n, const Loop& l, Move m, int threat) {
  if (n.depth > LMP_MAX_DEPTH || !past_late_move_count(n, l.quiets)) return false;
  if (n.pv || l.legal < 1 || n.in_check || skeleton_mode) return false;
  if (n.threat != 0 && (search_switches.nthr & NTHR_NO_LMP)) return false;
  if (l.alpha < -MATE_BOUND || threat != 0) return false;
  if (gives_check(m)) return false;
  ++op_counters[LMP];
  return true;
}

// Charges a move pruned by exchange or history as one LMP.
void charge_prune() { ++op_counters[LMP]; }

// Move-loop step 5 for a capture: SEEC prunes losing captures.
bool capture_exchange_prunes(const Node& n, Move m) {
  const Square to = move_to(m);
  if (position.board[to] == 0 || search_switches.seec == 0) return false;
  const bool pawn = piece_kind(position.board[move_from(m)]) == PAWN;
  if (pawn && (square_rank(to) == 0 || square_rank(to) == 7)) return false;
  if (see_full(m) >= -search_switches.seec * n.depth) return false;
  charge_prune();
  return true;
}

// Move-loop step 5 for a quiet move: HISTP and SEEQ prune it unless it
// threatens or may give check; a fresh threat test may set *threat.
bool quiet_exchange_prunes(const Node& n, const Loop& l, Move m, int* threat) {
  const SearchSwitches& sw = search_switches;
  const bool history_test = sw.histp != 0 && n.depth <= HISTORY_PRUNE_MAX_DEPTH && l.quiets > 1;
  if (sw.seeq == 0 && !history_test) return false;
  if (*threat != 0) return false;
  if (sw.thrx != 0) {
    *threat = creates_threat(m);
    if (*threat == 1) return false;
  }
  if (gives_check(m)) return false;
  const Square from = move_from(m);
  const Square to = move_to(m);
  const bool pruned =
      (history_test && history_scores[position.board[from]][square64(to)] < sw.histp) ||
      (sw.seeq != 0 && see_full(m) < -sw.seeq * n.depth);
  if (pruned) charge_prune();
  return pruned;
}

// Move-loop step 5: exchange and history pruning.
bool exchange_history_prunes(const Node& n, const Loop& l, Move m, bool tactical, int* threat) {
  const SearchSwitches& sw = search_switches;
  if (sw.seeq == 0 && sw.seec == 0 && sw.histp == 0) return false;
  if (n.pv || n.depth > LMP_MAX_DEPTH || n.in_check || skeleton_mode) return false;
  if (l.legal < 1 || l.alpha < -MATE_BOUND) return false;
  if (tactical) return capture_exchange_prunes(n, m);
  return quiet_exchange_prunes(n, l, m, threat);
}

// Move-loop step 7: the child's in-check cell, tested here only for late
// quiet moves of deep nodes (one charged test in the "gives-check" context).
int child_check_cell(const Node& n, const Loop& l, bool tactical) {
  if (n.depth < LMR_MIN_DEPTH || l.legal < LMR_MIN_MOVE || n.in_check || tactical) return -1;
  const Side mover = opponent(position.side);
  attack_context = CONTEXT_GIVES_CHECK;
  count_attack_test(mover);
  return king_attacked_at_ply(n.ply + 1) ? 1 : 0;
}

// Whether a late move may be reduced.
bool reducible(const Node& n, const Loop& l, bool tactical, int threat, int cell) {
  const SearchSwitches& sw = search_switches;
  if (n.depth < LMR_MIN_DEPTH || l.legal < LMR_MIN_MOVE) return false;
  if (sw.nolmr || n.in_check || tactical || cell == 1 || threat == 1) return false;
  return !(n.threat != 0 && (sw.nthr & NTHR_NO_REDUCTION));
}

// The negated child score of the move just made, with the child's in-check cell.
int child_score(int depth, int alpha, int beta, int ply, int cell) {
  child_in_check = cell;
  return -alpha_beta(depth, -beta, -alpha, ply + 1, 1);
}

// Move-loop step 8: principal-variation search with late-move reductions
// and re-searches. Stops re-searching once the search is aborted.
int search_move(const Node& n, const Loop& l, bool tactical, int threat, int cell) {
  const int d = n.depth - 1;
  if (l.legal == 1 || skeleton_mode) return child_score(d, l.alpha, n.beta, n.ply, cell);
  const int r =
      reducible(n, l, tactical, threat, cell) ? late_move_reduction(n.depth, l.legal, n.pv) : 0;
  int score = search_switches.nopvs ? child_score(d - r, l.alpha, n.beta, n.ply, cell)
                                    : child_score(d - r, l.alpha, l.alpha + 1, n.ply, cell);
  if (search_aborted()) return score;
  if (r > 0 && score > l.alpha) {
    score = child_score(d, l.alpha, l.alpha + 1, n.ply, cell);
    if (search_aborted()) return score;
  }
  if (score > l.alpha && score < n.beta) score = child_score(d, l.alpha, n.beta, n.ply, cell);
  return score;
}

// End of node, step 3: learns the correction from the node's result.
void learn_correction(const Node& n, const Loop& l) {
  if (!n.corrected || l.best > MATE_BOUND || l.best < -MATE_BOUND) return;
  if (l.best_move != 0 && l.best_tactical) return;
  if (l.best >= n.beta && n.eval >= l.best) return;
  if (!(l.best > n.alpha || l.best < n.eval)) return;
  *n.correction =
      static_cast<int16_t>(learned_correction(*n.correction, l.best, n.raw_eval, n.depth));
}

// Move-loop step 10: takes a searched move's score; true on a cut-off.
bool take_move_score(const Node& n, Loop& l, Move m, bool tactical, int score) {
  if (score <= l.best) return false;
  l.best = score;
  l.best_move = m;
  l.best_tactical = tactical;
  if (score <= l.alpha) return false;
  if (n.ply == 0) {
    root_best_move = m;
    root_best_score = score;
    root_best_lower = score >= n.beta;
  }
  if (score >= n.beta) {
    if (!tactical && !skeleton_mode) note_cutoff(m, n.ply, n.depth);
    return true;
  }
  l.alpha = score;
  return false;
}

// The move loop and the end of the node.
int move_loop(const Node& n) {
  Loop l{.alpha = n.alpha,
         .best = -NO_SCORE,
         .best_move = 0,
         .best_tactical = false,
         .quiets = 0,
         .legal = 0};
  MovePicker picker;
  picker_init(picker, n.hash_move, n.ply);
  while (const Move m = picker_next(picker)) {
    // Step 1-5. Threat mark and pruning.
    const bool tactical = move_is_tactical(m);
    int threat = 0;
    if (!tactical) {
      ++l.quiets;
      threat = threat_mark(n, l, m);
      if (futility_prunes(n, l, m, threat)) continue;
      if (late_move_prunes(n, l, m, threat)) continue;
    }
    if (exchange_history_prunes(n, l, m, tactical, &threat)) continue;
    // Step 6. Make.
    if (search_switches.ctrace) uci_print("M %02x%02x\n", move_from(m), move_to(m));
    in_check_hint = n.in_check ? 1 : 0;
    // Out of check, only an uncovered slider can make a non-king move illegal.
    if (!(n.in_check ? make_move(m) : make_move_king_safe(m))) continue;
    ++l.legal;
    ++op_counters[LEGAL];
    // Step 7-9. Child in-check cell, search, unmake.
    const int cell = child_check_cell(n, l, tactical);
    const int score = search_move(n, l, tactical, threat, cell);
    unmake_move();
    if (search_aborted()) {
      move_stack_len = n.stack_base;
      return 0;
    }
    // Step 10. Best move and cut-off.
    if (take_move_score(n, l, m, tactical, score)) break;
  }
  // End of node.
  move_stack_len = n.stack_base;
  if (l.legal == 0) return n.in_check ? mated_in(n.ply) : 0;
  learn_correction(n, l);
  if (skeleton_mode || lean_mode || no_tt) return l.best;
  tt_store_main(n.depth, l.best, tt_bound_for(l.best, n.alpha, n.beta), l.best_move, n.ply);
  return l.best;
}

}  // namespace

// From ply 2 on, the side to move's own move two plies back (legal) or its
// null move (made out of check) left its king unattacked, so only the squares
// the last move changed can matter. A search entered at a deeper ply without
// those moves behind it (as tests do) takes the full test.
bool king_attacked_at_ply(int ply) {
  if (ply >= 2 && position.history_top >= 2 && position.history[position.history_top - 1].move != 0)
    return king_attacked_after_move();
  return square_attacked(own_king_square(), opponent(position.side));
}

// One node of the main search; see the header for the steps.
int alpha_beta(int depth, int alpha, int beta, int ply, int null_allowed) {
  ASSERT(alpha < beta);
  ASSERT(ply >= 0 && ply < KILLER_PLIES);
  // Step 1. Switches (the loader of step 10 runs here, once) and trace.
  ensure_search_switches();
  const SearchSwitches& sw = search_switches;
  if (sw.ctrace) uci_print("A %d %d %d %d\n", ply, depth, alpha, beta);
  // Step 2. Stack mark and the in-check cell.
  Node n{};
  n.stack_base = move_stack_len;
  const int cell = child_in_check;
  child_in_check = -1;
  // Step 3. Draws by rule, away from the root (a mate on the hundredth
  // half-move is scored as a mate).
  if (ply > 0) {
    int rule_score = 0;
    if (fifty_move_ends_node(cell, ply, &rule_score)) return rule_score;
    if (repetition()) return 0;
  }
  // Step 4. In-check status.
  n.in_check = cell == -1 ? side_in_check(ply) : cell != 0;
  // Step 5. Check extension.
  if (n.in_check && !skeleton_mode && !sw.noext) depth += 1;
  // Step 6. Horizon.
  if (depth < 1) {
    qs_in_check = n.in_check ? 1 : 0;
    qs_root_ply = ply;
    return quiesce(alpha, beta, ply);
  }
  // Step 7. Node charges and the time check.
  ++node_count;
  ++op_counters[AB];
  time_check();
  if (search_aborted()) return 0;
  // Step 8. Depth guards.
  if (!within_depth_guards(ply)) return evaluate();
  // Step 9. Table probe.
  int score = 0;
  if (tt_probe_main(depth, alpha, beta, ply, &n.hash_move, &score)) return score;
  // Step 11. Internal iterative reduction.
  if (sw.iir != 0 && depth >= sw.iir && n.hash_move == 0 && !skeleton_mode) depth -= 1;
  n.depth = depth;
  n.alpha = alpha;
  n.beta = beta;
  n.ply = ply;
  n.pv = beta - alpha > 1;
  // Step 12. Pruning block.
  if (pruning_block(n, null_allowed, &score)) return score;
  // Step 13. Move loop and node result.
  return move_loop(n);
}

// The reduction of the j-th legal move: steps of 1, 2 (and 3 with LMR3),
// or the LMRLOG table held within 1..depth-2.
int late_move_reduction(int depth, int j, bool pv) {
  const SearchSwitches& sw = search_switches;
  if (sw.lmrlog != 0) {
    const int row = depth < LMR_TABLE_DEPTHS ? depth : LMR_TABLE_DEPTHS - 1;
    const int column = j < LMR_TABLE_MOVES ? j : LMR_TABLE_MOVES - 1;
    int r = lmr_table[row][column] - (pv ? 1 : 0);
    if (r >= depth - 1) r = depth - 2;
    if (r < 1) r = 1;
    return r;
  }
  int r = j <= LMR_SECOND_STEP ? 1 : 2;
  if (j > LMR_THIRD_STEP && sw.lmr3 != 0 && depth >= sw.lmr3) r += 1;
  return r;
}

// The entry moved toward (best - raw) x 8 by min(CORRW, 2 x depth) 64ths,
// held within 8 x CORRMAX either way.
int learned_correction(int old_entry, int best, int raw, int depth) {
  const SearchSwitches& sw = search_switches;
  const int64_t o = old_entry;
  const int64_t target = static_cast<int64_t>(best - raw) * CORRECTION_SCALE;
  const int64_t w = sw.corrw < 2 * depth ? sw.corrw : 2 * depth;
  int64_t v = o + (target - o) * w / CORRECTION_WEIGHT_UNIT;
  const int64_t limit = static_cast<int64_t>(CORRECTION_SCALE) * sw.corrmax;
  if (v > limit) v = limit;
  if (v < -limit) v = -limit;
  return static_cast<int>(v);
}

// Zeroes the learned corrections of both sides.
void clear_correction_table() { memset(correction_table, 0, sizeof(correction_table)); }

// The per-search resets, shared by the think thread and the fixed-depth search
// so that both start from the same state and charge alike.
void begin_search() {
  search_root_top = position.history_top;
  move_stack_len = 0;
  node_count = 0;
  clear_search_counters();
  qs_see_tested = 0;
  qs_see_pruned = 0;
  abort_search.store(0, std::memory_order_relaxed);
  ordering_new_search();
}

// Iterative deepening to a fixed depth with the full window, after the
// per-search resets; the root move of the deepest iteration that set one.
FixedDepthResult search_fixed_depth(int depth) {
  begin_search();
  child_in_check = -1;
  FixedDepthResult result{0, 0};
  for (int n = 1; n <= depth; ++n) {
    root_best_move = 0;
    const int score = alpha_beta(n, -NO_SCORE, NO_SCORE, 0, 0);
    if (root_best_move != 0) result.move = root_best_move;
    if (search_aborted()) break;
    result.score = score;
  }
  return result;
}

}  // namespace kelmstrad
