// Positions only a FEN can produce (pawns on any rank, any en-passant square,
// any rights, missing or doubled kings): every query, generation pass and
// make/unmake must stay inside the tables and keep the bookkeeping exact.
// Meant to be run under the address sanitizer as well.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/attack.h"
#include "board/perft.h"
#include "board_support.h"
#include "random_positions.h"

namespace kelmstrad::test {
namespace {

// A random FEN: `kings` per side is 0, 1 or 2; pawns may stand on any rank.
std::string random_fen(Random* rng, int white_kings, int black_kings) {
  char board[64];
  for (char& c : board) c = 0;
  const char* others = "PNBRQpnbrq";
  const int count = rng->below(14);
  for (int i = 0; i < count; ++i) board[rng->below(64)] = others[rng->below(10)];
  for (int i = 0; i < white_kings; ++i) board[rng->below(64)] = 'K';
  for (int i = 0; i < black_kings; ++i) board[rng->below(64)] = 'k';
  std::string fen = placement_of(board);
  fen += rng->below(2) ? " b " : " w ";
  const char* rights[] = {"-", "KQkq", "K", "q", "Qk"};
  fen += rights[rng->below(5)];
  fen += ' ';
  if (rng->below(3) == 0) {
    fen += "-";
  } else {
    fen += static_cast<char>('a' + rng->below(8));
    fen += static_cast<char>('1' + rng->below(8));
  }
  fen += " 0 1";
  return fen;
}

// Every query on every 16-bit pattern of a few random moves plus all
// generated ones; pseudo-legal moves are made and must come back exactly.
void exercise(Random* rng, bool check_bookkeeping) {
  for (int i = 0; i < 64; ++i) {
    const Move m = static_cast<Move>(rng->next());
    move_is_tactical(m);
    gives_check(m);
    generate_captures_to(move_to(m));
    move_stack_len = 0;
    square_attacked(move_to(m), rng->below(2) ? BLACK : WHITE);
    if (!move_is_pseudo_legal(m)) continue;
    const auto before = std::make_unique<Position>(position);
    if (make_move(m)) {
      if (check_bookkeeping) {
        EXPECT_TRUE(position_is_ok()) << move_to_text(m);
      }
      unmake_move();
    }
    if (check_bookkeeping) {
      EXPECT_EQ(position_difference(*before, position), "");
    }
  }
  const auto before = std::make_unique<Position>(position);
  perft(2);
  if (check_bookkeeping) {
    EXPECT_EQ(position_difference(*before, position), "");
  }
}

TEST(Robustness, RandomPositionsWithAtMostOneKingEach) {
  Random rng{12345};
  for (int round = 0; round < 400; ++round) {
    const std::string fen = random_fen(&rng, rng.below(2), rng.below(2));
    set_position(fen.c_str());
    SCOPED_TRACE(fen);
    exercise(&rng, true);
    // Every generated move that make accepts keeps the keys exact.
    const uint16_t mark = move_stack_len;
    generate_moves(true);
    generate_moves(false);
    const uint16_t end = move_stack_len;
    const bool safe = !square_attacked(position.slot_square[position.side * 2], position.side ^ 8);
    for (int i = mark; i < end; ++i) {
      EXPECT_TRUE(move_is_pseudo_legal(move_stack[i])) << move_to_text(move_stack[i]);
      bool fast = false;
      if (safe) {
        fast = make_move_king_safe(move_stack[i]);
        if (fast) unmake_move();
      }
      const bool legal = make_move(move_stack[i]);
      if (safe) {
        EXPECT_EQ(fast, legal) << move_to_text(move_stack[i]);
      }
      if (!legal) continue;
      EXPECT_TRUE(position_is_ok()) << move_to_text(move_stack[i]);
      unmake_move();
    }
    move_stack_len = mark;
  }
}

TEST(Robustness, RandomPositionsWithDoubledKingsStayInsideTheTables) {
  Random rng{987654};
  for (int round = 0; round < 200; ++round) {
    const std::string fen = random_fen(&rng, 2, rng.below(3));
    set_position(fen.c_str());
    exercise(&rng, false);
  }
  set_position(START_FEN);
}

}  // namespace
}  // namespace kelmstrad::test
