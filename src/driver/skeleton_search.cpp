#include "driver/skeleton_search.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "board/attack.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "clock/counters.h"
#include "driver/skeleton.h"
#include "driver/skeleton_quiesce.h"
#include "eval/reduced.h"
#include "search/ordering.h"

namespace kelmstrad {

namespace {

constexpr int RFP_BETA_LIMIT = 19999;
constexpr int RAZOR_ALPHA_LIMIT = -19999;
constexpr int RAZOR_MARGIN = 300;
constexpr int NULL_MOVE_REDUCTION = 3;
constexpr int TOP_ORDER_SCORE = 255;
constexpr int LATE_MOVE_FIRST = 4;  // the first legal move that may be reduced
constexpr int HISTORY_LIMIT = 256;

// Plays a move with the node's check hint; true (LEGAL charged) if legal.
bool play(Move move, uint32_t in_check) {
  in_check_hint = in_check;
  if (!make_move(move)) return false;
  ++op_counters[LEGAL];
  return true;
}

// The score of a node without legal moves: mated at this ply, or stalemate.
inline int no_move_score(bool in_check, int ply) { return in_check ? mated_in(ply) : 0; }

// Writes the entry of the current position, always replacing; charges TTSTORE.
void table_store(int depth, int score, uint8_t bound, Move move) {
  ++op_counters[TTSTORE];
  SkelEntry& entry = skel_slot();
  entry.check = static_cast<uint16_t>(skel_key() >> 16);
  entry.move = move;
  entry.score = static_cast<int16_t>(std::clamp(score, -32767, 32767));
  entry.depth = static_cast<uint8_t>(std::clamp(depth, 0, 255));
  entry.bound = bound;
}

// The entry of the current position if its check matches, else nullptr.
// Charges TTPROBE and counts the probe.
const SkelEntry* table_probe() {
  ++op_counters[TTPROBE];
  ++skel_stats.table_probes;
  const SkelEntry& entry = skel_slot();
  return entry.check == static_cast<uint16_t>(skel_key() >> 16) ? &entry : nullptr;
}

// The table's answer for a node (score s read back), or false to search on.
bool table_cut(const SkelEntry& entry, int s, int alpha, int beta, int* result) {
  if (entry.bound == SKEL_EXACT) {
    *result = s;
  } else if (entry.bound == SKEL_LOWER && s >= beta) {
    *result = beta;
  } else if (entry.bound == SKEL_UPPER && s <= alpha) {
    *result = alpha;
  } else {
    return false;
  }
  ++skel_stats.table_cuts;
  return true;
}

// Is the node too deep for the tables and stacks: it is then searched as a leaf.
inline bool beyond_guard(int ply) { return ply >= SKEL_PLIES || !skel_room_left(); }

// ---------------------------------------------------------------------------
// Plain and table search: one move loop, with or without the table.

// A node of the plain or the table search.
struct PlainNode {
  int depth;
  int ply;
  int alpha;
  int beta;
  uint32_t in_check;
  bool table;  // table search: children at ply + 1 by the table search
  int legal;
};

int plain_or_table(int depth, int alpha, int beta, int ply, bool table);

// Searches one move of the node; true at a cutoff.
bool plain_move(PlainNode& node, Move move) {
  if (!play(move, node.in_check)) return false;
  ++node.legal;
  const int v = -plain_or_table(node.depth - 1, -node.beta, -node.alpha, node.ply + 1, node.table);
  unmake_move();
  if (v >= node.beta) return true;
  node.alpha = std::max(node.alpha, v);
  return false;
}

// The moves of a plain or table node: tactical moves picked, then quiet
// moves in generation order. True at a cutoff.
bool plain_moves(PlainNode& node) {
  const uint16_t base = move_stack_len;
  generate_moves(true);
  const int end = move_stack_len;
  score_captures(base, end);
  uint16_t cursor = base;
  for (Move move; (move = pick_next(cursor, end)) != 0;)
    if (plain_move(node, move)) return true;
  move_stack_len = base;
  generate_moves(false);
  const int quiet_end = move_stack_len;
  for (int i = base; i < quiet_end; ++i)
    if (plain_move(node, move_stack[i])) return true;
  return false;
}

// The child's value by the plain or the table search.
int plain_or_table(int depth, int alpha, int beta, int ply, bool table) {
  if (!table) return skeleton_plain_search(depth, alpha, beta);
  return skeleton_table_search(depth, alpha, beta, ply);
}

// The interior node of both searches after the table probe.
int plain_node(int depth, int alpha, int beta, int ply, bool table) {
  const bool in_check = skeleton_in_check();
  PlainNode node{depth, ply, alpha, beta, in_check ? 1u : 0u, table, 0};
  const uint16_t base = move_stack_len;
  const bool cut = plain_moves(node);
  move_stack_len = base;
  if (cut) {
    if (table) table_store(depth, score_to_table(beta, ply), SKEL_LOWER, 0);
    return beta;
  }
  if (node.legal == 0) return table ? no_move_score(in_check, ply) : no_move_score(in_check, 0);
  if (table)
    table_store(depth, score_to_table(node.alpha, ply),
                node.alpha > alpha ? SKEL_EXACT : SKEL_UPPER, 0);
  return node.alpha;
}

// ---------------------------------------------------------------------------
// Configurable search.

// A node of the configurable search while its moves are searched.
struct ConfigNode {
  int depth;
  int ply;
  int alpha;
  int beta;
  uint32_t in_check;
  Move order_move;           // PV-order move, else the table move (0: none)
  int legal = 0;             // k: legal moves searched so far
  int best = -NO_SCORE - 1;  // best score so far (returned under SOFT)
  Move best_move = 0;        // the move that scored it
  int result = 0;            // the node's value once a move has cut off
};

// `hard` when failing hard, `soft` under SOFT.
inline int fail_value(int hard, int soft) { return skel_switches.soft ? soft : hard; }

// The child search one ply down.
inline int child(const ConfigNode& node, int depth, int alpha, int beta) {
  return -skeleton_configurable_search(depth, -beta, -alpha, node.ply + 1);
}

// Step 5 rule: full window for the first move; under PVS a null window for
// the later ones, re-searched with the full window when inside (alpha, beta).
int search_normal(const ConfigNode& node, int extension) {
  if (skel_switches.pvs && node.legal > 1) {
    ++skel_stats.null_windows;
    int v = child(node, node.depth - 1, node.alpha, node.alpha + 1);
    if (v > node.alpha && v < node.beta) {
      ++skel_stats.re_searches;
      v = child(node, node.depth - 1, node.alpha, node.beta);
    }
    return v;
  }
  return child(node, node.depth - 1 + extension, node.alpha, node.beta);
}

// Step 6 rule for a late quiet move out of check: two plies less first,
// searched again one ply less when it rises above alpha.
int search_reduced(const ConfigNode& node, int extension) {
  if (!skel_switches.pvs) {
    if (extension != 0) return child(node, node.depth, node.alpha, node.beta);
    int v = child(node, node.depth - 2, node.alpha, node.beta);
    if (v > node.alpha) v = child(node, node.depth - 1, node.alpha, node.beta);
    return v;
  }
  int v = child(node, node.depth - 2, node.alpha, node.alpha + 1);
  if (v > node.alpha) {
    ++skel_stats.re_searches;
    v = child(node, node.depth - 1, node.alpha, node.alpha + 1);
  }
  if (v > node.alpha && v < node.beta) {
    ++skel_stats.re_searches;
    v = child(node, node.depth - 1, node.alpha, node.beta);
  }
  return v;
}

// Adds depth squared to a history byte; a byte that would reach 256 first
// halves the whole table, then becomes depth squared plus half its halved value.
void reward_history(Piece piece, Square to, int depth) {
  const int bonus = depth >= 16 ? HISTORY_LIMIT : depth * depth;
  uint8_t& entry = skel_history[piece & 15][square64(to)];
  if (entry + bonus < HISTORY_LIMIT) {
    entry = static_cast<uint8_t>(entry + bonus);
    return;
  }
  for (auto& row : skel_history)
    for (uint8_t& b : row) b = static_cast<uint8_t>(b >> 1);
  entry = static_cast<uint8_t>(std::min(HISTORY_LIMIT - 1, bonus + (entry >> 1)));
}

// Step 7: the updates of a cutoff by `move`; sets the node's result.
void note_skel_cutoff(ConfigNode& node, Move move, bool quiet, Piece piece) {
  if (skel_switches.pvord) skel_pv_order[node.ply] = move;
  if (quiet && skel_config.history) reward_history(piece, move_to(move), node.depth);
  Move* killers = skel_killers[node.ply];
  if (quiet && skel_config.killers && move != killers[0] && move != killers[1]) {
    killers[1] = killers[0];
    killers[0] = move;
    ++op_counters[CUTUPD];
  }
  node.result = fail_value(node.beta, node.best);
  if (!skel_switches.nott) table_store(node.depth, node.result, SKEL_LOWER, move);
  if (node.ply == 0) skel_root_move = move;
}

// Plays and searches one move (late-move rules for a late quiet move); true at a cutoff.
bool config_move(ConfigNode& node, Move move, bool quiet_phase) {
  const Piece piece = position.board[move_from(move)];
  const bool quiet = position.board[move_to(move)] == 0;
  const int extension = skel_switches.chkext && gives_check(move) ? 1 : 0;
  if (!play(move, node.in_check)) return false;
  ++node.legal;
  const bool late = quiet_phase && skel_config.reductions && node.depth > 2 &&
                    node.legal >= LATE_MOVE_FIRST && node.in_check == 0;
  const int v = late ? search_reduced(node, extension) : search_normal(node, extension);
  unmake_move();
  if (v > node.best) {
    node.best = v;
    node.best_move = move;
  }
  if (v >= node.beta) {
    note_skel_cutoff(node, move, quiet, piece);
    return true;
  }
  node.alpha = std::max(node.alpha, v);
  return false;
}

// Step 5: the tactical moves, picked, the order move on top. True at a cutoff.
bool config_tactical(ConfigNode& node, uint16_t base) {
  generate_moves(true);
  const int end = move_stack_len;
  score_captures(base, end);
  for (int i = base; i < end; ++i)
    if (node.order_move != 0 && move_stack[i] == node.order_move) move_scores[i] = TOP_ORDER_SCORE;
  uint16_t cursor = base;
  for (Move move; (move = pick_next(cursor, end)) != 0;)
    if (config_move(node, move, false)) return true;
  return false;
}

// Sorts move_stack[first, end) by history byte, highest first, keeping
// generation order among equals.
void sort_by_history(int first, int end) {
  auto score = [](Move m) {
    return skel_history[position.board[move_from(m)] & 15][square64(move_to(m))];
  };
  for (int i = first + 1; i < end; ++i) {
    const Move move = move_stack[i];
    const int s = score(move);
    int j = i;
    for (; j > first && score(move_stack[j - 1]) < s; --j) move_stack[j] = move_stack[j - 1];
    move_stack[j] = move;
  }
}

// Searches the listed quiet move equal to `wanted`, if any, and strikes it
// from the list. True at a cutoff.
bool config_listed(ConfigNode& node, Move wanted, int first, int end) {
  if (wanted == 0) return false;
  for (int i = first; i < end; ++i) {
    if (move_stack[i] != wanted) continue;
    move_stack[i] = 0;
    return config_move(node, wanted, true);
  }
  return false;
}

// Step 6: the quiet moves in three passes: the order move, the killers, the rest.
bool config_quiet(ConfigNode& node, uint16_t base) {
  move_stack_len = base;
  generate_moves(false);
  const int end = move_stack_len;
  if (skel_config.history) sort_by_history(base, end);
  if (config_listed(node, node.order_move, base, end)) return true;
  if (skel_config.killers) {
    const Move* killers = skel_killers[node.ply];
    if (config_listed(node, killers[0], base, end)) return true;
    if (config_listed(node, killers[1], base, end)) return true;
  }
  for (int i = base; i < end; ++i)
    if (move_stack[i] != 0 && config_move(node, move_stack[i], true)) return true;
  return false;
}

// Does the side to move have a piece other than its king and pawns.
bool has_piece_material() {
  const uint8_t* slots = position.slot_square + side_slot_base(position.side);
  for (int i = 0; i < 16; ++i) {
    if (slots[i] == NO_SQUARE) continue;
    const int kind = piece_kind(position.board[slots[i]]);
    if (kind != PAWN && kind != KING) return true;
  }
  return false;
}

// Steps 3 and 4: reverse futility, razoring and the null move; true with
// *result when the node is decided without its moves.
bool config_pruning(int depth, int alpha, int beta, int ply, bool in_check, int* result) {
  if (skel_switches.rfp && !in_check && depth <= skel_switches.rfp_depth &&
      beta <= RFP_BETA_LIMIT) {
    const int64_t e = skeleton_eval() - int64_t{depth} * skel_switches.rfp_margin;
    if (e >= beta) {
      *result = static_cast<int>(std::min<int64_t>(e, INT32_MAX));
      return true;
    }
  }
  if (skel_switches.razor && !in_check && depth <= 2 && alpha >= RAZOR_ALPHA_LIMIT) {
    if (skeleton_eval() + RAZOR_MARGIN * depth <= alpha) {
      *result = skeleton_quiesce(alpha, beta, 0);
      return true;
    }
  } else if (skel_config.null_move && !in_check && depth > 2 && has_piece_material()) {
    ++op_counters[NULL_MOVE];
    make_null_move();
    const int v =
        -skeleton_configurable_search(depth - NULL_MOVE_REDUCTION, -beta, -beta + 1, ply + 1);
    unmake_null_move();
    if (v >= beta) {
      *result = beta;
      return true;
    }
  }
  return false;
}

// Step 8: the node's value after all moves, stored with its best move.
int config_result(ConfigNode& node, int alpha_in) {
  if (node.legal == 0) return no_move_score(node.in_check != 0, node.ply);
  if (skel_switches.pvord) skel_pv_order[node.ply] = node.best_move;
  const int result = fail_value(node.alpha, node.best);
  if (!skel_switches.nott)
    table_store(node.depth, result, node.alpha > alpha_in ? SKEL_EXACT : SKEL_UPPER,
                node.best_move);
  if (node.ply == 0) skel_root_move = node.best_move;
  return result;
}

}  // namespace

int skeleton_plain_search(int depth, int alpha, int beta) {
  if (depth <= 0 || !skel_room_left()) {
    if (!skel_switches.noqs) return skeleton_quiesce(alpha, beta, 0);
    ++skel_nodes;
    ++op_counters[QS];
    return skeleton_eval();
  }
  ++skel_nodes;
  ++op_counters[AB];
  return plain_node(depth, alpha, beta, 0, false);
}

int skeleton_table_search(int depth, int alpha, int beta, int ply) {
  if (depth <= 0 || !skel_room_left()) return skeleton_quiesce(alpha, beta, 0);
  ++skel_nodes;
  ++op_counters[AB];
  const SkelEntry* entry = table_probe();
  if (entry != nullptr && entry->depth >= depth) {
    ++skel_stats.table_hits;
    int result;
    if (table_cut(*entry, score_from_table(entry->score, ply), alpha, beta, &result)) return result;
  }
  return plain_node(depth, alpha, beta, ply, true);
}

int skeleton_configurable_search(int depth, int alpha, int beta, int ply) {
  // Step 1. Leaves go to the quiescence.
  if (depth <= 0 || beyond_guard(ply)) return skeleton_quiesce(alpha, beta, 0);
  ++skel_nodes;
  ++op_counters[AB];

  // Step 2. Table probe: the table move, and a cut with enough depth.
  Move table_move = 0;
  if (!skel_switches.nott) {
    if (const SkelEntry* entry = table_probe()) {
      table_move = entry->move;
      if (entry->depth >= depth) {
        ++skel_stats.table_hits;
        int result;
        if (table_cut(*entry, entry->score, alpha, beta, &result)) return result;
      }
    }
  }

  // Steps 3-4. Pruning before the moves.
  const bool in_check = skeleton_in_check();
  int pruned;
  if (config_pruning(depth, alpha, beta, ply, in_check, &pruned)) return pruned;

  // Steps 5-7. The moves.
  Move order_move = skel_config.table_move ? table_move : 0;
  if (skel_switches.pvord && skel_pv_order[ply] != 0) order_move = skel_pv_order[ply];
  ConfigNode node{depth, ply, alpha, beta, in_check ? 1u : 0u, order_move};
  const uint16_t base = move_stack_len;
  const bool cut = config_tactical(node, base) || config_quiet(node, base);
  move_stack_len = base;
  if (cut) return node.result;

  // Step 8. The node's value.
  return config_result(node, alpha);
}

}  // namespace kelmstrad
