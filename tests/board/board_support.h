// Helpers shared by the board tests: setting a position, listing generated
// moves as text, counter deltas and a field-by-field position comparison.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/legal.h"
#include "board/make.h"
#include "board/move.h"
#include "board/movegen.h"
#include "board/position.h"
#include "clock/counters.h"

namespace kelmstrad::test {

// Sets a position from FEN with an empty move stack and no in-check hint.
inline void set_position(const char* fen) {
  parse_fen(fen);
  move_stack_len = 0;
  in_check_hint = 0;
  position.recapture_square = NO_SQUARE;
}

// The texts of one generation pass of the current position, in order.
inline std::vector<std::string> generated(bool tactical) {
  const uint16_t mark = move_stack_len;
  generate_moves(tactical);
  std::vector<std::string> texts;
  for (int i = mark; i < move_stack_len; ++i) texts.emplace_back(move_to_text(move_stack[i]));
  move_stack_len = mark;
  return texts;
}

// The generated move with this exact text, or 0.
inline Move move_of(const char* text) {
  return first_generated([text](Move m) { return std::string(move_to_text(m)) == text; });
}

// Counter values at construction; delta() is the growth since.
struct CounterWatch {
  uint32_t start[COST_KEY_COUNT];
  uint32_t buckets[ATTACK_CONTEXTS];
  CounterWatch() {
    memcpy(start, op_counters, sizeof(start));
    memcpy(buckets, attack_bucket, sizeof(buckets));
  }
  uint32_t delta(CostKey key) const { return op_counters[key] - start[key]; }
  uint32_t bucket(int context) const { return attack_bucket[context] - buckets[context]; }
};

// Empty when the two positions agree in every meaningful field (square_slot
// only on occupied squares, history only below history_top); otherwise the
// name of the first field that differs.
inline std::string position_difference(const Position& a, const Position& b) {
  if (memcmp(a.slot_square, b.slot_square, sizeof(a.slot_square)) != 0) return "slot_square";
  if (memcmp(a.board, b.board, sizeof(a.board)) != 0) return "board";
  for (int sq = 0; sq < 128; ++sq)
    if (a.board[sq] != 0 && a.square_slot[sq] != b.square_slot[sq]) return "square_slot";
  if (a.hash != b.hash) return "hash";
  if (a.eg_score != b.eg_score) return "eg_score";
  if (a.mg_score != b.mg_score) return "mg_score";
  if (a.phase != b.phase) return "phase";
  if (a.halfmove_clock != b.halfmove_clock) return "halfmove_clock";
  if (a.ep_square != b.ep_square) return "ep_square";
  if (a.castling != b.castling) return "castling";
  if (a.side != b.side) return "side";
  if (a.pawn_king_key != b.pawn_king_key) return "pawn_king_key";
  if (memcmp(a.piece_bits, b.piece_bits, sizeof(a.piece_bits)) != 0) return "piece_bits";
  if (a.slot_count[0] != b.slot_count[0] || a.slot_count[1] != b.slot_count[1]) return "slot_count";
  if (a.history_top != b.history_top) return "history_top";
  if (a.recapture_square != b.recapture_square) return "recapture_square";
  for (int i = 0; i < a.history_top; ++i) {
    const UndoRecord& x = a.history[i];
    const UndoRecord& y = b.history[i];
    if (x.move != y.move || x.piece != y.piece || x.captured != y.captured ||
        x.capture_square != y.capture_square || x.capture_slot != y.capture_slot ||
        x.pawn_king_key != y.pawn_king_key || x.castling != y.castling ||
        x.ep_square != y.ep_square || x.halfmove_clock != y.halfmove_clock || x.phase != y.phase ||
        x.mg_score != y.mg_score || x.eg_score != y.eg_score || x.hash != y.hash)
      return "history[" + std::to_string(i) + "]";
  }
  return "";
}

// The standard perft positions with their published counts for depths 1..5.
struct PerftCase {
  const char* name;
  const char* fen;
  unsigned long long counts[6];  // index = depth; counts[0] unused
};

inline constexpr PerftCase STANDARD_PERFT[] = {
    {"start",
     "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
     {1, 20, 400, 8902, 197281, 4865609}},
    {"kiwipete",
     "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
     {1, 48, 2039, 97862, 4085603, 193690690}},
    {"position3", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", {1, 14, 191, 2812, 43238, 674624}},
    {"position4",
     "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
     {1, 6, 264, 9467, 422333, 15833292}},
    {"position5",
     "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
     {1, 44, 1486, 62379, 2103487, 89941194}},
    {"position6",
     "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
     {1, 46, 2079, 89890, 3894594, 164075551}},
};

}  // namespace kelmstrad::test
