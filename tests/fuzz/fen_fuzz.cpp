// Fuzz target: one FEN text. It is read by parse_fen and checked the way
// "position" checks it; a position that "position" would accept is then shown
// ("d"), counted ("perft 2"), evaluated ("eval") and searched to depth 2.
// The search gets a node limit (SEARCH_NODE_LIMIT): over absurd material
// (nine queens a side) its quiescence alone runs to millions of nodes.
// Beside the sanitizers, plain faults stop the run:
// - incremental state (keys, scores, phase, slots) that disagrees with the
//   board after parse_fen or after any make or unmake of the root moves;
// - a position that "d", "perft 2", "eval" or the search leaves changed;
// - a search result that is not a legal move, or, once the search has run
//   to its depth, no move although there are legal moves; without legal
//   moves, not the null move with the mate score (in check) or the draw score;
// - a colour mirror of the position (read back from the parsed board) that
//   "position" would judge differently, or whose two-ply leaf count or
//   evaluation differs from the original's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "board/attack.h"
#include "board/fen.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/movegen.h"
#include "board/perft.h"
#include "board/position.h"
#include "clock/counters.h"
#include "driver/limits.h"
#include "eval/evaluate.h"
#include "harness.h"
#include "search/alpha_beta.h"
#include "uci/loop.h"

using namespace kelmstrad;

namespace {

constexpr int MATED_AT_ROOT = -30000;
constexpr uint32_t SEARCH_NODE_LIMIT = 100000;

// The fields a command must give back as it found them.
struct Snapshot {
  Piece board[128];
  uint8_t slot_square[32];
  uint32_t hash;
  uint32_t pawn_king_key;
  int16_t mg_score;
  int16_t eg_score;
  uint8_t phase;
  uint8_t halfmove_clock;
  Square ep_square;
  uint8_t castling;
  Side side;
  int32_t history_top;
};

// The current position's snapshot.
Snapshot take_snapshot() {
  Snapshot s;
  memset(&s, 0, sizeof(s));
  memcpy(s.board, position.board, sizeof(s.board));
  memcpy(s.slot_square, position.slot_square, sizeof(s.slot_square));
  s.hash = position.hash;
  s.pawn_king_key = position.pawn_king_key;
  s.mg_score = position.mg_score;
  s.eg_score = position.eg_score;
  s.phase = position.phase;
  s.halfmove_clock = position.halfmove_clock;
  s.ep_square = position.ep_square;
  s.castling = position.castling;
  s.side = position.side;
  s.history_top = position.history_top;
  return s;
}

// Aborts (a finding) when the position differs from the snapshot.
void expect_unchanged(const Snapshot& before, const char* what) {
  const Snapshot after = take_snapshot();
  if (memcmp(&before, &after, sizeof(before)) != 0) {
    fprintf(stderr, "fen_fuzz: \"%s\" changed the position\n", what);
    abort();
  }
}

// Stops the run with a message: a finding.
[[noreturn]] void fail(const char* what) {
  fprintf(stderr, "fen_fuzz: %s\n", what);
  abort();
}

// The FEN of the current position with the colours mirrored: ranks flipped,
// piece colours, side to move, castling rights and en passant swapped.
std::string mirrored_fen() {
  std::string fen;
  for (int rank = 0; rank <= 7; ++rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const Piece p = position.board[rank * 16 + file];
      if (p == 0) {
        ++empty;
        continue;
      }
      if (empty != 0) fen += static_cast<char>('0' + empty);
      empty = 0;
      const char letter = ".pnbrqk."[piece_kind(p)];
      fen += piece_side(p) == BLACK ? static_cast<char>(letter - 32) : letter;
    }
    if (empty != 0) fen += static_cast<char>('0' + empty);
    if (rank != 7) fen += '/';
  }
  fen += position.side == WHITE ? " b " : " w ";
  const uint8_t c = position.castling;
  const std::string rights = std::string((c & 4) ? "K" : "") + ((c & 8) ? "Q" : "") +
                             ((c & 1) ? "k" : "") + ((c & 2) ? "q" : "");
  fen += rights.empty() ? "-" : rights;
  fen += ' ';
  if (position.ep_square == NO_EP_SQUARE) {
    fen += '-';
  } else {
    fen += static_cast<char>('a' + square_file(position.ep_square));
    fen += static_cast<char>('1' + 7 - square_rank(position.ep_square));
  }
  fen += ' ' + std::to_string(position.halfmove_clock) + " 1";
  return fen;
}

// Leaves of the legal tree to `depth`, checking the incremental state after
// every make and every unmake.
uint64_t checked_walk(int depth) {
  if (depth == 0) return 1;
  const uint16_t mark = move_stack_len;
  generate_moves(true);
  generate_moves(false);
  const uint16_t end = move_stack_len;
  uint64_t leaves = 0;
  for (int i = mark; i < end; ++i) {
    if (!make_move(move_stack[i])) {
      if (!position_is_ok()) fail("a refused move left the position inconsistent");
      continue;
    }
    if (!position_is_ok()) fail("make_move left the position inconsistent");
    leaves += checked_walk(depth - 1);
    unmake_move();
    if (!position_is_ok()) fail("unmake_move left the position inconsistent");
  }
  move_stack_len = mark;
  return leaves;
}

// A depth-2 result: a legal move, or without legal moves the null move
// scored as mate (in check) or draw; a search cut short by the node limit
// may have no move.
void check_search_result(const FixedDepthResult& result) {
  const bool complete = abort_search.load() == 0;
  const std::vector<Move> legal = fuzz::legal_moves();
  if (legal.empty()) {
    const bool checked = in_check(position.side);
    if (result.move != 0) fail("the search found a move where there is none");
    if (result.score != (checked ? MATED_AT_ROOT : 0)) fail("wrong score without legal moves");
    return;
  }
  if (result.move == 0 && !complete) return;
  for (Move move : legal)
    if (move == result.move) return;
  fail(result.move == 0 ? "the search found no move" : "the search returned an illegal move");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::start_engine_once();
  fuzz::reset_engine();
  const std::string fen(reinterpret_cast<const char*>(data), size);
  parse_fen(fen.c_str());
  const std::string mirror = mirrored_fen();
  const bool accepted = unplayable_reason() == nullptr;
  if (accepted) {
    if (!position_is_ok()) fail("parse_fen left the position inconsistent");
    checked_walk(1);
    const uint64_t leaves = perft(2);
    const int score = evaluate();
    const Snapshot before = take_snapshot();
    process_line("d");
    expect_unchanged(before, "d");
    process_line("perft 2");
    expect_unchanged(before, "perft 2");
    process_line("eval");
    expect_unchanged(before, "eval");
    search_limits.node_limit = SEARCH_NODE_LIMIT;
    const FixedDepthResult result = search_fixed_depth(2);
    expect_unchanged(before, "search depth 2");
    check_search_result(result);
    parse_fen(mirror.c_str());
    if (unplayable_reason() != nullptr) fail("the mirror is refused");
    checked_walk(1);
    if (perft(2) != leaves) fail("the mirror has another two-ply leaf count");
    if (evaluate() != score) fail("the mirror has another evaluation");
  } else {
    parse_fen(mirror.c_str());
    if (unplayable_reason() == nullptr) fail("the mirror of a refused position is accepted");
  }
  parse_fen(START_FEN);
  return 0;
}
