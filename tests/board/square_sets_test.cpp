// Generation, the attack test and the threat test read the piece sets and the
// square sets; here they are held to plain walks over the board: the same
// moves in the same order, the same answers, on random placements (pawns on
// any rank, en-passant squares included) and along random games.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/attack.h"
#include "board/move.h"
#include "board/movegen.h"
#include "random_positions.h"
#include "search/see.h"

namespace kelmstrad::test {
namespace {

// One pass walked square by square: slots in order, each piece's directions
// in order, nearest square first; the pawn's captures, then its push(es).
std::vector<Move> plain_pass(bool tactical) {
  std::vector<Move> moves;
  const Side side = position.side;
  const Piece* b = position.board;
  const int victim = en_passant_victim();
  const int ep = victim == NO_SQUARE ? -1 : position.ep_square;
  const int fwd = side == WHITE ? 16 : -16;
  const int last = side == WHITE ? 7 : 0;
  auto add_promotions = [&](int from, int to) {
    for (int kind = tactical ? 0 : 1; kind <= (tactical ? 0 : 3); ++kind)
      moves.push_back(encode_move(from, to, kind));
  };
  for (int i = 0; i < 16; ++i) {
    const int s = position.slot_square[side_slot_base(side) + i];
    if (s == NO_SQUARE) continue;
    const int kind = piece_kind(b[s]);
    if (kind == PAWN) {
      for (const int t : {s + fwd - 1, s + fwd + 1}) {
        if (t & 0x88) continue;
        const bool target = b[t] != 0 ? piece_side(b[t]) != side : t == ep;
        if (!target) continue;
        if (square_rank(t) == last)
          add_promotions(s, t);
        else if (tactical)
          moves.push_back(encode_move(s, t));
      }
      const int t = s + fwd;
      if ((t & 0x88) || b[t] != 0) continue;
      if (square_rank(t) == last) {
        add_promotions(s, t);
      } else if (!tactical) {
        moves.push_back(encode_move(s, t));
        if (square_rank(s) == (side == WHITE ? 1 : 6) && b[t + fwd] == 0)
          moves.push_back(encode_move(s, t + fwd));
      }
      continue;
    }
    const bool steps = kind == KNIGHT || kind == KING;
    const int* dirs = kind == KNIGHT ? knight_dirs : king_dirs;
    const int first = kind == BISHOP ? 4 : 0;
    const int end = kind == ROOK ? 4 : 8;
    for (int d = first; d < end; ++d) {
      for (int t = s + dirs[d]; (t & 0x88) == 0; t += dirs[d]) {
        if (b[t] == 0) {
          if (!tactical) moves.push_back(encode_move(s, t));
        } else {
          if (tactical && piece_side(b[t]) != side) moves.push_back(encode_move(s, t));
          break;
        }
        if (steps) break;
      }
    }
  }
  return moves;
}

// The generated pass without its castling moves (those come from castling_allowed).
std::vector<Move> generated_pass(bool tactical) {
  const uint16_t mark = move_stack_len;
  generate_moves(tactical);
  std::vector<Move> moves;
  for (int i = mark; i < move_stack_len; ++i) {
    const Move m = move_stack[i];
    const bool castles = piece_kind(position.board[move_from(m)]) == KING &&
                         (move_to(m) == move_from(m) + 2 || move_to(m) == move_from(m) - 2);
    if (!castles) moves.push_back(m);
  }
  move_stack_len = mark;
  return moves;
}

// square_attacked as a walk from every listed piece of the side.
bool plain_attacked(int square, Side by) {
  for (int i = 0; i < 16; ++i) {
    const int from = position.slot_square[side_slot_base(by) + i];
    if (from == NO_SQUARE) continue;
    const Piece p = position.board[from];
    const int kind = piece_kind(p);
    const uint8_t flags = delta_flags[square - from + DELTA_OFFSET];
    if (kind == PAWN) {
      if (flags & (piece_side(p) == WHITE ? FLAG_WHITE_PAWN : FLAG_BLACK_PAWN)) return true;
      continue;
    }
    if ((flags & kind_attack_mask[kind]) == 0) continue;
    if (kind == KNIGHT || kind == KING) return true;
    const int step = delta_step[square - from + DELTA_OFFSET];
    int t = from + step;
    while (t != square && position.board[t] == 0) t += step;
    if (t == square) return true;
  }
  return false;
}

// creates_threat for a knight or a slider, walking the rays from the target
// square with the from-square counted empty; the pawn rule is not here.
int plain_threat(Move m) {
  const int from = move_from(m);
  const int to = move_to(m);
  const Piece mover = position.board[from];
  const int kind = piece_kind(mover);
  const Side enemy = opponent(piece_side(mover));
  auto winnable = [&](int sq) {
    const Piece target = position.board[sq];
    if (target == 0 || piece_side(target) != enemy || piece_kind(target) == KING) return false;
    return SEE_VALUE[kind] < SEE_VALUE[piece_kind(target)] || !plain_attacked(sq, enemy);
  };
  if (kind == KNIGHT) {
    for (const int step : knight_dirs)
      if (on_board(to + step) && winnable(to + step)) return 1;
    return 0;
  }
  const int first = kind == BISHOP ? 4 : 0;
  const int end = kind == ROOK ? 4 : 8;
  for (int d = first; d < end; ++d) {
    int sq = to + king_dirs[d];
    while (on_board(sq) && (position.board[sq] == 0 || sq == from)) sq += king_dirs[d];
    if (on_board(sq) && winnable(sq)) return 1;
  }
  return 0;
}

void expect_plain_answers() {
  ASSERT_EQ(generated_pass(true), plain_pass(true));
  ASSERT_EQ(generated_pass(false), plain_pass(false));
  for (int square = 0; square < 128; ++square) {
    if (!on_board(square)) continue;
    for (const Side by : {WHITE, BLACK})
      ASSERT_EQ(square_attacked(square, by), plain_attacked(square, by)) << square;
  }
  for (const Move m : plain_pass(false)) {
    const int kind = piece_kind(position.board[move_from(m)]);
    if (kind == PAWN || kind == KING) continue;
    ASSERT_EQ(creates_threat(m), plain_threat(m)) << move_to_text(m);
  }
}

TEST(SquareSets, GenerationAttacksAndThreatsEqualBoardWalks) {
  Random rng{4242};
  for (int round = 0; round < 300; ++round) {
    std::string fen = random_placement(&rng);
    // Now and then Black to move, or an en-passant square to test.
    if (round % 3 == 1) fen.replace(fen.size() - 9, 1, "b");
    if (round % 5 == 2) fen.replace(fen.size() - 5, 1, round % 2 ? "e6" : "d3");
    SCOPED_TRACE(fen);
    parse_fen(fen.c_str());
    expect_plain_answers();
  }
  for (int game = 0; game < 8; ++game)
    along_random_game(&rng, START_FEN, 120, expect_plain_answers);
  along_random_game(&rng, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                    80, expect_plain_answers);
  parse_fen(START_FEN);
}

}  // namespace
}  // namespace kelmstrad::test
