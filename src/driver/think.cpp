#include "driver/think.h"

#include <algorithm>
#include <cstring>

#include "board/attack.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "clock/counters.h"
#include "clock/time_check.h"
#include "driver/book.h"
#include "driver/limits.h"
#include "eval/evaluate.h"
#include "eval/root_terms.h"
#include "io/env.h"
#include "io/options.h"
#include "io/output.h"
#include "platform/platform.h"
#include "search/alpha_beta.h"
#include "search/ordering.h"
#include "search/quiesce.h"
#include "search/score.h"
#include "search/tt.h"

namespace kelmstrad {

std::atomic<int> searching{0};
std::atomic<int> infinite{0};

ThreadHandle search_thread{0, false};

int32_t completed_depth = 0;
Move previous_iteration_best = 0;

namespace {

// Names of the statistics groups and their first and last cost key.
struct CostGroup {
  const char* name;
  CostKey first;
  CostKey last;
};
constexpr CostGroup COST_GROUPS[] = {
    {"movegen", GENT, GENQ_MV},        {"attacked", ATT, ATT},
    {"make/unmake", MAKE, UNMAKE_CAP}, {"eval", EVAL, EVAL},
    {"pick", PICK, PICKSCAN},          {"nodes", AB, LEGAL},
    {"tt", TTPROBE, TTSTORE},          {"null", NULL_MOVE, NULL_MOVE},
    {"killer/hist", CUTUPD, CUTUPD},   {"att-pieces", ATT_PC, ATT_PC},
    {"eval-extra", EVALX, EVALX},      {"king-safety", KS, KS},
};

// King squares and asymmetry byte at the last clearing of the table (KEEPTT).
int last_cleared_white_king = -1;
int last_cleared_black_king = -1;
int last_cleared_asymmetry = -1;

}  // namespace

// Step 2: the root bonuses, the scores rebuilt with them, and the KEEPTT rule.
// Changes root_terms, mg_score, eg_score and may clear the table.
void prepare_root() {
  static const int keep_tt = env_int("KEEPTT", 0);
  if (!set_root_terms()) return;
  rebuild_from_board();
  const int white_king = king_square(WHITE);
  const int black_king = king_square(BLACK);
  const int asymmetry = root_terms_depend_on_side() ? position.side : 0;
  if (keep_tt == 0 || white_king != last_cleared_white_king ||
      black_king != last_cleared_black_king || asymmetry != last_cleared_asymmetry)
    tt_clear();
  last_cleared_white_king = white_king;
  last_cleared_black_king = black_king;
  last_cleared_asymmetry = asymmetry;
}

namespace {

// Step 4: per-search resets.
void reset_search_state() {
  completed_depth = 0;
  begin_search();
  search_start_clock_ms = process_clock_ms();
}

// The stored move of the current position if the table entry belongs to it.
Move table_move() {
  const TTEntry& entry = tt_slot(false);
  return entry.check == tt_check_value() ? entry.move : 0;
}

// The counters (and the in-check hint make_move reads) that output-only probes of the position
// would charge: taken aside and put back, so that what is printed costs the search nothing.
struct CounterSnapshot {
  uint32_t counters[COST_KEY_COUNT];
  uint32_t slcalls;
  uint32_t context;
  uint32_t hint;
  uint32_t buckets[ATTACK_CONTEXTS];
  CounterSnapshot() {
    memcpy(counters, op_counters, sizeof(counters));
    memcpy(buckets, attack_bucket, sizeof(buckets));
    slcalls = slcalls_count;
    context = attack_context;
    hint = in_check_hint;
  }
  ~CounterSnapshot() {
    memcpy(op_counters, counters, sizeof(counters));
    memcpy(attack_bucket, buckets, sizeof(buckets));
    slcalls_count = slcalls;
    attack_context = context;
    in_check_hint = hint;
  }
  CounterSnapshot(const CounterSnapshot&) = delete;
  CounterSnapshot& operator=(const CounterSnapshot&) = delete;
};

// Sets in_check_hint for the side to move, charged as a node in-check test.
void note_in_check() {
  attack_context = 0;
  count_attack_test(opponent(position.side));
  in_check_hint = in_check(position.side);
}

// The first generated move that is legal, or 0.
Move first_legal_move() {
  return first_generated([](Move m) {
    note_in_check();
    if (!make_move(m)) return false;
    unmake_move();
    return true;
  });
}

// A position's key for the repetition rule, given its key and en-passant
// square and that it has the current position's pieces and side to move
// (otherwise the keys differ anyway). The key includes the en-passant square
// after every two-square pawn move, but the rule counts it only where a pawn
// of the side to move can take there.
uint32_t repetition_key(uint32_t hash, Square ep) {
  if (ep == NO_EP_SQUARE) return hash;
  const Piece own_pawn = static_cast<Piece>(position.side | PAWN);
  const int behind = position.side == WHITE ? -16 : 16;
  for (const int beside : {-1, 1}) {
    const int from = ep + behind + beside;
    if ((from & 0x88) == 0 && position.board[from] == own_pawn) return hash;
  }
  return hash ^ ep_keys[ep & 7];
}

// True when the game is over in the current position: the fifty-move rule,
// a threefold repetition over the game's history, mate or stalemate. Charges
// nothing.
bool game_over_here() {
  if (position.halfmove_clock >= 100) return true;
  const int h = position.history_top;
  const int lo = std::max(0, h - static_cast<int>(position.halfmove_clock));
  const uint32_t key = repetition_key(position.hash, position.ep_square);
  int earlier = 0;
  for (int i = h - 2; i >= lo; i -= 2) {
    const UndoRecord& r = position.history[i];
    if (repetition_key(r.hash, r.ep_square) == key && ++earlier >= 2) return true;
  }
  const CounterSnapshot kept;
  return first_legal_move() == 0;
}

// " %s" for each move of the principal variation, read back from the table;
// the printing stops where the game ends. The walk itself goes on as far as
// the table leads, so that its charges (and so the virtual clock) are the
// same whatever is printed.
void print_principal_variation(Move best, int depth) {
  int made = 0;
  bool ended = false;
  for (Move m = best; m != 0 && made < depth;) {
    if (!move_is_pseudo_legal(m)) break;
    const char* text = move_to_text(m);
    char copy[8];
    snprintf(copy, sizeof(copy), "%s", text);
    if (!make_move(m)) break;
    ++made;
    if (!ended) uci_print(" %s", copy);
    if (!ended && made < depth) ended = game_over_here();
    m = table_move();
  }
  while (made-- > 0) unmake_move();
}

// One info line; `bound` is "", " lowerbound" or " upperbound".
void print_info_line(int depth, int score, Move best, const char* bound = "") {
  uci_print("info depth %d ", depth);
  if (score > MATE_TABLE_BOUND || score < -MATE_TABLE_BOUND)
    uci_print("score mate %d", mate_moves(score));
  else
    uci_print("score cp %d", score);
  uci_print("%s", bound);
  const long t = elapsed_ms();
  const double nps =
      t == 0 ? 0.0 : static_cast<double>(node_count) * 1000.0 / static_cast<double>(t);
  uci_print(" nodes %lu time %ld nps %.0f pv", static_cast<unsigned long>(node_count), t, nps);
  if (best != 0) print_principal_variation(best, depth);
  uci_print("\n");
}

// The root move the aborted iteration found, with its score.
struct PartialRoot {
  Move move = 0;
  int score = 0;
  bool lower = false;
  void take() {
    if (root_best_move == 0) return;
    move = root_best_move;
    score = root_best_score;
    lower = root_best_lower;
  }
};

// After an aborted iteration: when the move answered is not the first move of
// the last info line printed (or none was printed), one more info line whose
// variation starts with that move. Its score is the one the aborted iteration
// gave the move, or, when the search reached no root move, the material and
// square-table value after it.
void print_answer_line(int depth, Move best, Move printed, const PartialRoot& partial) {
  Move answer = best;
  if (answer == 0) {
    const CounterSnapshot kept;
    answer = first_legal_move();
  }
  if (answer == 0 || answer == printed) return;
  if (partial.move == answer) {
    print_info_line(depth, partial.score, answer, partial.lower ? " lowerbound" : "");
    return;
  }
  int score = 0;
  {
    const CounterSnapshot kept;
    note_in_check();
    if (make_move(answer)) {
      score = -quick_eval();
      unmake_move();
    }
  }
  print_info_line(depth, score, answer);
}

// Step 5: iterative deepening; returns the best root move (0 if none).
Move iterate() {
  // A negative half-width would turn the window inside out: held at 0 (off).
  static const int asp = env_int_within("ASP", 0, 0, ENV_WEIGHT_LIMIT);
  Move best = 0;
  Move printed = 0;
  PartialRoot partial;
  int previous_score = 0;
  for (int n = 1; n <= search_limits.depth_limit; ++n) {
    root_best_move = 0;
    partial = PartialRoot{};
    int v;
    if (asp != 0 && n > 1 && previous_score >= -MATE_BOUND && previous_score <= MATE_BOUND) {
      const int alpha = previous_score - asp;
      const int beta = previous_score + asp;
      v = alpha_beta(n, alpha, beta, 0, 0);
      partial.take();
      if (v <= alpha && !search_aborted()) {
        const Move k = root_best_move != 0 ? root_best_move : best;
        root_best_move = 0;
        v = alpha_beta(n, -NO_SCORE, beta, 0, 0);
        partial.take();
        best = k;
      }
      if (v >= beta && !search_aborted()) {
        const Move k = root_best_move != 0 ? root_best_move : best;
        root_best_move = 0;
        v = alpha_beta(n, alpha < v ? alpha : -NO_SCORE, NO_SCORE, 0, 0);
        partial.take();
        best = k;
      }
    } else {
      v = alpha_beta(n, -NO_SCORE, NO_SCORE, 0, 0);
      partial.take();
    }
    if (root_best_move != 0) best = root_best_move;
    if (search_aborted()) {
      print_answer_line(n, best, printed, partial);
      break;
    }
    completed_depth = n;
    print_info_line(n, v, best);
    printed = best;
    const TimeSwitches& switches = time_switches();
    const bool best_changed = n != 1 && best != previous_iteration_best;
    if (switches.tmode && search_limits.soft_limit_ms != 0) previous_iteration_best = best;
    if (iteration_budget_spent(search_limits.soft_limit_ms, elapsed_ms(), best_changed, switches))
      break;
    previous_score = v;
  }
  return best;
}

// Step 7: the four statistics lines (shown only with KLMRAW).
void print_statistics() {
  const uint64_t t = total_cost();
  const uint32_t n = node_count;
  const double per_node = n == 0 ? 0.0 : 1.0 / n;
  uci_print("info string see_least %lu kald | see %lu kald, %lu kasseret (%.2f kald pr. knude)\n",
            static_cast<unsigned long>(slcalls_count), static_cast<unsigned long>(qs_see_tested),
            static_cast<unsigned long>(qs_see_pruned), qs_see_tested * per_node);
  uci_print("info string leaves %lu/%lu qs (%.0f%% af knuder), make %lu (%.2f make pr. knude)\n",
            static_cast<unsigned long>(op_counters[EVAL]), static_cast<unsigned long>(n),
            op_counters[EVAL] * 100.0 * per_node, static_cast<unsigned long>(op_counters[MAKE]),
            op_counters[MAKE] * per_node);
  const double rate = static_cast<double>(virtual_units_per_second);
  const double nps = t == 0 ? static_cast<double>(n) * rate
                            : static_cast<double>(n) * rate / static_cast<double>(t);
  uci_print("info string vclock %.1f s, %lu nodes, %.0f nps |", static_cast<double>(t) / rate,
            static_cast<unsigned long>(n), nps);
  const double divisor = t == 0 ? 1.0 : static_cast<double>(t);
  for (const CostGroup& group : COST_GROUPS) {
    double sum = 0;
    for (int k = group.first; k <= group.last; ++k)
      sum += static_cast<double>(static_cast<int64_t>(op_costs[k]) *
                                 static_cast<int64_t>(op_counters[k]));
    uci_print(" %s %.0f%%", group.name, sum * 100.0 / divisor);
  }
  uci_print(" | attacked calls:");
  for (int b = 0; b < ATTACK_CONTEXTS; ++b)
    uci_print(" %s %lu", ATTACK_CONTEXT_NAMES[b], static_cast<unsigned long>(attack_bucket[b]));
  uci_print("\n");
  memset(attack_bucket, 0, sizeof(attack_bucket));
  uci_print("info string tused %ld depth %d\n", static_cast<long>(elapsed_ms()), completed_depth);
}

// Step 8: holds the answer while an infinite or unanswered ponder search waits.
void wait_for_release() {
  while (
      !stop_flag.load(std::memory_order_relaxed) &&
      ((pondering.load(std::memory_order_relaxed) && !ponderhit.load(std::memory_order_relaxed)) ||
       infinite.load(std::memory_order_relaxed)))
    sleep_1ms();
}

// True if `move` is among the generated moves of the side to move.
bool is_generated(Move move) {
  return first_generated([move](Move m) { return m == move; }) != 0;
}

// Step 9: "bestmove", with a ponder move when the table offers a legal one
// and the game goes on.
void print_best_move(Move best) {
  if (best == 0) {
    uci_print("bestmove %s\n", move_to_text(first_legal_move()));
    return;
  }
  char best_text[8];
  snprintf(best_text, sizeof(best_text), "%s", move_to_text(best));
  note_in_check();
  if (!make_move(best)) {
    uci_print("bestmove %s\n", best_text);
    return;
  }
  // No ponder move once the answer ends the game (a repetition, the fifty-move
  // rule, mate or stalemate): there is nothing left to ponder on.
  const Move q = game_over_here() ? 0 : table_move();
  if (q != 0 && is_generated(q)) {
    char ponder_text[8];
    snprintf(ponder_text, sizeof(ponder_text), "%s", move_to_text(q));
    note_in_check();
    if (make_move(q)) {
      unmake_move();
      unmake_move();
      uci_print("bestmove %s ponder %s\n", best_text, ponder_text);
      return;
    }
  }
  unmake_move();
  uci_print("bestmove %s\n", best_text);
}

void* think_thread_main(void*) {
  think();
  return nullptr;
}

}  // namespace

// The search thread's body, steps 1 to 10.
void think() {
  prepare_root();
  if (own_book) {
    const Move m = probe_book();
    if (m != 0) {
      wait_for_release();
      uci_print("info string book\nbestmove %s\n", move_to_text(m));
      searching.store(0, std::memory_order_relaxed);
      return;
    }
  }
  reset_search_state();
  const Move best = iterate();
  print_statistics();
  wait_for_release();
  print_best_move(best);
  searching.store(0, std::memory_order_relaxed);
}

// Plans the limits, then starts the search thread with a 64 MiB stack; the
// command loop goes back to reading input at once.
void start_search(const GoRequest& request) {
  prepare_search(request);
  search_start_ticks.store(tick_ms(), std::memory_order_relaxed);
  searching.store(1, std::memory_order_relaxed);
  if (!thread_start(&search_thread, think_thread_main, nullptr)) {
    searching.store(0, std::memory_order_relaxed);
    uci_print("info string cannot start the search thread\n");
    uci_print("bestmove %s\n", move_to_text(first_legal_move()));
  }
}

void join_search_thread() { thread_join(&search_thread); }

// A new game forgets what the search learned: the transposition table, the
// history scores and the correction table. The simulated pawn hash and the
// iteration rule's previous best move live as long as the process, so the
// same command sequence from a fresh process repeats exactly.
void new_game() {
  tt_clear();
  history_clear();
  clear_correction_table();
}

}  // namespace kelmstrad
