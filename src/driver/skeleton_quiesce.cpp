#include "driver/skeleton_quiesce.h"

#include <algorithm>

#include "board/attack.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "clock/counters.h"
#include "driver/skeleton.h"
#include "eval/evaluate.h"
#include "eval/reduced.h"
#include "search/ordering.h"
#include "search/see.h"

namespace kelmstrad {

namespace {

constexpr int QFUT_MARGIN = 999;
constexpr int DELTA_MARGIN = 150;

// One quiescence node while its moves are searched.
struct QNode {
  int beta;
  int ply;
  int alpha;          // alpha raised by the moves searched so far
  int best;           // the stand pat raised by the moves searched so far
  uint32_t in_check;  // the hint every make of this node is given
  uint16_t base;      // move_stack_len at entry
};

// `hard` when failing hard, `soft` under SOFT.
inline int fail_value(int hard, int soft) { return skel_switches.soft ? soft : hard; }

// The node's result after its last move, the move stack given back.
int node_result(QNode& node) {
  move_stack_len = node.base;
  return fail_value(node.alpha, node.best);
}

// The node's result at a beta cutoff by a move that scored v.
int cutoff_result(QNode& node, int v) {
  move_stack_len = node.base;
  return fail_value(node.beta, std::max(node.best, v));
}

// Plays a move and searches it one ply deeper; false (nothing searched) if it
// is illegal, else *score holds its value for this node.
bool search_capture(QNode& node, Move move, int* score) {
  in_check_hint = node.in_check;
  if (!make_move(move)) return false;
  ++op_counters[LEGAL];
  *score = -skeleton_quiesce(-node.beta, -node.alpha, node.ply + 1);
  unmake_move();
  return true;
}

// Searches the captures of move_stack[first, end) in picked order; true at a
// cutoff, whose result is then in *result. `counting` adds to the tried and
// cutoff statistics.
bool search_capture_list(QNode& node, int first, int end, bool counting, int* result) {
  score_captures(first, end);
  uint16_t cursor = static_cast<uint16_t>(first);
  for (Move move; (move = pick_next(cursor, end)) != 0;) {
    int v;
    if (!search_capture(node, move, &v)) continue;
    if (counting) ++skel_stats.captures_tried;
    if (v >= node.beta) {
      if (counting) ++skel_stats.cutoffs;
      *result = cutoff_result(node, v);
      return true;
    }
    node.alpha = std::max(node.alpha, v);
    node.best = std::max(node.best, v);
  }
  return false;
}

// The opponent's pieces, most valuable first (slot order among equals); returns their number.
int victims_by_value(Square* victims) {
  const uint8_t* slots = position.slot_square + side_slot_base(opponent(position.side));
  int count = 0;
  for (int i = 0; i < 16; ++i) {
    const Square sq = slots[i];
    if (sq == NO_SQUARE) continue;
    const int value = SEE_VALUE[piece_kind(position.board[sq])];
    int j = count++;
    for (; j > 0 && SEE_VALUE[piece_kind(position.board[victims[j - 1]])] < value; --j)
      victims[j] = victims[j - 1];
    victims[j] = sq;
  }
  return count;
}

// STAGED: the captures of each victim in turn, most valuable victim first.
int staged_captures(QNode& node) {
  Square victims[16];
  const int count = victims_by_value(victims);
  for (int i = 0; i < count; ++i) {
    ++skel_stats.victims_scanned;
    move_stack_len = node.base;
    const int end = node.base + generate_captures_to(victims[i]);
    int result;
    if (search_capture_list(node, node.base, end, true, &result)) return result;
  }
  return node_result(node);
}

// RECAP: only the captures onto the square of the last capture. The square
// must still hold an opponent piece: after a null move it may hold one of
// our own, which is no capture at all.
int recaptures(QNode& node) {
  const Square target = position.recapture_square;
  if (target == NO_SQUARE) return node_result(node);
  const Piece victim = position.board[target];
  if (victim == 0 || piece_side(victim) == position.side) return node_result(node);
  const int end = node.base + generate_captures_to(target);
  int result;
  if (search_capture_list(node, node.base, end, false, &result)) return result;
  return node_result(node);
}

// Would the DELTA filter skip this move: reference r plus the victim's
// exchange value and the margin still below alpha.
inline bool delta_skips(Move move, int r, int alpha) {
  return r + SEE_VALUE[piece_kind(position.board[move_to(move)])] + DELTA_MARGIN < alpha;
}

// The whole tactical list, picked, with the SKSEE and DELTA filters.
int all_captures(QNode& node) {
  generate_moves(true);
  const int end = move_stack_len;
  skel_stats.captures_generated += end - node.base;
  score_captures(node.base, end);
  int r = node.best;  // the stand pat until a move has been searched
  uint16_t cursor = node.base;
  for (Move move; (move = pick_next(cursor, end)) != 0;) {
    ++skel_stats.captures_tried;
    if (skel_switches.sksee && see_sign_cheap(move) == 0) continue;
    if (skel_switches.delta && delta_skips(move, r, node.alpha)) continue;
    if (!search_capture(node, move, &r)) continue;
    if (r >= node.beta) {
      ++skel_stats.cutoffs;
      return cutoff_result(node, r);
    }
    node.alpha = std::max(node.alpha, r);
    node.best = std::max(node.best, r);
  }
  return node_result(node);
}

}  // namespace

bool skeleton_in_check() {
  const Square king = king_square(position.side);
  return square_attacked(king, opponent(position.side));
}

int skeleton_quiesce(int alpha, int beta, int ply) {
  // Step 1. Count the node; the incremental score decides the lazy gate.
  ++skel_nodes;
  ++op_counters[QS];
  const int margin = skel_switches.lazy_margin;
  const int incremental = quick_eval();
  ++skel_stats.lazy_tries;

  // Step 2. Far above beta even with the margin taken off.
  if (incremental - margin >= beta) {
    ++skel_stats.lazy_hits;
    return fail_value(beta, incremental - margin);
  }

  // Step 3. Stand pat: the reduced evaluation only where it can matter.
  int stand_pat = incremental + margin;
  if (alpha < stand_pat)
    stand_pat = skeleton_eval();
  else
    ++skel_stats.lazy_hits;
  if (stand_pat >= beta) return fail_value(beta, stand_pat);

  // Step 4. Futility and the ply limit; the guard keeps the history and the
  // move stack from overflowing.
  if (skel_switches.qfut && stand_pat + QFUT_MARGIN < alpha) return stand_pat;
  if (skel_switches.qmax != 0 && ply >= skel_switches.qmax) return stand_pat;
  if (!skel_room_left()) return stand_pat;

  // Step 5. Check status for the makes of this node.
  QNode node{
      beta,          ply, std::max(alpha, stand_pat), stand_pat, skeleton_in_check() ? 1u : 0u,
      move_stack_len};

  // Step 6-8. The captures.
  if (skel_switches.staged) return staged_captures(node);
  if (skel_switches.recap) return recaptures(node);
  return all_captures(node);
}

}  // namespace kelmstrad
